// Off-design rating: what the preheater as built delivers at its inlet temperatures and flows.
// The flue-gas and air outlet temperatures are sought at which the exchanger carries exactly the
// duty it is rated for (margin 0: K_act = K_theo) and the heat balance closes (the flue-gas duty
// equals the air duty), both as the window computes them: every trial is the window's own
// calculation with the trial temperatures typed into the outlet fields. The case's outlet
// temperatures are only the starting guess.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "study/case_input/range_syntax.hpp"
#include "study/studies/rate.hpp"
#include "study/studies/seek.hpp"

namespace aph::study {

// Convergence: |margin| ≤ 0.01 % and |Q1 − Q2| ≤ 0.01 % of Q2.
inline constexpr double kMarginTolerance = 0.01;   // %
inline constexpr double kBalanceTolerance = 0.01;  // % of the air duty
// The hard bound of trials of one off-design rating.
inline constexpr std::size_t kMaxSimulateEvaluations = 400;

// A pair of outlet temperatures with its residuals.
struct OffDesignPair {
  std::string flueGasOutletText, airOutletText;  // as typed
  double flueGasOutlet = 0, airOutlet = 0;       // ℃
  double margin = 0, heatBalance = 0;            // %
};

struct OffDesignAnswer {
  // Found: both tolerances met; grid: where a law of the calculation steps across a margin of 0,
  // of the pairs on the 0.001 ℃ grid of the temperature texts within the balance tolerance the one
  // of smallest |margin| found (the search follows both edges of the tolerance to where the step
  // crosses them); unreachable: no solution (`reason` says why); bound: the search reached its
  // bound (the best pair so far).
  SolutionStatus status = SolutionStatus::Unreachable;
  std::optional<double> load;  // % of the case's flows, under a load curve
  // The answer's outlet temperatures as typed (empty when there is none), and their values.
  std::string flueGasOutletText, airOutletText;
  std::optional<double> flueGasOutlet, airOutlet;
  std::optional<double> margin;       // % (the window's R)
  std::optional<double> heatBalance;  // (Q1 − Q2) / Q2 in %
  std::size_t evaluations = 0;
  std::string reason;  // unreachable, bound: why; grid: what steps there
  // Found: the other pairs that meet both tolerances too, by air outlet temperature. The
  // properties of the tables step with the whole-degree outlet temperatures, and a step can carry
  // the margin back across 0 beside the answer: the stretches next to it are searched as well.
  std::vector<OffDesignPair> others;
  // The full rating at the answer, as `rate` gives it for a case holding these outlet
  // temperatures; with no answer, the rating of the case as given.
  RatedCase rating;
};

struct SimulateOptions {
  bool asTyped = false;  // no range checks on the trials
  std::size_t maxEvaluations = kMaxSimulateEvaluations;
};

// Nested one-dimensional searches, each bracketed and bounded: for a trial air outlet
// temperature the heat balance is closed in the flue-gas outlet temperature, and the air outlet
// temperature is moved until the margin is 0.
OffDesignAnswer simulateCase(const Case& c, const SimulateOptions& options = {});

// The case at a share of its flows: the flows of its flow mode (volume or mass flows, both
// sides) times percent / 100; 100 % leaves the texts as they are. Throws SolveError when the case
// selects no flow mode.
Case loadCase(const Case& c, double percent);

// "30:110:10" → 30, 40, …, 110 (% of the case's flows, each above 0 and at most kMaxLoad, at most
// kMaxLoads of them). Throws RangeError.
inline constexpr double kMaxLoad = 1000;
inline constexpr std::size_t kMaxLoads = 1000;
std::vector<double> parseLoads(const std::string& argument);

// The verdict in words (several lines, no rating table).
std::string describeOffDesign(const OffDesignAnswer& answer);
// The other pairs in one text: "144.268/253.583" (flue gas/air outlet, ℃), joined by "; ".
std::string otherPairsText(const OffDesignAnswer& answer);

}  // namespace aph::study
