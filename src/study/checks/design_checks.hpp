// Checks designers make beside the window's own flags, for the batch tool (the window itself
// knows none of them):
// - cold-end corrosion: the coldest point of the plate's flue-gas face must stay a required margin
//   above the acid dew point of the flue gas, given directly or computed from its water vapour
//   and sulphur trioxide (the water dew point is told beside it). The coldest point is that of
//   the plate's temperature field (study/checks/plate_field_run), not the window's cold-end wall:
//   the window pairs the ends as in counterflow and takes the mixed-mean flue-gas outlet, while
//   in crossflow and the multi-pass arrangement the gas leaving beside the air inlet is colder
//   than that mean. The window's wall fields keep their values beside it. The area of the
//   flue-gas face below the acid dew point is told with it;
// - heat balance: the flue-gas duty Q1 and the air duty Q2, which the calculation works out
//   independently of each other, must agree within a tolerance.
// Every command that rates designs computes them here, from the case and the typed result of
// its run, so that they read the same wherever they are shown.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "model/result.hpp"
#include "study/case_input/case_file.hpp"
#include "study/checks/plate_field_run.hpp"
#include "study/outputs/results.hpp"

namespace aph::study {

// The case keys of the checks.
inline constexpr std::string_view kAcidDewPointKey = "flue_gas.acid_dew_point";  // ℃
inline constexpr std::string_view kWaterVapourKey = "flue_gas.h2o";              // vol %, wet basis
inline constexpr std::string_view kSulphurTrioxideKey = "flue_gas.so3";          // ppm by volume
inline constexpr std::string_view kGasPressureKey = "flue_gas.pressure";         // kPa absolute
inline constexpr std::string_view kDewPointMarginKey = "limits.dew_point_margin";  // K

struct CheckKeyInfo {
  std::string_view path, unit, caption;
};
inline constexpr std::array<CheckKeyInfo, 5> kCheckKeys = {{
    {kAcidDewPointKey, "℃", "烟气酸露点"},
    {kWaterVapourKey, "%", "烟气水蒸气体积分数（湿基）"},
    {kSulphurTrioxideKey, "ppm", "烟气SO3体积分数"},
    {kGasPressureKey, "kPa", "烟气绝对压力"},
    {kDewPointMarginKey, "K", "要求的冷端露点裕量"},
}};

// The range of each check key, both ends included, in the key's unit: where the correlations
// are meant to be used. Verhoff and Banchero's acid dew point is one of flue gases near the
// atmosphere, and over these ranges it always lies above the water dew point (the saturation line
// of IAPWS-IF97 region 4, which the water partial pressures, at most 80 kPa, never leave upwards;
// below the triple point there is none). A given acid dew point lies between the freezing point of
// water and the boiling point of the sulphuric-acid azeotrope (98.3 %, 337 ℃), above which no acid
// condenses; the required margin is held as --dew-point-margin is.
struct CheckRange {
  std::string_view path;
  double low, high;
  std::string_view why;  // told with the range
};
inline constexpr double kDewPointMarginLimit = 1000;  // K, either way
inline constexpr std::array<CheckRange, 5> kCheckRanges = {{
    {kAcidDewPointKey, 0, 337, "between freezing water and boiling sulphuric acid"},
    {kWaterVapourKey, 1, 40, "volume, wet basis, where the acid dew point correlation holds"},
    {kSulphurTrioxideKey, 0.1, 1000, "volume, where the acid dew point correlation holds"},
    {kGasPressureKey, 50, 200, "absolute, a flue gas near the atmosphere"},
    {kDewPointMarginKey, -kDewPointMarginLimit, kDewPointMarginLimit, "as --dew-point-margin"},
}};
// What is wrong with the value of a check key ("0 is out of range; allowed: 1 … 40 % (…)"), or
// nothing. These keys are no fields of the window, so they are held to their range always.
std::optional<std::string> checkInputFault(std::string_view path, double value);
// What is wrong with a case's check keys taken together (the sulphur trioxide needs the water
// vapour it is combined with): the key to name and the reason, or nothing.
std::optional<std::pair<std::string_view, std::string>> checkInputsFault(const Case& c);

// What the checks hold a design to.
struct CheckSettings {
  // K; when given (on the command line), it stands for every case's limits.dew_point_margin.
  std::optional<double> dewPointMargin;
  double balanceTolerance = 5;  // %, either way
};

// Partial pressures of a flue gas's water vapour and sulphur trioxide, in mmHg.
struct GasPartialPressures {
  double water = 0;
  double sulphurTrioxide = 0;
};

// The dew points of a case's flue gas.
struct DewPoints {
  std::optional<double> acid;   // ℃, given or computed; empty: the case says nothing of it
  std::optional<double> water;  // ℃; empty without the water vapour or off the saturation line
  bool acidGiven = false;       // flue_gas.acid_dew_point, not computed
  std::optional<GasPartialPressures> partial;  // from the water vapour (and sulphur trioxide)
};
DewPoints caseDewPoints(const Case& c);
// The margin the cold end must keep: the command line's, else the case's, else 0 K.
double requiredDewPointMargin(const Case& c, const CheckSettings& settings);

// The checks of one rated design.
struct DesignChecks {
  DewPoints dewPoints;
  std::optional<double> dewPointMargin;  // K: wall.field_min − acid dew point
  // The field's coldest flue-gas face, ℃, and the area of that face below the acid dew point, m²;
  // worked out where an acid dew point is known and the run completed.
  std::optional<double> fieldWallMinimum;
  std::optional<double> areaBelowAcidDewPoint;
  std::string fieldFault;  // why the field could not be worked out; empty when it was or need not
  std::optional<double> heatBalance;  // %: (Q1 − Q2) / Q2
  double requiredMargin = 0;          // K
  double balanceTolerance = 5;        // %
  unsigned violations = 0;            // kColdEndCorrosion, kHeatBalance
  PropertySource flueGasProperties = PropertySource::NotReached;
  PropertySource airProperties = PropertySource::NotReached;
  // The flue-gas properties were typed from the standard flue-gas table ("standard-table").
  bool flueGasStandardTable = false;
  // kJ/(kg·K): the flue-gas specific heat the run took from the window's table law (about 1.4
  // where flue gas has about 1.1), on which the flue-gas duty and the heat balance rest; empty
  // when the run took none.
  std::optional<double> tableLawSpecificHeat;
};

// The checks of one case, its dew points worked out once, for rating many designs of it. The
// field is that of `mode`: the rating point of a design (the plate that delivers the stated duty),
// or the operating point of a run at the outlet temperatures an off-design rating found.
class CaseChecks {
 public:
  CaseChecks(const Case& c, const CheckSettings& settings);
  DesignChecks operator()(const Rating& rating, FieldMode mode = FieldMode::Rating) const;
  const DewPoints& dewPoints() const { return dewPoints_; }
  double requiredMargin() const { return requiredMargin_; }

