#include "study/studies/simulate.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "model/text.hpp"
#include "study/io/files.hpp"
#include "study/outputs/number_text.hpp"
#include "study/studies/solve.hpp"
#include "study/studies/sweep.hpp"

namespace aph::study {
namespace {

// Temperatures are typed to the thousandth of a degree.
constexpr TextGrid kTemperatureGrid{3};
// Outer residuals standing for "no balance in the flue-gas outlet temperature": beyond any
// margin, so that the closer neighbour of a bracket is always a real one.
constexpr double kCrossResidual = -1e6;     // the flue gas would leave below the air inlet
constexpr double kNoCoolingResidual = 1e6;  // the air takes less than the least cooling gives
constexpr std::size_t kOuterTrials = 200;   // beyond the evaluation bound: never the limit
// How far an edge of the balance tolerance is followed towards a step: 4.096 K of air outlet.
constexpr long long kEdgeReach = 4096;
// The sign changes beside an answer narrowed for further answers, at most.
constexpr std::size_t kBesideBrackets = 4;

// A residual to read: six significant digits.
std::string figure(double v) {
  return figuresText(v, 6);
}

std::string degrees(double v) {
  return gridText(v) + " ℃";
}

// What one trial run gives.
struct Evaluation {
  long long x = 0, y = 0;  // air and flue-gas outlet temperatures (grid indices)
  bool completed = false;  // every stage ran, no message
  bool duties = false;     // the duties were shown (stage 10 reached)
  double flueGasDuty = 0, airDuty = 0;
  std::optional<double> margin;
  double flueGasHeat = 0, airHeat = 0, flueGasDensity = 0, airDensity = 0;  // as the run read them
  bool tables = false;  // a side's properties came from a built-in table
  std::string message;

  std::optional<double> balance() const {  // (Q1 − Q2) / Q2 in %
    if (!duties || !(airDuty != 0)) return std::nullopt;
    const double b = (flueGasDuty - airDuty) / std::fabs(airDuty) * 100;
    return std::isfinite(b) ? std::optional<double>(b) : std::nullopt;
  }
  // Within the balance tolerance, with a margin; and within the margin's tolerance as well.
  bool inBand() const {
    const auto b = balance();
    return completed && margin && b && std::fabs(*b) <= kBalanceTolerance;
  }
  bool meets() const { return inBand() && std::fabs(*margin) <= kMarginTolerance; }
  // How far from the answer: 1 at a tolerance.
  double score() const {
    const auto b = balance();
    if (!completed || !margin || !b) return INFINITY;
    return std::max(std::fabs(*margin) / kMarginTolerance, std::fabs(*b) / kBalanceTolerance);
  }
};

// The balance closed (or not) for one air outlet temperature.
struct Balance {
  enum class Kind { Closed, Grid, Cross, NoCooling, Stopped, Bound } kind = Kind::Stopped;
  Evaluation at;                        // the pair the balance settled on
  std::optional<Evaluation> neighbour;  // Grid: the other side of the step
};

class Simulation {
 public:
  Simulation(const Case& c, const SimulateOptions& options)
      : case_(c),
        budget_(options.maxEvaluations),
        evaluator_(c, !options.asTyped),
        flueGasKey_(*findKey("flue_gas.outlet_temperature")),
        airKey_(*findKey("air.outlet_temperature")) {
    keys_ = {flueGasKey_, airKey_};
    texts_ = {&flueGasText_, &airText_};
    arrangement_ = c.value("arrangement").value_or("");
  }

  OffDesignAnswer run();

 private:
  Evaluation evaluate(long long x, long long y);
  Balance closeBalance(long long x);
  std::optional<double> outerResidual(long long x);
  std::string stepCause(const Evaluation& a, const Evaluation& b) const;
  long long clampIndex(long long v) const { return std::clamp(v, lo_, hi_); }
  std::optional<long long> guessY(long long x) const;
  std::optional<Evaluation> edgePair(long long x, int side, Evaluation from);
  void followEdge(const Evaluation& a, const Evaluation& b, int side);
  std::vector<Evaluation> lookBeside(const Evaluation& answer);
  std::vector<std::pair<long long, Evaluation>> marginsTried() const;
  std::optional<double> inputNumber(std::string_view path) const;
  std::string boundReason() const;
  std::string stoppedReason() const;
  const Balance* balanceOf(long long x) const;
  std::optional<double> marginResidual(long long x);
  OffDesignAnswer marchFrom(long long x0);
  OffDesignAnswer concludeNarrowing(const NarrowResult& n);
  OffDesignAnswer answerAt(long long x, std::optional<long long> other);
  OffDesignAnswer finish(SolutionStatus status, const std::optional<Evaluation>& at,
                         std::string reason);

