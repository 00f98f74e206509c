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
  std::optional<OptionId> arrangement;             // Option1..3 as selected for the run
  std::optional<OptionId> flowMode;                // Option4..5
  std::optional<float> meanTemperatureDifference;  // ΔTm the rating divided by, ℃

  bool completed() const { return stage == Stage::Completed; }
  const ShownField& operator[](FieldId id) const { return fields[static_cast<std::size_t>(id)]; }
  const std::string& text(FieldId id) const { return (*this)[id].text; }
  std::optional<double> value(FieldId id) const { return (*this)[id].value; }
  bool flagged(FieldId id) const { return (*this)[id].flagged; }
  const ShownField& dialogField(DialogKind dialog, std::string_view name) const;

  // The flags of the window: the margin of this run outside 0 % to 30 % (below or above), a
  // pressure drop above 500 Pa.
  bool marginBelowBand() const { return flaggedSign(FieldId::Text49) < 0; }
  bool marginAboveBand() const { return flaggedSign(FieldId::Text49) > 0; }
  bool flueGasDropOverLimit() const { return flagged(FieldId::Text45); }
  bool airDropOverLimit() const { return flagged(FieldId::Text46); }

 private:
  // -1 or +1 for a red field with a negative or other value of this run, 0 otherwise.
  int flaggedSign(FieldId id) const {
    const ShownField& f = (*this)[id];
    if (!f.flagged || !f.value) return 0;
    return *f.value < 0 ? -1 : 1;
  }
};

// The text a number takes in a field of the given format.
std::string formatField(TextFormat format, double value);

}  // namespace aph
