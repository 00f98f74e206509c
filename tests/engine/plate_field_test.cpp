// The plate's temperature field: energy balances, the closed forms it must meet, the exact
// crossflow series it converges to, its symmetries and limits, the rating mode, refusals.
#include "engine/plate_field.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace aph {
namespace {

using Arrangement = FieldArrangement;

// The default window in crossflow: film coefficients, mass flows × specific heats, the plate.
constexpr double kH1 = 89.8504, kH2 = 115.9491;
constexpr double kC1 = 247785.2328 * 1.04 / 3600, kC2 = 326100 * 1.001 / 3600;
constexpr double kT1 = 350, kT2 = 40;

FieldInput defaultInput(Arrangement arrangement, double passes1 = 1, double passes2 = 1) {
  FieldInput in;
  in.arrangement = arrangement;
  in.flueGas = {kC1, kT1, kH1, 0};
  in.air = {kC2, kT2, kH2, 0};
  in.plateThickness = 1.5;
  in.plateConductivity = 17.5;
  in.area = 2851.2;
  in.flueGasPasses = passes1;
  in.airPasses = passes2;
  return in;
}

double overall(const FieldInput& in) {
  return 1 / (1 / in.flueGas.filmCoefficient + in.flueGas.fouling +
              in.plateThickness / 1000 / in.plateConductivity + in.air.fouling +
              1 / in.air.filmCoefficient);
}

// An input whose plate has n1 = K·A / C1 and n2 = K·A / C2.
FieldInput withTransferUnits(Arrangement arrangement, double n1, double n2) {
  FieldInput in = defaultInput(arrangement);
  in.area = n1 * kC1 * 1000 / overall(in);
  in.air.heatCapacityRate = kC1 * n1 / n2;
  return in;
}

PlateField solved(const FieldInput& in) {
  const FieldOutcome outcome = solvePlateField(in);
  if (const auto* error = std::get_if<FieldError>(&outcome)) {
    ADD_FAILURE() << describe(*error);
    return {};
  }
  return std::get<PlateField>(outcome);
}

// Crossflow with both streams unmixed, exactly: Q = Δt · C1·C2 / (K·A) · Σn Pn(N1)·Pn(N2), with
// Pn(N) = 1 − e^−N · Σ(m ≤ n) N^m / m!.
double exactCrossflowDuty(double n1, double n2, double c1, double c2, double span) {
  double sum = 0, term1 = 1, term2 = 1, partial1 = 1, partial2 = 1;
  for (int n = 0; n < 1000; ++n) {
    if (n > 0) {
      term1 *= n1 / n;
      term2 *= n2 / n;
      partial1 += term1;
      partial2 += term2;
    }
    const double add = (1 - std::exp(-n1) * partial1) * (1 - std::exp(-n2) * partial2);
    sum += add;
    if (n > 2 * (n1 + n2) + 10 && add < 1e-18) break;
  }
  return span * c1 * c2 / (c1 * n1) * sum;  // C1·C2 / (K·A) = C2 / N1
}

// The field's duty converges with the square of the cell size to the exact series (a grid
// refinement), is within 0.1 % on the design checks' grid, and meets the series on a fine grid.
TEST(PlateField, CrossflowConvergesToTheExactSeries) {
  struct Row {
    double n1, n2;  // 0, 0: the default window
  };
  for (const Row& r : {Row{0, 0}, Row{4, 1}, Row{1, 4}, Row{3, 3}, Row{0.3, 0.2}}) {
    const FieldInput base = r.n1 == 0 ? defaultInput(Arrangement::Crossflow)
                                      : withTransferUnits(Arrangement::Crossflow, r.n1, r.n2);
    const double ka = overall(base) * base.area / 1000;
    const double c1 = base.flueGas.heatCapacityRate, c2 = base.air.heatCapacityRate;
    const double exact = exactCrossflowDuty(ka / c1, ka / c2, c1, c2, kT1 - kT2);
    const auto error = [&](FieldGrid grid) {
      FieldInput in = base;
      in.grid = grid;
      return solved(in).duty / exact - 1;
    };
    const double coarse = error({8, 8}), finer = error({16, 16});
    EXPECT_GT(std::fabs(coarse) / std::fabs(finer), 3.5) << r.n1 << " " << r.n2;
    EXPECT_LT(std::fabs(error({0, 0})), 1e-3) << r.n1 << " " << r.n2;
    EXPECT_LT(std::fabs(error({128, 128})), 3e-5) << r.n1 << " " << r.n2;
  }
}

// Counterflow against its closed form: ε = (1 − e^−N(1−R)) / (1 − R·e^−N(1−R)) on the smaller
// capacity rate, N / (1 + N) at R = 1; the coldest wall is the air face where the flue gas
// leaves and the air enters.
TEST(PlateField, CounterflowMeetsItsClosedForm) {
  struct Row {
    double n1, n2;
  };
  for (const Row& r : {Row{2, 1.5}, Row{1.5, 2}, Row{2, 2}, Row{0.01, 0.02}, Row{30, 5}}) {
    FieldInput in = withTransferUnits(Arrangement::Counterflow, r.n1, r.n2);
    in.grid = {10, 0};
    const PlateField f = solved(in);
    const double c1 = in.flueGas.heatCapacityRate, c2 = in.air.heatCapacityRate;
    const double cMin = std::min(c1, c2), ratio = cMin / std::max(c1, c2);
    const double ntu = std::max(r.n1, r.n2);
    const double e = std::exp(-ntu * (1 - ratio));
    const double effectiveness = ratio == 1 ? ntu / (1 + ntu) : (1 - e) / (1 - ratio * e);
    const double duty = effectiveness * cMin * (kT1 - kT2);
    EXPECT_NEAR(f.duty, duty, duty * 1e-12) << r.n1 << " " << r.n2;
    EXPECT_NEAR(f.flueGasOutlet, kT1 - duty / c1, 1e-9);
    EXPECT_NEAR(f.airOutlet, kT2 + duty / c2, 1e-9);
    const double coldest = kT2 + overall(in) / kH2 * (f.flueGasOutlet - kT2);
    EXPECT_NEAR(f.wallMin.temperature, coldest, 1e-9);
    EXPECT_EQ(f.wallMin.x, 1);
    EXPECT_EQ(f.wallMin.face, PlateFace::Air);
  }
}

// Every cell: what the flue gas gives up, what passes the wall (K·ΔA·(t1m − t2m)) and what the
// air takes up agree. The streams enter a cell from its upstream neighbour; at a section's edge
// from the section before in that stream's order: straight on within a pass, mixed between
// passes. Overall the duties agree.
TEST(PlateField, EnergyIsConservedInEveryCellAndOverall) {
  struct Row {
    Arrangement arrangement;
    int passes1, passes2;
    FieldGrid grid;
  };
  for (const Row& r :
       {Row{Arrangement::Crossflow, 1, 1, {7, 5}}, Row{Arrangement::MultiPass, 2, 3, {4, 3}},
        Row{Arrangement::MultiPass, 3, 2, {3, 4}}, Row{Arrangement::Counterflow, 1, 1, {9, 0}}}) {
    FieldInput in = defaultInput(r.arrangement, r.passes1, r.passes2);
    in.flueGas.fouling = 0.0003;
    in.grid = r.grid;
    const PlateField f = solved(in);
    const int sections = static_cast<int>(f.sections.size());
    const int nx = f.grid.alongFlueGas, ny = f.grid.alongAir;
    ASSERT_EQ(sections, std::max(r.passes1, r.passes2));
    ASSERT_EQ(f.sections.back().flueGasPass, r.passes1 - 1);
    ASSERT_EQ(f.sections.front().airPass, r.passes2 - 1);
    const double cellKa = overall(in) * in.area / 1000 / static_cast<double>(f.cells.size());
    const bool counterflow = r.arrangement == Arrangement::Counterflow;
    const double row1 = in.flueGas.heatCapacityRate / ny;
    const double column2 = in.air.heatCapacityRate / (counterflow ? 1 : nx);
    const auto gasEntering = [&](int s, int i, int j) {
      if (i > 0) return f.cell(s, i - 1, j).flueGasLeaving;
      if (s == 0) return kT1;
      if (f.sections[s].flueGasPass == f.sections[s - 1].flueGasPass)
        return f.cell(s - 1, nx - 1, j).flueGasLeaving;
      double sum = 0;
      for (int row = 0; row < ny; ++row) sum += f.cell(s - 1, nx - 1, row).flueGasLeaving;
      return sum / ny;
    };
    const auto airEntering = [&](int s, int i, int j) {
      if (counterflow) return i + 1 < nx ? f.cell(0, i + 1, 0).airLeaving : kT2;
      if (j > 0) return f.cell(s, i, j - 1).airLeaving;
      if (s == sections - 1) return kT2;
      if (f.sections[s].airPass == f.sections[s + 1].airPass)
        return f.cell(s + 1, i, ny - 1).airLeaving;
      double sum = 0;
      for (int col = 0; col < nx; ++col) sum += f.cell(s + 1, col, ny - 1).airLeaving;
      return sum / nx;
    };
    double wall = 0;
    for (int s = 0; s < sections; ++s) {
      for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
          const FieldPoint& c = f.cell(s, i, j);
          const double through = cellKa * (c.flueGas - c.air);
          const double given = row1 * (gasEntering(s, i, j) - c.flueGasLeaving);
          const double taken = column2 * (c.airLeaving - airEntering(s, i, j));
          EXPECT_NEAR(given, through, 1e-9 * f.duty) << s << ": " << i << ", " << j;
          EXPECT_NEAR(taken, through, 1e-9 * f.duty) << s << ": " << i << ", " << j;
          wall += through;
        }
      }
    }
    EXPECT_NEAR(wall, f.duty, 1e-9 * f.duty);
    EXPECT_NEAR(in.flueGas.heatCapacityRate * (kT1 - f.flueGasOutlet), f.duty, 1e-9 * f.duty);
    EXPECT_NEAR(in.air.heatCapacityRate * (f.airOutlet - kT2), f.duty, 1e-9 * f.duty);
  }
}

