// The window's case files: what "另存为" writes, that "打开" reads it back into the same window,
// what either refuses, and that a failed write never costs the file that was there.
#include "study/case_input/window_files.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "session/session.hpp"
#include "study/case_input/case_file.hpp"

namespace aph::study {
namespace {

namespace fs = std::filesystem;
using F = FieldId;
using Kind = CaseFileProblem::Kind;

// A fresh folder of its own for each test, removed afterwards.
class Folder {
 public:
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "aph-window-files-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~Folder() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(path_))
      out.push_back(entry.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  fs::path path_;
};

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Answers the pass-count dialog with 3 and 2, the tuning dialog with an air factor of 1.15.
class Person : public UserInterface {
 public:
  void showMessage(const MessageBoxRequest& m) override { messages.push_back(m.text); }
  DialogOutcome showModal(DialogForm& dialog) override {
    if (dialog.kind() == DialogKind::PassCount) {
      *dialog.find("Text33") = "3";
      *dialog.find("Text34") = "2";
    } else {
      *dialog.find("Text38") = "1.15";
    }
    return DialogOutcome::Ok;
  }
  std::optional<ChosenFile> chooseFile(const FileDialogRequest&) override { return file; }
  std::optional<std::size_t> chooseFromList(const ListChoiceRequest&) override { return entry; }
  std::optional<std::string> file;
  std::optional<std::size_t> entry;
  std::vector<std::string> messages;
};

// The window of an engineer who typed texts the calculation would refuse or read in part,
// selected multi-pass with mass flows, tuned the air side and pressed "热力计算".
MainWindow workedWindow(Person& person) {
  MainWindow w;
  w.setText(F::Text61, "247785.2328");
  w.setText(F::Text62, "326100");
  w.setText(F::Text18, " 96");
  w.setText(F::Combo1, "1.35mm");
  w.setText(F::Combo4, "9.5");

  w.setText(F::Text43, "0.0002 “垢阻”\t\\");
  w.clickOption(OptionId::Option5, person);
  w.clickOption(OptionId::Option3, person);
  w.Command1_Click(person);
  w.Command3_Click(person);
  return w;
}

TEST(WindowFiles, SavedFileHoldsTheInputTextsAsTextsAndNoResults) {
  Folder folder;
  Person person;
  MainWindow w = workedWindow(person);
  WindowCaseFiles files;
  w.setCaseFiles(&files);
  person.file = folder / "design 2.txt";
  w.Command5_Click(person);
  ASSERT_EQ(person.messages.back(), folder / "design 2.txt");

  const auto saved = nlohmann::json::parse(contents(folder / "design 2.txt"));
  EXPECT_EQ(saved.at("name"), "design 2");
  EXPECT_TRUE(std::regex_match(saved.at("saved").get<std::string>(),
                               std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
      << saved.at("saved");
  EXPECT_EQ(saved.at("arrangement"), "multi-pass");
  EXPECT_EQ(saved.at("flow_mode"), "mass");
  EXPECT_EQ(saved.at("plate").at("pairs"), " 96");
  EXPECT_EQ(saved.at("plate").at("thickness"), "1.35mm");
  EXPECT_EQ(saved.at("air").at("channel_gap"), "9.5");
  EXPECT_EQ(saved.at("air").at("equivalent_diameter"), w.text(F::Text55));
  EXPECT_EQ(saved.at("flue_gas").at("fouling"), "0.0002 “垢阻”\t\\");
  // What the run wrote into the fields it reads as well is saved as it stands.
  ASSERT_TRUE(w.rating().completed()) << w.rating().message;
  for (const F id : {F::Text20, F::Text8, F::Text11}) EXPECT_FALSE(w.text(id).empty());
  EXPECT_EQ(saved.at("flue_gas").at("equivalent_diameter"), w.text(F::Text20));
  EXPECT_EQ(saved.at("flue_gas").at("volume_flow"), w.text(F::Text8));
  EXPECT_EQ(saved.at("flue_gas").at("density"), w.text(F::Text11));
  EXPECT_EQ(saved.at("passes"), (nlohmann::json{{"flue_gas", "3"}, {"air", "2"}}));
  EXPECT_EQ(saved.at("factors").at("air_nu"), "1.15");
  EXPECT_EQ(saved.at("factors").at("flue_gas_nu"), "1.0");
  std::size_t values = 0;
  for (const auto& [group, object] : saved.items()) {
    if (!object.is_object()) continue;
    for (const auto& [key, value] : object.items()) {
      EXPECT_TRUE(value.is_string()) << group << "." << key;
      ++values;
      // No result of the run: Prandtl numbers, duties, velocities, Reynolds numbers, drops.
      for (const char* result : {"prandtl", "heat_duty", "velocity", "reynolds", "pressure_drop"})
        EXPECT_NE(key, result);
    }
  }
  EXPECT_EQ(values, 29u + 2u + 4u);  // the window's input fields, two pass counts, four factors
  EXPECT_EQ(folder.names(), std::vector<std::string>{"design 2.txt"}) << "no file left behind";

  // Every key the window wrote is one the schema describes, with a text where a value goes.
  std::ifstream schemaFile(APH_SCHEMA_FILE);
  const auto schema = nlohmann::json::parse(schemaFile);
  const auto& top = schema.at("oneOf").at(0).at("properties");
  for (const auto& [key, value] : saved.items()) {
    ASSERT_TRUE(top.contains(key)) << key;
    if (!value.is_object()) continue;
    const auto& group = top.at(key).contains("$ref") ? schema.at("$defs").at(key) : top.at(key);
    for (const auto& [name, text] : value.items())
      EXPECT_TRUE(group.at("properties").contains(name)) << key << "." << name;
  }
}

// Saved, then opened in a fresh window: every input text, both buttons and both dialogs return,
// and "热力计算" shows what the batch tool reports for the same file.
TEST(WindowFiles, OpenBringsBackWhatWasSaved) {
  Folder folder;
  Person person;
  MainWindow w = workedWindow(person);
  WindowCaseFiles files;
  w.setCaseFiles(&files);
  person.file = folder / "round trip.json";
  w.Command5_Click(person);

  MainWindow opened;
  opened.setCaseFiles(&files);
  opened.setText(F::Text9, "999");
  opened.clickOption(OptionId::Option2, person);
  person.messages.clear();
  opened.Command4_Click(person);
  ASSERT_EQ(person.messages, std::vector<std::string>{folder / "round trip.json"});
  for (const FieldInfo& info : kFields) {
    if (!info.key.empty()) {
      EXPECT_EQ(opened.text(info.id), w.text(info.id)) << info.name;
    }
  }
  for (const OptionInfo& option : kOptions)
    EXPECT_EQ(opened.isSelected(option.id), w.isSelected(option.id)) << option.name;
  for (const DialogKind kind : {DialogKind::Tuning, DialogKind::PassCount}) {
    ASSERT_NE(opened.dialog(kind), nullptr);
    for (const DialogField& f : w.dialog(kind)->fields())
      EXPECT_EQ(*opened.dialog(kind)->find(f.name), f.text) << f.name;
  }
  EXPECT_EQ(opened.rating().stage, Stage::NotRun) << "opening calculates nothing";

  person.messages.clear();
  opened.Command3_Click(person);
  const CaseRun batch = rateCase(loadCases(folder / "round trip.json").at(0));
  for (const FieldInfo& info : kFields) {
    EXPECT_EQ(opened.text(info.id), batch.window.text(info.id)) << info.name;
    EXPECT_EQ(opened.field(info.id).color, batch.window.field(info.id).color) << info.name;
  }
  EXPECT_EQ(person.messages, batch.status.messages);
}

// A workbook or a CSV table of the same load cases opens as the JSON file does.
TEST(WindowFiles, ALoadCaseOfSeveralIsEnteredAsTheBatchToolEntersIt) {
  const std::vector<Case> cases = loadCases(APH_EXAMPLES_DIR "/cases/boiler-loads.json");
  for (const char* file : {"boiler-loads.json", "boiler-loads.xlsx", "boiler-loads.csv"}) {
    WindowCaseFiles files;
    const CaseFiles::Opened opened = files.open(APH_EXAMPLES_DIR "/cases/" + std::string(file));
    ASSERT_TRUE(opened.file) << file;
    EXPECT_EQ(opened.file->caseNames(),
              (std::vector<std::string>{"100 % 负荷", "75 % 负荷", "50 % 负荷"}))
        << file;
    for (std::size_t k = 0; k < cases.size(); ++k) {
      MainWindow w;
      Person person;
      opened.file->enter(k, w, person);
      w.Command3_Click(person);
      const CaseRun batch = rateCase(cases[k]);
      for (const FieldInfo& info : kFields)
        EXPECT_EQ(w.text(info.id), batch.window.text(info.id))
            << file << " " << cases[k].name << " " << info.name;
    }
  }
}

// A case of the standard flue-gas table opens with the table's values in the four fields, as the
// batch tool types them; the window has no such choice, so "另存为" saves those values.
TEST(WindowFiles, AStandardTableCaseOpensWithTheTablesValuesAndSavesThem) {
  Folder folder;
  write(folder / "standard.json", R"({"arrangement": "counterflow", "flow_mode": "volume",
      "flue_gas": {"properties": "standard-table"}})");
  Person person;
  WindowCaseFiles files;
  MainWindow w;
  w.setCaseFiles(&files);
  person.file = folder / "standard.json";
  w.Command4_Click(person);
  // The default temperatures 350 and 160: a mean of 255 ℃, 55 % of the way to the 300 ℃ row.
  EXPECT_EQ(w.text(F::Text12), "1.11075");
  EXPECT_EQ(w.text(F::Text11), "0.67595");
  person.file = folder / "saved.json";
  w.Command5_Click(person);
  const Case saved = loadCases(folder / "saved.json").at(0);
  EXPECT_FALSE(saved.value("flue_gas.properties"));
  EXPECT_EQ(saved.value("flue_gas.specific_heat"), "1.11075");
  w.Command3_Click(person);
  EXPECT_EQ(w.rating().text(F::Text60), rateCase(saved).window.rating().text(F::Text60));
}

TEST(WindowFiles, RefusedFilesNameTheProblem) {
  Folder folder;
  write(folder / "broken.json", R"({"plate": {"pairs": 1, "pairs": 2}})");
  write(folder / "malformed.txt", "{\"plate\": ");
  write(folder / "typo.json", R"({"air": {"inlet_temprature": 40}})");
  write(folder / "notes.txt", "design notes\n");
  write(folder / "numbers.json", "[1, 2]");
  write(folder / "cut.json", "{\"plate\": ");
  write(folder / "second-line.json", "{\n  \"说明\": x}");
  write(folder / "text-pairs.json", R"({"plate": {"pairs": {}}})");
  write(folder / "air-table.json", R"({"air": {"properties": "standard-table"}})");
  write(folder / "gbk.json", "{\"name\": \"\xc9\xe8\"}");
  fs::create_directory(folder / "a folder.json");
  ASSERT_EQ(::mkfifo((folder / "pipe.json").c_str(), 0600), 0);
  const struct {
    std::string path;
    Kind kind;
    std::string detail;
  } refusals[] = {
      {folder / "missing.json", Kind::CannotRead, "没有那个文件或目录"},
      {folder / "a folder.json", Kind::CannotRead, "是一个目录"},
      {"/dev/zero", Kind::CannotRead, "不是普通文件"},
      {folder / "pipe.json", Kind::CannotRead, "不是普通文件"},  // no writer: must not wait
      // The window's reasons are short and Chinese, with the line and column or the key.
      {folder / "broken.json", Kind::NotACaseFile, "“plate.pairs”：重复给出"},
      {folder / "malformed.txt", Kind::NotACaseFile, "JSON 文本不完整"},
      {folder / "notes.txt", Kind::NotACaseFile, "第 1 行第 1 列：不是 JSON 格式"},
      {folder / "second-line.json", Kind::NotACaseFile, "第 2 行第 9 列：不是 JSON 格式"},
      {folder / "numbers.json", Kind::NotACaseFile, "“[0]”：缺少工况参数"},
      {folder / "cut.json", Kind::NotACaseFile, "JSON 文本不完整"},
      {folder / "text-pairs.json", Kind::NotACaseFile, "“plate.pairs”：必须是数值或文本"},
      {folder / "air-table.json", Kind::NotACaseFile, "“air.properties”：标准烟气物性表只用于烟气"},
      {folder / "gbk.json", Kind::NotACaseFile, "第 1 行第 11 列：不是 UTF-8 编码的文本"},
      {folder / "typo.json", Kind::NotACaseFile,
       "“air.inlet_temprature”：未知的参数，是否应为“inlet_temperature”？"},
  };
  WindowCaseFiles files;
  for (const auto& refusal : refusals) {
    SCOPED_TRACE(refusal.path);
    const CaseFiles::Opened opened = files.open(refusal.path);
    EXPECT_FALSE(opened.file);
    ASSERT_TRUE(opened.problem);
    EXPECT_EQ(opened.problem->kind, refusal.kind);
    EXPECT_EQ(opened.problem->detail, refusal.detail);
  }
}

TEST(WindowFiles, ASaveThatFailsLeavesTheOldFileWhole) {
  Folder folder;
  const std::string good = R"({"name": "good"})";
  write(folder / "design.json", good);
  WindowCaseFiles files;
  const WindowCase window = MainWindow().windowCase();

  // The file system takes no file larger than 200 bytes: the new file breaks off part-way.
  struct rlimit before {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  const auto previousSignal = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = before;
  small.rlim_cur = 200;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const auto tooLarge = files.save(folder / "design.json", window);
  ::setrlimit(RLIMIT_FSIZE, &before);
  ::signal(SIGXFSZ, previousSignal);
  ASSERT_TRUE(tooLarge);
  EXPECT_EQ(tooLarge->kind, Kind::CannotWrite);
  EXPECT_EQ(tooLarge->detail, "文件过大");
  EXPECT_EQ(contents(folder / "design.json"), good);

  // A name longer than any folder takes.
  const auto tooLong = files.save(folder / (std::string(300, 'x') + ".json"), window);
  ASSERT_TRUE(tooLong);
  EXPECT_EQ(tooLong->detail, "文件名过长");
  // A folder where the file should go, and a folder that does not exist.
  fs::create_directory(folder / "sub");
  const auto isFolder = files.save(folder / "sub", window);
  ASSERT_TRUE(isFolder);
  EXPECT_EQ(isFolder->detail, "是一个目录");
  const auto noFolder = files.save(folder / "none/design.json", window);
  ASSERT_TRUE(noFolder);
  EXPECT_EQ(noFolder->detail, "没有那个文件或目录");

  EXPECT_EQ(folder.names(), (std::vector<std::string>{"design.json", "sub"}))
      << "no half-written file is left behind";
}

TEST(WindowFiles, SavingOverAFileKeepsItsPermissionsAndFollowsALink) {
  Folder folder;
  write(folder / "target.json", "{}");
  ::chmod((folder / "target.json").c_str(), 0640);
  fs::create_symlink(folder / "target.json", folder / "link.json");
  WindowCaseFiles files;
  ASSERT_FALSE(files.save(folder / "link.json", MainWindow().windowCase()));
  EXPECT_TRUE(fs::is_symlink(folder / "link.json"));
  EXPECT_EQ(nlohmann::json::parse(contents(folder / "target.json")).at("name"), "link");
  struct stat info {};
  ASSERT_EQ(::stat((folder / "target.json").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(WindowFiles, NamesAndTimeStamps) {
  for (const auto& [path, name] : {std::pair<std::string, std::string>{"/a/design.txt", "design"},
                                   {"/a/b.c/heater.case.json", "heater.case"},
                                   {"relative", "relative"},
                                   {"/a/.hidden", ".hidden"},
                                   {"/a/75 % 负荷.bat", "75 % 负荷"}})
    EXPECT_EQ(baseName(path), name) << path;

  const char* zone = std::getenv("TZ");
  const std::string previous = zone ? zone : "";
  // 2025-03-01 06:05:09 UTC, in three zones given as POSIX rules (east of UTC is negative).
  const std::time_t when = 1740809109;
  for (const auto& [rule, stamp] :
       {std::pair<std::string, std::string>{"CST-8", "2025-03-01T14:05:09+08:00"},
        {"EST5", "2025-03-01T01:05:09-05:00"},
        {"IST-5:30", "2025-03-01T11:35:09+05:30"},
        {"UTC0", "2025-03-01T06:05:09+00:00"}}) {
    ::setenv("TZ", rule.c_str(), 1);
    ::tzset();
    EXPECT_EQ(isoTimestamp(when), stamp) << rule;
  }
  if (zone) {
    ::setenv("TZ", previous.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

// The headless replay: a script saves, opens, picks a load case and is refused a file.
TEST(WindowFiles, ScriptsSaveAndOpen) {
  Folder folder;
  write(folder / "broken.json", "[]");
  const std::string script = R"({"actions": [
      {"set": {"Text9": "12abc", "Form2.Text40": "0.8"}},
      {"click": "Option2"},
      {"click": "Command5", "file": ")" +
                             folder / "saved.txt" + R"("},
      {"click": "Command4", "file": ")" +
                             APH_EXAMPLES_DIR "/cases/boiler-loads.json" + R"(",
       "case": "50 % 负荷"},
      {"click": "Command4", "file": ")" +
                             folder / "broken.json" + R"("},
      {"click": "Command4", "file": ")" +
                             folder / "saved.txt" + R"("}]})";
  MainWindow w;
  WindowCaseFiles files;
  w.setCaseFiles(&files);
  session::ScriptedUserInterface ui;
  session::replay(w, session::parseScript(script), ui);
  std::vector<std::string> messages;
  for (const auto& m : ui.messages) messages.push_back(m.text);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          folder / "saved.txt", APH_EXAMPLES_DIR "/cases/boiler-loads.json",
                          "文件“" + folder / "broken.json" + "”不是可读的工况文件：没有工况",
                          folder / "saved.txt"}));
  EXPECT_EQ(w.text(F::Text9), "12abc");
  EXPECT_TRUE(w.isSelected(OptionId::Option2));
  ASSERT_NE(w.dialog(DialogKind::Tuning), nullptr);
  EXPECT_EQ(*w.dialog(DialogKind::Tuning)->find("Text40"), "0.8");
}

}  // namespace
}  // namespace aph::study
