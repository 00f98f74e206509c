// The thermal calculation of the main window (Command3_Click) and the multi-pass option
// (Option3_Click): the order in which fields are read and written, the calculation state, the
// property procedures mysub1 and mysub2, and how a fault ends a run.
#include <array>
#include <cmath>
#include <cstdint>

#include "engine/checked.hpp"
#include "engine/plate.hpp"
#include "engine/properties.hpp"
#include "engine/rating.hpp"
#include "engine/thermal.hpp"
#include "model/text.hpp"
#include "model/window.hpp"

namespace aph {
namespace {

// Messages of the input checks.
constexpr const char* kNumericInputWrong = "数值输入有误！";
constexpr const char* kNoArrangement = "未选择流动形式！";
constexpr const char* kNoPassCounts = "折流流程数未输入！";
constexpr const char* kNoVolumeFlow = "体积流量未输入！";
constexpr const char* kNoMassFlow = "质量流量未输入！";
constexpr const char* kAirOutOfRange = "空气进出口温度平均值超出计算范围！";
constexpr const char* kFlueGasOutOfRange = "烟气进出口温度平均值超出计算范围！";
constexpr const char* kPassCountWrong = "流程输入有误！";
// Messages of faults met by the formulas, by where they arise.
constexpr const char* kTemperatureRange = "温度数值超出范围！";
constexpr const char* kPropertyInputWrong = "物性参数输入有误！";
constexpr const char* kFlowInputWrong = "流量输入有误！";
constexpr const char* kTemperatureDifferenceFault = "温差计算出错，请检查进出口温度！";
constexpr const char* kGeometryInputWrong = "结构参数输入有误！";
constexpr const char* kHeatTransferFault = "传热计算出错！";
constexpr const char* kCoefficientFault = "传热系数计算出错！";
constexpr const char* kWallNoConvergence = "壁温计算无法收敛！";

// Ends a handler; the message (if any) is shown once the handler unwinds.
struct Stop {
  const char* message;
};

// Shared by both handlers: field reads by the leading-number rule, and turning a formula's
// empty result into the message of the stage it belongs to.
class HandlerContext {
 public:
  HandlerContext(MainWindow& window, UserInterface& ui) : w(window), ui(ui) {}

  double read(FieldId id) const { return readText(w.text(id)); }
  static double readText(const std::string& text) {
    const auto value = readLeadingNumber(text);
    if (!value) throw Stop{kNumericInputWrong};
    return *value;
  }

  // A tuning factor: empty text counts as 1, any other text by the leading-number rule.
  double factor(std::string_view name) {
    const std::string& text = *w.ensureDialog(DialogKind::Tuning).find(name);
    return isEmptyText(text) ? 1.0 : readText(text);
  }

  template <class T>
  T need(const std::optional<T>& value) const {
    if (!value) throw Stop{faultMessage};
    return *value;
  }

  void show(FieldId id, std::string text) { w.setText(id, text); }

  // A value rounded to single precision; beyond the single range it is the stage's fault.
  float single(double value) const {
    return need(guarded([&] { return toSingle(Real(value)).value(); }));
  }

  TerminalTemperatures temperatures() const {
    TerminalTemperatures t;
    t.t1in = read(FieldId::Text9);
    t.t1out = read(FieldId::Text10);
    t.t2in = read(FieldId::Text2);
    t.t2out = read(FieldId::Text3);
    return t;
  }

  // Runs a handler body; a stop shows its message, and nothing escapes.
  template <class Body>
  void run(Body&& body) {
    try {
      body();
    } catch (const Stop& stop) {
      if (stop.message) ui.showMessage(errorMessage(stop.message));
    } catch (...) {
      // Nothing may escape a handler into the event loop.
    }
  }

  MainWindow& w;
  UserInterface& ui;
  CalculationState& s = w.mutableState();
  const char* faultMessage = kNumericInputWrong;
};

class Calculation : HandlerContext {
 public:
  using HandlerContext::HandlerContext;

