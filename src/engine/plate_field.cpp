#include "engine/plate_field.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

#include "engine/rating.hpp"

namespace aph {
namespace {

using Cause = FieldError::Cause;

// φ(z) = (1 − e^−z) / z for z ≥ 0, without the cancellation of its form near z = 0.
double phi(double z) {
  if (z < 1e-5) return 1 - z / 2 + z * z / 6;
  return -std::expm1(-z) / z;
}

// ψ(z) = (1 − φ(z)) / z = (z − 1 + e^−z) / z² for z ≥ 0, likewise.
double psi(double z) {
  if (z < 1e-3) return 0.5 - z / 6 + z * z / 24 - z * z * z / 120;
  return (z + std::expm1(-z)) / (z * z);
}

// ---- Checked input -----------------------------------------------------------------------------

struct Model {
  FieldArrangement arrangement = FieldArrangement::Crossflow;
  int flueGasPasses = 1, airPasses = 1;
  // The chain: sections, the groups of sections the stream with fewer passes runs straight
  // through, and which stream that is.
  int sections = 1, groups = 1;
  bool flueGasRunsThrough = true;  // na ≥ nf: each section is an air pass
  int nx = 1, ny = 1;              // cells of one section
  double c1 = 0, c2 = 0;           // kW/K
  double t1in = 0, t2in = 0;       // ℃
  double area = 0;                 // m²
  bool automaticGrid = false;      // the design checks' grid, set once K is known
  FieldInput input;

