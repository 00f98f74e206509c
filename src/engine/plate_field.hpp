// The temperature field of the plate: local flue-gas and air temperatures, the wall temperature
// on both faces of the plate in every cell, the coldest and the hottest point and where they lie,
// and the area below a given temperature (the acid and the water dew points).
//
// A section of the plate is the rectangle 0 ≤ x ≤ 1, 0 ≤ y ≤ 1 in fractions of its flow
// lengths: the flue gas flows along x, the air along y (counterflow: both along x, the air from
// x = 1 back to x = 0). The film coefficients and hence the overall coefficient K are uniform, and
// each stream is spread evenly over its flow width, so only the heat transfer area and the
// numbers of transfer units N1 = K·A / C1, N2 = K·A / C2 shape the field: the flow lengths and
// widths only scale the fractions back into metres.
//
// Faces. The flue-gas face is the surface the flue gas touches (outside any deposit on that
// side), tg = t1 − q / h1; the air face is the surface the air touches, ta = t2 + q / h2, with the
// local heat flux q = K (t1 − t2). Where the flue gas is the hotter stream, the air face is the
// colder of the two.
//
// Counterflow is the exact one-dimensional solution in closed form: its cells are slices along
// the flow length, one across the width.
//
// Crossflow, both streams unmixed, is a grid of cells. Each cell is solved exactly as a small
// exchanger in which the flue gas approaches the cell's mean air temperature along its own
// exponential, and the air the cell's mean flue-gas temperature along its own:
//   d = (t1 − t2) / (1/φ(a1) + 1/φ(a2) − 1),   φ(a) = (1 − e^−a) / a,
//   t1' = t1 − a1·d,   t2' = t2 + a2·d,   cell means t1m = t2 + d/φ(a2), t2m = t1 − d/φ(a1),
// with t1, t2 the temperatures entering the cell, t1', t2' those leaving it, and a1, a2 the cell's
// own numbers of transfer units. The flue gas gives up exactly what the air takes up, cell by
// cell, and both equal K·ΔA·(t1m − t2m). Up to the second order in a1, a2 the cell's heat agrees
// with that of an unmixed crossflow cell, so the field's duty converges with the square of the
// cell size to the exact series.
//
// The multi-pass arrangement with nf flue-gas passes and na air passes is a counter-current chain
// of S = max(nf, na) equal crossflow sections, each crossed by one pass of the stream with more
// passes: the flue gas runs through sections 0, 1, …, S − 1, the air through S − 1, …, 0. The
// other stream's passes each run straight on through a group of consecutive sections (pass k
// through sections ⌊k·S/m⌋ to ⌊(k + 1)·S/m⌋ − 1, m = min(nf, na)), its profile carried from one
// section into the next. Between its passes each stream is collected and mixed in a return duct.
// With one flue-gas pass this is the single plate whose air channels are divided by baffles into
// na bands, the air entering the band where the flue gas leaves and working back against it; with
// one air pass, the same with the roles exchanged; with passes on both sides, plate packs joined by
// ducts. Both streams' passes thus advance against each other, the flue-gas outlet meets the air
// inlet (section S − 1, corner x = 1, y = 0), and the duty goes from crossflow towards
// counterflow as the passes multiply, as the window's multi-pass mean temperature difference
// assumes (which counts only the smaller pass count, so that one pass on either side is
// crossflow to it; here the air passes of a single flue-gas pass already work back against the
// flue gas, as on the plate). A single plate with baffles in both channel sets cannot do this:
// there the two streams' passes advance across each other, and more passes bring it back towards
// crossflow.
// Pass counts must be whole numbers: a field of 1.5 passes does not exist, and rounding would
// silently show another exchanger.
//
// Wall temperatures at the grid's nodes (the corners of the cells, on every section's edges
// too) give the minimum, the maximum and the area below a temperature. Along a section's edges
// the streams are marched exactly against the temperatures crossing the edge; inside, a stream's
// temperature is the mean of the two cells it separates. At the corner of the flue-gas outlet and
// the air inlet this is exact for any grid in crossflow.
//
// Every function here returns its answer or a FieldError naming the cause; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace aph {

