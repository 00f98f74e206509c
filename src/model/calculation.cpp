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

// Shared by both handlers: field reads by the leading-number rule, writes in each field's own
// format, and turning a formula's empty result into the message of the stage it belongs to. A
// calculation run also records every read and write in its typed result.
class HandlerContext {
 public:
  HandlerContext(MainWindow& window, UserInterface& ui, Rating* rating = nullptr)
      : w(window), ui(ui), rating(rating) {}

  // A field's text is read into a number once: later reads of the same field take that number
  // until its text changes (the run writes it, or it is typed into while a message box is up),
  // when the new text is read again by the same rule.
  double read(FieldId id) const {
    const auto number = w.leadingNumber(id);
    if (!number) throw Stop{kNumericInputWrong};
    if (rating) rating->fields[index(id)].value = *number;
    return *number;
  }
  static double readText(const std::string& text) {
    const auto value = readLeadingNumber(text);
    if (!value) throw Stop{kNumericInputWrong};
    return *value;
  }

  // A tuning factor: empty text counts as 1, any other text by the leading-number rule.
  double factor(DialogQuantity quantity) {
    const std::string& text =
        *w.ensureDialog(DialogKind::Tuning).find(dialogFieldInfo(quantity).name);
    const double value = isEmptyText(text) ? 1.0 : readText(text);
    if (rating) rating->dialogFields[static_cast<std::size_t>(quantity)].value = value;
    return value;
  }

  template <class T>
  T need(const std::optional<T>& value) const {
    if (!value) throw Stop{faultMessage};
    return *value;
  }

  // Writes a number into a field in the field's format.
  void show(FieldId id, double value) {
    const std::string text = formatField(fieldInfo(id).format, value);
    w.setText(id, text);
    if (rating) {
      ShownField& f = rating->fields[index(id)];
      f.text = text;
      f.value = value;
      f.written = true;
    }
  }
  void clear(FieldId id) {
    w.setText(id, "");
    if (rating) {
      ShownField& f = rating->fields[index(id)];
      f.text.clear();
      f.value.reset();
      f.written = true;
    }
  }
  void setColor(FieldId id, TextColor color) {
    w.setColor(id, color);
    if (rating) rating->fields[index(id)].flagged = color == TextColor::Red;
  }

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
      if (stop.message) {
        if (rating) rating->message = stop.message;
        ui.showMessage(errorMessage(stop.message));
      }
    } catch (...) {
      // Nothing may escape a handler into the event loop.
    }
  }

  static std::size_t index(FieldId id) { return static_cast<std::size_t>(id); }

  MainWindow& w;
  UserInterface& ui;
  Rating* rating;
  CalculationState& s = w.mutableState();
  const char* faultMessage = kNumericInputWrong;
};

class Calculation : HandlerContext {
 public:
  Calculation(MainWindow& window, UserInterface& ui)
      : HandlerContext(window, ui, &window.mutableRating()) {}

  void execute() {
    begin();
    run([this] { stages(); });
    finish();
  }

 private:
  // The result starts from what the window shows: a run that stops leaves the fields of the
  // later stages as they were, and so does the record.
  void begin() {
    Rating& r = *rating;
    for (const FieldInfo& info : kFields) {
      ShownField& f = r.fields[index(info.id)];
      f.value.reset();
      f.written = false;
      f.flagged = w.field(info.id).color == TextColor::Red;
    }
    for (std::size_t k = 0; k < kDialogFields.size(); ++k) {
      const DialogFieldInfo& info = kDialogFields[k];
      const DialogForm* form = w.dialog(info.dialog);
      ShownField& f = r.dialogFields[k];
      f.text = form ? *form->find(info.name) : std::string(info.defaultText);
      f.value.reset();
    }
    r.stage = Stage::Checks;
    r.message.clear();
    r.flueGasProperties = r.airProperties = PropertySource::NotReached;
    r.arrangement.reset();
    r.flowMode.reset();
    for (const OptionInfo& option : kOptions) {
      if (!w.isSelected(option.id)) continue;
      if (const auto arrangement = arrangementOf(option.id)) r.arrangement = arrangement;
      if (const auto mode = flowModeOf(option.id)) r.flowMode = mode;
    }
    r.meanTemperatureDifference.reset();
    // The multi-pass field is written by its option's handler, never by a run, yet the window
    // shows it after every run: the record carries the value it shows, as long as the text is
    // still the one that handler wrote.
    const FieldId multiPass = FieldId::Text59;
    if (s.multiPassStored &&
        w.text(multiPass) == formatField(fieldInfo(multiPass).format, s.multiPassDifference))
      r.fields[index(multiPass)].value = s.multiPassDifference;
    // The pass counts of that selection, on which the multi-pass difference rests.
    if (s.multiPassStored) {
      r.dialogFields[static_cast<std::size_t>(DialogQuantity::FlueGasPasses)].value =
          s.flueGasPasses;
      r.dialogFields[static_cast<std::size_t>(DialogQuantity::AirPasses)].value = s.airPasses;
    }
  }