  void execute() {
    run([this] { stages(); });
  }

 private:
  void stages() {
    checks();
    nusseltConstants();
    flueGasProperties();
    airProperties();
    flows();
    heatDuties();
    meanTemperatureDifferences();
    plateAreaAndDiameters();
    velocities();
    reynoldsNumbers();
    filmCoefficients();
    pressureDrops();
    overallCoefficients();
    wallTemperatures();
  }

  // Stage 1: numeric and arrangement checks; nothing is written before they pass.
  void checks() {
    bool valid = true;
    for (FieldId id : {FieldId::Text9, FieldId::Text10, FieldId::Text3, FieldId::Combo2,
                       FieldId::Text18, FieldId::Combo1, FieldId::Text16, FieldId::Text26}) {
      if (!(read(id) > 0)) valid = false;
    }
    if (!valid) throw Stop{kNumericInputWrong};
    const bool counterflow = w.isSelected(OptionId::Option1);
    const bool crossflow = w.isSelected(OptionId::Option2);
    const bool multiPass = w.isSelected(OptionId::Option3);
    if (!counterflow && !crossflow && !multiPass) throw Stop{kNoArrangement};
    // The rating divides by the multi-pass ΔTm; without an accepted selection there is none.
    if (multiPass && !s.meanDifferenceStored) throw Stop{kNoPassCounts};
  }

  // Stage 2: the air side's Prandtl exponent is the quotient 1/3 rounded to single precision.
  void nusseltConstants() {
    flueGasPrandtlExponent = 1.0 / 3.0;
    airPrandtlExponent = static_cast<double>(static_cast<float>(1.0 / 3.0));
  }

  std::int16_t wholeDegrees(FieldId id) const {
    const auto degrees = toWholeDegrees(read(id));
    if (!degrees) throw Stop{kTemperatureRange};
    return *degrees;
  }

  // The property procedures fill the side's state members; out of the table they clear the
  // side's fields, warn and leave the members as they were. The run then stops: going on would
  // rate the exchanger with properties of other temperatures, or with none at all.
  using Table = std::optional<PropertySet> (*)(double);
  bool propertyProcedure(Table table, std::int16_t inlet, std::int16_t outlet, StreamState& side,
                         const std::array<FieldId, 5>& cleared, const char* warning) {
    const auto mean = meanOfWholeDegrees(inlet, outlet);
    if (!mean) throw Stop{kTemperatureRange};
    side.meanTemperature = *mean;
    const auto p = table(*mean);
    if (!p) {
      for (FieldId id : cleared) w.setText(id, "");
      ui.showMessage(errorMessage(warning));
      return false;
    }
    side.density = p->density;
    side.specificHeat = p->specificHeat;
    side.conductivity = p->conductivity;
    side.dynamicViscosity = p->dynamicViscosity;
    side.kinematicViscosity = p->kinematicViscosity;
    side.prandtl = p->prandtl;
    return true;
  }

  struct PropertyFields {
    FieldId density, specificHeat, viscosity, conductivity, prandtl, inlet, outlet;
    std::array<FieldId, 5> clearedOnWarning;
  };

  void streamProperties(const PropertyFields& f, Table table, StreamState& side,
                        const char* warning) {
    faultMessage = kPropertyInputWrong;
    const bool allEmpty = isEmptyText(w.text(f.density)) && isEmptyText(w.text(f.specificHeat)) &&
                          isEmptyText(w.text(f.viscosity)) && isEmptyText(w.text(f.conductivity));
    if (allEmpty) {
      const std::int16_t inlet = wholeDegrees(f.inlet);
      const std::int16_t outlet = wholeDegrees(f.outlet);
      if (!propertyProcedure(table, inlet, outlet, side, f.clearedOnWarning, warning)) {
        throw Stop{nullptr};  // the procedure has shown its own message
      }
      show(f.density, formatPlain(side.density));
      show(f.specificHeat, formatPlain(side.specificHeat));
      show(f.viscosity, formatPlain(side.dynamicViscosity));
      show(f.conductivity, formatPlain(side.conductivity));
      show(f.prandtl, formatPlain(side.prandtl));
      return;
    }
    side.density = read(f.density);
    side.specificHeat = read(f.specificHeat);
    side.conductivity = read(f.conductivity);
    side.dynamicViscosity = read(f.viscosity);
    side.prandtl = need(prandtlNumber(side.specificHeat, side.dynamicViscosity, side.conductivity));
    show(f.prandtl, formatPlain(side.prandtl));
  }

