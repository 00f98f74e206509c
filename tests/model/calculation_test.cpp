// The window's calculation end to end: what each click writes, what survives between runs, and
// how every kind of bad input is answered.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "model/text.hpp"
#include "model/window.hpp"
#include "reference.hpp"

namespace aph {
namespace {

using F = FieldId;

// Answers the handlers like a person who types the given pass counts / factors and presses
// "确定", or closes the dialog.
class TestUi : public UserInterface {
 public:
  void showMessage(const MessageBoxRequest& m) override { messages.push_back(m); }
  DialogOutcome showModal(DialogForm& dialog) override {
    ++dialogsShown;
    shownTexts.clear();
    for (const DialogField& f : dialog.fields()) shownTexts[std::string(f.name)] = f.text;
    if (closeDialog) return DialogOutcome::Closed;
    for (const auto& [name, text] : typeIntoDialog) *dialog.find(name) = text;
    return DialogOutcome::Ok;
  }
  std::optional<ChosenFile> chooseFile(const FileDialogRequest& request) override {
    lastFileRequest = request;
    return chosenFile;
  }
  std::optional<std::size_t> chooseFromList(const ListChoiceRequest& request) override {
    lastChoice = request;
    return chosenEntry;
  }

  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m.text);
    return out;
  }

  std::vector<MessageBoxRequest> messages;
  std::map<std::string, std::string> typeIntoDialog;
  std::map<std::string, std::string> shownTexts;
  bool closeDialog = false;
  int dialogsShown = 0;
  std::optional<std::string> chosenFile;
  FileDialogRequest lastFileRequest;
  std::optional<std::size_t> chosenEntry;
  std::optional<ListChoiceRequest> lastChoice;
};

class Calc : public ::testing::Test {
 protected:
  void click(OptionId id) { w.clickOption(id, ui); }
  void run() { w.Command3_Click(ui); }
  void set(F id, const char* text) { w.setText(id, text); }
  const std::string& text(F id) const { return w.text(id); }
  double number(F id) const { return *readLeadingNumber(w.text(id)); }
  void selectPasses(const char* flueGas, const char* air) {
    ui.typeIntoDialog = {{"Text33", flueGas}, {"Text34", air}};
    click(OptionId::Option3);
    ui.typeIntoDialog.clear();
  }
  std::vector<std::string> messages() const { return ui.texts(); }

  void TearDown() override {
    // Whatever happened, no field may show a number that is not finite.
    for (const FieldInfo& info : kFields) {
      const std::string& t = w.text(info.id);
      EXPECT_EQ(t.find("nan"), std::string::npos) << info.name << " = " << t;
      EXPECT_EQ(t.find("inf"), std::string::npos) << info.name << " = " << t;
    }
  }

  MainWindow w;
  TestUi ui;
};

TEST_F(Calc, ArrangementReachesTheFlueGasSideOnly) {
  click(OptionId::Option4);
  click(OptionId::Option1);
  run();
  const auto counter = w.state();
  const std::string airNusselt = text(F::Text35), airFilm = text(F::Text36);
  const std::string airDrop = text(F::Text46);
  click(OptionId::Option2);
  run();
  const auto cross = w.state();
  // Multi-pass is crossflow here: the gas spans W1, the air runs along L2.
  ui.typeIntoDialog = {{"Text33", "2"}, {"Text34", "2"}};
  click(OptionId::Option3);
  run();
  EXPECT_EQ(w.state().flueGas.velocity, cross.flueGas.velocity);
  EXPECT_EQ(w.state().air.pressureDrop, cross.air.pressureDrop);
  click(OptionId::Option2);
  EXPECT_NEAR(counter.flueGas.velocity / cross.flueGas.velocity, 2.97 / 2.64, 1e-12);
  EXPECT_NE(counter.flueGas.nusselt, cross.flueGas.nusselt);
  EXPECT_EQ(text(F::Text35), airNusselt);
  EXPECT_EQ(text(F::Text36), airFilm);
  // Crossflow lets the air run its own 5.4 m channel instead of the 4.8 m flue-gas length.
  EXPECT_NEAR(cross.air.pressureDrop / counter.air.pressureDrop, 5.4 / 4.8, 1e-12);
  EXPECT_NE(text(F::Text46), airDrop);
  set(F::Text34, "10.8");
  run();
  EXPECT_NEAR(w.state().air.pressureDrop / cross.air.pressureDrop, 2, 1e-12);
}