enum class FieldArrangement : std::uint8_t { Counterflow, Crossflow, MultiPass };
enum class PlateFace : std::uint8_t { FlueGas, Air };

// The grid of one section (the whole plate outside the multi-pass arrangement): cells along the
// flue-gas flow (x) and along the air flow (y). Counterflow uses `alongFlueGas` only. {0, 0} is
// the design checks' grid, chosen from the field's own numbers of transfer units.
struct FieldGrid {
  int alongFlueGas = 0;
  int alongAir = 0;
};

// Bounds of the work one field may take: cells per direction of a section, passes per side, and
// cells in all (sections × cells of a section).
inline constexpr int kMaxFieldGrid = 512;
inline constexpr int kMaxFieldPasses = 16;
inline constexpr std::size_t kMaxFieldCells = 262144;

// The design checks' grid: along each flow as many cells as keep every cell's number of transfer
// units of that stream at or below kDesignCellTransferUnits, at least kMinSectionGrid and at most
// kMaxDesignGrid per section. The duty's error falls with the square of a cell's transfer units;
// at 0.15 it stays below 0.07 % of the exact duty in crossflow for every capacity-rate ratio up to
// NTU 8 (14 × 11 cells and 0.067 % on the default window; 2 × 7 × 6 cells and 0.04 % with 2 × 2
// passes), and the coldest wall within 0.1 K of the grid-converged one (exact in crossflow,
// 0.01 K off with 2 × 2 passes). Counterflow, exact at any grid, takes kMaxDesignGrid slices for
// the area below a dew point.
inline constexpr double kDesignCellTransferUnits = 0.15;
// No cell may carry more transfer units of either stream than this, on any grid: a cell's heat
// grows with K only up to some 2.5 of them (the mixed cell's law), and beyond 1 its error exceeds
// 1 %. The design checks' grid refines past kMaxDesignGrid where it must.
inline constexpr double kMaxCellTransferUnits = 1;
inline constexpr int kMinSectionGrid = 4;
inline constexpr int kMaxDesignGrid = 64;
// n1 = K·A / C1 and n2 = K·A / C2 of the whole plate.
FieldGrid designCheckGrid(FieldArrangement arrangement, int flueGasPasses, int airPasses, double n1,
                          double n2);

struct FieldStream {
  double heatCapacityRate = 0;  // kW/K: mass flow × specific heat
  double inletTemperature = 0;  // ℃
  double filmCoefficient = 0;   // W/(m²·K)
  double fouling = 0;           // m²·K/W
};

struct FieldInput {
  FieldArrangement arrangement = FieldArrangement::Crossflow;
  FieldStream flueGas, air;
  double plateThickness = 0;     // mm
  double plateConductivity = 0;  // W/(m·K)
  double area = 0;               // m², both faces of every plate pair
  double flueGasPasses = 1;      // multi-pass only: whole numbers, 1 … kMaxFieldPasses
  double airPasses = 1;
  FieldGrid grid;  // per section; {0, 0}: the design checks' grid
};

// One cell: the mean temperatures of both streams over the cell, of both faces, and the
// temperatures with which the streams leave it (the flue gas towards larger x, the air towards
// larger y; in counterflow towards smaller x). A node: the same at a point, the leaving
// temperatures unused.
struct FieldPoint {
  double flueGas = 0, air = 0;
  double flueGasFace = 0, airFace = 0;
  double flueGasLeaving = 0, airLeaving = 0;
};

struct WallExtreme {
  double temperature = 0;  // ℃
  int section = 0;
  double x = 0, y = 0;  // fractions of the section's flue-gas and air flow length
  PlateFace face = PlateFace::Air;
};

// Which pass of each stream crosses a section, counted from 0 in that stream's own order.
struct FieldSection {
  int flueGasPass = 0;
  int airPass = 0;
};