  // Stage 3: flue gas, mysub2.
  void flueGasProperties() {
    streamProperties(
        {FieldId::Text11,
         FieldId::Text12,
         FieldId::Text13,
         FieldId::Text14,
         FieldId::Text53,
         FieldId::Text9,
         FieldId::Text10,
         {FieldId::Text11, FieldId::Text12, FieldId::Text13, FieldId::Text14, FieldId::Text53}},
        &flueGasPropertiesAt, s.flueGas, kFlueGasOutOfRange);
  }

  // Stage 4: air, mysub1.
  void airProperties() {
    streamProperties(
        {FieldId::Text4,
         FieldId::Text5,
         FieldId::Text6,
         FieldId::Text7,
         FieldId::Text54,
         FieldId::Text2,
         FieldId::Text3,
         {FieldId::Text4, FieldId::Text5, FieldId::Text7, FieldId::Text6, FieldId::Text54}},
        &airPropertiesAt, s.air, kAirOutOfRange);
  }

  // Stage 5: flow check and conversion between volume and mass flows.
  void flows() {
    faultMessage = kFlowInputWrong;
    if (w.isSelected(OptionId::Option4)) {
      if (isEmptyText(w.text(FieldId::Text8)) && isEmptyText(w.text(FieldId::Text1)))
        throw Stop{kNoVolumeFlow};
      s.flueGas.volumeFlow = need(volumeFlowPerSecond(read(FieldId::Text8)));
      s.air.volumeFlow = need(volumeFlowPerSecond(read(FieldId::Text1)));
      show(FieldId::Text61,
           formatPlain(need(massFlowPerHour(s.flueGas.density, s.flueGas.volumeFlow))));
      show(FieldId::Text62, formatPlain(need(massFlowPerHour(s.air.density, s.air.volumeFlow))));
    } else if (w.isSelected(OptionId::Option5)) {
      if (isEmptyText(w.text(FieldId::Text61)) && isEmptyText(w.text(FieldId::Text62)))
        throw Stop{kNoMassFlow};
      s.flueGas.volumeFlow = need(volumeFlowFromMassFlow(read(FieldId::Text61), s.flueGas.density));
      s.air.volumeFlow = need(volumeFlowFromMassFlow(read(FieldId::Text62), s.air.density));
      show(FieldId::Text8, formatPlain(need(volumeFlowPerHour(s.flueGas.volumeFlow))));
      show(FieldId::Text1, formatPlain(need(volumeFlowPerHour(s.air.volumeFlow))));
    }
    // Neither mode selected: V1 and V2 stay as the previous run left them.
  }

  // Stage 6: heat duties from the flow and specific-heat fields as they now stand.
  void heatDuties() {
    faultMessage = kFlowInputWrong;
    const double rho1 = s.flueGas.density;
    const double v1h = read(FieldId::Text8);
    const double cp1 = read(FieldId::Text12);
    const double dt1 =
        need(guarded([&] { return (Real(read(FieldId::Text9)) - read(FieldId::Text10)).value(); }));
    flueGasDuty = need(heatDuty(rho1, v1h, cp1, dt1));
    const double rho2 = s.air.density;
    const double v2h = read(FieldId::Text1);
    const double cp2 = read(FieldId::Text5);
    const double dt2 =
        need(guarded([&] { return (Real(read(FieldId::Text3)) - read(FieldId::Text2)).value(); }));
    airDuty = need(heatDutySingle(rho2, v2h, cp2, dt2));
  }