TEST_F(Calc, FlowModeRoundTripGivesBackTheVolumeFlows) {
  click(OptionId::Option4);
  click(OptionId::Option1);
  run();
  click(OptionId::Option5);
  run();
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(text(F::Text8), "294982.42");
  EXPECT_EQ(text(F::Text1), "300000");
  EXPECT_FALSE(w.field(F::Text8).enabled);
  EXPECT_TRUE(w.field(F::Text61).enabled);
}

TEST_F(Calc, PropertyFieldsBecomeTheNextRunsInputs) {
  for (F id : {F::Text11, F::Text12, F::Text13, F::Text14}) set(id, "");
  click(OptionId::Option4);
  click(OptionId::Option1);
  run();
  const reference::Properties table = *reference::flueGasAt(255);
  EXPECT_EQ(text(F::Text11), reference::plain(table.density));
  EXPECT_EQ(text(F::Text12), reference::plain(table.specificHeat));
  EXPECT_EQ(text(F::Text13), reference::plain(table.dynamicViscosity));
  EXPECT_EQ(text(F::Text14), reference::plain(table.conductivity));
  EXPECT_EQ(w.state().flueGas.meanTemperature, 255);
  // New temperatures do not reach the properties until the fields are emptied again.
  set(F::Text9, "400");
  run();
  EXPECT_EQ(text(F::Text11), reference::plain(table.density));
  EXPECT_EQ(w.state().flueGas.meanTemperature, 255);
}

// A list entry picked or a text typed between two runs is read anew: the second run gives what
// a fresh window with the same inputs gives.
TEST_F(Calc, InputsChangedBetweenRunsAreReadAnew) {
  const auto change = [](MainWindow& window) {
    window.selectListEntry(F::Combo1, 0);  // plate thickness 0.5 mm
    window.setText(F::Text43, "0.0004");   // flue-gas fouling
  };
  MainWindow fresh;
  TestUi freshUi;
  change(fresh);
  fresh.clickOption(OptionId::Option4, freshUi);
  fresh.clickOption(OptionId::Option1, freshUi);
  fresh.Command3_Click(freshUi);
  click(OptionId::Option4);
  click(OptionId::Option1);
  run();
  const std::string before = text(F::Text52);
  change(w);
  run();
  EXPECT_NE(text(F::Text52), before);
  for (F id : {F::Text52, F::Text49, F::Text56, F::Text29, F::Text57, F::Text32})
    EXPECT_EQ(text(id), fresh.text(id)) << fieldInfo(id).name;
}

TEST_F(Calc, HalfDegreesGoToTheEvenNeighbour) {
  for (F id : {F::Text11, F::Text12, F::Text13, F::Text14}) set(id, "");
  click(OptionId::Option4);
  click(OptionId::Option1);
  const struct {
    const char* inlet;
    double mean;
  } cases[] = {{"350.5", 255}, {"351.5", 256}};
  for (const auto& c : cases) {
    for (F id : {F::Text11, F::Text12, F::Text13, F::Text14}) set(id, "");
    set(F::Text9, c.inlet);
    run();
    EXPECT_EQ(w.state().flueGas.meanTemperature, c.mean) << c.inlet;
  }
}

TEST_F(Calc, PartlyEmptiedPropertiesAreReadAsZero) {
  for (F id : {F::Text4, F::Text5, F::Text6}) set(id, "");
  click(OptionId::Option4);
  click(OptionId::Option1);
  run();
  // The procedure is not called; with cp = 0 and μ = 0 the Prandtl number is 0.
  EXPECT_EQ(text(F::Text54), "0");
  EXPECT_EQ(w.state().air.meanTemperature, 0);
  EXPECT_EQ(text(F::Text24), "0.0000");
  // ...and the zero viscosity leaves the air Reynolds number undefined.
  EXPECT_EQ(messages(), std::vector<std::string>{"结构参数输入有误！"});
}

