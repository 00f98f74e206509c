// The typed result of one press of "热力计算": beside the texts it writes, every run records what
// the window shows after it, each quantity as the number the calculation used or wrote in the
// unit of its field, the window's red flags, where the property sets came from and how the run
// ended. It is filled at the very points where the texts are written, so it never disagrees with
// the window. Studies, tables and the datasheet read this record, never a field's text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "model/fields.hpp"

namespace aph {

// The stages of the calculation, in the order they run; Completed once the last has written.
enum class Stage : std::uint8_t {
  NotRun,  // no run yet
  Checks,
  NusseltConstants,
  FlueGasProperties,
  AirProperties,
  Flows,
  HeatDuties,
  MeanTemperatureDifferences,
  PlateAreaAndDiameters,
  Velocities,
  ReynoldsNumbers,
  FilmCoefficients,
  PressureDrops,
  OverallCoefficients,
  WallTemperatures,
  Completed,
};

// Where a side's property set came from.
enum class PropertySource : std::uint8_t {
  NotReached,  // the run stopped before this side's property stage
  Table,       // the four fields were empty: the built-in table at the mean temperature
  Fields,      // the user's values in the four fields
};

// The two streams, and the two ends of the plate (hot: flue gas in, air out; cold: flue gas
// out, air in), as the studies ask for them.
enum class Side : std::uint8_t { FlueGas, Air };
enum class PlateEnd : std::uint8_t { Hot, Cold };

struct ShownField {
  std::string text;             // as the window shows it after the run
  std::optional<double> value;  // the number the run wrote there or read from it; empty: neither
  bool written = false;         // this run wrote the text (formatted from `value`)
  bool flagged = false;         // shown in red
};

struct Rating {
  std::array<ShownField, kFieldCount> fields;
  // The dialogs' fields in the order of kDialogFields: their texts as the run found them (a
  // dialog never opened shows its defaults), and for the tuning factors the factor applied.
  std::array<ShownField, kDialogFields.size()> dialogFields;
  Stage stage = Stage::NotRun;  // the stage that ended the run, or Completed
  std::string message;          // the message that ended it; empty when it completed
  PropertySource flueGasProperties = PropertySource::NotReached;
  PropertySource airProperties = PropertySource::NotReached;
  std::optional<Arrangement> arrangement;          // as selected for the run
  std::optional<FlowMode> flowMode;                // how the flows were given
  std::optional<float> meanTemperatureDifference;  // ΔTm the rating divided by, ℃

  bool completed() const { return stage == Stage::Completed; }
  const ShownField& operator[](FieldId id) const { return fields[static_cast<std::size_t>(id)]; }
  const std::string& text(FieldId id) const { return (*this)[id].text; }
  std::optional<double> value(FieldId id) const { return (*this)[id].value; }
  bool flagged(FieldId id) const { return (*this)[id].flagged; }

  // The same by quantity.
  const ShownField& operator[](Quantity q) const { return (*this)[fieldOf(q)]; }
  const std::string& text(Quantity q) const { return (*this)[q].text; }
  std::optional<double> value(Quantity q) const { return (*this)[q].value; }
  bool flagged(Quantity q) const { return (*this)[q].flagged; }
  // A value this run wrote (not one it only read or left from before).
  std::optional<double> written(Quantity q) const {
    const ShownField& f = (*this)[q];
    return f.written ? f.value : std::nullopt;
  }
  const ShownField& dialogField(DialogQuantity q) const {
    return dialogFields[static_cast<std::size_t>(q)];
  }

  // The questions studies ask, by side and end.
  static constexpr Quantity heatDutyOf(Side s) {
    return s == Side::FlueGas ? Quantity::FlueGasHeatDuty : Quantity::AirHeatDuty;
  }
  static constexpr Quantity pressureDropOf(Side s) {
    return s == Side::FlueGas ? Quantity::FlueGasPressureDrop : Quantity::AirPressureDrop;
  }
  // The wall temperature on one side's face of the plate at one end: the hot end's flue-gas face
  // is the plate's hottest point, the cold end's air face its coldest.
  static constexpr Quantity wallOf(PlateEnd end, Side face) {
    if (end == PlateEnd::Hot)
      return face == Side::FlueGas ? Quantity::WallMaximum : Quantity::HotEndAirSideWall;
    return face == Side::Air ? Quantity::WallMinimum : Quantity::ColdEndFlueGasSideWall;
  }
  // The mean temperature difference field of the selected arrangement (counterflow's when none).
  Quantity meanDifferenceQuantity() const {
    if (arrangement == Arrangement::Crossflow) return Quantity::CrossflowMeanDifference;
    if (arrangement == Arrangement::MultiPass) return Quantity::MultiPassMeanDifference;
    return Quantity::CounterflowMeanDifference;
  }
  std::optional<double> heatDuty(Side s) const { return value(heatDutyOf(s)); }
  std::optional<double> pressureDrop(Side s) const { return value(pressureDropOf(s)); }
  std::optional<double> wallTemperature(PlateEnd end, Side face) const {
    return value(wallOf(end, face));
  }
  std::optional<double> margin() const { return value(Quantity::Margin); }
  PropertySource propertySource(Side s) const {
    return s == Side::FlueGas ? flueGasProperties : airProperties;
  }

  // The flags of the window: the margin of this run outside 0 % to 30 % (below or above), a
  // pressure drop above 500 Pa.
  bool marginBelowBand() const { return flaggedSign(Quantity::Margin) < 0; }
  bool marginAboveBand() const { return flaggedSign(Quantity::Margin) > 0; }
  bool dropOverLimit(Side s) const { return flagged(pressureDropOf(s)); }
  bool flueGasDropOverLimit() const { return dropOverLimit(Side::FlueGas); }
  bool airDropOverLimit() const { return dropOverLimit(Side::Air); }

 private:
  // -1 or +1 for a red field with a negative or other value of this run, 0 otherwise.
  int flaggedSign(Quantity q) const {
    const ShownField& f = (*this)[q];
    if (!f.flagged || !f.value) return 0;
    return *f.value < 0 ? -1 : 1;
  }
};

// The text a number takes in a field of the given format.
std::string formatField(TextFormat format, double value);

}  // namespace aph