  const Case& case_;
  std::size_t budget_;
  std::size_t evaluations_ = 0;
  DesignEvaluator evaluator_;
  std::size_t flueGasKey_, airKey_;
  std::vector<std::size_t> keys_;
  std::string flueGasText_, airText_;
  std::vector<const std::string*> texts_;
  std::string arrangement_;
  double flueGasInlet_ = 0, airInlet_ = 0;
  long long lo_ = 0, hi_ = 0;  // the outlet temperatures between the inlets, exclusive
  std::optional<Evaluation> best_;
  std::optional<Evaluation> closestInBand_;  // within the balance tolerance, the smallest |margin|
  bool tables_ = false;                      // some run took a side's properties from a table
  std::optional<Evaluation> lastBalanced_;   // the last evaluation with both duties
  long long lastY_ = 0;                      // the last flue-gas outlet the balance settled on
  std::string stopMessage_;
  std::string stopPlace_;
  // Per air outlet temperature tried: how its balance settled.
  std::vector<std::pair<long long, Balance>> tried_;
  std::size_t outerBudget_ = 0;  // trials left to the outer narrowing of the margin
  OffDesignAnswer out_;
};

Evaluation Simulation::evaluate(long long x, long long y) {
  Evaluation e;
  e.x = x;
  e.y = y;
  flueGasText_ = kTemperatureGrid.text(y);
  airText_ = kTemperatureGrid.text(x);
  RunStatus status;
  const Rating& r = evaluator_.evaluate(keys_, texts_, status).rating();
  ++evaluations_;
  if (budget_ > 0) --budget_;  // the one count of trials: the searches read it
  e.completed = status.completed;
  const auto q1 = r.heatDuty(Side::FlueGas), q2 = r.heatDuty(Side::Air);
  e.duties = q1 && q2 && std::isfinite(*q1) && std::isfinite(*q2);
  if (e.duties) {
    e.flueGasDuty = *q1;
    e.airDuty = *q2;
  }
  if (e.completed) e.margin = r.margin();
  if (e.margin && !std::isfinite(*e.margin)) e.margin.reset();
  e.flueGasHeat = r.value(Quantity::FlueGasSpecificHeat).value_or(0);
  e.airHeat = r.value(Quantity::AirSpecificHeat).value_or(0);
  e.flueGasDensity = r.value(Quantity::FlueGasDensity).value_or(0);
  e.airDensity = r.value(Quantity::AirDensity).value_or(0);
  for (const std::string& m : status.messages) e.message += (e.message.empty() ? "" : " / ") + m;
  if (!e.completed && e.message.empty()) e.message = "the calculation stops";
  if (!e.completed && stopMessage_.empty()) {
    stopMessage_ = e.message;
    stopPlace_ = "flue-gas outlet " + degrees(kTemperatureGrid.value(y)) + ", air outlet " +
                 degrees(kTemperatureGrid.value(x));
  }
  e.tables =
      r.flueGasProperties == PropertySource::Table || r.airProperties == PropertySource::Table;
  tables_ = tables_ || e.tables;
  if (e.duties && e.balance()) lastBalanced_ = e;
  if (e.inBand() && (!closestInBand_ || std::fabs(*e.margin) < std::fabs(*closestInBand_->margin)))
    closestInBand_ = e;
  if (!best_ || e.score() < best_->score()) best_ = e;
  return e;
}

// The flue-gas outlet temperature at which the flue gas gives the air duty: with the properties
// fixed, the flue-gas duty falls linearly as its outlet temperature rises, so the last trial
// predicts it.
std::optional<long long> Simulation::guessY(long long x) const {
  if (!lastBalanced_) return std::nullopt;
  const Evaluation& e = *lastBalanced_;
  const double xv = kTemperatureGrid.value(x), ex = kTemperatureGrid.value(e.x);
  const double ey = kTemperatureGrid.value(e.y);
  if (!(ex != airInlet_) || !(e.flueGasDuty != 0) || !(ey != flueGasInlet_)) return std::nullopt;
  const double airDuty = e.airDuty * (xv - airInlet_) / (ex - airInlet_);
  const double y = flueGasInlet_ - airDuty * (flueGasInlet_ - ey) / e.flueGasDuty;
  const auto index = kTemperatureGrid.above(y - kTemperatureGrid.step() / 2);
  if (!index || !std::isfinite(y)) return std::nullopt;
  return clampIndex(*index);
}

Balance Simulation::closeBalance(long long x) {
  Balance out;
  std::vector<Evaluation> trials;
  auto find = [&](long long y) -> const Evaluation* {
    for (const Evaluation& e : trials)
      if (e.y == y) return &e;
    return nullptr;
  };
  // Narrowing counts its trials against `narrowBudget`, which closes when the evaluations run out.
  std::size_t narrowBudget = kOuterTrials;
  auto residual = [&](long long y) -> std::optional<double> {
    if (budget_ == 0) {
      narrowBudget = 0;
      return std::nullopt;
    }
    trials.push_back(evaluate(x, y));
    if (budget_ == 0) narrowBudget = 0;
    return trials.back().balance();
  };
  auto settle = [&](Balance::Kind kind, const Evaluation& at) {
    out.kind = kind;
    out.at = at;
    return out;
  };

  long long y = guessY(x).value_or(clampIndex(lastY_));
  if (budget_ == 0) return settle(Balance::Kind::Bound, {});
  std::optional<double> r = residual(y);
  // A start where the run stops: the middle of the range, then nearer the inlet.
  for (double share : {0.5, 0.75, 0.25}) {
    if (r || budget_ == 0) break;
    y = lo_ + static_cast<long long>(share * static_cast<double>(hi_ - lo_));
    r = residual(y);
  }
  if (!r)
    return settle(budget_ == 0 ? Balance::Kind::Bound : Balance::Kind::Stopped, trials.back());
  if (std::fabs(*r) <= kBalanceTolerance) return settle(Balance::Kind::Closed, trials.back());

  // Bracket: the linear prediction first, then steps doubling away from it.
  Trial a{y, r};
  const double firstAirDuty = trials.back().airDuty, firstFlueGasDuty = trials.back().flueGasDuty;
  const double yv = kTemperatureGrid.value(y);
  const double predicted =
      firstFlueGasDuty != 0 ? flueGasInlet_ - (flueGasInlet_ - yv) * firstAirDuty / firstFlueGasDuty
                            : NAN;
  long long next = y + (*r > 0 ? 1000 : -1000);
  if (std::isfinite(predicted))
    if (const auto p = kTemperatureGrid.above(predicted - kTemperatureGrid.step() / 2)) next = *p;
  // Too much flue-gas duty: it must leave hotter (and the other way round).
  const long long direction = *r > 0 ? 1 : -1;
  if ((next - y) * direction <= 0) next = y + direction;
  long long step = std::max<long long>(std::llabs(next - y), 1000);
  std::optional<Trial> b;
  for (;;) {
    next = clampIndex(next);
    if (next == a.index) {
      // The end of the range without a change of sign.
      return settle(direction < 0 ? Balance::Kind::Cross : Balance::Kind::NoCooling,
                    *find(a.index));
    }
    if (budget_ == 0) return settle(Balance::Kind::Bound, *find(a.index));
    const auto rn = residual(next);
    if (!rn) {
      // Stopped on the way: back towards the last trial that ran.
      if (budget_ == 0) return settle(Balance::Kind::Bound, *find(a.index));
      const long long back = a.index + (next - a.index) / 2;
      if (back == a.index)
        return settle(direction < 0 ? Balance::Kind::Cross : Balance::Kind::NoCooling,
                      *find(a.index));
      next = back;
      step = std::max<long long>(std::llabs(back - a.index), 1);
      continue;
    }
    if (std::fabs(*rn) <= kBalanceTolerance) return settle(Balance::Kind::Closed, trials.back());
    if ((*rn > 0) != (*r > 0)) {
      b = Trial{next, rn};
      break;
    }
    a = {next, rn};
    step *= 2;
    next = a.index + direction * step;
  }
  const NarrowResult n = narrowSignChange(a, *b, kBalanceTolerance, residual, narrowBudget);
  switch (n.end) {
    case NarrowResult::End::Found:
      return settle(Balance::Kind::Closed, *find(n.best.index));
    case NarrowResult::End::Grid: {
      settle(Balance::Kind::Grid, *find(n.best.index));
      const long long other = n.best.index == n.low.index ? n.high.index : n.low.index;
      if (const Evaluation* e = find(other)) out.neighbour = *e;
      return out;
    }
    case NarrowResult::End::Bound:
      return settle(Balance::Kind::Bound, *find(n.best.index));
    case NarrowResult::End::Stopped:
      return settle(Balance::Kind::Stopped, *find(*n.stopped));
  }
  return out;
}

std::optional<double> Simulation::outerResidual(long long x) {
  Balance balance = closeBalance(x);
  tried_.emplace_back(x, balance);
  if (balance.kind == Balance::Kind::Closed || balance.kind == Balance::Kind::Grid)
    lastY_ = balance.at.y;
  switch (balance.kind) {
    case Balance::Kind::Closed:
    case Balance::Kind::Grid:
      if (balance.at.completed && balance.at.margin) return balance.at.margin;
      return std::nullopt;
    case Balance::Kind::Cross:
      return kCrossResidual;
    case Balance::Kind::NoCooling:
      return kNoCoolingResidual;
    default:
      return std::nullopt;
  }
}

// The pair at air outlet x just inside one edge of the balance tolerance (side +1: Q1 above Q2,
// -1: below), predicted from the pair `from`: with the properties fixed, Q1 is proportional to
// t1in − t1out and Q2 to t2out − t2in. Where a property of the tables steps on the way the
// prediction misses; it is made again from the pair it gave, twice at most.
std::optional<Evaluation> Simulation::edgePair(long long x, int side, Evaluation from) {
  const double target = 1 + side * 0.98 * kBalanceTolerance / 100;  // Q1 / Q2
  const double xv = kTemperatureGrid.value(x);
  for (int attempt = 0; attempt < 3 && budget_ > 0; ++attempt) {
    const auto b = from.balance();
    const double x0 = kTemperatureGrid.value(from.x), y0 = kTemperatureGrid.value(from.y);
    if (!b || !(x0 != airInlet_) || !(y0 != flueGasInlet_)) return std::nullopt;
    const double y = flueGasInlet_ - target * (xv - airInlet_) * (flueGasInlet_ - y0) /
                                         ((1 + *b / 100) * (x0 - airInlet_));
    // Rounded towards the balance, into the band.
    const auto index = side > 0 ? kTemperatureGrid.above(y) : kTemperatureGrid.below(y);
    if (!std::isfinite(y) || !index) return std::nullopt;
    const long long yi = clampIndex(*index);
    if (x == from.x && yi == from.y) return from.inBand() ? std::optional(from) : std::nullopt;
    const Evaluation e = evaluate(x, yi);
    if (e.inBand()) return e;
    from = e;
  }
  return std::nullopt;
}

// Where the margin steps across 0 between the neighbouring air outlets of a and b, the pairs
// within the balance tolerance form a band across the step, and on either side of it the margin
// comes nearest 0 where the step meets an edge of the band. The edge is followed from a and b
// towards the step (where |margin| falls), stepping out doubling, then halving back to the
// neighbours on either side of it; every pair tried in the band is a candidate.
void Simulation::followEdge(const Evaluation& a, const Evaluation& b, int side) {
  const auto ea = edgePair(a.x, side, a);
  const auto eb = ea ? edgePair(b.x, side, b) : std::nullopt;
  if (!ea || !eb) return;
  auto positive = [](const Evaluation& e) { return *e.margin > 0; };
  if (positive(*ea) != positive(*eb)) return;  // the step meets this edge between a and b
  const bool towardsB = std::fabs(*eb->margin) < std::fabs(*ea->margin);
  Evaluation near = towardsB ? *eb : *ea;
  const long long direction = (towardsB ? b.x - a.x : a.x - b.x) > 0 ? 1 : -1;
  const long long start = near.x;
  std::optional<Evaluation> across;
  for (long long step = 1; step <= kEdgeReach && !across; step *= 2) {
    const long long x = clampIndex(start + direction * step);
    if (x == near.x) return;
    const auto e = edgePair(x, side, near);
    if (!e) return;
    if (positive(*e) != positive(near)) {
      across = e;
    } else {
      if (std::fabs(*e->margin) >= std::fabs(*near.margin)) return;  // no step that way
      near = *e;
    }
  }
  while (across && std::llabs(across->x - near.x) > 1) {
    const auto e = edgePair(near.x + (across->x - near.x) / 2, side, near);
    if (!e) return;
    if (positive(*e) == positive(near))
      near = *e;
    else
      across = e;
  }
}

// The air outlets tried with a margin at their balance (closed, or at its step), in order.
std::vector<std::pair<long long, Evaluation>> Simulation::marginsTried() const {
  std::vector<std::pair<long long, Evaluation>> out;
  for (const auto& [x, b] : tried_)
    if ((b.kind == Balance::Kind::Closed || b.kind == Balance::Kind::Grid) && b.at.completed &&
        b.at.margin)
      out.emplace_back(x, b.at);
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& p, const auto& q) { return p.first < q.first; });
  out.erase(std::unique(out.begin(), out.end(),
                        [](const auto& p, const auto& q) { return p.first == q.first; }),
            out.end());
  return out;
}