TEST_F(Calc, InputChecks) {
  const F checked[] = {F::Text9,  F::Text10, F::Text3,  F::Combo2,
                       F::Text18, F::Combo1, F::Text16, F::Text26};
  for (F id : checked) {
    for (const char* bad : {"0", "-1", "abc", "", " "}) {
      MainWindow fresh;
      TestUi answers;
      fresh.clickOption(OptionId::Option1, answers);
      fresh.setText(id, bad);
      fresh.Command3_Click(answers);
      EXPECT_EQ(answers.texts(), std::vector<std::string>{"数值输入有误！"})
          << fieldInfo(id).name << "=" << bad;
      EXPECT_EQ(fresh.text(F::Text53), "") << "nothing is written";
    }
  }
  // A number followed by letters counts as the number; a negative air inlet is fine.
  set(F::Text18, "12abc");
  set(F::Text2, "-10");
  click(OptionId::Option4);
  click(OptionId::Option1);
  run();
  EXPECT_TRUE(messages().empty());
  EXPECT_FALSE(text(F::Text32).empty());
}

TEST_F(Calc, ArrangementAndFlowChecks) {
  set(F::Text9, "0");
  run();
  EXPECT_EQ(messages(), std::vector<std::string>{"数值输入有误！"});
  set(F::Text9, "350");
  run();
  EXPECT_EQ(messages().back(), "未选择流动形式！");
  EXPECT_EQ(text(F::Text53), "");

  click(OptionId::Option1);
  click(OptionId::Option4);
  set(F::Text8, "");
  set(F::Text1, "");
  run();
  EXPECT_EQ(messages().back(), "体积流量未输入！");
  EXPECT_FALSE(text(F::Text53).empty()) << "the property stage has run";
  EXPECT_EQ(text(F::Text58), "") << "later stages have not";

  click(OptionId::Option5);
  run();
  EXPECT_EQ(messages().back(), "质量流量未输入！");

  // One flow left empty reads as 0; a blank is not empty.
  click(OptionId::Option4);
  set(F::Text1, "300000");
  run();
  EXPECT_EQ(messages().size(), 5u);
  EXPECT_EQ(text(F::Text61), "0");
  EXPECT_EQ(text(F::Text60), "0.0000");
  // No flue-gas flow: its Reynolds number is 0, which the friction law cannot take.
  EXPECT_EQ(messages().back(), "传热计算出错！");
}

TEST_F(Calc, EarlyStopKeepsThePreviousRunsLaterResults) {
  click(OptionId::Option4);
  click(OptionId::Option1);
  run();
  const std::string margin = text(F::Text49);
  for (F id : {F::Text11, F::Text12, F::Text13, F::Text14}) set(id, "");
  set(F::Text8, "");
  set(F::Text1, "");
  run();
  EXPECT_EQ(messages(), std::vector<std::string>{"体积流量未输入！"});
  EXPECT_EQ(text(F::Text11), reference::plain(reference::flueGasAt(255)->density));
  EXPECT_EQ(text(F::Text49), margin);
}

TEST_F(Calc, FirstRunWithoutAFlowModeHasNoFlow) {
  // No flow mode selected: no flow is converted, so the state's flows (none yet) are used and
  // the Reynolds numbers are 0, which the friction law cannot take.
  click(OptionId::Option1);
  run();
  EXPECT_EQ(messages(), std::vector<std::string>{"传热计算出错！"});
  EXPECT_EQ(text(F::Text61), "") << "no flow field is written";
  EXPECT_EQ(text(F::Text21), "0.0000");
  EXPECT_EQ(text(F::Text30), "0.0000");
  EXPECT_EQ(text(F::Text45), "");
}

struct FaultCase {
  const char* name;
  std::vector<std::pair<F, const char*>> texts;
  std::vector<std::pair<std::string, std::string>> tuning;
  OptionId arrangement;
  OptionId mode;
  std::vector<std::string> expectedMessages;
  F lastWritten;     // written by a stage before the fault
  F firstUnwritten;  // stays as before the run
};