  int groupOf(int section) const {
    int g = section * groups / sections;  // the first guess is never too high
    while ((g + 1) * sections / groups <= section) ++g;
    return g;
  }
  int firstOf(int group) const { return group * sections / groups; }
  int lastOf(int group) const { return (group + 1) * sections / groups - 1; }
};

std::optional<FieldError> refuse(Cause cause, const char* subject, double value) {
  return FieldError{cause, subject, value};
}

std::optional<FieldError> checkPositive(Cause cause, const char* subject, double value) {
  if (!std::isfinite(value) || !(value > 0)) return refuse(cause, subject, value);
  return std::nullopt;
}

std::optional<FieldError> checkNotNegative(Cause cause, const char* subject, double value) {
  if (!std::isfinite(value) || !(value >= 0)) return refuse(cause, subject, value);
  return std::nullopt;
}

std::optional<FieldError> checkPasses(const char* subject, double passes) {
  if (!std::isfinite(passes) || !(passes >= 1 && passes <= kMaxFieldPasses) ||
      std::trunc(passes) != passes)
    return refuse(Cause::PassCount, subject, passes);
  return std::nullopt;
}

std::optional<FieldError> checkFinite(const char* subject, double value) {
  if (!std::isfinite(value)) return refuse(Cause::Temperature, subject, value);
  return std::nullopt;
}

std::variant<Model, FieldError> checkedModel(const FieldInput& in) {
  const std::array<std::optional<FieldError>, 11> checks = {
      checkPositive(Cause::HeatCapacityRate, "flue-gas heat capacity rate",
                    in.flueGas.heatCapacityRate),
      checkPositive(Cause::HeatCapacityRate, "air heat capacity rate", in.air.heatCapacityRate),
      checkPositive(Cause::FilmCoefficient, "flue-gas film coefficient",
                    in.flueGas.filmCoefficient),
      checkPositive(Cause::FilmCoefficient, "air film coefficient", in.air.filmCoefficient),
      checkNotNegative(Cause::Fouling, "flue-gas fouling resistance", in.flueGas.fouling),
      checkNotNegative(Cause::Fouling, "air fouling resistance", in.air.fouling),
      checkNotNegative(Cause::PlateThickness, "plate thickness", in.plateThickness),
      checkPositive(Cause::PlateConductivity, "plate conductivity", in.plateConductivity),
      checkPositive(Cause::Area, "heat transfer area", in.area),
      checkFinite("flue-gas inlet temperature", in.flueGas.inletTemperature),
      checkFinite("air inlet temperature", in.air.inletTemperature),
  };
  for (const auto& refused : checks)
    if (refused) return *refused;

  Model m;
  m.arrangement = in.arrangement;
  m.input = in;
  m.c1 = in.flueGas.heatCapacityRate;
  m.c2 = in.air.heatCapacityRate;
  m.t1in = in.flueGas.inletTemperature;
  m.t2in = in.air.inletTemperature;
  m.area = in.area;
  if (in.arrangement == FieldArrangement::MultiPass) {
    if (auto refused = checkPasses("flue-gas pass count", in.flueGasPasses)) return *refused;
    if (auto refused = checkPasses("air pass count", in.airPasses)) return *refused;
    m.flueGasPasses = static_cast<int>(in.flueGasPasses);
    m.airPasses = static_cast<int>(in.airPasses);
    m.sections = std::max(m.flueGasPasses, m.airPasses);
    m.groups = std::min(m.flueGasPasses, m.airPasses);
    m.flueGasRunsThrough = m.airPasses >= m.flueGasPasses;
  }
  const bool counterflow = in.arrangement == FieldArrangement::Counterflow;
  m.automaticGrid = in.grid.alongFlueGas == 0 && (counterflow || in.grid.alongAir == 0);
  if (m.automaticGrid) return m;
  const auto gridRefused = [](const char* subject, int cells) {
    return cells < 1 || cells > kMaxFieldGrid ? refuse(Cause::Grid, subject, cells) : std::nullopt;
  };
  if (auto refused = gridRefused("cells along the flue-gas flow", in.grid.alongFlueGas))
    return *refused;
  m.nx = in.grid.alongFlueGas;
  if (!counterflow) {
    if (auto refused = gridRefused("cells along the air flow", in.grid.alongAir)) return *refused;
    m.ny = in.grid.alongAir;
  }
  const double cells = static_cast<double>(m.nx) * m.ny * m.sections;
  if (cells > static_cast<double>(kMaxFieldCells))
    return FieldError{Cause::Grid, "cells of the plate", cells};
  return m;
}

// ---- The coefficients of one field -------------------------------------------------------------

struct Transfer {
  double h1 = 0, h2 = 0, k = 0;  // W/(m²·K)
  double n1 = 0, n2 = 0;         // K·A / C of each stream
};

std::variant<Transfer, FieldError> transferAt(const Model& m, double factor) {
  Transfer t;
  t.h1 = m.input.flueGas.filmCoefficient * factor;
  t.h2 = m.input.air.filmCoefficient * factor;
  const auto k = actualOverallCoefficient(t.h1, m.input.flueGas.fouling, m.input.plateThickness,
                                          m.input.plateConductivity, m.input.air.fouling, t.h2);
  if (!k || !(*k > 0)) return FieldError{Cause::FilmCoefficient, "overall coefficient", k ? *k : 0};
  t.k = *k;
  t.n1 = t.k * m.area / (1000 * m.c1);
  t.n2 = t.k * m.area / (1000 * m.c2);
  if (!std::isfinite(t.n1) || !std::isfinite(t.n2))
    return FieldError{Cause::TransferUnits, "number of transfer units",
                      std::isfinite(t.n1) ? t.n2 : t.n1};
  return t;
}

Model withGridFor(const Model& m, const Transfer& t) {
  if (!m.automaticGrid) return m;
  Model resolved = m;
  const FieldGrid grid = designCheckGrid(m.arrangement, m.flueGasPasses, m.airPasses, t.n1, t.n2);
  resolved.nx = grid.alongFlueGas;
  resolved.ny = grid.alongAir;
  return resolved;
}

std::optional<FieldError> coarseCells(const Model& m, const Transfer& t) {
  if (m.arrangement == FieldArrangement::Counterflow) return std::nullopt;
  // The rating mode's search may end on the largest factor its grid allows, within rounding.
  const double most = kMaxCellTransferUnits * (1 + 1e-9);
  if (t.n1 / (static_cast<double>(m.sections) * m.nx) > most)
    return refuse(Cause::CoarseGrid, "cells along the flue-gas flow", m.nx);
  if (t.n2 / (static_cast<double>(m.sections) * m.ny) > most)
    return refuse(Cause::CoarseGrid, "cells along the air flow", m.ny);
  return std::nullopt;
}

FieldError tooManyTransferUnits(const Transfer& t) {
  return {Cause::TransferUnits, "number of transfer units", std::max(t.n1, t.n2)};
}

// The largest factor on h1 and h2 at which no cell of the grid carries more than
// kMaxCellTransferUnits, within the factor's bounds.
double largestFactor(const Model& m) {
  if (m.arrangement == FieldArrangement::Counterflow) return kMaxScaleFactor;
  const double k =
      1000 * m.sections * kMaxCellTransferUnits * std::min(m.c1 * m.nx, m.c2 * m.ny) / m.area;
  const FieldInput& in = m.input;
  const double wall =
      in.flueGas.fouling + in.plateThickness * 0.001 / in.plateConductivity + in.air.fouling;
  const double films = 1 / in.flueGas.filmCoefficient + 1 / in.air.filmCoefficient;
  if (!(k > 0) || !std::isfinite(k) || !(1 / k > wall)) return kMaxScaleFactor;
  return std::min(kMaxScaleFactor, films / (1 / k - wall));
}

// Temperatures are carried as θ = (t − t2in) / (t1in − t2in): the flue gas enters at 1, the air
// at 0.
struct Outlets {
  double flueGas = 1, air = 0;
};

struct Faces {
  double t2in, span, share1, share2;  // share = K / h: the film's share of t1 − t2
  FieldPoint operator()(double theta1, double theta2) const {
    FieldPoint p;
    p.flueGas = t2in + span * theta1;
    p.air = t2in + span * theta2;
    const double difference = p.flueGas - p.air;
    p.flueGasFace = p.flueGas - share1 * difference;
    p.airFace = p.air + share2 * difference;
    return p;
  }
  double operator()(double theta) const { return t2in + span * theta; }
};

// ---- Counterflow: the closed form --------------------------------------------------------------
//
// With the flue gas entering at x = 0 and the air at x = 1, the difference D = θ1 − θ2 falls as
// e^(−s·x), s = N1 − N2, and θ1(x) = 1 − N1·J(x), J(x) = ∫0^x D. The exponent is always taken
// from the end where it is not positive, so that nothing overflows however large N1 and N2 are.
class Counterflow {
 public:
  Counterflow(double n1, double n2) : n1_(n1), s_(n1 - n2), r_(std::fabs(s_)) {
    scale_ = s_ >= 0 ? 1 / (n1 * phi(r_) + std::exp(-r_)) : 1 / (n1 * phi(r_) + 1);
  }
  double difference(double x) const {
    return s_ >= 0 ? scale_ * std::exp(-r_ * x) : scale_ * std::exp(-r_ * (1 - x));
  }
  double integral(double x) const { return s_ >= 0 ? rising(x) : rising(1) - rising(1 - x); }
  // The mean of J over [a, a + width], exactly.
  double meanIntegral(double a, double width) const {
    return s_ >= 0 ? meanRising(a, width) : rising(1) - meanRising(1 - a - width, width);
  }
  double flueGas(double x) const { return 1 - n1_ * integral(x); }
  double air(double x) const { return flueGas(x) - difference(x); }
  Outlets outlets() const { return {flueGas(1), air(0)}; }

