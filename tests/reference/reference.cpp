#include "reference.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace aph::reference {

// Air, −50 to 1000 ℃: density kg/m3, specific heat kJ/(kg·K), conductivity 10^-4 W/(m·K),
// dynamic viscosity 10^-6 Pa·s, kinematic viscosity 10^-6 m2/s.
const AirNode kAirNodes[kAirNodeCount] = {
    // clang-format off
    {-50, 1.584, 1.013, 204, 14.6,  9.23},
    {-40, 1.515, 1.013, 212, 15.2, 10.04},
    {-30, 1.453, 1.013, 220, 15.7, 10.80},
    {-20, 1.395, 1.009, 228, 16.2, 11.61},
    {-10, 1.342, 1.009, 236, 16.7, 12.43},
    {  0, 1.293, 1.005, 244, 17.2, 13.28},
    { 10, 1.247, 1.005, 251, 17.6, 14.16},
    { 20, 1.205, 1.005, 259, 18.1, 15.06},
    { 30, 1.165, 1.005, 267, 18.6, 16.00},
    { 40, 1.128, 1.005, 276, 19.1, 16.96},
    { 50, 1.093, 1.005, 283, 19.6, 17.95},
    { 60, 1.060, 1.009, 290, 20.1, 18.97},
    { 70, 1.029, 1.009, 296, 20.6, 20.02},
    { 80, 1.000, 1.009, 305, 21.1, 21.09},
    { 90, 0.972, 1.009, 313, 21.5, 22.10},
    {100, 0.946, 1.009, 321, 21.9, 23.13},
    {120, 0.898, 1.009, 334, 22.8, 25.45},
    {140, 0.854, 1.013, 349, 23.7, 27.80},
    {160, 0.815, 1.017, 364, 24.5, 30.09},
    {180, 0.779, 1.022, 378, 25.3, 32.49},
    {200, 0.746, 1.026, 393, 26.0, 34.85},
    {250, 0.674, 1.038, 427, 27.4, 40.61},
    {300, 0.615, 1.047, 460, 29.7, 48.33},
    {350, 0.566, 1.059, 491, 31.4, 55.46},
    {400, 0.524, 1.068, 521, 33.0, 63.09},
    {500, 0.456, 1.093, 574, 36.2, 79.38},
    {600, 0.404, 1.114, 622, 39.1, 96.89},
    {700, 0.362, 1.135, 671, 41.8, 115.4},
    {800, 0.329, 1.156, 718, 44.3, 134.8},
    {900, 0.301, 1.172, 763, 46.7, 155.1},
    {1000, 0.277, 1.185, 807, 49.0, 177.1},
    // clang-format on
};

// Flue gas, 0 to 600 ℃: density kg/m3, heat-capacity coefficient c, conductivity W/(m·K),
// dynamic viscosity 10^-6 Pa·s, kinematic viscosity 10^-6 m2/s.
const FlueGasNode kFlueGasNodes[kFlueGasNodeCount] = {
    // clang-format off
    {  0, 1.295, 1.42,  0.0228, 15.8, 12.2},
    {100, 0.95,  1.42,  0.0313, 20.4, 21.54},
    {200, 0.748, 1.42,  0.0401, 24.5, 32.8},
    {300, 0.617, 1.44,  0.0484, 28.2, 45.81},
    {400, 0.525, 1.46,  0.057,  31.7, 60.38},
    {500, 0.457, 1.475, 0.0656, 34.8, 76.3},
    {600, 0.405, 1.49,  0.0742, 37.9, 93.61},
    // clang-format on
};

namespace {

// Y = Ya + ((Yb − Ya) / (Tb − Ta)) × (t − Ta): difference, over the width, times the distance.
double along(double ya, double yb, double ta, double tb, double t) {
  const double slope = (yb - ya) / (tb - ta);
  return ya + slope * (t - ta);
}

}  // namespace

