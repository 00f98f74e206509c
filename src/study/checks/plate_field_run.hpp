// The temperature field of the plate for one rated design, beside the window's calculation: the
// numbers of the run (film coefficients, fouling, plate, area, flows and specific heats, the
// arrangement and its passes) handed to the field of the plate, in one of two operating points:
// - rating: the plate that delivers exactly the stated duty, both film coefficients scaled by one
//   common factor until the field's mixed-mean flue-gas outlet is the case's;
// - operation: the coefficients as the run found them, at the outlet temperatures it was given
//   (those simulate finds, for an off-design point).
// The window's own numbers (its wall temperatures among them) are never touched.
//
// The acid condenses where the flue gas touches the plate, so the corrosion checks read the
// flue-gas face: its coldest point and the area of it below the acid dew point.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/result.hpp"

namespace aph::study {

enum class FieldMode : std::uint8_t { Rating, Operation };

// The finest grid `field --grid` takes, per section and direction.
inline constexpr int kMaxFieldGridOption = 512;

// What the design checks take from the field.
struct FieldCheck {
  double flueGasFaceMinimum = 0;                // ℃, the coldest point of the flue-gas face
  std::optional<double> areaBelowAcidDewPoint;  // m², of the flue-gas face
};
// The field's check of a completed run, at the operating point `mode`; the reason in English when
// there is none.
struct FieldCheckOutcome {
  std::optional<FieldCheck> check;
  std::string error;
};
FieldCheckOutcome fieldCheck(const Rating& rating, std::optional<double> acidDewPoint,
                             FieldMode mode = FieldMode::Rating);

// One point of the field: position in fractions of the section's flow lengths (x along the flue
// gas, y along the air), stream and face temperatures in ℃.
struct FieldValues {
  double x = 0, y = 0;
  double flueGas = 0, air = 0, flueGasFace = 0, airFace = 0;
};
struct FieldExtremePoint {
  double temperature = 0;
  int section = 0;
  double x = 0, y = 0;
  bool airFace = true;
};
struct FieldSectionPasses {
  int flueGasPass = 0, airPass = 0;  // from 0, in each stream's own order
};

// The whole field, for the field command and its picture.
struct FieldReport {
  FieldMode mode = FieldMode::Rating;
  std::string arrangement;  // "counterflow", "crossflow", "multi_pass"
  int nx = 0, ny = 0;       // cells of each section along the flue gas and along the air
  std::vector<FieldSectionPasses> sections;
  std::vector<FieldValues> cells;  // section by section, rows by y, cells by x
  std::vector<FieldValues> nodes;  // section by section, (nx + 1) × (ny + 1), rows by y
  double area = 0;                 // m²
  double overallCoefficient = 0;   // W/(m²·K), as used
  double scaleFactor = 1;          // rating mode
  double duty = 0;                 // kW
  double flueGasInlet = 0, flueGasOutlet = 0, airInlet = 0, airOutlet = 0;  // ℃
  double flueGasHeatCapacityRate = 0, airHeatCapacityRate = 0;              // kW/K
  FieldExtremePoint wallMin, wallMax;
  std::optional<double> acidDewPoint, waterDewPoint;                    // ℃
  std::optional<double> areaBelowAcidDewPoint, areaBelowWaterDewPoint;  // m², flue-gas face

  const FieldValues& node(int section, int i, int j) const {
    return nodes[(static_cast<std::size_t>(section) * static_cast<std::size_t>(ny + 1) +
                  static_cast<std::size_t>(j)) *
                     static_cast<std::size_t>(nx + 1) +
                 static_cast<std::size_t>(i)];
  }
};
struct FieldReportOutcome {
  std::optional<FieldReport> report;
  std::string error;
};
// `grid` cells per section and direction, 0 for the design checks' grid.
FieldReportOutcome fieldReport(const Rating& rating, FieldMode mode, int grid,
                               std::optional<double> acidDewPoint,
                               std::optional<double> waterDewPoint);

}  // namespace aph::study
