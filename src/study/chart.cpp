#include "study/chart.hpp"

#include <cmath>

#include "model/text.hpp"

namespace aph::study {

ChartData sweepChart(const SweepPlan& plan, const std::vector<DesignValues>& values) {
  ChartData chart;
  const Axis& x = plan.axes.at(0);
  const CaseKey& key = caseKey(x.key);
  std::string caption(key.caption);
  const std::string path(key.path);
  if (caption.find("烟气") == std::string::npos && caption.find("空气") == std::string::npos) {
    if (path.starts_with("flue_gas.")) caption = "烟气侧" + caption;
    if (path.starts_with("air.")) caption = "空气侧" + caption;
  }
  if (!key.unit.empty() && caption.find(key.unit) == std::string::npos &&
      key.kind != KeyKind::Field)
    caption += " (" + std::string(key.unit) + ")";
  chart.xLabel = caption + "  " + path;
  chart.title = "裕量与压降随" + caption + "的变化";
  const std::size_t inner = plan.axes.size() == 2 ? plan.axes[1].texts.size() : 1;
  chart.margin.resize(inner);
  chart.dropFlueGas.resize(inner);
  chart.dropAir.resize(inner);
  for (std::size_t s = 0; s < inner; ++s) {
    if (plan.axes.size() == 2) {
      const std::string label =
          std::string(caseKey(plan.axes[1].key).path) + " = " + plan.axes[1].texts[s];
      chart.margin[s].label = chart.dropFlueGas[s].label = chart.dropAir[s].label = label;
    }
  }
  for (std::size_t d = 0; d < values.size(); ++d) {
    const std::size_t s = d % inner;
    const double xv = x.values[d / inner];
    const DesignValues& v = values[d];
    if (!std::isnan(v.margin)) chart.margin[s].points.emplace_back(xv, v.margin);
    if (!std::isnan(v.dpFlueGas)) chart.dropFlueGas[s].points.emplace_back(xv, v.dpFlueGas);
    if (!std::isnan(v.dpAir)) chart.dropAir[s].points.emplace_back(xv, v.dpAir);
  }
  const std::string designText = plan.base.inputText(x.key);
  if (!designText.empty()) chart.design = readLeadingNumber(designText);
  return chart;
}

}  // namespace aph::study
