#include "study/checks/design_checks.hpp"

#include <algorithm>
#include <cmath>

#include "engine/dew_point.hpp"
#include "model/text.hpp"
#include "study/checks/plate_field_run.hpp"
#include "study/outputs/number_text.hpp"

namespace aph::study {
namespace {

// The number a check key holds (written from a JSON number, so it reads back exactly).
std::optional<double> number(const Case& c, std::string_view path) {
  const auto& text = c.value(path);
  if (!text) return std::nullopt;
  return readWholeNumber(*text);
}

std::string shown(double value) {
  return numberText(value);
}

std::string fourDecimals(double value) {
  return fixedText(value, 4);
}

// The note of a specific heat (or a span of them) taken from the window's law.
std::string chineseNote(const std::string& specificHeat) {
  return "烟气比热容 " + specificHeat + " kJ/(kg·K) 取自窗口物性表的比热公式（烟气实际约 1.1）";
}

// A number this run wrote; empty when it did not get there.
std::optional<double> written(const Rating& rating, Quantity q) {
  const auto value = rating.written(q);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::string> checkInputFault(std::string_view path, double value) {
  for (const CheckRange& range : kCheckRanges) {
    if (range.path != path) continue;
    if (value >= range.low && value <= range.high) return std::nullopt;
    std::string unit;
    for (const CheckKeyInfo& info : kCheckKeys)
      if (info.path == path) unit = std::string(" ") + std::string(info.unit);
    return shown(value) + " is out of range; allowed: " + shown(range.low) + " … " +
           shown(range.high) + unit + " (" + std::string(range.why) + ")";
  }
  if (std::isfinite(value)) return std::nullopt;
  return shown(value) + " is out of range; allowed: a number within ±1.8e308";
}

std::optional<std::pair<std::string_view, std::string>> checkInputsFault(const Case& c) {
  if (c.value(kSulphurTrioxideKey) && !c.value(kWaterVapourKey))
    return std::pair{kSulphurTrioxideKey,
                     std::string("needs \"") + std::string(kWaterVapourKey) +
                         "\" too: the acid dew point is computed from both partial pressures"};
  return std::nullopt;
}

DewPoints caseDewPoints(const Case& c) {
  DewPoints points;
  const auto given = number(c, kAcidDewPointKey);
  const auto water = number(c, kWaterVapourKey);
  const auto trioxide = number(c, kSulphurTrioxideKey);
  const double pressure = number(c, kGasPressureKey).value_or(kStandardPressureKpa);
  if (water) {
    const PartialPressures p = partialPressures(*water, trioxide.value_or(0), pressure);
    points.partial = GasPartialPressures{p.water, p.sulphurTrioxide};
    points.water = waterDewPoint(points.partial->water);
    if (trioxide)
      points.acid = acidDewPoint(points.partial->water, points.partial->sulphurTrioxide);
  }
  if (given) {
    points.acid = given;
    points.acidGiven = true;
  }
  return points;
}

double requiredDewPointMargin(const Case& c, const CheckSettings& settings) {
  if (settings.dewPointMargin) return *settings.dewPointMargin;
  return number(c, kDewPointMarginKey).value_or(0);
}

CaseChecks::CaseChecks(const Case& c, const CheckSettings& settings)
    : dewPoints_(caseDewPoints(c)),
      requiredMargin_(requiredDewPointMargin(c, settings)),
      balanceTolerance_(settings.balanceTolerance),
      standardTable_(usesStandardTable(c)) {}

DesignChecks CaseChecks::operator()(const Rating& rating, FieldMode mode) const {
  DesignChecks checks;
  checks.dewPoints = dewPoints_;
  checks.requiredMargin = requiredMargin_;
  checks.balanceTolerance = balanceTolerance_;
  checks.flueGasProperties = rating.flueGasProperties;
  checks.airProperties = rating.airProperties;
  if (standardTable_) {
    checks.flueGasStandardTable = rating.flueGasProperties != PropertySource::NotReached;
  } else if (rating.flueGasProperties == PropertySource::Table) {
    checks.tableLawSpecificHeat = written(rating, Quantity::FlueGasSpecificHeat);
  }
  // The coldest surface the flue gas touches is the field's coldest point of the flue-gas face;
  // the field is worked out only where there is a dew point to hold it to.
  if (dewPoints_.acid && rating.completed()) {
    const FieldCheckOutcome field = fieldCheck(rating, dewPoints_.acid, mode);
    if (field.check) {
      checks.fieldWallMinimum = field.check->flueGasFaceMinimum;
      checks.areaBelowAcidDewPoint = field.check->areaBelowAcidDewPoint;
      const double margin = field.check->flueGasFaceMinimum - *dewPoints_.acid;
      if (std::isfinite(margin)) {
        checks.dewPointMargin = margin;
        if (margin < requiredMargin_) checks.violations |= kColdEndCorrosion;
      }
    } else {
      checks.fieldFault = field.error;
    }
  }
  // Q1 (flue gas) against Q2 (air), which rates the exchanger.
  const auto q1 = written(rating, Rating::heatDutyOf(Side::FlueGas));
  const auto q2 = written(rating, Rating::heatDutyOf(Side::Air));
  if (q1 && q2 && *q2 != 0) {
    const double balance = (*q1 - *q2) / *q2 * 100;
    if (std::isfinite(balance)) {
      checks.heatBalance = balance;
      if (std::fabs(balance) > balanceTolerance_) checks.violations |= kHeatBalance;
    }
  }
  return checks;
}

DesignChecks designChecks(const Case& c, const Rating& rating, const CheckSettings& settings,
                          FieldMode mode) {
  return CaseChecks(c, settings)(rating, mode);
}

std::optional<double> checkValue(const DesignChecks& checks, CheckResult result) {
  switch (result) {
    case CheckResult::AcidDewPoint:
      return checks.dewPoints.acid;
    case CheckResult::WaterDewPoint:
      return checks.dewPoints.water;
    case CheckResult::FieldWallMinimum:
      return checks.fieldWallMinimum;
    case CheckResult::AreaBelowAcidDewPoint:
      return checks.areaBelowAcidDewPoint;
    case CheckResult::DewPointMargin:
      return checks.dewPointMargin;
    case CheckResult::HeatBalance:
      return checks.heatBalance;
  }
  return std::nullopt;
}

bool checkFlagged(const DesignChecks& checks, CheckResult result) {
  if (result == CheckResult::DewPointMargin || result == CheckResult::FieldWallMinimum)
    return checks.violations & kColdEndCorrosion;
  if (result == CheckResult::HeatBalance) return checks.violations & kHeatBalance;
  return false;
}

std::string checkFigure(double value) {
  // Two decimals, and where they would show a value that is not zero as 0.00, as many more as
  // give it two significant digits (-0.0032, 0.001), so that a small disagreement is never told
  // as none.
  return fixedShowingText(value, 2, 2);
}

std::string checkText(const DesignChecks& checks, CheckResult result) {
  const auto value = checkValue(checks, result);
  return value ? checkFigure(*value) : std::string();
}

std::string tableSidesText(const DesignChecks& checks) {
  const bool flueGas =
      checks.flueGasStandardTable || checks.flueGasProperties == PropertySource::Table;
  const bool air = checks.airProperties == PropertySource::Table;
  const std::string flueGasSide = checks.flueGasStandardTable ? "烟气侧（标准烟气表）" : "烟气侧";
  if (flueGas && air) return flueGasSide + "、空气侧";
  if (flueGas) return flueGasSide;
  if (air) return "空气侧";
  if (checks.flueGasProperties == PropertySource::NotReached &&
      checks.airProperties == PropertySource::NotReached)
    return {};
  return "无";
}

std::string tableLawNote(std::optional<double> specificHeat) {
  if (!specificHeat) return {};
  return "flue-gas cp " + fourDecimals(*specificHeat) +
         " kJ/(kg·K) from the window's table law (flue gas: about 1.1)";
}

std::string tableLawNote(const DesignChecks& checks) {
  return tableLawNote(checks.tableLawSpecificHeat);
}

std::string tableLawNoteChinese(const DesignChecks& checks) {
  if (!checks.tableLawSpecificHeat) return {};
  return chineseNote(fourDecimals(*checks.tableLawSpecificHeat));
}

void TableLawSpan::add(const DesignChecks& checks) {
  if (!checks.tableLawSpecificHeat) return;
  const double cp = *checks.tableLawSpecificHeat;
  low = low ? std::min(*low, cp) : cp;
  high = high ? std::max(*high, cp) : cp;
}

std::string TableLawSpan::footnote() const {
  if (!low || !high) return {};
  const std::string span = fourDecimals(*low) == fourDecimals(*high)
                               ? fourDecimals(*low)
                               : fourDecimals(*low) + " … " + fourDecimals(*high);
  return "注：" + chineseNote(span) + "。" + std::string(kTableLawFootnote) + "\n";
}

std::string_view propertySourceKey(const DesignChecks& checks, bool flueGas) {
  if (flueGas && checks.flueGasStandardTable) return "standard-table";
  switch (flueGas ? checks.flueGasProperties : checks.airProperties) {
    case PropertySource::Table:
      return "table";
    case PropertySource::Fields:
      return "fields";
    default:
      return "not_reached";
  }
}

}  // namespace aph::study
