// "打开" and "另存为" in the window model, with a stand-in for the case-file code: the order of the
// steps, what reaches the case-file code, and that a cancel or a refused file leaves the window
// as it was.
#include <gtest/gtest.h>

#include <memory>

#include "model/window.hpp"
#include "session/session.hpp"

namespace aph {
namespace {

using F = FieldId;
using Kind = CaseFileProblem::Kind;

const std::string kPath = "/home/engineer/designs/case.json";

// What the person and the case-file code were asked, in order.
using Log = std::vector<std::string>;

class Person : public UserInterface {
 public:
  explicit Person(Log& log) : log_(log) {}
  void showMessage(const MessageBoxRequest& m) override {
    log_.push_back("message " + m.text);
    messages.push_back(m);
  }
  DialogOutcome showModal(DialogForm& dialog) override {
    log_.push_back("dialog " + std::string(dialog.name()));
    if (dialog.kind() == DialogKind::PassCount) {
      *dialog.find("Text33") = "2";
      *dialog.find("Text34") = "3";
    } else {
      *dialog.find("Text38") = "0.9";
    }
    return DialogOutcome::Ok;
  }
  std::optional<ChosenFile> chooseFile(const FileDialogRequest&) override {
    log_.push_back("file dialog");
    if (!file) return std::nullopt;
    return ChosenFile(*file, filter);
  }
  std::optional<std::size_t> chooseFromList(const ListChoiceRequest& request) override {
    log_.push_back("list");
    list = request;
    return entry;
  }

  std::optional<std::string> file = kPath;
  int filter = 0;  // the file type chosen with it; 0: the one preselected
  std::optional<std::size_t> entry;
  ListChoiceRequest list;
  std::vector<MessageBoxRequest> messages;

 private:
  Log& log_;
};

// A window that no handler has touched, as JSON, with its typed result.
bool isFresh(const MainWindow& w) {
  return session::snapshot(w, {}) == session::snapshot(MainWindow(), {}) &&
         w.rating().stage == Stage::NotRun;
}

class StandInFile : public OpenedCaseFile {
 public:
  StandInFile(std::vector<std::string> names, Log& log, bool& freshWhenEntered)
      : names_(std::move(names)), log_(log), fresh_(freshWhenEntered) {}
  std::vector<std::string> caseNames() const override { return names_; }
  void enter(std::size_t which, MainWindow& window, UserInterface& ui) const override {
    log_.push_back("enter " + std::to_string(which));
    fresh_ = isFresh(window);
    window.setText(F::Text9, "33" + std::to_string(which));
    window.clickOption(OptionId::Option2, ui);
  }

 private:
  std::vector<std::string> names_;
  Log& log_;
  bool& fresh_;
};

class StandInCaseFiles : public CaseFiles {
 public:
  explicit StandInCaseFiles(Log& log) : log_(log) {}
  Opened open(const std::string& path) override {
    log_.push_back("open " + path);
    if (problem) return {nullptr, problem};
    return {std::make_unique<StandInFile>(names, log_, freshWhenEntered), {}};
  }
  std::optional<CaseFileProblem> save(const std::string& path, const WindowCase& window) override {
    log_.push_back("save " + path);
    saved = window;
    return problem;
  }

  std::vector<std::string> names = {"设计工况"};
  std::optional<CaseFileProblem> problem;
  std::optional<WindowCase> saved;
  bool freshWhenEntered = false;

 private:
  Log& log_;
};

class FileButtons : public ::testing::Test {
 protected:
  FileButtons() { window.setCaseFiles(&files); }

  // A window an engineer has worked in: typed texts, both dialogs, both buttons, one run.
  void workInWindow() {
    window.setText(F::Text9, "12abc");
    window.setText(F::Text18, " ");
    window.setText(F::Combo3, "");
    window.clickOption(OptionId::Option5, person);
    window.clickOption(OptionId::Option3, person);
    window.Command1_Click(person);
    window.Command3_Click(person);
    log.clear();
    person.messages.clear();
  }