TEST_F(Calc, FaultsStopAtTheStageWhereTheyArise) {
  const FaultCase cases[] = {
      {"number too large for a double",
       {{F::Text34, "1e999"}},
       {},
       OptionId::Option2,
       OptionId::Option4,
       {"数值输入有误！"},
       F::Text31,
       F::Text45},
      {"temperature beyond 16 bits",
       {{F::Text9, "40000"}, {F::Text11, ""}, {F::Text12, ""}, {F::Text13, ""}, {F::Text14, ""}},
       {},
       OptionId::Option1,
       OptionId::Option4,
       {"温度数值超出范围！"},
       F::Text18,
       F::Text53},
      {"sum of temperatures beyond 16 bits",
       {{F::Text2, "20000"},
        {F::Text3, "20000"},
        {F::Text4, ""},
        {F::Text5, ""},
        {F::Text6, ""},
        {F::Text7, ""}},
       {},
       OptionId::Option1,
       OptionId::Option4,
       {"温度数值超出范围！"},
       F::Text53,
       F::Text54},
      {"flue-gas mean outside its table",
       {{F::Text9, "700"},
        {F::Text10, "600"},
        {F::Text11, ""},
        {F::Text12, ""},
        {F::Text13, ""},
        {F::Text14, ""}},
       {},
       OptionId::Option1,
       OptionId::Option4,
       {"烟气进出口温度平均值超出计算范围！"},
       F::Text18,
       F::Text54},
      {"air mean outside its table",
       {{F::Text2, "1500"},
        {F::Text3, "1500"},
        {F::Text4, ""},
        {F::Text5, ""},
        {F::Text6, ""},
        {F::Text7, ""}},
       {},
       OptionId::Option1,
       OptionId::Option4,
       {"空气进出口温度平均值超出计算范围！"},
       F::Text53,
       F::Text61},
      {"zero conductivity typed",
       {{F::Text14, "0"}},
       {},
       OptionId::Option1,
       OptionId::Option4,
       {"物性参数输入有误！"},
       F::Text18,
       F::Text53},
      {"zero density in mass mode",
       {{F::Text11, "0"}, {F::Text61, "1000"}},
       {},
       OptionId::Option1,
       OptionId::Option5,
       {"流量输入有误！"},
       F::Text54,
       F::Text58},
      {"flue gas leaves at the air inlet temperature",
       {{F::Text10, "40"}},
       {},
       OptionId::Option1,
       OptionId::Option4,
       {"温差计算出错，请检查进出口温度！"},
       F::Text62,
       F::Text58},
      {"emptied gap list",
       {{F::Combo3, ""}},
       {},
       OptionId::Option1,
       OptionId::Option4,
       {"结构参数输入有误！"},
       F::Text55,
       F::Text21},
      {"zero Nusselt factor",
       {},
       {{"Text37", "0"}},
       OptionId::Option1,
       OptionId::Option4,
       {"传热系数计算出错！"},
       F::Text46,
       F::Text52},
      {"negative Reynolds number under a fractional power",
       {{F::Text13, "-26"}},
       {},
       OptionId::Option1,
       OptionId::Option4,
       {"传热计算出错！"},
       F::Text50,
       F::Text30},
      {"film coefficients too large for the wall search",
       {},
       {{"Text37", "10"}, {"Text38", "10"}},
       OptionId::Option1,
       OptionId::Option4,
       {"壁温计算无法收敛！"},
       F::Text49,
       F::Text56},
      {"wall search beyond the reach of its step counter",
       {{F::Text9, "40000"}},
       {},
       OptionId::Option1,
       OptionId::Option4,
       {"壁温计算无法收敛！"},
       F::Text49,
       F::Text56},
  };
  for (const FaultCase& c : cases) {
    MainWindow fresh;
    TestUi answers;
    for (const auto& [id, t] : c.texts) fresh.setText(id, t);
    for (const auto& [name, t] : c.tuning) *fresh.ensureDialog(DialogKind::Tuning).find(name) = t;
    fresh.clickOption(c.mode, answers);
    fresh.clickOption(c.arrangement, answers);
    const std::string before = fresh.text(c.firstUnwritten);
    fresh.Command3_Click(answers);
    EXPECT_EQ(answers.texts(), c.expectedMessages) << c.name;
    for (const auto& m : answers.messages) {
      EXPECT_EQ(m.title, "出错！") << c.name;
      EXPECT_EQ(m.icon, MessageIcon::Warning) << c.name;
      EXPECT_EQ(m.buttons, MessageButtons::OkCancel) << c.name;
    }
    EXPECT_FALSE(fresh.text(c.lastWritten).empty()) << c.name;
    EXPECT_EQ(fresh.text(c.firstUnwritten), before) << c.name;
    for (const FieldInfo& info : kFields) {
      EXPECT_EQ(fresh.text(info.id).find("nan"), std::string::npos) << c.name;
      EXPECT_EQ(fresh.text(info.id).find("inf"), std::string::npos) << c.name;
    }
  }
}