std::optional<Properties> airAt(double t) {
  for (int k = 0; k + 1 < kAirNodeCount; ++k) {
    const AirNode& a = kAirNodes[k];
    const AirNode& b = kAirNodes[k + 1];
    if (!(a.t <= t && t < b.t)) continue;
    Properties p;
    p.density = along(a.density, b.density, a.t, b.t, t);
    // From 50 to 60 ℃ the specific heat holds at 1.005.
    p.specificHeat = a.t == 50 ? 1.005 : along(a.specificHeat, b.specificHeat, a.t, b.t, t);
    p.conductivity = along(a.conductivityE4, b.conductivityE4, a.t, b.t, t) * 0.0001;
    p.dynamicViscosity = along(a.dynamicViscosity, b.dynamicViscosity, a.t, b.t, t);
    p.kinematicViscosity = along(a.kinematicViscosity, b.kinematicViscosity, a.t, b.t, t);
    p.prandtl = p.specificHeat * p.dynamicViscosity / p.conductivity / 1000;
    return p;
  }
  return std::nullopt;
}

std::optional<Properties> flueGasAt(double t) {
  for (int k = 0; k + 1 < kFlueGasNodeCount; ++k) {
    const FlueGasNode& a = kFlueGasNodes[k];
    const FlueGasNode& b = kFlueGasNodes[k + 1];
    if (!(a.t <= t && t < b.t)) continue;
    Properties p;
    p.density = along(a.density, b.density, a.t, b.t, t);
    p.conductivity = along(a.conductivity, b.conductivity, a.t, b.t, t);
    p.dynamicViscosity = along(a.dynamicViscosity, b.dynamicViscosity, a.t, b.t, t);
    p.kinematicViscosity = along(a.kinematicViscosity, b.kinematicViscosity, a.t, b.t, t);
    // Below 200 ℃ c is 1.42 at both nodes and the whole of it carries the density; above, only
    // the rise within the interval does.
    if (t < 200) {
      p.specificHeat = 1.42 * p.density;
    } else {
      p.specificHeat =
          a.heatCapacity + (b.heatCapacity - a.heatCapacity) / 100 * (t - a.t) * p.density;
    }
    p.prandtl = p.dynamicViscosity * p.specificHeat / p.conductivity / 1000;
    return p;
  }
  return std::nullopt;
}

double wholeDegrees(double celsius) {
  double whole = std::floor(celsius);
  const double fraction = celsius - whole;
  const bool odd = std::fmod(whole, 2.0) != 0;
  if (fraction > 0.5 || (fraction == 0.5 && odd)) whole += 1;
  return whole;
}

// ---- Mean temperature differences --------------------------------------------------------------

double counterflow(const Temperatures& t) {
  const double hot = t.t1in - t.t2out;
  const double cold = t.t1out - t.t2in;
  if (hot / cold > 1.7) return (cold - hot) / std::log(cold / hot);
  return (cold + hot) / 2;
}

double logarithmicCounterflow(const Temperatures& t) {
  const double cold = t.t1out - t.t2in;
  const double hot = t.t1in - t.t2out;
  return (cold - hot) / std::log(cold / hot);
}

namespace {

// The crossflow coefficients a(i, j): row i the power of (1 − θ), column j the multiple of φ;
// once as doubles, once as long doubles.
constexpr double kSeries[4][4] = {
    {0.0669, 0, 0.0395, 0},
    {-0.278, 0, -0.22, 0},
    {1.11, 0, 0.454, 0},
    {0.136, 0, -0.258, 0},
};
constexpr long double kSeriesExtended[4][4] = {
    {0.0669L, 0, 0.0395L, 0},
    {-0.278L, 0, -0.22L, 0},
    {1.11L, 0, 0.454L, 0},
    {0.136L, 0, -0.258L, 0},
};

// Temperature effectivenesses, the flue gas and the air exchanging roles when the gas leaves
// below the air inlet.
template <class T>
void effectivenesses(const Temperatures& t, T& pa, T& pb) {
  const T t1in = t.t1in, t1out = t.t1out, t2in = t.t2in, t2out = t.t2out;
  if (t1out < t2in) {
    pa = (t1in - t1out) / (t1in - t2in);
    pb = (t2out - t2in) / (t1in - t2in);
  } else {
    pa = (t2in - t2out) / (t2in - t1in);
    pb = (t1out - t1in) / (t2in - t1in);
  }
}

template <class T>
T theta(T pa, T pb) {
  if (pa == pb) return 1 - (pb + pa) * T(0.5);
  return (pa - pb) / std::log((1 - pb) / (1 - pa));
}

}  // namespace