  // Stages 7 and 8: counterflow and crossflow mean temperature differences, then ΔTm.
  void meanTemperatureDifferences() {
    faultMessage = kTemperatureDifferenceFault;
    s.counterflowDifference = need(counterflowMeanTemperatureDifference(temperatures()));
    show(FieldId::Text58, formatFixed4(s.counterflowDifference));
    s.crossflowDifference = need(crossflowMeanTemperatureDifference(temperatures()));
    show(FieldId::Text15, formatFixed4(s.crossflowDifference));
    if (w.isSelected(OptionId::Option1)) {
      s.meanDifference = single(s.counterflowDifference);
      s.meanDifferenceStored = true;
      w.setColor(FieldId::Text58, TextColor::WindowText);
    } else if (w.isSelected(OptionId::Option2)) {
      s.meanDifference = single(s.crossflowDifference);
      s.meanDifferenceStored = true;
      w.setColor(FieldId::Text15, TextColor::WindowText);
    }
  }

  // Stage 9: plate areas and equivalent diameters.
  void plateAreaAndDiameters() {
    faultMessage = kGeometryInputWrong;
    show(FieldId::Text17,
         formatPlain(need(singlePlateArea(read(FieldId::Text33), read(FieldId::Text16)))));
    halfArea = need(halfHeatTransferArea(read(FieldId::Text18), read(FieldId::Text17)));
    show(FieldId::Text19, formatPlainSingle(need(heatTransferArea(halfArea))));
    if (isEmptyText(w.text(FieldId::Combo3)) || isEmptyText(w.text(FieldId::Combo4))) {
      flueGasDiameter = read(FieldId::Text20);
      airDiameter = single(read(FieldId::Text55));
    } else {
      // Flue-gas side: the channel length is the slot extent; air side: the channel width.
      flueGasDiameter = need(slotEquivalentDiameter(read(FieldId::Text16), read(FieldId::Combo3)));
      airDiameter =
          need(slotEquivalentDiameterSingle(read(FieldId::Text26), read(FieldId::Combo4)));
    }
    show(FieldId::Text20, formatFixed4(flueGasDiameter));
    show(FieldId::Text55, formatFixed4(airDiameter));
  }

  // Stage 10: flow cross-sections and velocities, then the heat duties are shown.
  void velocities() {
    faultMessage = kGeometryInputWrong;
    const double pairs = read(FieldId::Text18);
    // In counterflow the flue gas flows across the air channel width as well.
    const FieldId flueGasWidth =
        w.isSelected(OptionId::Option1) ? FieldId::Text26 : FieldId::Text33;
    s.flueGas.crossSection =
        need(flowCrossSection(pairs, read(flueGasWidth), read(FieldId::Combo3)));
    s.air.crossSection =
        need(flowCrossSection(pairs, read(FieldId::Text26), read(FieldId::Combo4)));
    s.flueGas.velocity = need(channelVelocity(s.flueGas.volumeFlow, s.flueGas.crossSection));
    s.air.velocity = need(channelVelocity(s.air.volumeFlow, s.air.crossSection));
    show(FieldId::Text21, formatFixed4(s.flueGas.velocity));
    show(FieldId::Text22, formatFixed4(s.air.velocity));
    show(FieldId::Text24, formatFixed4(airDuty));
    show(FieldId::Text60, formatFixed4(flueGasDuty));
  }