 private:
  DewPoints dewPoints_;
  double requiredMargin_ = 0;
  double balanceTolerance_ = 5;
  bool standardTable_ = false;
};
DesignChecks designChecks(const Case& c, const Rating& rating, const CheckSettings& settings,
                          FieldMode mode = FieldMode::Rating);

// The results of the checks, as named columns for tables, JSON, CSV and workbooks.
enum class CheckResult : std::uint8_t {
  AcidDewPoint,
  WaterDewPoint,
  FieldWallMinimum,
  AreaBelowAcidDewPoint,
  DewPointMargin,
  HeatBalance
};
struct CheckColumn {
  std::string_view name;
  CheckResult result;
  std::string_view unit;
  std::string_view caption;  // as the table and the workbook head it
};
inline constexpr std::array<CheckColumn, 6> kCheckColumns = {{
    {"acid_dew_point", CheckResult::AcidDewPoint, "℃", "烟气酸露点(℃)"},
    {"water_dew_point", CheckResult::WaterDewPoint, "℃", "烟气水露点(℃)"},
    {"wall.field_min", CheckResult::FieldWallMinimum, "℃", "板面烟气侧最低壁温(℃)"},
    {"area_below_acid_dew_point", CheckResult::AreaBelowAcidDewPoint, "m2",
     "低于酸露点的板面积(m2)"},
    {"dew_point_margin", CheckResult::DewPointMargin, "K", "冷端露点裕量(K)"},
    {"heat_balance", CheckResult::HeatBalance, "%", "热平衡偏差(Q1-Q2)/Q2(%)"},
}};
std::optional<double> checkValue(const DesignChecks& checks, CheckResult result);
// Shown in red: the dew-point margin below the required one, the heat balance beyond tolerance.
bool checkFlagged(const DesignChecks& checks, CheckResult result);
// The value as checkFigure writes it ("128.73"); empty when there is none.
std::string checkText(const DesignChecks& checks, CheckResult result);
// A number with two decimals ("128.73", never "-0.00"), and more where two would show a value
// that is not zero as 0.00: two significant digits then ("-0.0032", "0.001").
std::string checkFigure(double value);

// Which sides' properties came from a built-in table, in words: "烟气侧、空气侧", "烟气侧",
// "空气侧", "无" (both from the fields), the flue gas's as "烟气侧（标准烟气表）" from the
// standard table; empty when the run did not reach either side.
std::string tableSidesText(const DesignChecks& checks);
// "table", "standard-table" (flue gas only), "fields" or "not_reached", for JSON.
std::string_view propertySourceKey(const DesignChecks& checks, bool flueGas);

// What a result resting on the window's flue-gas table law says of it: the specific heat it
// took beside the about 1.1 kJ/(kg·K) of flue gas. In English for JSON, CSV, workbooks and the
// text lines ("flue-gas cp 1.4271 kJ/(kg·K) from the window's table law (flue gas: about 1.1)"),
// in Chinese for tables and the datasheet; empty when the run did not take the law.
std::string tableLawNote(const DesignChecks& checks);
std::string tableLawNote(std::optional<double> specificHeat);
std::string tableLawNoteChinese(const DesignChecks& checks);
// The specific heats the results of a table took from the window's law, told below it once.
struct TableLawSpan {
  std::optional<double> low, high;  // kJ/(kg·K)
  void add(const DesignChecks& checks);
  // "注：烟气比热容 1.4262 … 1.4271 kJ/(kg·K) 取自…", what follows from it and the opt-in, one
  // line; empty when no result took the law.
  std::string footnote() const;
};
// What follows from the law, and the opt-in: the footnote after the note.
inline constexpr std::string_view kTableLawFootnote =
    "这一公式（200 ℃ 以下为 1.42 × 密度）比烟气实际比热容高约三成，烟气换热量 Q1、"
    "热平衡偏差和按热平衡求得的出口温度都以此为准；工况文件中 "
    "\"flue_gas\": {\"properties\": \"standard-table\"} 改用标准烟气表的比热容";

}  // namespace aph::study
