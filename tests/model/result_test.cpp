// The typed result of a press of "热力计算": how each kind of run ends, what it records of the
// fields it wrote and read, and the window's flags.
#include <gtest/gtest.h>

#include <functional>

#include "model/window.hpp"

namespace aph {
namespace {

using F = FieldId;

class Recorder : public UserInterface {
 public:
  void showMessage(const MessageBoxRequest& m) override { messages.push_back(m.text); }
  DialogOutcome showModal(DialogForm&) override { return DialogOutcome::Ok; }
  std::optional<ChosenFile> chooseFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::size_t> chooseFromList(const ListChoiceRequest&) override { return {}; }
  std::vector<std::string> messages;
};

void emptyProperties(MainWindow& w, bool flueGas) {
  for (F id : flueGas ? std::array{F::Text11, F::Text12, F::Text13, F::Text14}
                      : std::array{F::Text4, F::Text5, F::Text6, F::Text7})
    w.setText(id, "");
}

struct RunCase {
  const char* label;
  std::function<void(MainWindow&, Recorder&)> prepare;
  Stage stage;
  const char* message;
  PropertySource flueGas, air;
  std::vector<F> written, notWritten;
};

TEST(Result, RecordsHowEachRunEnds) {
  auto counterflow = [](MainWindow& w, Recorder& ui) {
    w.clickOption(OptionId::Option4, ui);
    w.clickOption(OptionId::Option1, ui);
  };
  const RunCase runs[] = {
      {"default counterflow",
       counterflow,
       Stage::Completed,
       "",
       PropertySource::Fields,
       PropertySource::Fields,
       {F::Text53, F::Text61, F::Text58, F::Text49, F::Text32},
       {F::Text8}},
      {"no arrangement",
       [](MainWindow&, Recorder&) {},
       Stage::Checks,
       "未选择流动形式！",
       PropertySource::NotReached,
       PropertySource::NotReached,
       {},
       {F::Text53, F::Text58}},
      {"no volume flows",
       [&](MainWindow& w, Recorder& ui) {
         counterflow(w, ui);
         w.setText(F::Text8, "");
         w.setText(F::Text1, "");
       },
       Stage::Flows,
       "体积流量未输入！",
       PropertySource::Fields,
       PropertySource::Fields,
       {F::Text53, F::Text54},
       {F::Text61, F::Text58}},
      {"both sides from the tables",
       [&](MainWindow& w, Recorder& ui) {
         counterflow(w, ui);
         emptyProperties(w, true);
         emptyProperties(w, false);
       },
       Stage::Completed,
       "",
       PropertySource::Table,
       PropertySource::Table,
       {F::Text11, F::Text14, F::Text4, F::Text7},
       {}},
      {"air mean temperature beyond its table",
       [&](MainWindow& w, Recorder& ui) {
         counterflow(w, ui);
         emptyProperties(w, false);
         w.setText(F::Text2, "1000");
         w.setText(F::Text3, "1000");
       },
       Stage::AirProperties,
       "空气进出口温度平均值超出计算范围！",
       PropertySource::Fields,
       PropertySource::Table,
       {F::Text53, F::Text4, F::Text54},
       {F::Text61}},
      {"multi-pass never chosen",
       [](MainWindow& w, Recorder&) { w.selectOption(OptionId::Option3); },
       Stage::Checks,
       "折流流程数未输入！",
       PropertySource::NotReached,
       PropertySource::NotReached,
       {},
       {}},
  };
  for (const RunCase& run : runs) {
    MainWindow w;
    Recorder ui;
    run.prepare(w, ui);
    w.Command3_Click(ui);
    const Rating& r = w.rating();
    EXPECT_EQ(r.stage, run.stage) << run.label;
    EXPECT_EQ(r.message, run.message) << run.label;
    EXPECT_EQ(r.completed(), ui.messages.empty()) << run.label;
    EXPECT_EQ(r.flueGasProperties, run.flueGas) << run.label;
    EXPECT_EQ(r.airProperties, run.air) << run.label;
    for (F id : run.written) EXPECT_TRUE(r[id].written) << run.label << " " << fieldInfo(id).name;
    for (F id : run.notWritten)
      EXPECT_FALSE(r[id].written) << run.label << " " << fieldInfo(id).name;
    for (const FieldInfo& info : kFields) {
      EXPECT_EQ(r.text(info.id), w.text(info.id)) << run.label << " " << info.name;
      EXPECT_EQ(r.flagged(info.id), w.field(info.id).color == TextColor::Red) << info.name;
    }
  }
}

TEST(Result, NumbersAreWhatTheRunUsedInTheUnitsOfTheFields) {
  MainWindow w;
  Recorder ui;
  w.clickOption(OptionId::Option5, ui);
  w.clickOption(OptionId::Option2, ui);
  w.setText(F::Text61, "247785");
  w.setText(F::Text62, "326100");
  w.setText(F::Text9, "350abc");  // read as 350 by the leading-number rule
  w.Command3_Click(ui);
  const Rating& r = w.rating();
  ASSERT_TRUE(r.completed()) << r.message;
  EXPECT_EQ(r.arrangement, Arrangement::Crossflow);
  EXPECT_EQ(r.flowMode, FlowMode::Mass);
  // Read fields carry the number read; the user's properties are not rewritten.
  EXPECT_EQ(r.value(F::Text9), 350.0);
  EXPECT_FALSE(r[F::Text9].written);
  EXPECT_EQ(r.value(F::Text11), 0.84);
  EXPECT_FALSE(r[F::Text11].written);
  // Mass mode writes the volume flows back in m3/h: 247785 kg/h over 0.84 kg/m3.
  EXPECT_TRUE(r[F::Text8].written);
  EXPECT_NEAR(*r.value(F::Text8), 247785 / 0.84, 1e-6);
  // Crossflow rates against the crossflow difference, kept in single precision.
  ASSERT_TRUE(r.meanTemperatureDifference);
  EXPECT_EQ(*r.meanTemperatureDifference, static_cast<float>(*r.value(F::Text15)));
  // The tuning factors applied: the dialog's defaults "1.0".
  EXPECT_EQ(r.dialogField(DialogQuantity::FlueGasNusseltFactor).text, "1.0");
  EXPECT_EQ(r.dialogField(DialogQuantity::FlueGasNusseltFactor).value, 1.0);
  EXPECT_EQ(r.dialogField(DialogQuantity::FlueGasPasses).text, "");
}

TEST(Result, FlagsFollowTheWindowsRedText) {
  struct Case {
    const char* plates;
    bool below, above;
  } cases[] = {
      {"110", false, true},  // the default pack: margin above 30 %
      {"60", false, false},  // within the band
      {"20", true, false},   // too small a pack: below 0 %
  };
  for (const Case& c : cases) {
    MainWindow w;
    Recorder ui;
    w.clickOption(OptionId::Option4, ui);
    w.clickOption(OptionId::Option1, ui);
    w.setText(F::Text18, c.plates);
    w.Command3_Click(ui);
    const Rating& r = w.rating();
    ASSERT_TRUE(r.completed()) << c.plates;
    EXPECT_EQ(r.marginBelowBand(), c.below) << c.plates;
    EXPECT_EQ(r.marginAboveBand(), c.above) << c.plates;
    EXPECT_EQ(r.flueGasDropOverLimit(), *r.value(F::Text45) > 500) << c.plates;
    EXPECT_EQ(r.airDropOverLimit(), *r.value(F::Text46) > 500) << c.plates;
  }
}

}  // namespace
}  // namespace aph