TEST_F(Calc, PropertyWarningClearsItsFieldsAndStops) {
  for (F id : {F::Text11, F::Text12, F::Text13, F::Text14}) set(id, "");
  set(F::Text9, "601");
  set(F::Text10, "600");
  set(F::Text53, "stale");
  click(OptionId::Option4);
  click(OptionId::Option1);
  run();
  EXPECT_EQ(messages(), std::vector<std::string>{"烟气进出口温度平均值超出计算范围！"});
  for (F id : {F::Text11, F::Text12, F::Text13, F::Text14, F::Text53}) EXPECT_EQ(text(id), "");
  EXPECT_EQ(w.state().flueGas.meanTemperature, 600.5);
  EXPECT_EQ(w.state().flueGas.density, 0);
}

TEST_F(Calc, MultiPassSelection) {
  click(OptionId::Option4);
  selectPasses("1", "1");
  EXPECT_EQ(ui.dialogsShown, 1);
  EXPECT_EQ(ui.shownTexts["Text33"], "") << "first showing starts empty";
  const float crossflow = static_cast<float>(reference::crossflow({350, 160, 40, 190}));
  EXPECT_EQ(text(F::Text59), reference::plainSingle(crossflow));
  EXPECT_EQ(w.state().meanDifference, crossflow);

  selectPasses("2", "2");
  EXPECT_EQ(ui.shownTexts["Text33"], "1") << "the dialog keeps the last counts";
  const float two = w.state().meanDifference;
  selectPasses("4", "4");
  EXPECT_GT(w.state().meanDifference, two);
  selectPasses("3", "2");
  EXPECT_EQ(w.state().meanDifference, two);
  EXPECT_TRUE(messages().empty());

  // The run rates against the ΔTm of the selection, even after the temperatures change.
  set(F::Text9, "400");
  run();
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(w.state().meanDifference, two);
  EXPECT_EQ(text(F::Text58), reference::fixed(reference::counterflow({400, 160, 40, 190}), 4));
}

TEST_F(Calc, MultiPassRefusals) {
  selectPasses("2", "2");
  const float accepted = w.state().meanDifference;
  const std::string shown = text(F::Text59);
  const struct {
    const char* flueGas;
    const char* air;
    const char* message;
  } cases[] = {{"0", "2", "流程输入有误！"},    {"-2", "2", "流程输入有误！"},
               {"2", "", "流程输入有误！"},     {"2x", "2", "流程输入有误！"},
               {"abc", "2", "流程输入有误！"},  {"2", "1e-60", "流程输入有误！"},
               {"2", "1e999", "数值输入有误！"}};
  for (const auto& c : cases) {
    ui.messages.clear();
    selectPasses(c.flueGas, c.air);
    EXPECT_EQ(messages(), std::vector<std::string>{c.message}) << c.flueGas << "/" << c.air;
    EXPECT_EQ(w.state().meanDifference, accepted);
    EXPECT_EQ(text(F::Text59), shown);
    EXPECT_EQ(*w.dialog(DialogKind::PassCount)->find("Text33"), c.flueGas) << "texts kept";
  }
  // Closing the dialog discards it: the counts read right after are empty.
  ui.messages.clear();
  ui.closeDialog = true;
  click(OptionId::Option3);
  EXPECT_EQ(messages(), std::vector<std::string>{"流程输入有误！"});
  EXPECT_EQ(*w.dialog(DialogKind::PassCount)->find("Text33"), "");
}