  Log log;
  Person person{log};
  StandInCaseFiles files{log};
  MainWindow window;
};

TEST_F(FileButtons, CancelAsksNothingElse) {
  person.file.reset();
  workInWindow();
  const auto before = session::snapshot(window, {});
  window.Command4_Click(person);
  window.Command5_Click(person);
  EXPECT_EQ(log, (Log{"file dialog", "file dialog"}));
  EXPECT_EQ(session::snapshot(window, {}), before);
}

TEST_F(FileButtons, OpenReadsFirstThenEntersIntoAFreshWindowThenShowsThePath) {
  workInWindow();
  window.Command4_Click(person);
  EXPECT_EQ(log, (Log{"file dialog", "open " + kPath, "enter 0", "message " + kPath}));
  EXPECT_TRUE(files.freshWhenEntered) << "default texts, no option, no dialog, no run";
  ASSERT_EQ(person.messages.size(), 1u);
  EXPECT_EQ(person.messages[0],
            (MessageBoxRequest{kPath, "aphcalc", MessageIcon::None, MessageButtons::Ok}));
  EXPECT_EQ(window.text(F::Text9), "330");
  EXPECT_EQ(window.text(F::Text18), "110");
  EXPECT_TRUE(window.isSelected(OptionId::Option2));
  EXPECT_FALSE(window.isSelected(OptionId::Option5));
  EXPECT_EQ(window.dialog(DialogKind::Tuning), nullptr);
  EXPECT_EQ(window.dialog(DialogKind::PassCount), nullptr);
}

TEST_F(FileButtons, SeveralLoadCasesAreOfferedByName) {
  files.names = {"100 % 负荷", "75 % 负荷", "50 % 负荷"};
  const struct {
    std::optional<std::size_t> entry;
    Log steps;
  } answers[] = {
      {std::nullopt, {"file dialog", "open " + kPath, "list"}},
      {2, {"file dialog", "open " + kPath, "list", "enter 2", "message " + kPath}},
      {0, {"file dialog", "open " + kPath, "list", "enter 0", "message " + kPath}},
  };
  for (const auto& answer : answers) {
    SCOPED_TRACE(answer.entry ? std::to_string(*answer.entry) : "cancel");
    workInWindow();
    const auto before = session::snapshot(window, {});
    person.entry = answer.entry;
    window.Command4_Click(person);
    EXPECT_EQ(log, answer.steps);
    EXPECT_EQ(person.list.entries, files.names);
    EXPECT_EQ(person.list.title, "选择工况");
    EXPECT_EQ(person.list.prompt, "文件“case.json”中有 3 个工况，请选择一个：");
    if (!answer.entry) {
      EXPECT_EQ(session::snapshot(window, {}), before) << "a cancel changes nothing";
    } else {
      EXPECT_EQ(window.text(F::Text9), "33" + std::to_string(*answer.entry));
    }
  }
}

TEST_F(FileButtons, ARefusedFileLeavesTheWindowAsItWas) {
  const struct {
    CaseFileProblem problem;
    std::string message;
  } refusals[] = {
      {{Kind::CannotRead, "No such file or directory"},
       "无法打开文件“" + kPath + "”：No such file or directory"},
      {{Kind::NotACaseFile, "plate.pairs: key given twice"},
       "文件“" + kPath + "”不是可读的工况文件：plate.pairs: key given twice"},
  };
  for (const auto& refusal : refusals) {
    SCOPED_TRACE(refusal.message);
    workInWindow();
    files.problem = refusal.problem;
    const auto before = session::snapshot(window, {});
    const Rating rating = window.rating();
    window.Command4_Click(person);
    EXPECT_EQ(log, (Log{"file dialog", "open " + kPath, "message " + refusal.message}));
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0], errorMessage(refusal.message));
    EXPECT_EQ(person.messages[0].title, "出错！");
    EXPECT_EQ(session::snapshot(window, {}), before);
    EXPECT_EQ(window.rating().stage, rating.stage);
  }
}

// The twenty-nine fields of the window that case files name (written out from the case-file
// keys of the case-file reference, docs/reference/case-file.md, not from the field table).
const std::vector<std::pair<std::string, F>> kSavedFields = {
    {"flue_gas.volume_flow", F::Text8},
    {"flue_gas.mass_flow", F::Text61},
    {"flue_gas.inlet_temperature", F::Text9},
    {"flue_gas.outlet_temperature", F::Text10},
    {"flue_gas.density", F::Text11},
    {"flue_gas.specific_heat", F::Text12},
    {"flue_gas.conductivity", F::Text14},
    {"flue_gas.viscosity", F::Text13},
    {"flue_gas.channel_length", F::Text16},
    {"flue_gas.channel_width", F::Text33},
    {"flue_gas.channel_gap", F::Combo3},
    {"flue_gas.equivalent_diameter", F::Text20},
    {"flue_gas.fouling", F::Text43},
    {"air.volume_flow", F::Text1},
    {"air.mass_flow", F::Text62},
    {"air.inlet_temperature", F::Text2},
    {"air.outlet_temperature", F::Text3},
    {"air.density", F::Text4},
    {"air.specific_heat", F::Text5},
    {"air.conductivity", F::Text7},
    {"air.viscosity", F::Text6},
    {"air.channel_length", F::Text34},
    {"air.channel_width", F::Text26},
    {"air.channel_gap", F::Combo4},
    {"air.equivalent_diameter", F::Text55},
    {"air.fouling", F::Text63},
    {"plate.pairs", F::Text18},
    {"plate.thickness", F::Combo1},
    {"plate.conductivity", F::Combo2}};