// Exchanging the streams' roles (capacity rates, coefficients, fouling, inlets, grids, pass
// counts) transposes the field: x ↔ y and the sections' order reversed (counterflow: x → 1 − x),
// flue gas ↔ air.
TEST(PlateField, ExchangingTheStreamsTransposesTheField) {
  struct Row {
    Arrangement arrangement;
    int passes1, passes2;
    FieldGrid grid;
  };
  for (const Row& r :
       {Row{Arrangement::Crossflow, 1, 1, {6, 4}}, Row{Arrangement::MultiPass, 2, 4, {3, 5}},
        Row{Arrangement::Counterflow, 1, 1, {8, 0}}}) {
    FieldInput in = defaultInput(r.arrangement, r.passes1, r.passes2);
    in.flueGas.fouling = 0.0002;
    in.grid = r.grid;
    FieldInput swapped = in;
    std::swap(swapped.flueGas, swapped.air);
    std::swap(swapped.flueGasPasses, swapped.airPasses);
    const bool counterflow = r.arrangement == Arrangement::Counterflow;
    if (!counterflow) swapped.grid = {in.grid.alongAir, in.grid.alongFlueGas};
    const PlateField a = solved(in), b = solved(swapped);
    const int last = static_cast<int>(a.sections.size()) - 1;
    ASSERT_EQ(a.cells.size(), b.cells.size());
    EXPECT_NEAR(a.duty, -b.duty, 1e-9 * a.duty);
    EXPECT_NEAR(a.flueGasOutlet, b.airOutlet, 1e-9);
    for (int s = 0; s <= last; ++s) {
      for (int j = 0; j < a.grid.alongAir; ++j) {
        for (int i = 0; i < a.grid.alongFlueGas; ++i) {
          const FieldPoint& p = a.cell(s, i, j);
          const FieldPoint& q =
              counterflow ? b.cell(0, a.grid.alongFlueGas - 1 - i, 0) : b.cell(last - s, j, i);
          EXPECT_NEAR(p.flueGas, q.air, 1e-9);
          EXPECT_NEAR(p.airFace, q.flueGasFace, 1e-9);
          EXPECT_NEAR(p.flueGasLeaving, q.airLeaving, 1e-9);
        }
      }
    }
    EXPECT_NEAR(a.wallMin.temperature, b.wallMin.temperature, 1e-9);
    EXPECT_EQ(b.wallMin.face, PlateFace::FlueGas);
    EXPECT_EQ(b.wallMin.section, last - a.wallMin.section);
    EXPECT_EQ(b.wallMin.x, counterflow ? 1 - a.wallMin.x : a.wallMin.y);
    EXPECT_EQ(b.wallMin.y, counterflow ? a.wallMin.y : a.wallMin.x);
  }
}