// Further answers beside one. Within a stretch where no law steps the margin falls steadily as
// the air leaves hotter; with a table the properties step at the whole degrees of the outlet
// temperatures, and a step may carry the margin back across 0. So the balance is closed at both
// ends of the air outlet's whole degree and of the whole degrees on either side, and, where the
// flue-gas outlet passes a half degree between two of those, on either side of that; every other
// change of the margin's sign among the trials is narrowed, and what meets both tolerances there
// is an answer too.
std::vector<Evaluation> Simulation::lookBeside(const Evaluation& answer) {
  std::vector<Evaluation> found;
  if (!tables_) return found;
  const auto whole = static_cast<long long>(std::nearbyint(kTemperatureGrid.value(answer.x)));
  // The last index of whole degree w towards d: the half degree itself where it rounds to w.
  auto stretchEnd = [&](long long w, long long d) {
    const long long half = w * 1000 + d * 500;
    return std::nearbyint(kTemperatureGrid.value(half)) == static_cast<double>(w) ? half : half - d;
  };
  auto probe = [&](long long x) {
    if (budget_ == 0 || x < lo_ || x > hi_) return;
    for (const auto& [tx, b] : tried_)
      if (tx == x) return;
    (void)outerResidual(x);
  };
  for (const long long d : {1LL, -1LL}) {
    const long long end = stretchEnd(whole, d);
    probe(end);
    probe(end + d);
    probe(stretchEnd(whole + d, d));
  }
  const long long from = stretchEnd(whole - 1, -1), to = stretchEnd(whole + 1, 1);
  const auto first = marginsTried();
  for (std::size_t k = 0; k + 1 < first.size(); ++k) {
    const Evaluation &p = first[k].second, &q = first[k + 1].second;
    if (p.x < from || q.x > to) continue;
    const double py = kTemperatureGrid.value(p.y), qy = kTemperatureGrid.value(q.y);
    const double pw = std::nearbyint(py), qw = std::nearbyint(qy);
    if (pw == qw || !(py != qy)) continue;
    const double half = (pw + qw) / 2;
    const double share = (half - py) / (qy - py);
    const auto x = p.x + std::llround(share * static_cast<double>(q.x - p.x));
    for (const long long at : {x, x + 1})
      if (at > p.x && at < q.x) probe(at);
  }
  const auto margins = marginsTried();
  std::size_t brackets = 0;
  for (std::size_t k = 0; k + 1 < margins.size() && brackets < kBesideBrackets; ++k) {
    const Evaluation &p = margins[k].second, &q = margins[k + 1].second;
    if (p.x < from || q.x > to || q.x - p.x <= 1 || (*p.margin > 0) == (*q.margin > 0)) continue;
    if (std::fabs(*p.margin) <= kMarginTolerance || std::fabs(*q.margin) <= kMarginTolerance)
      continue;  // an answer's own crossing
    ++brackets;
    std::size_t budget = kOuterTrials;
    const NarrowResult n = narrowSignChange(
        {p.x, p.margin}, {q.x, q.margin}, kMarginTolerance,
        [&](long long x) { return outerResidual(x); }, budget);
    if (n.end != NarrowResult::End::Found) continue;
    for (const auto& [tx, b] : tried_)
      if (tx == n.best.index && b.kind == Balance::Kind::Closed && b.at.meets() &&
          b.at.x != answer.x)
        found.push_back(b.at);
  }
  std::sort(found.begin(), found.end(),
            [](const Evaluation& p, const Evaluation& q) { return p.x < q.x; });
  return found;
}

