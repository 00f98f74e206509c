// The results of a rating as stable names for spreadsheets and scripts, each with the quantity
// of the window it shows, and the limits the window flags, read from the typed result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/result.hpp"

namespace aph::study {

struct ResultColumn {
  std::string_view name;  // "flue_gas.pressure_drop"
  Quantity quantity;
  std::string_view unit;
};

// Every result field of the window, in the order of the calculation's stages.
const std::vector<ResultColumn>& resultColumns();
// The key results a sweep writes per design, in this order; the mean temperature difference
// column shows the selected arrangement's field.
inline constexpr std::string_view kMeanDifferenceColumn = "mean_temperature_difference";
const std::vector<ResultColumn>& sweepColumns();
// The quantity a column shows in a rating: for the mean temperature difference, the selected
// arrangement's.
Quantity columnQuantity(const ResultColumn& column, const Rating& rating);

// The limits a rating can break: the first four as the window's red text flags them, the last
// two as the batch tool's design checks find them (study/checks/design_checks).
enum Violation : std::uint8_t {
  kMarginBelow = 1,        // margin below 0 %
  kMarginAbove = 2,        // margin above 30 %
  kFlueGasDrop = 4,        // flue-gas pressure drop above 500 Pa
  kAirDrop = 8,            // air pressure drop above 500 Pa
  kColdEndCorrosion = 16,  // the cold-end wall closer to the acid dew point than required
  kHeatBalance = 32,       // the two heat duties disagree beyond the tolerance
  kWindowViolations = 15,  // the four the window flags
};
// The window's flags of a rating (the design checks add theirs: DesignChecks::violations).
unsigned violations(const Rating& rating);
// "margin_high;dp_flue_gas;cold_end_corrosion" – empty when nothing is flagged.
std::string violationText(unsigned flags);
std::vector<std::string> violationNames(unsigned flags);

// A caption that says which side it belongs to: "进口温度(℃)" of "air.inlet_temperature" becomes
// "空气侧进口温度(℃)"; captions that name their side stay as they are. The two walls the window
// captions alike are told by their end and side ("热端空气侧壁温（℃）").
std::string sideCaption(std::string_view path, std::string_view caption);

// Case-file value and table caption of the arrangement and the flow mode the run had selected.
std::string_view arrangementKey(const Rating& rating);
std::string_view arrangementCaption(const Rating& rating);
std::string_view flowModeKey(const Rating& rating);
std::string_view flowModeCaption(const Rating& rating);

}  // namespace aph::study