// One capacity rate very large: that stream keeps its inlet temperature everywhere, and the
// other one follows t_out = t_other + (t_in − t_other)·e^−N whatever the arrangement; with the
// air uniform, the air face lies below a level beyond x* = ln(k2·Δt / (level − t2)) / N1.
TEST(PlateField, OneVeryLargeCapacityRateKeepsItsStreamUniform) {
  struct Row {
    Arrangement arrangement;
    int passes1, passes2;
    bool airLarge;
  };
  for (const Row& r :
       {Row{Arrangement::Crossflow, 1, 1, true}, Row{Arrangement::Crossflow, 1, 1, false},
        Row{Arrangement::MultiPass, 2, 3, true}, Row{Arrangement::MultiPass, 3, 2, false},
        Row{Arrangement::Counterflow, 1, 1, true}}) {
    FieldInput in = defaultInput(r.arrangement, r.passes1, r.passes2);
    in.grid = {48, 48};
    (r.airLarge ? in.air : in.flueGas).heatCapacityRate = 1e12;
    const PlateField f = solved(in);
    const double ka = overall(in) * in.area / 1000;
    for (const FieldPoint& p : f.cells)
      EXPECT_NEAR(r.airLarge ? p.air : p.flueGas, r.airLarge ? kT2 : kT1, 1e-6);
    if (r.airLarge) {
      EXPECT_NEAR(f.flueGasOutlet, kT2 + (kT1 - kT2) * std::exp(-ka / kC1), 1e-6);
      if (r.arrangement == Arrangement::MultiPass) continue;
      const double level = 100, share = overall(in) / kH2;
      const double edge = std::log(share * (kT1 - kT2) / (level - kT2)) / (ka / kC1);
      EXPECT_NEAR(areaBelow(f, level, PlateFace::Air) / in.area, 1 - edge, 2e-4);
    } else {
      EXPECT_NEAR(f.airOutlet, kT1 - (kT1 - kT2) * std::exp(-ka / kC2), 1e-6);
    }
  }
}