std::string Simulation::stepCause(const Evaluation& a, const Evaluation& b) const {
  auto differs = [](double p, double q, double share) {
    return std::fabs(p - q) > share * std::max(std::fabs(p), std::fabs(q));
  };
  if (differs(a.flueGasHeat, b.flueGasHeat, 0.05))
    return "the flue-gas specific heat of the table jumps where the mean flue-gas temperature "
           "passes 200 ℃";
  if (arrangement_ == "counterflow") {
    auto ratio = [&](const Evaluation& e) {
      return (flueGasInlet_ - kTemperatureGrid.value(e.x)) /
             (kTemperatureGrid.value(e.y) - airInlet_);
    };
    if ((ratio(a) > 1.7) != (ratio(b) > 1.7))
      return "the counterflow mean temperature difference turns between the arithmetic and the "
             "logarithmic mean where the end differences stand 1.7 to 1";
  }
  if (differs(a.flueGasHeat, b.flueGasHeat, 0) || differs(a.airHeat, b.airHeat, 0) ||
      differs(a.flueGasDensity, b.flueGasDensity, 0) || differs(a.airDensity, b.airDensity, 0))
    return "the properties from the tables step with the whole-degree temperatures";
  return "a step of 0.001 ℃ in the outlet temperatures moves it by more than its tolerance";
}