  // A field the run did not write shows what it showed before the run; its text is taken over
  // once, at the end, instead of being copied at the start and again at every write.
  void finish() {
    for (const FieldInfo& info : kFields) {
      ShownField& f = rating->fields[index(info.id)];
      if (!f.written) f.text = w.text(info.id);
    }
  }

  // Enters a stage: a formula fault from here on ends the run with the stage's message.
  void enter(Stage stage, const char* fault) {
    rating->stage = stage;
    faultMessage = fault;
  }

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
    rating->stage = Stage::Completed;
  }

  // Stage 1: numeric and arrangement checks; nothing is written before they pass.
  void checks() {
    enter(Stage::Checks, kNumericInputWrong);
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
    enter(Stage::NusseltConstants, kNumericInputWrong);
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
      for (FieldId id : cleared) clear(id);
      rating->message = warning;
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
                        PropertySource& source, const char* warning) {
    const bool allEmpty = isEmptyText(w.text(f.density)) && isEmptyText(w.text(f.specificHeat)) &&
                          isEmptyText(w.text(f.viscosity)) && isEmptyText(w.text(f.conductivity));
    if (allEmpty) {
      source = PropertySource::Table;
      const std::int16_t inlet = wholeDegrees(f.inlet);
      const std::int16_t outlet = wholeDegrees(f.outlet);
      if (!propertyProcedure(table, inlet, outlet, side, f.clearedOnWarning, warning)) {
        throw Stop{nullptr};  // the procedure has shown its own message
      }
      show(f.density, side.density);
      show(f.specificHeat, side.specificHeat);
      show(f.viscosity, side.dynamicViscosity);
      show(f.conductivity, side.conductivity);
      show(f.prandtl, side.prandtl);
      return;
    }
    source = PropertySource::Fields;
    side.density = read(f.density);
    side.specificHeat = read(f.specificHeat);
    side.conductivity = read(f.conductivity);
    side.dynamicViscosity = read(f.viscosity);
    side.prandtl = need(prandtlNumber(side.specificHeat, side.dynamicViscosity, side.conductivity));
    show(f.prandtl, side.prandtl);
  }

  // Stage 3: flue gas, mysub2.
  void flueGasProperties() {
    enter(Stage::FlueGasProperties, kPropertyInputWrong);
    streamProperties(
        {FieldId::Text11,
         FieldId::Text12,
         FieldId::Text13,
         FieldId::Text14,
         FieldId::Text53,
         FieldId::Text9,
         FieldId::Text10,
         {FieldId::Text11, FieldId::Text12, FieldId::Text13, FieldId::Text14, FieldId::Text53}},
        &flueGasPropertiesAt, s.flueGas, rating->flueGasProperties, kFlueGasOutOfRange);
  }

  // Stage 4: air, mysub1.
  void airProperties() {
    enter(Stage::AirProperties, kPropertyInputWrong);
    streamProperties(
        {FieldId::Text4,
         FieldId::Text5,
         FieldId::Text6,
         FieldId::Text7,
         FieldId::Text54,
         FieldId::Text2,
         FieldId::Text3,
         {FieldId::Text4, FieldId::Text5, FieldId::Text7, FieldId::Text6, FieldId::Text54}},
        &airPropertiesAt, s.air, rating->airProperties, kAirOutOfRange);
  }

  // Stage 5: flow check and conversion between volume and mass flows.
  void flows() {
    enter(Stage::Flows, kFlowInputWrong);
    if (w.isSelected(OptionId::Option4)) {
      if (isEmptyText(w.text(FieldId::Text8)) && isEmptyText(w.text(FieldId::Text1)))
        throw Stop{kNoVolumeFlow};
      s.flueGas.volumeFlow = need(volumeFlowPerSecond(read(FieldId::Text8)));
      s.air.volumeFlow = need(volumeFlowPerSecond(read(FieldId::Text1)));
      show(FieldId::Text61, need(massFlowPerHour(s.flueGas.density, s.flueGas.volumeFlow)));
      show(FieldId::Text62, need(massFlowPerHour(s.air.density, s.air.volumeFlow)));
    } else if (w.isSelected(OptionId::Option5)) {
      if (isEmptyText(w.text(FieldId::Text61)) && isEmptyText(w.text(FieldId::Text62)))
        throw Stop{kNoMassFlow};
      s.flueGas.volumeFlow = need(volumeFlowFromMassFlow(read(FieldId::Text61), s.flueGas.density));
      s.air.volumeFlow = need(volumeFlowFromMassFlow(read(FieldId::Text62), s.air.density));
      show(FieldId::Text8, need(volumeFlowPerHour(s.flueGas.volumeFlow)));
      show(FieldId::Text1, need(volumeFlowPerHour(s.air.volumeFlow)));
    }
    // Neither mode selected: V1 and V2 stay as the previous run left them.
  }

  // Stage 6: heat duties from the flow and specific-heat fields as they now stand.
  void heatDuties() {
    enter(Stage::HeatDuties, kFlowInputWrong);
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
    enter(Stage::MeanTemperatureDifferences, kTemperatureDifferenceFault);
    s.counterflowDifference = need(counterflowMeanTemperatureDifference(temperatures()));
    show(FieldId::Text58, s.counterflowDifference);
    s.crossflowDifference = need(crossflowMeanTemperatureDifference(temperatures()));
    show(FieldId::Text15, s.crossflowDifference);
    if (w.isSelected(OptionId::Option1)) {
      s.meanDifference = single(s.counterflowDifference);
      s.meanDifferenceStored = true;
      setColor(FieldId::Text58, TextColor::WindowText);
    } else if (w.isSelected(OptionId::Option2)) {
      s.meanDifference = single(s.crossflowDifference);
      s.meanDifferenceStored = true;
      setColor(FieldId::Text15, TextColor::WindowText);
    }
  }

  // Stage 9: plate areas and equivalent diameters.
  void plateAreaAndDiameters() {
    enter(Stage::PlateAreaAndDiameters, kGeometryInputWrong);
    show(FieldId::Text17, need(singlePlateArea(read(FieldId::Text33), read(FieldId::Text16))));
    halfArea = need(halfHeatTransferArea(read(FieldId::Text18), read(FieldId::Text17)));
    show(FieldId::Text19, need(heatTransferArea(halfArea)));
    if (isEmptyText(w.text(FieldId::Combo3)) || isEmptyText(w.text(FieldId::Combo4))) {
      flueGasDiameter = read(FieldId::Text20);
      airDiameter = single(read(FieldId::Text55));
    } else {
      // Flue-gas side: the channel length is the slot extent; air side: the channel width.
      flueGasDiameter = need(slotEquivalentDiameter(read(FieldId::Text16), read(FieldId::Combo3)));
      airDiameter =
          need(slotEquivalentDiameterSingle(read(FieldId::Text26), read(FieldId::Combo4)));
    }
    show(FieldId::Text20, flueGasDiameter);
    show(FieldId::Text55, airDiameter);
  }

  // Stage 10: flow cross-sections and velocities, then the heat duties are shown.
  void velocities() {
    enter(Stage::Velocities, kGeometryInputWrong);
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
    show(FieldId::Text21, s.flueGas.velocity);
    show(FieldId::Text22, s.air.velocity);
    show(FieldId::Text24, airDuty);
    show(FieldId::Text60, flueGasDuty);
  }

  // Stage 11: Reynolds numbers.
  void reynoldsNumbers() {
    enter(Stage::ReynoldsNumbers, kGeometryInputWrong);
    s.flueGas.reynolds = need(reynoldsNumber(s.flueGas.density, s.flueGas.velocity, flueGasDiameter,
                                             s.flueGas.dynamicViscosity));
    s.air.reynolds =
        need(reynoldsNumber(s.air.density, s.air.velocity, airDiameter, s.air.dynamicViscosity));
    show(FieldId::Text25, s.flueGas.reynolds);
    show(FieldId::Text50, s.air.reynolds);
  }

  // Stage 12: Nusselt numbers with the tuning factors, then film coefficients.
  void filmCoefficients() {
    enter(Stage::FilmCoefficients, kHeatTransferFault);
    const double factor1 = factor(DialogQuantity::FlueGasNusseltFactor);
    const double factor2 = factor(DialogQuantity::AirNusseltFactor);
    s.flueGas.nusselt =
        need(nusseltNumber(factor1, s.flueGas.reynolds, s.flueGas.prandtl, flueGasPrandtlExponent));
    s.air.nusselt = need(nusseltNumber(factor2, s.air.reynolds, s.air.prandtl, airPrandtlExponent));
    show(FieldId::Text30, s.flueGas.nusselt);
    show(FieldId::Text35, s.air.nusselt);
    s.flueGas.filmCoefficient =
        need(filmCoefficient(s.flueGas.nusselt, s.flueGas.conductivity, flueGasDiameter));
    s.air.filmCoefficient = need(filmCoefficient(s.air.nusselt, s.air.conductivity, airDiameter));
    show(FieldId::Text31, s.flueGas.filmCoefficient);
    show(FieldId::Text36, s.air.filmCoefficient);
  }

  void showPressureDrop(FieldId id, double dp) {
    show(id, dp);
    setColor(id, pressureDropOverLimit(dp) ? TextColor::Red : TextColor::WindowText);
  }

  // Stage 13: pressure drops. In counterflow both streams run along the flue-gas channel length.
  void pressureDrops() {
    enter(Stage::PressureDrops, kHeatTransferFault);
    const double factor1 = factor(DialogQuantity::FlueGasResistanceFactor);
    const double factor2 = factor(DialogQuantity::AirResistanceFactor);
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
    enter(Stage::OverallCoefficients, kCoefficientFault);
    const double plateConductivity = read(FieldId::Combo2);
    const double foulingFlueGas = read(FieldId::Text43);
    const double plateThickness = read(FieldId::Combo1);
    const double foulingAir = read(FieldId::Text63);
    s.actualCoefficient =
        need(actualOverallCoefficient(s.flueGas.filmCoefficient, foulingFlueGas, plateThickness,
                                      plateConductivity, foulingAir, s.air.filmCoefficient));
    rating->meanTemperatureDifference = s.meanDifference;
    s.theoreticalCoefficient =
        need(theoreticalOverallCoefficient(airDuty, halfArea, s.meanDifference));
    const float margin = need(surfaceMargin(s.actualCoefficient, s.theoreticalCoefficient));
    show(FieldId::Text52, s.actualCoefficient);
    show(FieldId::Text23, s.theoreticalCoefficient);
    show(FieldId::Text49, margin);
    setColor(FieldId::Text49, marginOutsideBand(margin) ? TextColor::Red : TextColor::WindowText);
  }

  // Stage 15: wall temperatures at the hot end and at the cold end, always in counterflow
  // pairing; fouling does not enter.
  void wallTemperatures() {
    enter(Stage::WallTemperatures, kWallNoConvergence);
    WallSearchInput in;
    in.h1 = s.flueGas.filmCoefficient;
    in.h2 = s.air.filmCoefficient;
    in.plateThickness = read(FieldId::Combo1);
    in.plateConductivity = read(FieldId::Combo2);

    in.end = WallEnd::Hot;
    in.flueGasTemperature = read(FieldId::Text9);
    in.airTemperature = read(FieldId::Text3);
    const WallPoint hot = need(findWallTemperature(in, &plainTextRoundTrip));
    show(FieldId::Text56, hot.flueGasSide);
    show(FieldId::Text29, hot.airSide);

    in.end = WallEnd::Cold;
    in.flueGasTemperature = read(FieldId::Text10);
    in.airTemperature = read(FieldId::Text2);
    const WallPoint cold = need(findWallTemperature(in, &plainTextRoundTrip));
    show(FieldId::Text57, cold.airSide);
    show(FieldId::Text32, cold.flueGasSide);
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
    const std::string flueGasText =
        *counts.find(dialogFieldInfo(DialogQuantity::FlueGasPasses).name);
    const std::string airText = *counts.find(dialogFieldInfo(DialogQuantity::AirPasses).name);
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
    s.multiPassDifference = mean;
    s.multiPassStored = true;
    show(FieldId::Text59, mean);
    setColor(FieldId::Text59, TextColor::WindowText);
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

std::optional<double> propertyMeanTemperature(std::string_view inletText,
                                              std::string_view outletText) {
  const auto inlet = readLeadingNumber(inletText);
  const auto outlet = readLeadingNumber(outletText);
  if (!inlet || !outlet) return std::nullopt;
  const auto inletDegrees = toWholeDegrees(*inlet);
  const auto outletDegrees = toWholeDegrees(*outlet);
  if (!inletDegrees || !outletDegrees) return std::nullopt;
  return meanOfWholeDegrees(*inletDegrees, *outletDegrees);
}

void MainWindow::Command3_Click(UserInterface& ui) {
  Calculation(*this, ui).execute();
}

void MainWindow::Option3_Click(UserInterface& ui) {
  MultiPassSelection(*this, ui).execute();
}

}  // namespace aph