// A wall linear over the plate, here x + 2y on the first section and 1 more on the second, is
// linear over every half cell too: the area below any level is exact on any grid.
TEST(PlateField, AreaBelowALevelIsExactForALinearWall) {
  PlateField f;
  f.grid = {5, 3};
  f.sections.resize(2);
  f.cells.resize(2 * 5 * 3);
  f.area = 10;
  for (int s = 0; s < 2; ++s)
    for (int j = 0; j <= 3; ++j)
      for (int i = 0; i <= 5; ++i) f.nodes.push_back({0, 0, 0, s + i / 5.0 + 2 * j / 3.0});
  // The share of the unit square where x + 2y < level: ∫ clamp((level − x) / 2, 0, 1) dx.
  const auto share = [](double level) {
    double sum = 0;
    const int n = 20000;
    for (int k = 0; k < n; ++k) sum += std::clamp((level - (k + 0.5) / n) / 2, 0.0, 1.0);
    return sum / n;
  };
  for (const double level : {-1.0, 0.3, 1.2, 2.0, 2.7, 3.5, 4.0}) {
    const double expected = 5 * (share(level) + share(level - 1));
    EXPECT_NEAR(areaBelow(f, level, PlateFace::Air), expected, 1e-7) << level;
  }
  EXPECT_EQ(areaBelow(f, 0, PlateFace::FlueGas), 0);  // that face is 0 everywhere
}