// The answer as rated: the outlet temperatures of `at` typed into the case, which is rated once
// more as the window would.
OffDesignAnswer Simulation::finish(SolutionStatus status, const std::optional<Evaluation>& at,
                                   std::string reason) {
  out_.status = status;
  out_.reason = std::move(reason);
  out_.evaluations = evaluations_;
  Case rated = case_;
  if (at && at->completed) {
    out_.flueGasOutletText = kTemperatureGrid.text(at->y);
    out_.airOutletText = kTemperatureGrid.text(at->x);
    out_.flueGasOutlet = kTemperatureGrid.value(at->y);
    out_.airOutlet = kTemperatureGrid.value(at->x);
    out_.margin = at->margin;
    out_.heatBalance = at->balance();
    rated.set("flue_gas.outlet_temperature", out_.flueGasOutletText);
    rated.set("air.outlet_temperature", out_.airOutletText);
  }
  out_.rating = RatedCase{rated, rateCase(rated)};
  out_.rating.marginSettled = out_.margin && std::fabs(*out_.margin) <= kMarginTolerance;
  // At the outlet temperatures found, the plate works with the film coefficients the run gives
  // there: its field is that of the operating point, not the plate scaled to a stated duty.
  if (out_.flueGasOutlet) out_.rating.field = FieldMode::Operation;
  return std::move(out_);
}