TEST_F(Calc, MultiPassWithUndefinedTemperaturesNeverShowsTheDialog) {
  set(F::Text3, "350");  // t1in = t2out: the logarithmic mean divides by zero
  click(OptionId::Option3);
  EXPECT_EQ(messages(), std::vector<std::string>{"温差计算出错，请检查进出口温度！"});
  EXPECT_EQ(ui.dialogsShown, 0);
  EXPECT_EQ(text(F::Text59), "");
  // With no multi-pass value ever accepted the calculation refuses before writing anything.
  set(F::Text3, "190");
  click(OptionId::Option4);
  run();
  EXPECT_EQ(messages().back(), "折流流程数未输入！");
  EXPECT_EQ(text(F::Text53), "");
}

TEST_F(Calc, TuningFactors) {
  click(OptionId::Option4);
  click(OptionId::Option1);
  run();
  EXPECT_NE(w.dialog(DialogKind::Tuning), nullptr) << "read without being shown";
  const auto base = w.state();
  const struct {
    const char* field;
    const char* text;
    double nu1, nu2, dp1, dp2;  // expected ratios to the default run
  } cases[] = {{"Text37", "2", 2, 1, 1, 1},
               {"Text38", "", 1, 1, 1, 1},
               {"Text39", "2", 1, 1, 2, 1},
               {"Text40", "0.5", 1, 1, 1, 0.5},
               {"Text37", "1.0", 1, 1, 1, 1}};
  for (const auto& c : cases) {
    DialogForm& tuning = w.ensureDialog(DialogKind::Tuning);
    for (DialogField& f : tuning.fields()) f.text = "1.0";
    *tuning.find(c.field) = c.text;
    run();
    EXPECT_NEAR(w.state().flueGas.nusselt / base.flueGas.nusselt, c.nu1, 1e-12) << c.field;
    EXPECT_NEAR(w.state().air.nusselt / base.air.nusselt, c.nu2, 1e-12) << c.field;
    EXPECT_NEAR(w.state().flueGas.pressureDrop / base.flueGas.pressureDrop, c.dp1, 1e-12);
    EXPECT_NEAR(w.state().air.pressureDrop / base.air.pressureDrop, c.dp2, 1e-12);
  }
  // A factor without a number gives Nu = 0 and h = 0 on that side, shown as 0.0000.
  *w.ensureDialog(DialogKind::Tuning).find("Text38") = "abc";
  run();
  EXPECT_EQ(text(F::Text35), "0.0000");
  EXPECT_EQ(text(F::Text36), "0.0000");
  EXPECT_EQ(messages().back(), "传热系数计算出错！");
}

TEST_F(Calc, DialogsPersistAndCloseDiscards) {
  ui.typeIntoDialog = {{"Text37", "1.2"}};
  w.Command1_Click(ui);
  EXPECT_EQ(*w.dialog(DialogKind::Tuning)->find("Text37"), "1.2");
  EXPECT_FALSE(w.dialog(DialogKind::Tuning)->visible);
  ui.typeIntoDialog = {{"Text38", "2"}};
  ui.closeDialog = true;
  w.Command1_Click(ui);
  EXPECT_EQ(ui.shownTexts["Text37"], "1.2");
  EXPECT_EQ(w.dialog(DialogKind::Tuning), nullptr);
  EXPECT_EQ(*w.ensureDialog(DialogKind::Tuning).find("Text37"), "1.0");
}