double crossflow(const Temperatures& t) {
  double pa, pb;
  effectivenesses(t, pa, pb);
  const double th = theta(pa, pb);
  const double pi = 3.1415926;
  const double phi = std::atan(pa / pb) * 180 / pi;
  float sum = 0;
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 4; ++j) {
      const double term =
          kSeries[i - 1][j - 1] * std::pow(1 - th, i) * std::sin(pi * (phi * (2 * j)) / 180);
      sum += static_cast<float>(term);
    }
  }
  const float correction = 1.0f - sum;
  return std::fabs(t.t1in - t.t2in) * (th * correction);
}

long double crossflowExtended(const Temperatures& t) {
  long double pa, pb;
  effectivenesses(t, pa, pb);
  const long double th = theta(pa, pb);
  const long double pi = 3.1415926L;
  const long double phi = std::atan(pa / pb) * 180 / pi;
  long double sum = 0;
  for (int i = 1; i <= 4; ++i) {
    long double power = 1;
    for (int k = 0; k < i; ++k) power *= 1 - th;
    for (int j = 1; j <= 4; ++j)
      sum += kSeriesExtended[i - 1][j - 1] * power * std::sin(pi * (phi * (2 * j)) / 180);
  }
  return std::fabs(static_cast<long double>(t.t1in) - t.t2in) * (th * (1 - sum));
}

float multiPass(double crossflow, double counterflow, double flueGasPasses, float airPasses) {
  double inverse, rest;
  if (flueGasPasses < airPasses) {
    inverse = 1 / flueGasPasses;
    rest = 1 - inverse;
  } else {
    // The air count is a single, and so are its 1/n and 1 − 1/n.
    const float inverseSingle = 1.0f / airPasses;
    inverse = inverseSingle;
    rest = 1.0f - inverseSingle;
  }
  return static_cast<float>(std::pow(crossflow, inverse) * std::pow(counterflow, rest));
}

// ---- Texts -------------------------------------------------------------------------------------

std::string fixed(double value, int decimals) {
  // The value's 15 significant digits, cut after `decimals` places and rounded half away from
  // zero on the first digit cut off.
  char form[40];
  std::snprintf(form, sizeof form, "%.14e", std::fabs(value));
  std::string digits(1, form[0]);
  digits.append(form + 2, 14);
  const int exponent = std::atoi(std::strchr(form, 'e') + 1);
  const int kept = value == 0 ? 0 : exponent + 1 + decimals;
  std::string whole;  // the digits of |value| × 10^decimals, rounded
  if (kept > 0) {
    whole = digits.substr(0, static_cast<std::size_t>(std::min(kept, 15)));
    if (kept > 15) whole.append(static_cast<std::size_t>(kept - 15), '0');
  }
  if (value != 0 && kept >= 0 && kept < 15 && digits[static_cast<std::size_t>(kept)] >= '5') {
    int k = static_cast<int>(whole.size()) - 1;
    for (; k >= 0 && whole[static_cast<std::size_t>(k)] == '9'; --k)
      whole[static_cast<std::size_t>(k)] = '0';
    if (k < 0) {
      whole.insert(whole.begin(), '1');
    } else {
      ++whole[static_cast<std::size_t>(k)];
    }
  }
  while (whole.size() < static_cast<std::size_t>(decimals) + 1) whole.insert(whole.begin(), '0');
  const std::size_t point = whole.size() - static_cast<std::size_t>(decimals);
  return (value < 0 ? "-" : "") + whole.substr(0, point) + "." + whole.substr(point);
}