std::optional<double> Simulation::inputNumber(std::string_view path) const {
  const std::string text = case_.inputText(*findKey(path));
  return text.empty() ? std::nullopt : readLeadingNumber(text);
}

std::string Simulation::boundReason() const {
  return "the search reached its bound of " + std::to_string(evaluations_) + " evaluations";
}

std::string Simulation::stoppedReason() const {
  return "the calculation stops at " + stopPlace_ + ": " + stopMessage_;
}

const Balance* Simulation::balanceOf(long long x) const {
  for (const auto& [tx, b] : tried_)
    if (tx == x) return &b;
  return nullptr;
}

// The outer residual (the margin at air outlet x, its balance closed); a spent budget ends the
// outer narrowing too.
std::optional<double> Simulation::marginResidual(long long x) {
  const auto r = outerResidual(x);
  if (budget_ == 0) outerBudget_ = 0;
  return r;
}

// The answer at air outlet x: found when both residuals are within their tolerances. Across a
// step of the margin (`other` the neighbour on its far side), the pair of smallest |margin|
// within the balance tolerance along the step. Beside it, further answers.
OffDesignAnswer Simulation::answerAt(long long x, std::optional<long long> other) {
  const Balance b = *balanceOf(x);  // a copy: the searches below try more outlets
  Evaluation at = b.at;
  const bool closed = b.kind == Balance::Kind::Closed;
  SolutionStatus status = SolutionStatus::Found;
  std::string cause;
  if (!(closed && at.meets())) {
    status = SolutionStatus::Grid;
    if (!closed && b.neighbour) {
      cause = "the heat balance cannot close closer: " + stepCause(at, *b.neighbour);
    } else if (other) {
      const Balance* ob = balanceOf(*other);
      cause = ob ? "the margin cannot come closer to 0: " + stepCause(at, ob->at)
                 : "the margin cannot come closer to 0 on the 0.001 ℃ grid";
      if (closed && ob && ob->kind == Balance::Kind::Closed) {
        const Evaluation across = ob->at;
        for (const int side : {1, -1}) followEdge(at, across, side);
        if (closestInBand_) at = *closestInBand_;
      }
    } else {
      cause = "the heat balance cannot close closer on the 0.001 ℃ grid";
    }
    if (at.meets()) {
      status = SolutionStatus::Found;
      cause.clear();
    }
  }
  std::vector<Evaluation> others = lookBeside(at);
  if (status == SolutionStatus::Grid && !others.empty()) {
    at = others.front();
    others.erase(others.begin());
    status = SolutionStatus::Found;
    cause.clear();
  }
  for (const Evaluation& e : others)
    out_.others.push_back({kTemperatureGrid.text(e.y), kTemperatureGrid.text(e.x),
                           kTemperatureGrid.value(e.y), kTemperatureGrid.value(e.x), *e.margin,
                           *e.balance()});
  return finish(status, at, cause);
}