  // Stage 11: Reynolds numbers.
  void reynoldsNumbers() {
    faultMessage = kGeometryInputWrong;
    s.flueGas.reynolds = need(reynoldsNumber(s.flueGas.density, s.flueGas.velocity, flueGasDiameter,
                                             s.flueGas.dynamicViscosity));
    s.air.reynolds =
        need(reynoldsNumber(s.air.density, s.air.velocity, airDiameter, s.air.dynamicViscosity));
    show(FieldId::Text25, formatFixed4(s.flueGas.reynolds));
    show(FieldId::Text50, formatFixed4(s.air.reynolds));
  }

  // Stage 12: Nusselt numbers with the tuning factors, then film coefficients.
  void filmCoefficients() {
    faultMessage = kHeatTransferFault;
    const double factor1 = factor("Text37");
    const double factor2 = factor("Text38");
    s.flueGas.nusselt =
        need(nusseltNumber(factor1, s.flueGas.reynolds, s.flueGas.prandtl, flueGasPrandtlExponent));
    s.air.nusselt = need(nusseltNumber(factor2, s.air.reynolds, s.air.prandtl, airPrandtlExponent));
    show(FieldId::Text30, formatFixed4(s.flueGas.nusselt));
    show(FieldId::Text35, formatFixed4(s.air.nusselt));
    s.flueGas.filmCoefficient =
        need(filmCoefficient(s.flueGas.nusselt, s.flueGas.conductivity, flueGasDiameter));
    s.air.filmCoefficient = need(filmCoefficient(s.air.nusselt, s.air.conductivity, airDiameter));
    show(FieldId::Text31, formatFixed4(s.flueGas.filmCoefficient));
    show(FieldId::Text36, formatFixed4(s.air.filmCoefficient));
  }

  void showPressureDrop(FieldId id, double dp) {
    show(id, formatFixed4(dp));
    w.setColor(id, dp > kPressureDropLimit ? TextColor::Red : TextColor::WindowText);
  }

  // Stage 13: pressure drops. In counterflow both streams run along the flue-gas channel length.
  void pressureDrops() {
    faultMessage = kHeatTransferFault;
    const double factor1 = factor("Text39");
    const double factor2 = factor("Text40");
    const double flueGasPath = read(FieldId::Text16);
    const double airPath = w.isSelected(OptionId::Option1) ? flueGasPath : read(FieldId::Text34);
    s.flueGas.pressureDrop =
        need(pressureDrop(need(frictionFactor(factor1, s.flueGas.reynolds)), flueGasPath,
                          flueGasDiameter, s.flueGas.density, s.flueGas.velocity));
    s.air.pressureDrop = need(pressureDrop(need(frictionFactor(factor2, s.air.reynolds)), airPath,
                                           airDiameter, s.air.density, s.air.velocity));
    showPressureDrop(FieldId::Text45, s.flueGas.pressureDrop);
    showPressureDrop(FieldId::Text46, s.air.pressureDrop);
  }

  // Stage 14: overall coefficients and the surface margin.
  void overallCoefficients() {
    faultMessage = kCoefficientFault;
    const double plateConductivity = read(FieldId::Combo2);
    const double foulingFlueGas = read(FieldId::Text43);
    const double plateThickness = read(FieldId::Combo1);
    const double foulingAir = read(FieldId::Text63);
    s.actualCoefficient =
        need(actualOverallCoefficient(s.flueGas.filmCoefficient, foulingFlueGas, plateThickness,
                                      plateConductivity, foulingAir, s.air.filmCoefficient));
    s.theoreticalCoefficient =
        need(theoreticalOverallCoefficient(airDuty, halfArea, s.meanDifference));
    const float margin = need(surfaceMargin(s.actualCoefficient, s.theoreticalCoefficient));
    show(FieldId::Text52, formatFixed4(s.actualCoefficient));
    show(FieldId::Text23, formatFixed4(s.theoreticalCoefficient));
    show(FieldId::Text49, formatFixed4(margin));
    w.setColor(FieldId::Text49, margin < kMarginLow || margin > kMarginHigh
                                    ? TextColor::Red
                                    : TextColor::WindowText);
  }

