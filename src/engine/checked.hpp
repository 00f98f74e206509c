// Checked floating-point arithmetic for the rating formulas.
//
// Every formula of the rating is written with `Checked<T>` values. Each operation tests its
// operands *before* it runs (a zero divisor, a logarithm of a non-positive number, a fractional
// power of a negative number, zero under a negative power) and tests its result after it runs (a
// result too large for its precision). Either way it raises `ArithmeticFault` at the very
// operation where the fault arises, so no NaN or infinity is ever produced, and a caller can stop
// exactly there. Formulas convert the fault into an empty optional at their boundary (`guarded`).
//
// Precision rules. Every quantity is computed in double precision (`Real`) except those the
// window keeps in single precision (`Single`): the air-side heat duty, the half and total heat
// transfer areas, the air-side equivalent diameter, the selected mean temperature difference, the
// crossflow series sum and its terms, the air pass count and what is formed from it, the
// theoretical overall coefficient, the margin and the wall search's step count. The theoretical
// coefficient alone is formed in extended precision (`Extended`) and rounded once to single.
// Where a value changes precision, the rounding happens at exactly the operation the window
// rounds at, so that results agree with the window's to the last digit shown.
#pragma once

#include <cfloat>
#include <cmath>
#include <optional>
#include <type_traits>

#include "engine/extended.hpp"
#include "engine/fault.hpp"

namespace aph {

template <class T>
class Checked {
  static_assert(std::is_floating_point_v<T>);

 public:
  constexpr Checked() = default;
  // Implicit from plain numbers so that literals mix naturally: `rho * (v * 0.001) / 3600`.
  constexpr Checked(T value)
      : value_(finiteOrFault(value)) {}  // NOLINT(google-explicit-constructor)
  // Widening only: whole numbers, or a floating type narrower than T.
  template <class U,
            class = std::enable_if_t<std::is_integral_v<U> ||
                                     (std::is_floating_point_v<U> && sizeof(U) < sizeof(T))>>
  constexpr Checked(U value) : value_(finiteOrFault(static_cast<T>(value))) {}  // NOLINT

  constexpr T value() const { return value_; }

  friend Checked operator+(Checked a, Checked b) { return Checked(a.value_ + b.value_); }
  friend Checked operator-(Checked a, Checked b) { return Checked(a.value_ - b.value_); }
  friend Checked operator*(Checked a, Checked b) { return Checked(a.value_ * b.value_); }
  friend Checked operator/(Checked a, Checked b) {
    if (b.value_ == 0) throw ArithmeticFault{};
    return Checked(a.value_ / b.value_);
  }
  friend Checked operator-(Checked a) { return Checked(-a.value_); }
  Checked& operator+=(Checked b) { return *this = *this + b; }

  friend bool operator==(Checked a, Checked b) { return a.value_ == b.value_; }
  friend bool operator!=(Checked a, Checked b) { return a.value_ != b.value_; }
  friend bool operator<(Checked a, Checked b) { return a.value_ < b.value_; }
  friend bool operator<=(Checked a, Checked b) { return a.value_ <= b.value_; }
  friend bool operator>(Checked a, Checked b) { return a.value_ > b.value_; }
  friend bool operator>=(Checked a, Checked b) { return a.value_ >= b.value_; }

 private:
  static constexpr T finiteOrFault(T v) {
    if (!std::isfinite(v)) throw ArithmeticFault{};
    return v;
  }
  T value_ = 0;
};

// IEEE double (53-bit significand) and single (24-bit significand), rounded to nearest.
using Real = Checked<double>;
using Single = Checked<float>;
// Extended precision is the x87 format with its 64-bit significand: the native long double of
// x86-64, or its exact emulation where long double is another format.
#if LDBL_MANT_DIG == 64
using Extended = Checked<long double>;
#else
using Extended = SoftExtended;
#endif

// Natural logarithm; the argument must be strictly positive.
inline Real ln(Real x) {
  if (!(x.value() > 0.0)) throw ArithmeticFault{};
  return Real(std::log(x.value()));
}

// Power with the limits of the real power function: a negative base needs a whole exponent,
// and zero cannot be raised to a negative exponent.
inline Real power(Real base, Real exponent) {
  const double b = base.value();
  const double e = exponent.value();
  if (b < 0.0 && std::trunc(e) != e) throw ArithmeticFault{};
  if (b == 0.0 && e < 0.0) throw ArithmeticFault{};
  return Real(std::pow(b, e));
}

inline Real arctan(Real x) {
  return Real(std::atan(x.value()));
}
inline Real sine(Real x) {
  return Real(std::sin(x.value()));
}
inline Real magnitude(Real x) {
  return Real(std::fabs(x.value()));
}

// Rounds to single precision, to nearest with ties to even; a value beyond the single range is an
// overflow.
inline Single toSingle(Real x) {
  const double v = x.value();
  if (std::fabs(v) > static_cast<double>(FLT_MAX)) throw ArithmeticFault{};
  return Single(static_cast<float>(v));
}
inline Single toSingle(Checked<long double> x) {
  const long double v = x.value();
  if (std::fabs(v) > static_cast<long double>(FLT_MAX)) throw ArithmeticFault{};
  return Single(static_cast<float>(v));
}
inline Single toSingle(SoftExtended x) {
  if (x.exceedsSingleRange()) throw ArithmeticFault{};
  return Single(x.toFloat());
}
inline Real toReal(Single x) {
  return Real(static_cast<double>(x.value()));
}
inline Extended toExtended(Single x) {
  return Extended(x.value());
}

// Runs a formula and turns an arithmetic fault into an empty result.
template <class F>
auto guarded(F&& formula) -> std::optional<decltype(formula())> {
  try {
    return formula();
  } catch (const ArithmeticFault&) {
    return std::nullopt;
  }
}

}  // namespace aph