// How a narrowed sign change of the margin ends: the answer on it, or why there is none.
OffDesignAnswer Simulation::concludeNarrowing(const NarrowResult& n) {
  switch (n.end) {
    case NarrowResult::End::Found:
      return answerAt(n.best.index, std::nullopt);
    case NarrowResult::End::Grid: {
      const long long other = n.best.index == n.low.index ? n.high.index : n.low.index;
      const Balance& at = *balanceOf(n.best.index);
      const Balance* next = balanceOf(other);
      if (at.kind == Balance::Kind::Cross || (next && next->kind == Balance::Kind::Cross))
        break;  // the margin stays above 0 up to the cross
      if (at.kind == Balance::Kind::NoCooling || (next && next->kind == Balance::Kind::NoCooling))
        return finish(SolutionStatus::Unreachable, best_,
                      "the air takes less heat than the least cooling of the flue gas gives");
      return answerAt(n.best.index, other);
    }
    case NarrowResult::End::Bound:
      return finish(SolutionStatus::Bound, best_, boundReason());
    case NarrowResult::End::Stopped:
      return finish(SolutionStatus::Unreachable, best_, stoppedReason());
  }
  return finish(SolutionStatus::Unreachable, best_,
                "a temperature cross: the margin stays above 0 until the flue gas would have to "
                "leave below the air inlet temperature (" +
                    degrees(airInlet_) + ")");
}

OffDesignAnswer Simulation::run() {
  const auto t1in = inputNumber("flue_gas.inlet_temperature");
  const auto t2in = inputNumber("air.inlet_temperature");
  if (!t1in || !t2in)
    return finish(SolutionStatus::Unreachable, std::nullopt,
                  "an inlet temperature of the case is no number");
  flueGasInlet_ = *t1in;
  airInlet_ = *t2in;
  const auto lo = kTemperatureGrid.below(airInlet_);
  const auto hi = kTemperatureGrid.above(flueGasInlet_);
  if (!(flueGasInlet_ > airInlet_) || !lo || !hi || *hi - *lo < 3)
    return finish(SolutionStatus::Unreachable, std::nullopt,
                  "the air cannot be heated: the flue gas enters at " + degrees(flueGasInlet_) +
                      ", not above the air's " + degrees(airInlet_));
  lo_ = *lo + 1;
  hi_ = *hi - 1;
  auto startAt = [&](std::string_view path, double share) {
    const auto v = inputNumber(path);
    if (v) {
      if (const auto index = kTemperatureGrid.above(*v - kTemperatureGrid.step() / 2))
        return clampIndex(*index);
    }
    return lo_ + static_cast<long long>(share * static_cast<double>(hi_ - lo_));
  };
  lastY_ = startAt("flue_gas.outlet_temperature", 0.3);
  const long long x0 = startAt("air.outlet_temperature", 0.6);
  return marchFrom(x0);
}

// From the first air outlet x0 the margin is followed in growing steps until it changes sign,
// then the sign change is narrowed.
OffDesignAnswer Simulation::marchFrom(long long x0) {
  outerBudget_ = kOuterTrials;
  const auto residual = [this](long long x) { return marginResidual(x); };
  const auto r0 = residual(x0);
  if (!r0) {
    if (budget_ == 0) return finish(SolutionStatus::Bound, best_, boundReason());
    return finish(SolutionStatus::Unreachable, std::nullopt, stoppedReason());
  }
  Trial a{x0, r0};
  if (std::fabs(*r0) <= kMarginTolerance) return answerAt(x0, std::nullopt);
  // A margin above 0 leaves room for more duty: the air leaves hotter. The first step takes the
  // margin as the share by which the air duty can grow.
  const long long direction = *r0 > 0 ? 1 : -1;
  const double rise = std::fabs(kTemperatureGrid.value(x0) - airInlet_);
  long long step = std::max<long long>(
      1000, std::llround(std::min(std::fabs(*r0), 50.0) / 100 * rise * 1000 * 0.5));
  std::optional<Trial> b;
  for (long long next = x0 + direction * step;;) {
    next = clampIndex(next);
    if (next == a.index) {
      if (direction > 0)
        return finish(SolutionStatus::Unreachable, best_,
                      "the margin stays above 0 however hot the air leaves (up to " +
                          degrees(kTemperatureGrid.value(hi_)) +
                          ", just below the flue-gas inlet temperature)");
      return finish(SolutionStatus::Unreachable, best_,
                    "the margin stays below 0 however little the air is heated (down to " +
                        degrees(kTemperatureGrid.value(lo_)) + ")");
    }
    const auto rn = residual(next);
    if (!rn) {
      if (budget_ == 0) return finish(SolutionStatus::Bound, best_, boundReason());
      const long long back = a.index + (next - a.index) / 2;
      if (back == a.index) return finish(SolutionStatus::Unreachable, best_, stoppedReason());
      next = back;
      step = std::max<long long>(std::llabs(back - a.index), 1);
      continue;
    }
    if (std::fabs(*rn) <= kMarginTolerance) return answerAt(next, std::nullopt);
    if ((*rn > 0) != (*r0 > 0)) {
      b = Trial{next, rn};
      break;
    }
    if (budget_ == 0) return finish(SolutionStatus::Bound, best_, boundReason());
    a = {next, rn};
    step *= 2;
    next = a.index + direction * step;
  }
  return concludeNarrowing(narrowSignChange(a, *b, kMarginTolerance, residual, outerBudget_));
}

}  // namespace