TEST_F(Calc, FileButtonsAskWithTheSameDialogAndCancelSilently) {
  for (const auto& [press, kind] : {std::pair{&MainWindow::Command4_Click, FileDialogKind::Open},
                                    std::pair{&MainWindow::Command5_Click, FileDialogKind::Save}}) {
    (w.*press)(ui);
    EXPECT_TRUE(messages().empty()) << "cancel ends silently";
    EXPECT_EQ(ui.lastFileRequest.kind, kind);
    EXPECT_EQ(ui.lastFileRequest.filterIndex, 2);
    EXPECT_TRUE(ui.lastFileRequest.hideReadOnly);
    // "打开" offers the spreadsheet case tables after the window's own three.
    const bool open = kind == FileDialogKind::Open;
    ASSERT_EQ(ui.lastFileRequest.filters.size(), open ? 5u : 3u);
    using Filter = std::pair<std::string, std::string>;
    EXPECT_EQ(ui.lastFileRequest.filters[0], Filter("All Files (*.*)", "*.*"));
    EXPECT_EQ(ui.lastFileRequest.filters[1], Filter("Text _Files (*.txt)", "*.txt"));
    EXPECT_EQ(ui.lastFileRequest.filters[2], Filter("Batch Files (*.bat)", "*.bat"));
    if (open) {
      EXPECT_EQ(ui.lastFileRequest.filters[3], Filter("Excel 工作簿 (*.xlsx)", "*.xlsx"));
      EXPECT_EQ(ui.lastFileRequest.filters[4], Filter("CSV 文件 (*.csv)", "*.csv"));
    }
  }
}

TEST_F(Calc, StartUpStateAndOptionGroups) {
  for (std::size_t k = 0; k < 5; ++k) EXPECT_FALSE(w.isSelected(static_cast<OptionId>(k)));
  EXPECT_EQ(text(F::Combo1), "1.5");
  EXPECT_EQ(text(F::Combo2), "17.5");
  EXPECT_EQ(text(F::Combo3), "10");
  EXPECT_EQ(text(F::Combo4), "9");
  EXPECT_EQ(w.field(F::Combo4).listIndex, 4);
  EXPECT_EQ(listInfo(F::Combo4).entries[1], "6");
  for (F id : {F::Text43, F::Text63, F::Text27, F::Text28}) EXPECT_FALSE(w.field(id).enabled);
  for (F id : {F::Text8, F::Text1, F::Text61, F::Text62}) EXPECT_TRUE(w.field(id).enabled);
  EXPECT_EQ(w.dialog(DialogKind::Tuning), nullptr);
  EXPECT_EQ(w.dialog(DialogKind::PassCount), nullptr);

  click(OptionId::Option2);
  click(OptionId::Option5);
  click(OptionId::Option1);
  EXPECT_TRUE(w.isSelected(OptionId::Option1));
  EXPECT_FALSE(w.isSelected(OptionId::Option2));
  EXPECT_TRUE(w.isSelected(OptionId::Option5)) << "the groups are independent";
  click(OptionId::Option4);
  EXPECT_FALSE(w.field(F::Text61).enabled);
  EXPECT_FALSE(w.isSelected(OptionId::Option5));

  set(F::Combo3, "11.5");
  EXPECT_EQ(w.field(F::Combo3).listIndex, -1);
  set(F::Combo3, "12");
  EXPECT_EQ(w.field(F::Combo3).listIndex, 7);
  w.Command2_Click();
  EXPECT_TRUE(w.exitRequested());
}

TEST_F(Calc, UserGivenEquivalentDiameters) {
  set(F::Combo4, "");
  set(F::Text20, "20.00005");
  set(F::Text55, "18.00005");
  click(OptionId::Option4);
  click(OptionId::Option1);
  run();
  // The air diameter is kept in single precision: 18.00005 becomes 18.0000495910645.
  EXPECT_EQ(text(F::Text20), "20.0001");
  EXPECT_EQ(text(F::Text55), "18.0000");
  // The emptied gap list is also the air gap of the flow cross-section: zero.
  EXPECT_EQ(messages(), std::vector<std::string>{"结构参数输入有误！"});
}

}  // namespace
}  // namespace aph