// In crossflow the coldest wall is the air face where the flue gas leaves and the air enters,
// x = 1, y = 0, exactly t2 + K/h2 · Δt · e^−N1 on any grid; the hottest the flue-gas face at
// x = 0, y = 1, where the flue gas enters and meets the air leaving at t1 − Δt · e^−N2. The
// multi-pass chains have their coldest corner there in their last section, ever warmer as the
// passes multiply, and their duty rises from crossflow towards counterflow.
TEST(PlateField, CrossflowIsColdestWhereTheFlueGasLeavesAndTheAirEnters) {
  for (const FieldGrid grid : {FieldGrid{3, 7}, FieldGrid{20, 20}, FieldGrid{0, 0}}) {
    FieldInput in = defaultInput(Arrangement::Crossflow);
    in.air.fouling = 0.0004;
    in.grid = grid;
    const PlateField f = solved(in);
    const double k = overall(in), ka = k * in.area / 1000, span = kT1 - kT2;
    EXPECT_NEAR(f.wallMin.temperature, kT2 + k / kH2 * span * std::exp(-ka / kC1), 1e-9);
    EXPECT_EQ(f.wallMin.x, 1);
    EXPECT_EQ(f.wallMin.y, 0);
    EXPECT_EQ(f.wallMin.face, PlateFace::Air);
    const double airLeaving = kT1 - span * std::exp(-ka / kC2);
    EXPECT_NEAR(f.wallMax.temperature, kT1 - k / kH1 * (kT1 - airLeaving), 1e-9);
    EXPECT_EQ(f.wallMax.x, 0);
    EXPECT_EQ(f.wallMax.y, 1);
    EXPECT_EQ(f.wallMax.face, PlateFace::FlueGas);
  }
  const PlateField counterflow = solved(defaultInput(Arrangement::Counterflow));
  double duty = solved(defaultInput(Arrangement::Crossflow)).duty;
  double coldest = solved(defaultInput(Arrangement::Crossflow)).wallMin.temperature;
  for (const auto& [passes1, passes2] :
       {std::pair{1, 2}, std::pair{2, 3}, std::pair{2, 4}, std::pair{8, 8}}) {
    const PlateField f = solved(defaultInput(Arrangement::MultiPass, passes1, passes2));
    EXPECT_EQ(f.wallMin.section, std::max(passes1, passes2) - 1);
    EXPECT_EQ(f.wallMin.x, 1);
    EXPECT_EQ(f.wallMin.y, 0);
    EXPECT_GT(f.duty, duty) << passes1 << " × " << passes2;
    EXPECT_GT(f.wallMin.temperature, coldest) << passes1 << " × " << passes2;
    EXPECT_LT(f.duty, counterflow.duty);
    duty = f.duty;
    coldest = f.wallMin.temperature;
  }
}

// The rating mode meets the outlet temperature with one factor on both film coefficients; in
// counterflow that factor follows from inverting the closed form by hand. Outlets beyond what
// the factor's bounds or the wall's resistance allow are refused.
TEST(PlateField, RatingModeMeetsTheStatedOutlet) {
  struct Row {
    Arrangement arrangement;
    int passes1, passes2;
    double outlet;
  };
  for (const Row& r :
       {Row{Arrangement::Counterflow, 1, 1, 160}, Row{Arrangement::Crossflow, 1, 1, 160},
        Row{Arrangement::MultiPass, 2, 2, 160}, Row{Arrangement::Crossflow, 1, 1, 300},
        Row{Arrangement::MultiPass, 3, 1, 90}}) {
    FieldInput in = defaultInput(r.arrangement, r.passes1, r.passes2);
    in.flueGas.fouling = 0.0002;
    const FieldOutcome outcome = ratePlateField(in, r.outlet);
    ASSERT_TRUE(std::holds_alternative<PlateField>(outcome)) << r.outlet;
    const PlateField& f = std::get<PlateField>(outcome);
    EXPECT_NEAR(f.flueGasOutlet, r.outlet, 1e-8);
    EXPECT_NEAR(f.filmCoefficient1, kH1 * f.scaleFactor, 1e-9);
    EXPECT_NEAR(f.filmCoefficient2, kH2 * f.scaleFactor, 1e-9);
    EXPECT_NEAR(f.airOutlet, kT2 + f.duty / kC2, 1e-9);
    FieldInput operating = in;
    operating.flueGas.filmCoefficient *= f.scaleFactor;
    operating.air.filmCoefficient *= f.scaleFactor;
    operating.grid = f.grid;
    EXPECT_NEAR(solved(operating).flueGasOutlet, r.outlet, 1e-8);
    if (r.arrangement == Arrangement::Counterflow) {
      const double ratio = kC1 / kC2, effectiveness = (kT1 - r.outlet) / (kT1 - kT2);
      const double ntu = std::log((1 - effectiveness * ratio) / (1 - effectiveness)) / (1 - ratio);
      const double k = ntu * kC1 * 1000 / in.area;
      const double wall = 0.0002 + 1.5e-3 / 17.5;
      EXPECT_NEAR(f.scaleFactor, (1 / kH1 + 1 / kH2) / (1 / k - wall), 1e-9);
    }
  }
  // The wall alone (δ/λ = 0.5 m²K/W) caps K at 2 W/m²K: 50 ℃ needs far more.
  FieldInput thick = defaultInput(Arrangement::Crossflow);
  thick.plateThickness = 8750;
  for (const double outlet : {50.0, 350.0, 400.0}) {
    const FieldOutcome outcome =
        ratePlateField(outlet == 50 ? thick : defaultInput(Arrangement::Crossflow), outlet);
    const auto* error = std::get_if<FieldError>(&outcome);
    ASSERT_NE(error, nullptr) << outlet;
    EXPECT_EQ(error->cause, FieldError::Cause::Unreachable) << outlet;
  }
}

