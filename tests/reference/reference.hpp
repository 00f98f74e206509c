// A second transcription of the rating method, kept apart from the program: the air and flue-gas
// property tables typed again from the method's tables, every formula in the order and precision
// the method states, the window's text patterns, the wall-temperature search step by step, and a
// whole press of "热力计算" worked through field by field.
//
// Rule for every test of a number: the expected value never comes from the program's own output
// or from calling the code under test. It is worked out from the tables, the correlations and the
// stated order and precision of each formula, here or in the test itself. This file and
// reference.cpp include nothing of src/ and link nothing of it.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace aph::reference {

// ---- Property tables ---------------------------------------------------------------------------

struct AirNode {
  double t;  // ℃
  double density, specificHeat;
  double conductivityE4;  // 10^-4 W/(m·K), as tabulated
  double dynamicViscosity, kinematicViscosity;
};
inline constexpr int kAirNodeCount = 31;
extern const AirNode kAirNodes[kAirNodeCount];

struct FlueGasNode {
  double t;  // ℃
  double density;
  double heatCapacity;  // the coefficient c the specific heat is formed from
  double conductivity, dynamicViscosity, kinematicViscosity;
};
inline constexpr int kFlueGasNodeCount = 7;
extern const FlueGasNode kFlueGasNodes[kFlueGasNodeCount];

struct Properties {
  double density = 0, specificHeat = 0, conductivity = 0, dynamicViscosity = 0,
         kinematicViscosity = 0, prandtl = 0;
};
// Linear between nodes on half-open intervals; empty outside the table.
std::optional<Properties> airAt(double t);
std::optional<Properties> flueGasAt(double t);

// Nearest whole degree, halves to the even neighbour.
double wholeDegrees(double celsius);

// ---- Mean temperature differences --------------------------------------------------------------

struct Temperatures {
  double t1in, t1out, t2in, t2out;
};
double counterflow(const Temperatures& t);
double logarithmicCounterflow(const Temperatures& t);
// Crossflow, both streams unmixed, as the window forms it: terms and sum in single precision.
double crossflow(const Temperatures& t);
// The same series with every quantity in long double and nothing rounded to single precision.
long double crossflowExtended(const Temperatures& t);
float multiPass(double crossflow, double counterflow, double flueGasPasses, float airPasses);

// ---- Texts -------------------------------------------------------------------------------------

std::string fixed(double value, int decimals);  // "0.0000" / "0.000", halves away from zero
std::string plain(double value);                // up to 15 significant digits
std::string plainSingle(float value);           // up to 7
double readNumber(const std::string& text);     // a well-formed number; empty text reads 0
double throughText(double value);               // plain text and read back

// ---- Wall temperatures -------------------------------------------------------------------------

struct WallInput {
  bool hotEnd;
  double flueGas, air;  // t1in and t2out at the hot end, t1out and t2in at the cold end
  double h1, h2, thickness /* mm */, plateConductivity;
};
struct WallPoint {
  double tg, ta;
  float steps;
};
// Walks the 0.001 ℃ grid from step 1 until q1 and q2 agree within 0.5 W/m2.
std::optional<WallPoint> wallSearch(const WallInput& in, double maxSteps = 16777216.0);

// ---- A press of "热力计算"
// -----------------------------------------------------------------------

enum class Arrangement { Counterflow, Crossflow, MultiPass };

struct Case {
  Arrangement arrangement = Arrangement::Counterflow;
  bool massFlows = false;                      // Option5 instead of Option4
  std::map<std::string, std::string> typed;    // main-window texts over the defaults
  std::map<std::string, std::string> factors;  // tuning dialog Text37..Text40 over "1.0"
  std::string flueGasPasses, airPasses;        // typed into the pass-count dialog
};

struct Field {
  std::string text;
  double value = 0;
  bool red = false;
};

// The option clicks of the case (the multi-pass selection first, when chosen), then one run of
// the calculation on the default window: every field written, by control name.
std::map<std::string, Field> rate(const Case& c);

}  // namespace aph::reference