 private:
  // ∫0^u of scale·e^(−r·t) dt, and its mean over [u, u + width].
  double rising(double u) const { return scale_ * u * phi(r_ * u); }
  double meanRising(double u, double width) const {
    return scale_ * (u * phi(r_ * u) + std::exp(-r_ * u) * width * psi(r_ * width));
  }
  double n1_, s_, r_, scale_ = 0;
};

// ---- Crossflow and multi-pass: the cell grid ---------------------------------------------------

// The cell's exact solution as weights: with d = gain·(t1 − t2) every outcome is a weighted mean
// of the two entering temperatures, t1' = t1 − a1·d, t2' = t2 + a2·d, t1m = t2 + d/φ(a2),
// t2m = t1 − d/φ(a1).
struct Cells {
  double a1 = 0, a2 = 0;  // numbers of transfer units of one cell
  double gain = 0;        // 1 / (1/φ(a1) + 1/φ(a2) − 1)
  double leave1 = 0;      // a1·gain: t1' = (1 − leave1)·t1 + leave1·t2
  double leave2 = 0;      // a2·gain: t2' = leave2·t1 + (1 − leave2)·t2
  double mean1 = 0;       // gain/φ(a2): t1m = mean1·t1 + (1 − mean1)·t2
  double mean2 = 0;       // gain/φ(a1): t2m = (1 − mean2)·t1 + mean2·t2
};

Cells cellCoefficients(const Model& m, const Transfer& t) {
  Cells c;
  // Both streams cross every section: nx cells of it along the flue gas, ny along the air.
  c.a1 = t.n1 / (static_cast<double>(m.sections) * m.nx);
  c.a2 = t.n2 / (static_cast<double>(m.sections) * m.ny);
  const double inverse1 = 1 / phi(c.a1), inverse2 = 1 / phi(c.a2);
  c.gain = 1 / (inverse1 + inverse2 - 1);
  c.leave1 = c.a1 * c.gain;
  c.leave2 = c.a2 * c.gain;
  c.mean1 = c.gain * inverse2;
  c.mean2 = c.gain * inverse1;
  return c;
}

// A cell waits for its left and its lower neighbour only, so a group of rows runs together on a
// wavefront, each row one column behind the row below it; the air passes from row to row of the
// group in registers, and only the group's top row writes it back into `column`. `gas` holds the
// flue gas of each row, entering and then leaving.
template <int Rows, bool Record>
void rowGroup(const Cells& k, int nx, double* gas, double* column, int j0, FieldPoint* record) {
  const double stay1 = 1 - k.leave1, stay2 = 1 - k.leave2;
  // One cell: the flue gas t1 leaves in place, the air leaving is returned.
  const auto cell = [&](double& t1, double t2, int r, int i) {
    const double leaving1 = stay1 * t1 + k.leave1 * t2;
    const double leaving2 = k.leave2 * t1 + stay2 * t2;
    t1 = leaving1;
    if constexpr (Record) {
      FieldPoint& p = record[static_cast<std::size_t>(j0 + r) * nx + i];
      p.flueGasLeaving = leaving1;
      p.airLeaving = leaving2;
    }
    return leaving2;
  };
  double t1[Rows] = {}, carry[Rows] = {};
  for (int r = 0; r < Rows; ++r) t1[r] = gas[j0 + r];
  // The fronts where not every row has a cell: at the start and at the end.
  const auto partialFront = [&](int front) {
    for (int r = Rows - 1; r >= 0; --r) {  // downwards: row r reads what row r − 1 left last
      const int i = front - r;
      if (i < 0 || i >= nx) continue;
      const double leaving2 = cell(t1[r], r == 0 ? column[i] : carry[r - 1], r, i);
      if (r == Rows - 1) {
        column[i] = leaving2;
      } else {
        carry[r] = leaving2;
      }
    }
  };
  int front = 0;
  for (; front < std::min(Rows - 1, nx + Rows - 1); ++front) partialFront(front);
  if constexpr (Rows == 4) {
    double g0 = t1[0], g1 = t1[1], g2 = t1[2], g3 = t1[3];
    double c0 = carry[0], c1 = carry[1], c2 = carry[2];
    for (; front < nx; ++front) {
      column[front - 3] = cell(g3, c2, 3, front - 3);
      c2 = cell(g2, c1, 2, front - 2);
      c1 = cell(g1, c0, 1, front - 1);
      c0 = cell(g0, column[front], 0, front);
    }
    t1[0] = g0, t1[1] = g1, t1[2] = g2, t1[3] = g3;
    carry[0] = c0, carry[1] = c1, carry[2] = c2;
  }
  for (; front < nx + Rows - 1; ++front) partialFront(front);
  for (int r = 0; r < Rows; ++r) gas[j0 + r] = t1[r];
}

template <bool Record>
void sweepSection(const Cells& k, int nx, int ny, double* gas, double* air, FieldPoint* record) {
  int j0 = 0;
  for (; j0 + 4 <= ny; j0 += 4) rowGroup<4, Record>(k, nx, gas, air, j0, record);
  switch (ny - j0) {
    case 3:
      rowGroup<3, Record>(k, nx, gas, air, j0, record);
      break;
    case 2:
      rowGroup<2, Record>(k, nx, gas, air, j0, record);
      break;
    case 1:
      rowGroup<1, Record>(k, nx, gas, air, j0, record);
      break;
    default:
      break;
  }
}

double mean(const std::vector<double>& v) {
  double sum = 0;
  for (const double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

// The passes' inlets and mixed-mean outlets (θ), in each stream's own order, and the profiles
// entering the section in hand: the flue gas of each row, the air of each column.
struct Sweep {
  std::vector<double> flueGasIn, airIn, flueGasOut, airOut, gas, air;
  std::vector<double> system, inlet;  // the return ducts' equations and temperatures
  std::vector<Outlets> response;
};

void prepare(const Model& m, Sweep& s) {
  s.flueGasIn.assign(m.flueGasPasses, 0);
  s.airIn.assign(m.airPasses, 0);
  s.flueGasOut.assign(m.flueGasPasses, 0);
  s.airOut.assign(m.airPasses, 0);
  s.gas.assign(m.ny, 0);
  s.air.assign(m.nx, 0);
  s.flueGasIn[0] = 1;
}

struct NoRecord {
  static constexpr bool kRecords = false;
  void before(int, const Sweep&) {}
  FieldPoint* cells(int) { return nullptr; }
  void after(int) {}
};

// One pass over the chain with given pass inlets. Where the flue gas runs straight through the
// sections of a group, they are taken in the flue gas's order and every section starts a fresh
// air pass; otherwise in the air's order, every section a fresh flue-gas pass.
template <class Recorder>
void sweep(const Model& m, const Cells& k, Sweep& s, Recorder& recorder) {
  const int last = m.sections - 1;
  for (int n = 0; n <= last; ++n) {
    const int section = m.flueGasRunsThrough ? n : last - n;
    const int group = m.groupOf(section);
    if (m.flueGasRunsThrough) {
      if (section == m.firstOf(group)) std::fill(s.gas.begin(), s.gas.end(), s.flueGasIn[group]);
      std::fill(s.air.begin(), s.air.end(), s.airIn[last - section]);
    } else {
      std::fill(s.gas.begin(), s.gas.end(), s.flueGasIn[section]);
      if (section == m.lastOf(group))
        std::fill(s.air.begin(), s.air.end(), s.airIn[m.groups - 1 - group]);
    }
    recorder.before(section, s);
    sweepSection<Recorder::kRecords>(k, m.nx, m.ny, s.gas.data(), s.air.data(),
                                     recorder.cells(section));
    recorder.after(section);
    if (m.flueGasRunsThrough) {
      s.airOut[last - section] = mean(s.air);
      if (section == m.lastOf(group)) s.flueGasOut[group] = mean(s.gas);
    } else {
      s.flueGasOut[section] = mean(s.gas);
      if (section == m.firstOf(group)) s.airOut[m.groups - 1 - group] = mean(s.air);
    }
  }
}

// The inlets of the later passes are the outlets of the earlier ones. The chain is linear in
// them: one pass with the field's own inlets and the later passes' inlets at 0, one more for
// each later pass alone at 1, and the return ducts' temperatures solve a small linear system.
// Leaves `s` with the inlets of every pass; returns the field's outlets.
Outlets connectPasses(const Model& m, const Cells& k, Sweep& s) {
  const int nf = m.flueGasPasses, na = m.airPasses;
  prepare(m, s);
  NoRecord none;
  sweep(m, k, s, none);
  const int size = nf + na - 2;
  Outlets out{s.flueGasOut[nf - 1], s.airOut[na - 1]};
  if (size == 0) return out;

  // Unknown u < nf − 1 is the inlet of flue-gas pass u + 1, the others those of air passes.
  const auto outletFeeding = [&](int u) {
    return u < nf - 1 ? s.flueGasOut[u] : s.airOut[u - (nf - 1)];
  };
  const auto inletOf = [&](int u) -> double& {
    return u < nf - 1 ? s.flueGasIn[u + 1] : s.airIn[u - (nf - 1) + 1];
  };
  std::vector<double>& system = s.system;  // [I − M | b]
  system.assign(static_cast<std::size_t>(size) * (size + 1), 0);
  const auto at = [&](int row, int col) -> double& {
    return system[static_cast<std::size_t>(row) * (size + 1) + col];
  };
  for (int row = 0; row < size; ++row) at(row, size) = outletFeeding(row);
  std::vector<Outlets>& response = s.response;
  response.assign(size, Outlets{});
  s.flueGasIn[0] = 0;
  for (int u = 0; u < size; ++u) {
    inletOf(u) = 1;
    sweep(m, k, s, none);
    inletOf(u) = 0;
    for (int row = 0; row < size; ++row) at(row, u) = (row == u ? 1 : 0) - outletFeeding(row);
    response[u] = {s.flueGasOut[nf - 1], s.airOut[na - 1]};
  }
  // Gaussian elimination with partial pivoting; I − M is dominated by its diagonal.
  for (int col = 0; col < size; ++col) {
    int pivot = col;
    for (int row = col + 1; row < size; ++row)
      if (std::fabs(at(row, col)) > std::fabs(at(pivot, col))) pivot = row;
    for (int j = 0; j <= size; ++j) std::swap(at(col, j), at(pivot, j));
    for (int row = col + 1; row < size; ++row) {
      const double factor = at(row, col) / at(col, col);
      for (int j = col; j <= size; ++j) at(row, j) -= factor * at(col, j);
    }
  }
  std::vector<double>& inlet = s.inlet;
  inlet.assign(size, 0);
  for (int row = size - 1; row >= 0; --row) {
    double sum = at(row, size);
    for (int j = row + 1; j < size; ++j) sum -= at(row, j) * inlet[j];
    inlet[row] = sum / at(row, row);
  }
  s.flueGasIn[0] = 1;
  for (int u = 0; u < size; ++u) {
    inletOf(u) = inlet[u];
    out.flueGas += inlet[u] * response[u].flueGas;
    out.air += inlet[u] * response[u].air;
  }
  return out;
}

Outlets outletsAt(const Model& m, const Transfer& t, Sweep& s) {
  if (m.arrangement == FieldArrangement::Counterflow) return Counterflow(t.n1, t.n2).outlets();
  return connectPasses(m, cellCoefficients(m, t), s);
}

// ---- The field in ℃ ----------------------------------------------------------------------------

PlateField emptyField(const Model& m, const Transfer& t, double factor) {
  PlateField f;
  f.arrangement = m.arrangement;
  f.grid = {m.nx, m.ny};
  f.sections.resize(m.sections);
  for (int section = 0; section < m.sections; ++section) {
    const int group = m.groupOf(section);
    f.sections[section] = m.flueGasRunsThrough ? FieldSection{group, m.sections - 1 - section}
                                               : FieldSection{section, m.groups - 1 - group};
  }
  const auto sections = static_cast<std::size_t>(m.sections);
  f.cells.resize(sections * static_cast<std::size_t>(m.nx) * static_cast<std::size_t>(m.ny));
  f.nodes.resize(sections * static_cast<std::size_t>(m.nx + 1) *
                 static_cast<std::size_t>(m.ny + 1));
  f.area = m.area;
  f.filmCoefficient1 = t.h1;
  f.filmCoefficient2 = t.h2;
  f.overallCoefficient = t.k;
  f.scaleFactor = factor;
  f.flueGasInlet = m.t1in;
  f.airInlet = m.t2in;
  f.flueGasHeatCapacityRate = m.c1;
  f.airHeatCapacityRate = m.c2;
  return f;
}

void findExtremes(PlateField& f) {
  const int nx = f.grid.alongFlueGas, ny = f.grid.alongAir;
  struct Pick {
    std::size_t node = 0;
    PlateFace face = PlateFace::FlueGas;
    double t = 0;
  } low{0, PlateFace::FlueGas, f.nodes[0].flueGasFace}, high = low;
  for (std::size_t n = 0; n < f.nodes.size(); ++n) {
    const FieldPoint& p = f.nodes[n];
    for (const auto& [face, t] :
         {std::pair{PlateFace::FlueGas, p.flueGasFace}, std::pair{PlateFace::Air, p.airFace}}) {
      if (t < low.t) low = {n, face, t};
      if (t > high.t) high = {n, face, t};
    }
  }
  const auto place = [&](const Pick& pick) {
    const std::size_t perSection = static_cast<std::size_t>(nx + 1) * (ny + 1);
    const int within = static_cast<int>(pick.node % perSection);
    const double y = f.arrangement == FieldArrangement::Counterflow
                         ? 0.5  // the field is the same across the width
                         : static_cast<double>(within / (nx + 1)) / ny;
    return WallExtreme{pick.t, static_cast<int>(pick.node / perSection),
                       static_cast<double>(within % (nx + 1)) / nx, y, pick.face};
  };
  f.wallMin = place(low);
  f.wallMax = place(high);
}

void finish(PlateField& f, const Model& m, Outlets out) {
  const double span = m.t1in - m.t2in;
  f.flueGasOutlet = m.t2in + span * out.flueGas;
  f.airOutlet = m.t2in + span * out.air;
  f.duty = m.c1 * span * (1 - out.flueGas);
  findExtremes(f);
}

PlateField counterflowField(const Model& m, const Transfer& t, double factor) {
  PlateField f = emptyField(m, t, factor);
  const Counterflow exact(t.n1, t.n2);
  const Faces faces{m.t2in, m.t1in - m.t2in, t.k / t.h1, t.k / t.h2};
  const double width = 1.0 / m.nx;
  for (int i = 0; i <= m.nx; ++i) {
    const double x = i * width;
    const FieldPoint p = faces(exact.flueGas(x), exact.air(x));
    f.nodes[i] = p;
    f.nodes[i + m.nx + 1] = p;
  }
  for (int i = 0; i < m.nx; ++i) {
    const double a = i * width;
    // The slice's means, exactly: of J, and of D, whose heat K·ΔA·D is what both streams carry.
    const double meanDifference = (exact.integral(a + width) - exact.integral(a)) / width;
    const double theta1 = 1 - t.n1 * exact.meanIntegral(a, width);
    FieldPoint p = faces(theta1, theta1 - meanDifference);
    p.flueGasLeaving = f.nodes[i + 1].flueGas;
    p.airLeaving = f.nodes[i].air;
    f.cells[i] = p;
  }
  finish(f, m, exact.outlets());
  return f;
}

// The recording pass: after each section its nodes from the profiles that entered it and the
// temperatures leaving its cells, then its cells in ℃.
class FieldRecorder {
 public:
  static constexpr bool kRecords = true;

  FieldRecorder(PlateField& f, const Model& m, const Cells& k, const Faces& faces)
      : f_(f), m_(m), faces_(faces), k_(k), decay1_(std::exp(-k.a1)), decay2_(std::exp(-k.a2)) {
    bottom_.resize(m.nx + 1);
    top_.resize(m.nx + 1);
    left_.resize(m.ny + 1);
    right_.resize(m.ny + 1);
  }

  void before(int section, const Sweep& s) {
    // A stream running on from the previous section brings its edges' temperatures along.
    const int group = m_.groupOf(section);
    carryGasEdges_ = m_.flueGasRunsThrough && section != m_.firstOf(group);
    carryAirEdges_ = !m_.flueGasRunsThrough && section != m_.lastOf(group);
    gasIn_ = s.gas;
    airIn_ = s.air;
  }
  FieldPoint* cells(int section) {
    return f_.cells.data() +
           static_cast<std::size_t>(section) * static_cast<std::size_t>(m_.nx * m_.ny);
  }

  void after(int section) {
    const int nx = m_.nx, ny = m_.ny;
    FieldPoint* cell = cells(section);
    // The flue gas crossing the line x = i / nx in row j, the air crossing y = j / ny in column
    // i (θ).
    const auto gasAt = [&](int i, int j) {
      return i == 0 ? gasIn_[j] : cell[static_cast<std::size_t>(j) * nx + i - 1].flueGasLeaving;
    };
    const auto airAt = [&](int i, int j) {
      return j == 0 ? airIn_[i] : cell[static_cast<std::size_t>(j - 1) * nx + i].airLeaving;
    };
    // Along its bottom and top edge the flue gas meets the air crossing there, column by column;
    // along the left and right edge the air meets the flue gas crossing there, row by row.
    bottom_[0] = carryGasEdges_ ? bottom_[nx] : gasIn_[0];
    top_[0] = carryGasEdges_ ? top_[nx] : gasIn_[ny - 1];
    for (int i = 0; i < nx; ++i) {
      bottom_[i + 1] = airAt(i, 0) + (bottom_[i] - airAt(i, 0)) * decay1_;
      top_[i + 1] = airAt(i, ny) + (top_[i] - airAt(i, ny)) * decay1_;
    }
    left_[0] = carryAirEdges_ ? left_[ny] : airIn_[0];
    right_[0] = carryAirEdges_ ? right_[ny] : airIn_[nx - 1];
    for (int j = 0; j < ny; ++j) {
      left_[j + 1] = gasAt(0, j) + (left_[j] - gasAt(0, j)) * decay2_;
      right_[j + 1] = gasAt(nx, j) + (right_[j] - gasAt(nx, j)) * decay2_;
    }
    FieldPoint* node = f_.nodes.data() + static_cast<std::size_t>(section) *
                                             static_cast<std::size_t>((nx + 1) * (ny + 1));
    for (int j = 0; j <= ny; ++j) {
      for (int i = 0; i <= nx; ++i, ++node) {
        const double gas = j == 0    ? bottom_[i]
                           : j == ny ? top_[i]
                                     : (gasAt(i, j - 1) + gasAt(i, j)) / 2;
        const double air = i == 0    ? left_[j]
                           : i == nx ? right_[j]
                                     : (airAt(i - 1, j) + airAt(i, j)) / 2;
        *node = faces_(gas, air);
      }
    }
    // Each cell's means from the temperatures entering it, its left and lower neighbours'
    // leaving ones: from the last cell back, so that those are still θ when read.
    for (int j = ny - 1; j >= 0; --j) {
      for (int i = nx - 1; i >= 0; --i) {
        const double t1 = gasAt(i, j), t2 = airAt(i, j);
        FieldPoint& c = cell[static_cast<std::size_t>(j) * nx + i];
        const double leaving1 = c.flueGasLeaving, leaving2 = c.airLeaving;
        c = faces_(k_.mean1 * t1 + (1 - k_.mean1) * t2, (1 - k_.mean2) * t1 + k_.mean2 * t2);
        c.flueGasLeaving = faces_(leaving1);
        c.airLeaving = faces_(leaving2);
      }
    }
  }

 private:
  PlateField& f_;
  const Model& m_;
  const Faces& faces_;
  const Cells& k_;
  double decay1_, decay2_;
  bool carryGasEdges_ = false, carryAirEdges_ = false;
  std::vector<double> gasIn_, airIn_, bottom_, top_, left_, right_;
};

PlateField gridField(const Model& m, const Transfer& t, double factor) {
  PlateField f = emptyField(m, t, factor);
  const Cells k = cellCoefficients(m, t);
  Sweep s;
  if (m.sections > 1) {
    connectPasses(m, k, s);
  } else {
    prepare(m, s);
  }
  const Faces faces{m.t2in, m.t1in - m.t2in, t.k / t.h1, t.k / t.h2};
  FieldRecorder recorder(f, m, k, faces);
  sweep(m, k, s, recorder);
  finish(f, m, {s.flueGasOut[m.flueGasPasses - 1], s.airOut[m.airPasses - 1]});
  return f;
}

PlateField fieldAt(const Model& m, const Transfer& t, double factor) {
  return m.arrangement == FieldArrangement::Counterflow ? counterflowField(m, t, factor)
                                                        : gridField(m, t, factor);
}

// ---- The rating mode's search ------------------------------------------------------------------

// The factor a counterflow plate would need: never more than the others need, a good start.
double counterflowGuess(const Model& m, double target) {
  const double cMin = std::min(m.c1, m.c2), ratio = cMin / std::max(m.c1, m.c2);
  const double effectiveness = (1 - target) * m.c1 / cMin;
  if (!(effectiveness > 0 && effectiveness < 1)) return 1;
  const double ntu = ratio < 1 - 1e-9
                         ? std::log((1 - effectiveness * ratio) / (1 - effectiveness)) / (1 - ratio)
                         : effectiveness / (1 - effectiveness);
  const double k = ntu * cMin * 1000 / m.area;
  if (!(k > 0) || !std::isfinite(k)) return 1;
  const FieldInput& in = m.input;
  const double wall =
      in.flueGas.fouling + in.plateThickness * 0.001 / in.plateConductivity + in.air.fouling;
  const double films = 1 / in.flueGas.filmCoefficient + 1 / in.air.filmCoefficient;
  if (!(1 / k > wall)) return kMaxScaleFactor;
  return films / (1 / k - wall);
}

constexpr int kMaxScaleTrials = 100;
// The first step of a search in ln factor, and that of the search refining a coarse grid's one.
constexpr double kFirstScaleStep = 0.05;
constexpr double kRefineScaleStep = 0.002;
// Cells of a section up to which the rating mode searches on the least grid its answer needs
// instead of the coarsest one first.
constexpr int kCoarseSearchCells = 2 * kMinSectionGrid * kMinSectionGrid;
constexpr double kOutletTolerance = 1e-13;  // of the inlet temperature difference

// The factor on h1 and h2 at which θ1out is `target`, from a first trial at `start`. θ1out falls
// as the factor grows; the search runs on the factor's logarithm: secant steps, kept inside what
// is known to bracket the answer, bisection where a step would leave it. An end of the bounds is
// tried only when the answer lies beyond every trial towards it.
std::variant<double, FieldError> scaleFactorFor(const Model& m, double target, double start,
                                                double firstStep, const FieldError& unreachable) {
  struct Trial {
    double u = 0, excess = 0;  // ln factor, θ1out − target
    bool known = false;
  };
  std::optional<FieldError> fault;
  Sweep s;  // one workspace for every trial
  const auto trial = [&](double u) -> Trial {
    auto t = transferAt(m, std::exp(u));
    if (auto* refused = std::get_if<FieldError>(&t)) {
      fault = *refused;
      return {u, 0, true};
    }
    return {u, outletsAt(m, std::get<Transfer>(t), s).flueGas - target, true};
  };
  // Beyond the largest factor the grid allows, the answer needs a finer grid.
  const double largest = largestFactor(m);
  Trial low{std::log(kMinScaleFactor)}, high{std::log(largest)};  // not yet tried
  const bool flueGasLimits = m.c1 * m.nx <= m.c2 * m.ny;
  const FieldError beyond =
      largest < kMaxScaleFactor
          ? FieldError{Cause::CoarseGrid,
                       flueGasLimits ? "cells along the flue-gas flow" : "cells along the air flow",
                       static_cast<double>(flueGasLimits ? m.nx : m.ny)}
          : unreachable;
  const auto bracket = [&](const Trial& t) {
    if (t.excess > 0 && (!low.known || t.u > low.u)) low = t;
    if (t.excess < 0 && (!high.known || t.u < high.u)) high = t;
  };
  Trial previous = trial(std::clamp(std::log(start), low.u, high.u));
  bracket(previous);
  if (std::fabs(previous.excess) <= kOutletTolerance && !fault) return std::exp(previous.u);
  const double step = previous.excess > 0 ? firstStep : -firstStep;
  Trial current = trial(std::clamp(previous.u + step, low.u, high.u));
  for (int n = 0; n < kMaxScaleTrials && !fault; ++n) {
    bracket(current);
    if (std::fabs(current.excess) <= kOutletTolerance) return std::exp(current.u);
    if (low.known && high.known && high.u - low.u <= 1e-15) break;
    const double slope = current.excess - previous.excess;
    double next =
        slope != 0 ? current.u - current.excess * (current.u - previous.u) / slope : current.u;
    if (!(next > low.u && next < high.u) || next == current.u) {
      Trial& end = current.excess > 0 ? high : low;  // where the answer lies
      if (!end.known) {
        const Trial tried = trial(end.u);
        if (fault) break;
        if (std::fabs(tried.excess) <= kOutletTolerance) return std::exp(tried.u);
        if ((tried.excess > 0) == (current.excess > 0))
          return current.excess > 0 ? beyond : unreachable;
        end = tried;
      }
      next = (low.u + high.u) / 2;
    }
    previous = current;
    current = trial(next);
  }
  if (fault) return *fault;
  if (!high.known) return beyond;
  if (!low.known) return unreachable;
  return std::exp(std::fabs(low.excess) <= std::fabs(high.excess) ? low.u : high.u);
}

}  // namespace

FieldGrid designCheckGrid(FieldArrangement arrangement, int flueGasPasses, int airPasses, double n1,
                          double n2) {
  if (arrangement == FieldArrangement::Counterflow) return {kMaxDesignGrid, 1};
  if (arrangement != FieldArrangement::MultiPass) flueGasPasses = airPasses = 1;
  const double sections = std::clamp(std::max(flueGasPasses, airPasses), 1, kMaxFieldPasses);
  // A stream's path crosses every section once.
  const auto cells = [&](double transferUnits) {
    const double wanted = std::ceil(transferUnits / (sections * kDesignCellTransferUnits));
    const double needed = std::ceil(transferUnits / (sections * kMaxCellTransferUnits));
    if (!(wanted <= kMaxDesignGrid))  // NaN too
      return needed <= kMaxDesignGrid ? kMaxDesignGrid
                                      : static_cast<int>(std::min<double>(needed, kMaxFieldGrid));
    return std::max(kMinSectionGrid, static_cast<int>(wanted));
  };
  FieldGrid grid{cells(n1), cells(n2)};
  while (sections * grid.alongFlueGas * grid.alongAir > static_cast<double>(kMaxFieldCells)) {
    int& larger = grid.alongFlueGas >= grid.alongAir ? grid.alongFlueGas : grid.alongAir;
    larger = std::max(1, larger / 2);
  }
  return grid;
}

std::string describe(const FieldError& error) {
  char rule[128] = "";
  switch (error.cause) {
    case Cause::HeatCapacityRate:
    case Cause::FilmCoefficient:
    case Cause::PlateConductivity:
    case Cause::Area:
      std::snprintf(rule, sizeof rule, "must be above 0 and finite");
      break;
    case Cause::Fouling:
    case Cause::PlateThickness:
      std::snprintf(rule, sizeof rule, "must be 0 or more and finite");
      break;
    case Cause::Temperature:
      std::snprintf(rule, sizeof rule, "must be finite");
      break;
    case Cause::PassCount:
      std::snprintf(rule, sizeof rule, "must be a whole number from 1 to %d", kMaxFieldPasses);
      break;
    case Cause::Grid:
      std::snprintf(rule, sizeof rule, "must be from 1 to %d per direction, at most %zu in all",
                    kMaxFieldGrid, kMaxFieldCells);
      break;
    case Cause::CoarseGrid:
      std::snprintf(rule, sizeof rule,
                    "are too few: no cell may carry more than %g transfer units of its stream",
                    kMaxCellTransferUnits);
      break;
    case Cause::TransferUnits:
      std::snprintf(rule, sizeof rule, "is beyond what a field within its bounds can resolve");
      break;
    case Cause::Unreachable:
      std::snprintf(rule, sizeof rule,
                    "cannot be reached with one factor on both film coefficients from %g to %g",
                    kMinScaleFactor, kMaxScaleFactor);
      break;
  }
  char value[40];
  if (std::isnan(error.value)) {
    std::snprintf(value, sizeof value, " (is not a number)");
  } else if (std::isinf(error.value)) {
    std::snprintf(value, sizeof value, " (is not finite)");
  } else {
    std::snprintf(value, sizeof value, " (is %.17g)", error.value);
  }
  return error.subject + " " + rule + value;
}

FieldOutcome solvePlateField(const FieldInput& input) {
  auto model = checkedModel(input);
  if (auto* refused = std::get_if<FieldError>(&model)) return *refused;
  const Model& m = std::get<Model>(model);
  auto transfer = transferAt(m, 1);
  if (auto* refused = std::get_if<FieldError>(&transfer)) return *refused;
  const Transfer& t = std::get<Transfer>(transfer);
  const Model gridded = withGridFor(m, t);
  if (auto refused = coarseCells(gridded, t))
    return m.automaticGrid ? tooManyTransferUnits(t) : *refused;
  return fieldAt(gridded, t, 1);
}

namespace {

FieldOutcome finishRating(const Model& m, double factor) {
  auto transfer = transferAt(m, factor);
  if (auto* refused = std::get_if<FieldError>(&transfer)) return *refused;
  if (auto refused = coarseCells(m, std::get<Transfer>(transfer))) return *refused;
  return fieldAt(m, std::get<Transfer>(transfer), factor);
}

}  // namespace

FieldOutcome ratePlateField(const FieldInput& input, double flueGasOutlet) {
  auto model = checkedModel(input);
  if (auto* refused = std::get_if<FieldError>(&model)) return *refused;
  const Model& m = std::get<Model>(model);
  if (!std::isfinite(flueGasOutlet))
    return FieldError{Cause::Temperature, "flue-gas outlet temperature", flueGasOutlet};
  const FieldError unreachable{Cause::Unreachable, "flue-gas outlet temperature", flueGasOutlet};
  if (m.t1in == m.t2in) return unreachable;
  const double target = (flueGasOutlet - m.t2in) / (m.t1in - m.t2in);

  // With the design checks' grid, a first search on a coarse grid finds the coefficients closely
  // enough to choose the grid, and a short second one on that grid finishes where it differs. A
  // grid of its own choosing too coarse for the factor the outlet asks is refined, up to the
  // bounds.
  const auto search = [&](Model& grid, double start, double firstStep) {
    auto found = scaleFactorFor(grid, target, start, firstStep, unreachable);
    while (m.automaticGrid && std::holds_alternative<FieldError>(found) &&
           std::get<FieldError>(found).cause == Cause::CoarseGrid &&
           std::max(grid.nx, grid.ny) < kMaxFieldGrid &&
           4.0 * grid.nx * grid.ny * grid.sections <= static_cast<double>(kMaxFieldCells)) {
      grid.nx = std::min(2 * grid.nx, kMaxFieldGrid);
      grid.ny = std::min(2 * grid.ny, kMaxFieldGrid);
      found = scaleFactorFor(grid, target, start, firstStep, unreachable);
    }
    if (m.automaticGrid && std::holds_alternative<FieldError>(found) &&
        std::get<FieldError>(found).cause == Cause::CoarseGrid) {
      // Beyond every grid within the bounds: at least the units at the largest factor it allows.
      const auto t = transferAt(grid, largestFactor(grid));
      if (const auto* units = std::get_if<Transfer>(&t))
        return decltype(found){tooManyTransferUnits(*units)};
    }
    return found;
  };
  Model searched = m;
  double start = counterflowGuess(m, target), firstStep = kFirstScaleStep;
  if (m.automaticGrid && m.arrangement != FieldArrangement::Counterflow) {
    // Counterflow needs the smallest factor of all: its grid is the least the answer needs.
    // Where that is hardly finer than the coarsest grid, the search starts on it directly.
    auto least = transferAt(m, start);
    if (auto* refused = std::get_if<FieldError>(&least)) return *refused;
    Model coarse = withGridFor(m, std::get<Transfer>(least));
    if (coarse.nx * coarse.ny > kCoarseSearchCells) coarse.nx = coarse.ny = kMinSectionGrid;
    auto found = search(coarse, start, firstStep);
    if (auto* refused = std::get_if<FieldError>(&found)) return *refused;
    start = std::get<double>(found);
    firstStep = kRefineScaleStep;
    auto transfer = transferAt(m, start);
    if (auto* refused = std::get_if<FieldError>(&transfer)) return *refused;
    searched = withGridFor(m, std::get<Transfer>(transfer));
    if (searched.nx == coarse.nx && searched.ny == coarse.ny) return finishRating(searched, start);
  } else if (m.automaticGrid) {
    searched = withGridFor(m, Transfer{});
  }
  auto found = search(searched, start, firstStep);
  if (auto* refused = std::get_if<FieldError>(&found)) return *refused;
  return finishRating(searched, std::get<double>(found));
}

double areaBelow(const PlateField& field, double temperature, PlateFace face) {
  const int nx = field.grid.alongFlueGas, ny = field.grid.alongAir;
  if (field.cells.empty() || nx < 1 || ny < 1) return 0;
  const auto value = [&](const FieldPoint& p) {
    return face == PlateFace::FlueGas ? p.flueGasFace : p.airFace;
  };
  // The share of a triangle below the level, the wall linear over it.
  const auto triangle = [temperature](double a, double b, double c) {
    if (a > b) std::swap(a, b);
    if (b > c) std::swap(b, c);
    if (a > b) std::swap(a, b);
    if (temperature <= a) return 0.0;
    if (temperature >= c) return 1.0;
    if (temperature <= b) return (temperature - a) * (temperature - a) / ((b - a) * (c - a));
    return 1 - (c - temperature) * (c - temperature) / ((c - a) * (c - b));
  };
  double cells = 0;  // in cells
  for (int section = 0; section < static_cast<int>(field.sections.size()); ++section) {
    for (int j = 0; j < ny; ++j) {
      for (int i = 0; i < nx; ++i) {
        const double v00 = value(field.node(section, i, j));
        const double v10 = value(field.node(section, i + 1, j));
        const double v01 = value(field.node(section, i, j + 1));
        const double v11 = value(field.node(section, i + 1, j + 1));
        cells += (triangle(v00, v10, v11) + triangle(v00, v11, v01)) / 2;
      }
    }
  }
  return field.area * cells / static_cast<double>(field.cells.size());
}

}  // namespace aph
