// What the sweep chart shows: the surface margin with its band, and the two pressure drops with
// their limit, against the swept parameter. Drawing it is left to the canvases of the renderer.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "study/studies/sweep.hpp"

namespace aph::study {

struct Series {
  std::string label;  // empty in a one-parameter sweep
  std::vector<std::pair<double, double>> points;
};

struct ChartData {
  std::string title;
  std::string xLabel;
  std::vector<Series> margin;
  std::vector<Series> dropFlueGas;
  std::vector<Series> dropAir;
  double bandLow = 0, bandHigh = 30, dropLimit = 500;
  std::optional<double> design;  // the design's own value, marked on both panels
};

// Margin and pressure drops of a sweep's completed designs, a series per value of the second
// parameter. With `load`, the name of a load case, every series is labelled with it: the sweeps
// of several load cases draw into one chart (addSeries), a curve per load.
ChartData sweepChart(const SweepPlan& plan, const std::vector<DesignValues>& values,
                     const std::string* load = nullptr);
// The series of `more` added to `chart`.
void addSeries(ChartData& chart, ChartData&& more);

}  // namespace aph::study
