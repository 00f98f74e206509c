#include "study/outputs/chart.hpp"

#include <cmath>

#include "model/text.hpp"
#include "study/outputs/results.hpp"

namespace aph::study {

ChartData sweepChart(const SweepPlan& plan, const std::vector<DesignValues>& values,
                     const std::string* load) {
  ChartData chart;
  const Axis& x = plan.axes.at(0);
  const CaseKey& key = caseKey(x.key);
  std::string caption = sideCaption(key.path, key.caption);
  const std::string path(key.path);
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
    std::string label = load ? *load : std::string();
    if (plan.axes.size() == 2)
      label += (label.empty() ? "" : ", ") + std::string(caseKey(plan.axes[1].key).path) + " = " +
               plan.axes[1].texts[s];
    chart.margin[s].label = chart.dropFlueGas[s].label = chart.dropAir[s].label = label;
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

void addSeries(ChartData& chart, ChartData&& more) {
  for (auto [to, from] :
       {std::pair{&chart.margin, &more.margin}, std::pair{&chart.dropFlueGas, &more.dropFlueGas},
        std::pair{&chart.dropAir, &more.dropAir}})
    for (Series& s : *from) to->push_back(std::move(s));
}

}  // namespace aph::study