TEST_F(FileButtons, SaveHandsOverEveryInputTextTheDialogsThatExistAndTheButtons) {
  const struct {
    const char* label;
    std::function<void(MainWindow&, Person&)> work;
    std::vector<std::pair<std::string, std::string>> dialogTexts;
    std::optional<std::string_view> arrangement, flowMode;
  } windows[] = {
      {"fresh", [](MainWindow&, Person&) {}, {}, std::nullopt, std::nullopt},
      {"tuned, counterflow, volume flows",
       [](MainWindow& w, Person& p) {
         w.Command1_Click(p);
         w.clickOption(OptionId::Option4, p);
         w.clickOption(OptionId::Option1, p);
       },
       {{"factors.flue_gas_nu", "1.0"},
        {"factors.air_nu", "0.9"},
        {"factors.flue_gas_resistance", "1.0"},
        {"factors.air_resistance", "1.0"}},
       "counterflow",
       "volume"},
      {"multi-pass, mass flows, calculated (the run creates Form2 to read the factors)",
       [](MainWindow& w, Person& p) {
         w.setText(F::Text9, "350");
         w.setText(F::Text10, "160");
         w.setText(F::Text61, "247785.2328");
         w.setText(F::Text62, "326100");
         w.clickOption(OptionId::Option5, p);
         w.clickOption(OptionId::Option3, p);
         w.Command3_Click(p);
       },
       {{"passes.flue_gas", "2"},
        {"passes.air", "3"},
        {"factors.flue_gas_nu", "1.0"},
        {"factors.air_nu", "1.0"},
        {"factors.flue_gas_resistance", "1.0"},
        {"factors.air_resistance", "1.0"}},
       "multi-pass",
       "mass"},
  };
  for (const auto& w : windows) {
    SCOPED_TRACE(w.label);
    MainWindow worked;
    worked.setCaseFiles(&files);
    worked.setText(F::Text9, "12abc");
    worked.setText(F::Text10, "");
    worked.setText(F::Combo4, " 9 ");
    person.messages.clear();
    w.work(worked, person);
    ASSERT_TRUE(person.messages.empty()) << person.messages[0].text;
    log.clear();
    person.messages.clear();
    const auto before = session::snapshot(worked, {});
    worked.Command5_Click(person);
    EXPECT_EQ(log, (Log{"file dialog", "save " + kPath, "message " + kPath}));
    EXPECT_EQ(session::snapshot(worked, {}), before) << "saving changes nothing in the window";
    ASSERT_TRUE(files.saved);
    std::vector<std::pair<std::string, std::string>> expected;
    for (const auto& [key, id] : kSavedFields) expected.emplace_back(key, worked.text(id));
    expected.insert(expected.end(), w.dialogTexts.begin(), w.dialogTexts.end());
    std::vector<std::pair<std::string, std::string>> handed;
    for (const auto& [key, text] : files.saved->texts) handed.emplace_back(key, text);
    std::sort(expected.begin(), expected.end());
    std::sort(handed.begin(), handed.end());
    EXPECT_EQ(handed, expected);
    EXPECT_EQ(files.saved->arrangement, w.arrangement);
    EXPECT_EQ(files.saved->flowMode, w.flowMode);
  }
}

TEST_F(FileButtons, ANameSavedWithoutAnExtensionTakesTheChosenFileTypes) {
  const struct {
    std::string typed;
    int filter;
    std::string saved;
  } names[] = {
      {"/d/design", 0, "/d/design.txt"},  // "Text _Files (*.txt)" is preselected
      {"/d/design", 3, "/d/design.bat"},
      {"/d/design", 1, "/d/design"},  // every file: the name as typed
      {"/d/design.v2", 2, "/d/design.v2"},
      {"/d.x/design", 2, "/d.x/design.txt"},  // a dot in a folder's name is no extension
      {"design", 2, "design.txt"},
  };
  for (const auto& name : names) {
    SCOPED_TRACE(name.typed + " " + std::to_string(name.filter));
    log.clear();
    person.messages.clear();
    person.file = name.typed;
    person.filter = name.filter;
    window.Command5_Click(person);
    // Saved under that name, and the box shows it.
    EXPECT_EQ(log, (Log{"file dialog", "save " + name.saved, "message " + name.saved}));
  }
}

TEST_F(FileButtons, AFailedSaveIsReportedAndChangesNothing) {
  workInWindow();
  files.problem = CaseFileProblem{Kind::CannotWrite, "File name too long"};
  const auto before = session::snapshot(window, {});
  window.Command5_Click(person);
  const std::string message = "无法保存文件“" + kPath + "”：File name too long";
  EXPECT_EQ(log, (Log{"file dialog", "save " + kPath, "message " + message}));
  ASSERT_EQ(person.messages.size(), 1u);
  EXPECT_EQ(person.messages[0], errorMessage(message));
  EXPECT_EQ(session::snapshot(window, {}), before);
}

TEST_F(FileButtons, WithoutCaseFilesEveryFileIsRefused) {
  window.setCaseFiles(nullptr);
  workInWindow();
  const auto before = session::snapshot(window, {});
  window.Command4_Click(person);
  window.Command5_Click(person);
  ASSERT_EQ(person.messages.size(), 2u);
  EXPECT_EQ(person.messages[0].text.rfind("无法打开文件“" + kPath + "”：", 0), 0u);
  EXPECT_EQ(person.messages[1].text.rfind("无法保存文件“" + kPath + "”：", 0), 0u);
  EXPECT_EQ(session::snapshot(window, {}), before);
}

}  // namespace
}  // namespace aph
