// How the window turns field texts into numbers and numbers into field texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace aph {

// Leading-number rule: blanks, tabs, CR and LF are removed wherever they stand; then an optional
// sign, digits with at most one point, and an optional exponent (e or E, optional sign, digits;
// an e without digits ends the number before it). A text that does not start with a number reads
// 0. Empty when the number is too large for a double.
std::optional<double> readLeadingNumber(std::string_view text);

// The number of a text that must be a number as a whole (after blanks are removed): empty when
// anything but a number stands in it, or when it is too large for a double.
std::optional<double> readWholeNumber(std::string_view text);

// A field counts as empty only when its text is exactly the empty string.
inline bool isEmptyText(std::string_view text) {
  return text.empty();
}

// Fixed decimals, patterns "0.0000" and "0.000": half away from zero, applied to the value's
// 15-significant-digit decimal form; a minus sign whenever the value is negative, even when it
// rounds to zero. A single is formatted from its exact value.
std::string formatFixed(double value, int decimals);
inline std::string formatFixed4(double value) {
  return formatFixed(value, 4);
}
inline std::string formatFixed3(double value) {
  return formatFixed(value, 3);
}

// Plain number text: 15 significant digits for a double, 7 for a single; trailing zeros and a
// trailing point dropped; plain decimal when the rounded value lies in 1e-4 <= |x| < 1e15 (1e7
// for a single), otherwise the form 1.5E+16 / 1E-05; zero shows 0.
std::string formatPlain(double value);
std::string formatPlainSingle(float value);

// The shortest text that reads back as exactly `value` (finite), as std::to_chars writes it:
// `formatShortestFixed` always without exponent (a whole number beyond 17 digits as its exact
// value), `formatShortest` in that form or as 1.5e+16, whichever is shorter (the plain form on a
// tie). Where the C++ library cannot write doubles itself, the same texts come by the C library.
std::string formatShortestFixed(double value);
std::string formatShortest(double value);

// What the C library's "%.*f", "%.*e" and "%.*g" write in the C locale, byte for byte: the
// exact binary value rounded half to even. Most values are written without the library, from
// their exact digits in whole numbers, which is many times faster.
std::string printfFixed(double value, int decimals);
std::string printfScientific(double value, int precision);
std::string printfGeneral(double value, int figures);

// The round trip a temperature difference takes through plain number text and back.
double plainTextRoundTrip(double value);

// Terminal columns a UTF-8 text takes: East Asian wide characters take two.
std::size_t displayWidth(std::string_view text);
// The text followed by blanks up to `width` terminal columns.
std::string padToWidth(std::string_view text, std::size_t width);

// The length of the UTF-8 character at `k` and its code point, or 0 when the bytes there are not
// one (a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
std::size_t utf8Character(std::string_view text, std::size_t k, char32_t& code);
// The offset of the first byte that is not part of a UTF-8 character; empty for a UTF-8 text.
std::optional<std::size_t> firstNonUtf8Byte(std::string_view text);
// Why a file's text is refused when it is not UTF-8 ("not UTF-8 at byte offset 10, line 1
// (GBK?); …"): its bytes are never quoted. Empty for a UTF-8 text.
std::optional<std::string> notUtf8Reason(std::string_view text);

}  // namespace aph