std::string plain(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

std::string plainSingle(float value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
  return text;
}

double readNumber(const std::string& text) {
  if (text.empty()) return 0;
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

double throughText(double value) {
  char text[40];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
  double back = 0;
  std::from_chars(text, end.ptr, back);
  return back;
}

// ---- Wall temperatures -------------------------------------------------------------------------

std::optional<WallPoint> wallSearch(const WallInput& in, double maxSteps) {
  float count = 1;
  for (double taken = 1; taken <= maxSteps; ++taken, count += 1) {
    double tg, ta, q1, q2;
    if (in.hotEnd) {
      tg = in.flueGas - 0.001 * count;
      q1 = throughText(in.flueGas - tg) * in.h1;
      ta = tg - (in.thickness * 0.001) * q1 / in.plateConductivity;
      q2 = (ta - in.air) * in.h2;
    } else {
      tg = in.air + 0.001 * count;
      q1 = throughText(in.flueGas - tg) * in.h1;
      ta = tg - 0.001 * (in.thickness * q1) / in.plateConductivity;
      q2 = (ta - in.air) * in.h2;
    }
    if (std::fabs(q2 - q1) <= 0.5) return WallPoint{tg, ta, count};
  }
  return std::nullopt;
}

// ---- A press of "热力计算"
// -----------------------------------------------------------------------

namespace {

// The texts the window opens with.
const std::map<std::string, std::string> kDefaultTexts = {
    {"Text8", "294982.42"}, {"Text61", ""},     {"Text9", "350"},    {"Text10", "160"},
    {"Text11", "0.84"},     {"Text12", "1.04"}, {"Text14", "0.037"}, {"Text13", "26"},
    {"Text1", "300000"},    {"Text62", ""},     {"Text2", "40"},     {"Text3", "190"},
    {"Text4", "1.087"},     {"Text5", "1.001"}, {"Text7", "0.029"},  {"Text6", "21"},
    {"Text17", ""},         {"Text18", "110"},  {"Combo1", "1.5"},   {"Combo2", "17.5"},
    {"Text16", "4.8"},      {"Text33", "2.7"},  {"Combo3", "10"},    {"Text20", ""},
    {"Text43", ""},         {"Text34", "5.4"},  {"Text26", "2.4"},   {"Combo4", "9"},
    {"Text55", ""},         {"Text63", ""},
};

enum class Pattern { Fixed4, Fixed3, Plain, PlainSingle };

class Run {
 public:
  explicit Run(const Case& c) : c_(c), texts_(kDefaultTexts) {
    for (const auto& [name, text] : c.typed) texts_[name] = text;
  }

  std::map<std::string, Field> rate() {
    const bool counter = c_.arrangement == Arrangement::Counterflow;
    float meanDifference = 0;
    if (c_.arrangement == Arrangement::MultiPass) meanDifference = selectMultiPass();

    // Properties, the flue gas first.
    const Properties gas = properties(true);
    const Properties air = properties(false);

    // Flows, then the duties from the fields as they stand.
    double v1, v2;
    if (!c_.massFlows) {
      v1 = number("Text8") / 3600;
      v2 = number("Text1") / 3600;
      show("Text61", gas.density * (3600 * v1), Pattern::Plain);
      show("Text62", air.density * (3600 * v2), Pattern::Plain);
    } else {
      v1 = number("Text61") / gas.density / 3600;
      v2 = number("Text62") / air.density / 3600;
      show("Text8", 3600 * v1, Pattern::Plain);
      show("Text1", 3600 * v2, Pattern::Plain);
    }
    const double q1 = gas.density * (number("Text8") * 0.001) / 3600 * number("Text12") * 1000 *
                      (number("Text9") - number("Text10"));
    const float q2 =
        static_cast<float>(air.density * (number("Text1") * 0.001) / 3600 * number("Text5") * 1000 *
                           (number("Text3") - number("Text2")));

    // Mean temperature differences; ΔTm of the arrangement.
    const Temperatures t = temperatures();
    const double cf = counterflow(t);
    show("Text58", cf, Pattern::Fixed4);
    const double xf = crossflow(t);
    show("Text15", xf, Pattern::Fixed4);
    if (counter) meanDifference = static_cast<float>(cf);
    if (c_.arrangement == Arrangement::Crossflow) meanDifference = static_cast<float>(xf);

    // Plate area, equivalent diameters (the gas slot spans L1, the air slot W2).
    const double n = number("Text18"), l1 = number("Text16"), w1 = number("Text33"),
                 w2 = number("Text26");
    show("Text17", w1 * l1, Pattern::Plain);
    const float halfArea = static_cast<float>(n * number("Text17"));
    show("Text19", static_cast<float>(2.0 * halfArea), Pattern::PlainSingle);
    double de1;
    float de2;
    if (texts_["Combo3"].empty() || texts_["Combo4"].empty()) {
      de1 = number("Text20");
      de2 = static_cast<float>(number("Text55"));
    } else {
      const double s1 = number("Combo3"), s2 = number("Combo4");
      de1 = l1 * 2 * 1000 * s1 / (l1 * 1000 + s1);
      de2 = static_cast<float>(w2 * 2 * 1000 * s2 / (w2 * 1000 + s2));
    }
    show("Text20", de1, Pattern::Fixed4);
    show("Text55", de2, Pattern::Fixed4);

    // Cross-sections (counterflow: the gas also spans W2), velocities, duties shown.
    const double a1 = n * (counter ? w2 : w1) * number("Combo3") * 0.001;
    const double a2 = n * w2 * number("Combo4") * 0.001;
    const double u1 = v1 / a1, u2 = v2 / a2;
    show("Text21", u1, Pattern::Fixed4);
    show("Text22", u2, Pattern::Fixed4);
    show("Text24", q2, Pattern::Fixed4);
    show("Text60", q1, Pattern::Fixed4);

    const double re1 = gas.density * (u1 * (de1 * 0.001)) / gas.dynamicViscosity / 1e-6;
    const double re2 = air.density * (u2 * (de2 * 0.001)) / air.dynamicViscosity / 1e-6;
    show("Text25", re1, Pattern::Fixed4);
    show("Text50", re2, Pattern::Fixed4);

    // Nu = F × 0.0907 × Re^0.6525 × Pr^(1/3); the air side's 1/3 is a single.
    const double nu1 =
        factor("Text37") * 0.0907 * std::pow(re1, 0.6525) * std::pow(gas.prandtl, 1.0 / 3.0);
    const double nu2 = factor("Text38") * 0.0907 * std::pow(re2, 0.6525) *
                       std::pow(air.prandtl, static_cast<double>(1.0f / 3.0f));
    show("Text30", nu1, Pattern::Fixed4);
    show("Text35", nu2, Pattern::Fixed4);
    const double h1 = nu1 * gas.conductivity / (de1 * 0.001);
    const double h2 = nu2 * air.conductivity / (de2 * 0.001);
    show("Text31", h1, Pattern::Fixed4);
    show("Text36", h2, Pattern::Fixed4);

    // ΔP = F × 0.9109 × Re^−0.3314 × (L / de) × ρ × w² / 2; in counterflow the air runs along L1.
    const double path2 = counter ? l1 : number("Text34");
    const double dp1 = factor("Text39") * 0.9109 * std::pow(re1, -0.3314) * (l1 / (de1 * 0.001)) *
                       gas.density * (u1 * u1) / 2;
    const double dp2 = factor("Text40") * 0.9109 * std::pow(re2, -0.3314) *
                       (path2 / (de2 * 0.001)) * air.density * (u2 * u2) / 2;
    show("Text45", dp1, Pattern::Fixed4, dp1 > 500);
    show("Text46", dp2, Pattern::Fixed4, dp2 > 500);

    // Overall coefficients and margin.
    const double delta = number("Combo1"), lambdaW = number("Combo2");
    const double kAct =
        1 / (1 / h1 + number("Text43") + delta * 0.001 / lambdaW + number("Text63") + 1 / h2);
    const float kTheo = static_cast<float>(static_cast<long double>(q2) * 1000 /
                                           (2 * static_cast<long double>(halfArea)) /
                                           static_cast<long double>(meanDifference));
    const float margin = static_cast<float>((kAct / kTheo - 1) * 100);
    show("Text52", kAct, Pattern::Fixed4);
    show("Text23", kTheo, Pattern::Fixed4);
    show("Text49", margin, Pattern::Fixed4, margin < 0 || margin > 30);

    // Wall temperatures, in counterflow pairing whatever the arrangement.
    const auto hot = wallSearch({true, number("Text9"), number("Text3"), h1, h2, delta, lambdaW});
    const auto cold =
        wallSearch({false, number("Text10"), number("Text2"), h1, h2, delta, lambdaW});
    if (hot && cold) {
      show("Text56", hot->tg, Pattern::Plain);
      show("Text29", hot->ta, Pattern::Fixed3);
      show("Text57", cold->ta, Pattern::Fixed3);
      show("Text32", cold->tg, Pattern::Plain);
    }
    return out_;
  }

 private:
  double number(const std::string& name) { return readNumber(texts_[name]); }

  double factor(const std::string& name) const {
    const auto typed = c_.factors.find(name);
    if (typed == c_.factors.end()) return 1;  // "1.0"
    return typed->second.empty() ? 1 : readNumber(typed->second);
  }

  Temperatures temperatures() {
    return {number("Text9"), number("Text10"), number("Text2"), number("Text3")};
  }

  void show(const std::string& name, double value, Pattern pattern, bool red = false) {
    std::string text;
    switch (pattern) {
      case Pattern::Fixed4:
        text = fixed(value, 4);
        break;
      case Pattern::Fixed3:
        text = fixed(value, 3);
        break;
      case Pattern::Plain:
        text = plain(value);
        break;
      case Pattern::PlainSingle:
        text = plainSingle(static_cast<float>(value));
        break;
    }
    texts_[name] = text;
    out_[name] = Field{text, value, red};
  }

  // The multi-pass option: logarithmic counterflow and crossflow from the temperatures shown,
  // blended by the smaller pass count.
  float selectMultiPass() {
    const Temperatures t = temperatures();
    const double nf = readNumber(c_.flueGasPasses);
    const float na = static_cast<float>(readNumber(c_.airPasses));
    const float mean = multiPass(crossflow(t), logarithmicCounterflow(t), nf, na);
    show("Text59", mean, Pattern::PlainSingle);
    return mean;
  }

  // A side's properties: from the table at the mean of the whole-degree temperatures when its
  // four fields are empty, shown; otherwise the user's, with the Prandtl number formed from them.
  Properties properties(bool gas) {
    const char* const density = gas ? "Text11" : "Text4";
    const char* const heat = gas ? "Text12" : "Text5";
    const char* const viscosity = gas ? "Text13" : "Text6";
    const char* const conductivity = gas ? "Text14" : "Text7";
    const char* const prandtl = gas ? "Text53" : "Text54";
    Properties p;
    if (texts_[density].empty() && texts_[heat].empty() && texts_[viscosity].empty() &&
        texts_[conductivity].empty()) {
      const double inlet = wholeDegrees(number(gas ? "Text9" : "Text2"));
      const double outlet = wholeDegrees(number(gas ? "Text10" : "Text3"));
      const double mean = (inlet + outlet) / 2;
      p = *(gas ? flueGasAt(mean) : airAt(mean));
      show(density, p.density, Pattern::Plain);
      show(heat, p.specificHeat, Pattern::Plain);
      show(viscosity, p.dynamicViscosity, Pattern::Plain);
      show(conductivity, p.conductivity, Pattern::Plain);
    } else {
      p.density = number(density);
      p.specificHeat = number(heat);
      p.conductivity = number(conductivity);
      p.dynamicViscosity = number(viscosity);
      p.prandtl = p.specificHeat * p.dynamicViscosity / p.conductivity / 1000;
    }
    show(prandtl, p.prandtl, Pattern::Plain);
    return p;
  }

  const Case& c_;
  std::map<std::string, std::string> texts_;
  std::map<std::string, Field> out_;
};

}  // namespace

std::map<std::string, Field> rate(const Case& c) {
  return Run(c).rate();
}

}  // namespace aph::reference