  // Stage 15: wall temperatures at the hot end and at the cold end, always in counterflow
  // pairing; fouling does not enter.
  void wallTemperatures() {
    faultMessage = kWallNoConvergence;
    WallSearchInput in;
    in.h1 = s.flueGas.filmCoefficient;
    in.h2 = s.air.filmCoefficient;
    in.plateThickness = read(FieldId::Combo1);
    in.plateConductivity = read(FieldId::Combo2);

    in.end = WallEnd::Hot;
    in.flueGasTemperature = read(FieldId::Text9);
    in.airTemperature = read(FieldId::Text3);
    const WallPoint hot = need(findWallTemperature(in, &plainTextRoundTrip));
    show(FieldId::Text56, formatPlain(hot.flueGasSide));
    show(FieldId::Text29, formatFixed3(hot.airSide));

    in.end = WallEnd::Cold;
    in.flueGasTemperature = read(FieldId::Text10);
    in.airTemperature = read(FieldId::Text2);
    const WallPoint cold = need(findWallTemperature(in, &plainTextRoundTrip));
    show(FieldId::Text57, formatFixed3(cold.airSide));
    show(FieldId::Text32, formatPlain(cold.flueGasSide));
  }

  // Values that live for one run.
  double flueGasPrandtlExponent = 0, airPrandtlExponent = 0;
  double flueGasDuty = 0;
  float airDuty = 0;
  float halfArea = 0;
  double flueGasDiameter = 0;
  float airDiameter = 0;
};

class MultiPassSelection : HandlerContext {
 public:
  using HandlerContext::HandlerContext;

  void execute() {
    run([this] { phases(); });
  }

 private:
  void phases() {
    // Phase 1: counterflow (always logarithmic) and crossflow from the temperatures now shown.
    faultMessage = kTemperatureDifferenceFault;
    const TerminalTemperatures t = temperatures();
    s.counterflowDifference = need(logarithmicCounterflowMeanTemperatureDifference(t));
    s.crossflowDifference = need(crossflowMeanTemperatureDifference(t));

    // Phase 2: the pass-count dialog.
    w.showDialogModal(DialogKind::PassCount, ui);

    // Phase 3: read the counts (a dialog discarded by its close button comes back empty).
    DialogForm& counts = w.ensureDialog(DialogKind::PassCount);
    const std::string flueGasText = *counts.find("Text33");
    const std::string airText = *counts.find("Text34");
    if (isEmptyText(flueGasText) || isEmptyText(airText)) throw Stop{kPassCountWrong};
    const double flueGasPasses = passCount(flueGasText);
    const double airPassesValue = passCount(airText);
    faultMessage = kPassCountWrong;
    const float airPasses = single(airPassesValue);
    if (!(flueGasPasses > 0 && airPasses > 0)) throw Stop{kPassCountWrong};

    faultMessage = kTemperatureDifferenceFault;
    const float mean = need(multiPassMeanTemperatureDifference(
        s.crossflowDifference, s.counterflowDifference, flueGasPasses, airPasses));
    s.flueGasPasses = flueGasPasses;
    s.airPasses = airPasses;
    s.meanDifference = mean;
    s.meanDifferenceStored = true;
    show(FieldId::Text59, formatPlainSingle(mean));
    w.setColor(FieldId::Text59, TextColor::WindowText);
  }

  // A pass count must be a number as a whole: "2" or "1.5", not "2x" or "abc".
  static double passCount(const std::string& text) {
    if (!readLeadingNumber(text)) throw Stop{kNumericInputWrong};
    const auto value = readWholeNumber(text);
    if (!value) throw Stop{kPassCountWrong};
    return *value;
  }
};

}  // namespace

void MainWindow::Command3_Click(UserInterface& ui) {
  Calculation(*this, ui).execute();
}

void MainWindow::Option3_Click(UserInterface& ui) {
  MultiPassSelection(*this, ui).execute();
}

}  // namespace aph