// Nonsense is refused naming its cause and its subject, never as nan or inf.
TEST(PlateField, BadInputIsRefusedNamingTheCause) {
  using Cause = FieldError::Cause;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Row {
    void (*spoil)(FieldInput&, double);
    double value;
    Cause cause;
    const char* subject;
  };
  const auto c1 = [](FieldInput& in, double v) { in.flueGas.heatCapacityRate = v; };
  const auto c2 = [](FieldInput& in, double v) { in.air.heatCapacityRate = v; };
  const auto h1 = [](FieldInput& in, double v) { in.flueGas.filmCoefficient = v; };
  const auto h2 = [](FieldInput& in, double v) { in.air.filmCoefficient = v; };
  const auto fouling = [](FieldInput& in, double v) { in.air.fouling = v; };
  const auto lambda = [](FieldInput& in, double v) { in.plateConductivity = v; };
  const auto area = [](FieldInput& in, double v) { in.area = v; };
  const auto t1 = [](FieldInput& in, double v) { in.flueGas.inletTemperature = v; };
  const auto passes = [](FieldInput& in, double v) { in.airPasses = v; };
  const auto grid = [](FieldInput& in, double v) { in.grid = {static_cast<int>(v), 8}; };
  const auto cells = [](FieldInput& in, double v) { in.grid = {static_cast<int>(v), 512}; };
  const auto coarse = [](FieldInput& in, double v) {
    in.grid = {4, 4};
    in.area = v;
  };
  const auto units = [](FieldInput& in, double v) {
    in.area = v;
    in.flueGas.heatCapacityRate = 1e-300;
  };
  for (const Row& r : {Row{c1, 0, Cause::HeatCapacityRate, "flue-gas heat capacity rate"},
                       Row{c2, -5, Cause::HeatCapacityRate, "air heat capacity rate"},
                       Row{c2, inf, Cause::HeatCapacityRate, "air heat capacity rate"},
                       Row{h1, nan, Cause::FilmCoefficient, "flue-gas film coefficient"},
                       Row{h2, 0, Cause::FilmCoefficient, "air film coefficient"},
                       Row{fouling, -1e-4, Cause::Fouling, "air fouling resistance"},
                       Row{lambda, 0, Cause::PlateConductivity, "plate conductivity"},
                       Row{area, -1, Cause::Area, "heat transfer area"},
                       Row{t1, -inf, Cause::Temperature, "flue-gas inlet temperature"},
                       Row{passes, 1.5, Cause::PassCount, "air pass count"},
                       Row{passes, 0, Cause::PassCount, "air pass count"},
                       Row{passes, 17, Cause::PassCount, "air pass count"},
                       Row{grid, 0, Cause::Grid, "cells along the flue-gas flow"},
                       Row{grid, 513, Cause::Grid, "cells along the flue-gas flow"},
                       Row{cells, 300, Cause::Grid, "cells of the plate"},
                       Row{coarse, 17000, Cause::CoarseGrid, "cells along the flue-gas flow"},
                       Row{units, 1e300, Cause::TransferUnits, "number of transfer units"}}) {
    FieldInput in = defaultInput(Arrangement::MultiPass, 2, 2);
    r.spoil(in, r.value);
    // The coarse grid would do for 160 ℃; 41 ℃ asks for more transfer units than it can carry.
    const double outlet = r.cause == Cause::CoarseGrid ? 41 : 160;
    for (const FieldOutcome& outcome : {solvePlateField(in), ratePlateField(in, outlet)}) {
      const auto* error = std::get_if<FieldError>(&outcome);
      ASSERT_NE(error, nullptr) << r.subject << " " << r.value;
      EXPECT_EQ(error->cause, r.cause) << r.subject;
      const std::string text = describe(*error);
      EXPECT_EQ(text.rfind(r.subject, 0), 0u) << text;
      EXPECT_EQ(text.find("nan"), std::string::npos) << text;
      EXPECT_EQ(text.find("inf"), std::string::npos) << text;
    }
  }
  const FieldOutcome outcome = ratePlateField(defaultInput(Arrangement::Crossflow), nan);
  ASSERT_TRUE(std::holds_alternative<FieldError>(outcome));
  EXPECT_EQ(std::get<FieldError>(outcome).cause, Cause::Temperature);
}

}  // namespace
}  // namespace aph