struct PlateField {
  FieldArrangement arrangement = FieldArrangement::Crossflow;
  FieldGrid grid;                      // cells of each section (counterflow: {slices, 1})
  std::vector<FieldSection> sections;  // in the flue gas's order
  // Section by section, rows by y, cells by x; each cell covers area / cells.size().
  std::vector<FieldPoint> cells;
  // Section by section, each (nx + 1) × (ny + 1) nodes, rows by y.
  std::vector<FieldPoint> nodes;

  double area = 0;                             // m²
  double filmCoefficient1 = 0;                 // W/(m²·K), as used (scaled in the rating mode)
  double filmCoefficient2 = 0;                 // W/(m²·K)
  double overallCoefficient = 0;               // W/(m²·K), as used
  double scaleFactor = 1;                      // the rating mode's common factor on h1 and h2
  double duty = 0;                             // kW, from the flue gas to the air
  double flueGasInlet = 0, flueGasOutlet = 0;  // ℃, outlets mixed-mean
  double airInlet = 0, airOutlet = 0;
  double flueGasHeatCapacityRate = 0, airHeatCapacityRate = 0;  // kW/K
  WallExtreme wallMin, wallMax;

  const FieldPoint& cell(int section, int i, int j) const {
    const auto nx = static_cast<std::size_t>(grid.alongFlueGas);
    const auto ny = static_cast<std::size_t>(grid.alongAir);
    return cells[(static_cast<std::size_t>(section) * ny + static_cast<std::size_t>(j)) * nx +
                 static_cast<std::size_t>(i)];
  }
  const FieldPoint& node(int section, int i, int j) const {
    const auto nx = static_cast<std::size_t>(grid.alongFlueGas) + 1;
    const auto ny = static_cast<std::size_t>(grid.alongAir) + 1;
    return nodes[(static_cast<std::size_t>(section) * ny + static_cast<std::size_t>(j)) * nx +
                 static_cast<std::size_t>(i)];
  }
};

struct FieldError {
  enum class Cause : std::uint8_t {
    HeatCapacityRate,   // zero, negative or not finite
    FilmCoefficient,    // zero, negative or not finite
    Fouling,            // negative or not finite
    PlateThickness,     // negative or not finite
    PlateConductivity,  // zero, negative or not finite
    Area,               // zero, negative or not finite
    Temperature,        // not finite
    PassCount,          // not a whole number from 1 to kMaxFieldPasses
    Grid,               // below 1 or beyond kMaxFieldGrid, or beyond kMaxFieldCells in all
    CoarseGrid,         // cells carrying more than kMaxCellTransferUnits
    TransferUnits,      // K·A / C beyond the range of a double, or the design grid's bounds
    Unreachable,        // rating mode: no factor in its bounds gives the outlet temperature
  };
  Cause cause = Cause::HeatCapacityRate;
  std::string subject;  // what was refused, in English: "flue-gas heat capacity rate"
  double value = 0;     // the value refused
};
// "flue-gas heat capacity rate must be above 0 and finite (is -3)".
std::string describe(const FieldError& error);

using FieldOutcome = std::variant<PlateField, FieldError>;

// The field of the operating point: the film coefficients as given.
FieldOutcome solvePlateField(const FieldInput& input);

// The rating mode's bounds on the common factor of h1 and h2.
inline constexpr double kMinScaleFactor = 1e-3;
inline constexpr double kMaxScaleFactor = 1e3;

// The rating mode: h1 and h2 scaled by one common factor, found by a bracketed search within
// [kMinScaleFactor, kMaxScaleFactor], until the field's mixed-mean flue-gas outlet temperature is
// `flueGasOutlet`; the air outlet follows from the field's energy balance. Unreachable when the
// outlet lies outside what the bounds (or the plate's wall and fouling resistance) allow; coarse
// grid when a given grid's cells would carry too many transfer units at the factor needed. With
// the design checks' grid, that grid at the coefficients found: a search on a coarse grid, then
// a short one on the design grid of its factor.
FieldOutcome ratePlateField(const FieldInput& input, double flueGasOutlet);

// Area in m² of the plate, all sections, where `face` is below `temperature` (the wall linear over
// each half of every cell, split along its diagonal).
double areaBelow(const PlateField& field, double temperature, PlateFace face);

}  // namespace aph
