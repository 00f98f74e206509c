#include "session/session.hpp"

#include <gtest/gtest.h>

namespace aph::session {
namespace {

nlohmann::ordered_json replayText(const std::string& script) {
  MainWindow window;
  ScriptedUserInterface ui;
  replay(window, parseScript(script), ui);
  return snapshot(window, ui.messages);
}

TEST(SessionScript, RefusesMalformedScripts) {
  const char* bad[] = {
      "",
      "{",
      "[]",
      R"({"actions": {}})",
      R"({"steps": []})",
      R"({"actions": [], "extra": 1})",
      R"({"actions": [42]})",
      R"({"actions": [{"set": {"Text99": "1"}}]})",
      R"({"actions": [{"set": {"Text9": 350}}]})",
      R"({"actions": [{"set": {"Form4.Text1": "1"}}]})",
      R"({"actions": [{"set": {"Form2.Text33": "1"}}]})",
      R"({"actions": [{"click": "Command6"}]})",
      R"({"actions": [{"click": 3}]})",
      R"({"actions": [{"click": "Option1", "passes": "close"}]})",
      R"({"actions": [{"click": "Option3", "passes": "open"}]})",
      R"({"actions": [{"click": "Option3", "passes": {"Text37": "1"}}]})",
      R"({"actions": [{"click": "Command1", "tuning": {"Text37": 2}}]})",
      R"({"actions": [{"click": "Command4", "file": 7}]})",
      R"({"actions": [{"click": "Command5", "file": "/a.json", "case": 1}]})",
      R"({"actions": [{"click": "Command4", "file": "/a.json", "case": 0}]})",
      R"({"actions": [{"click": "Command4", "file": "/a.json", "case": -2}]})",
      R"({"actions": [{"click": "Command4", "file": "/a.json", "case": 1.5}]})",
      R"({"actions": [{"click": "Command4", "file": "/a.json", "case": ""}]})",
      R"({"actions": [{"click": "Command4", "file": "/a.json", "case": ["a"]}]})",
      R"({"actions": [{"set": {}, "click": "Command3"}]})",
      R"({"actions": [{"nothing": 1}]})",
      R"({"actions": [2e444]})",
      R"({"actions": [{"set": {"Text9": 1e999}}]})",
      "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[",
  };
  for (const char* script : bad) EXPECT_THROW(parseScript(script), ScriptError) << script;
}

// The list of a file's load cases, answered by name, by number from 1, by null (cancel) or not
// at all ("确定" on the preselected first entry).
TEST(SessionScript, LoadCaseAnswers) {
  const std::vector<std::string> entries = {"100 % 负荷", "75 % 负荷", "50 % 负荷"};
  const struct {
    const char* answer;  // the value of "case"; nullptr: no "case" key
    std::optional<std::size_t> picked;
  } rows[] = {
      {nullptr, 0}, {R"("75 % 负荷")", 1}, {"3", 2}, {"null", {}}, {R"("25 % 负荷")", {}},
      {"4", {}},    {R"("1")", {}},  // a text is always a name
  };
  for (const auto& row : rows) {
    std::string script = R"({"actions": [{"click": "Command4", "file": "/a.json")";
    if (row.answer) script += std::string(R"(, "case": )") + row.answer;
    script += "}]}";
    const Script parsed = parseScript(script);
    const auto& click = std::get<ClickAction>(parsed.actions.at(0));
    EXPECT_EQ(pickEntry(click.loadCase, entries), row.picked) << script;
  }
  EXPECT_EQ(pickEntry(std::nullopt, {}), std::nullopt);
}

TEST(SessionScript, ReplaysClicksAndDialogAnswers) {
  const auto out = replayText(R"({"actions": [
      {"set": {"Text9": "360", "Form2.Text38": "1.1"}},
      {"click": "Option4"},
      {"click": "Option3", "passes": {"Text33": "2", "Text34": "3"}},
      {"click": "Command1", "tuning": {"Text37": "2"}},
      {"click": "Command3"}]})");
  EXPECT_EQ(out["fields"]["Text9"]["text"], "360");
  EXPECT_EQ(out["dialogs"]["Form2"]["Text37"], "2");
  EXPECT_EQ(out["dialogs"]["Form2"]["Text38"], "1.1");
  EXPECT_EQ(out["dialogs"]["Form3"]["Text33"], "2");
  EXPECT_EQ(out["options"]["Option3"], true);
  EXPECT_EQ(out["options"]["Option4"], true);
  EXPECT_EQ(out["fields"]["Text61"]["enabled"], false);
  EXPECT_FALSE(out["fields"]["Text59"]["text"].get<std::string>().empty());
  EXPECT_EQ(out["fields"]["Text45"]["color"], "red");
  EXPECT_TRUE(out["messages"].empty());
  EXPECT_EQ(out["fields"].size(), kFieldCount);
  EXPECT_EQ(out["fields"].begin().key(), "Text1");
}

TEST(SessionScript, MessagesAndClosedDialogs) {
  const auto out = replayText(R"({"actions": [
      {"click": "Command3"},
      {"click": "Option3", "passes": "close"},
      {"click": "Command1", "tuning": "close"},
      {"click": "Command4", "file": "/tmp/a.txt"},
      {"click": "Command5"},
      {"click": "Command2"},
      {"click": "Command3"}]})");
  ASSERT_EQ(out["messages"].size(), 3u);
  EXPECT_EQ(out["messages"][0]["text"], "未选择流动形式！");
  EXPECT_EQ(out["messages"][0]["title"], "出错！");
  EXPECT_EQ(out["messages"][0]["icon"], "warning");
  EXPECT_EQ(out["messages"][0]["buttons"], "ok-cancel");
  EXPECT_EQ(out["messages"][1]["text"], "流程输入有误！");
  // A window model without case files refuses the file it was given.
  EXPECT_EQ(out["messages"][2]["text"].get<std::string>().rfind("无法打开文件“/tmp/a.txt”", 0), 0u);
  EXPECT_EQ(out["messages"][2]["icon"], "warning");
  EXPECT_EQ(out["messages"][2]["buttons"], "ok-cancel");
  EXPECT_TRUE(out["dialogs"]["Form2"].is_null()) << "closed with the close button";
  EXPECT_EQ(out["dialogs"]["Form3"]["Text33"], "") << "recreated empty by the read";
  EXPECT_EQ(out["exited"], true);
}

TEST(SessionScript, TableShowsCaptionsAndFlags) {
  MainWindow window;
  ScriptedUserInterface ui;
  replay(window, parseScript(R"({"actions": [{"click": "Option4"}, {"click": "Option1"},
                                      {"click": "Command3"}]})"),
         ui);
  const std::string table = formatTable(window, ui.messages);
  EXPECT_NE(table.find("逆流"), std::string::npos);
  EXPECT_NE(table.find("压降△P(Pa)"), std::string::npos);
  EXPECT_NE(table.find("◀ 超限"), std::string::npos);
  EXPECT_NE(table.find(window.text(FieldId::Text49)), std::string::npos);
}

}  // namespace
}  // namespace aph::session