OffDesignAnswer simulateCase(const Case& c, const SimulateOptions& options) {
  return Simulation(c, options).run();
}

Case loadCase(const Case& c, double percent) {
  const auto& mode = c.value("flow_mode");
  if (!mode || (*mode != "volume" && *mode != "mass"))
    throw SolveError(
        "--load: the case selects no flow_mode, so the calculation reads no flows to scale");
  Case out = c;
  if (percent == 100) return out;
  const std::string kind = *mode == "volume" ? "volume_flow" : "mass_flow";
  for (const std::string side : {"flue_gas.", "air."}) {
    const std::string path = side + kind;
    const std::string text = c.inputText(*findKey(path));
    if (text.empty()) continue;
    const auto v = readLeadingNumber(text);
    if (!v) continue;
    const double scaled = *v * percent / 100;
    if (!std::isfinite(scaled))
      throw SolveError("--load " + gridText(percent) + " %: " + path + " " + shortened(text) +
                       " scaled is beyond what a double holds");
    out.set(path, gridText(scaled));
  }
  return out;
}

std::vector<double> parseLoads(const std::string& argument) {
  const ValueRange range =
      parseRange(argument, RangeForm::Stepped, "FROM:TO:STEP in % of the flows");
  if (range.count > kMaxLoads)
    throw RangeError(argument, "more than " + std::to_string(kMaxLoads) + " loads");
  const std::vector<double> loads = rangeValues(range).values;
  for (double v : loads)
    if (!(v > 0 && v <= kMaxLoad))
      throw RangeError(argument, gridText(v) +
                                     " % is out of range; allowed: above 0 % and at most " +
                                     gridText(kMaxLoad) + " %");
  return loads;
}

std::string describeOffDesign(const OffDesignAnswer& a) {
  std::ostringstream out;
  out << "off-design rating";
  if (a.load) out << " at " << gridText(*a.load) << " % load";
  out << ": ";
  switch (a.status) {
    case SolutionStatus::Found:
      out << "found";
      if (!a.others.empty())
        out << " — " << a.others.size() + 1
            << " pairs meet both tolerances (the properties of the tables step with the "
               "whole-degree outlet temperatures between them); this one is rated below";
      out << "\n";
      break;
    case SolutionStatus::Grid:
      out << "closest pair on the 0.001 ℃ grid (" << a.reason << ")\n";
      break;
    case SolutionStatus::Unreachable:
      out << "no solution: " << a.reason << "\n";
      break;
    case SolutionStatus::Bound:
      out << "not settled: " << a.reason << "\n";
      break;
  }
  const bool answered = a.status == SolutionStatus::Found || a.status == SolutionStatus::Grid;
  if (!a.flueGasOutletText.empty()) {
    if (!answered) out << "  the closest pair tried:\n";
    out << "  flue_gas.outlet_temperature = " << a.flueGasOutletText << " ℃\n";
    out << "  air.outlet_temperature = " << a.airOutletText << " ℃\n";
  }
  if (a.margin) out << "  margin = " << figure(*a.margin) << " %\n";
  if (a.heatBalance) out << "  heat balance (Q1 − Q2) / Q2 = " << figure(*a.heatBalance) << " %\n";
  for (const OffDesignPair& p : a.others)
    out << "  also: flue_gas.outlet_temperature = " << p.flueGasOutletText
        << " ℃, air.outlet_temperature = " << p.airOutletText << " ℃, margin = " << figure(p.margin)
        << " %, heat balance = " << figure(p.heatBalance) << " %\n";
  out << "  evaluations: " << a.evaluations << "\n";
  return out.str();
}

std::string otherPairsText(const OffDesignAnswer& a) {
  std::string out;
  for (const OffDesignPair& p : a.others)
    out += (out.empty() ? "" : "; ") + p.flueGasOutletText + "/" + p.airOutletText;
  return out;
}

}  // namespace aph::study
