// src/session: session scripts, window snapshots and their replay, on the window model.
//
// Session scripts: a sequence of what a person does in the window (typing into fields, clicking
// buttons, answering the dialogs), replayed against the window model, and the window as JSON.
// The desktop window replays the same scripts through its real widgets and prints the same JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "model/window.hpp"

namespace aph::session {

// A script that cannot be replayed: malformed JSON, wrong types, unknown names.
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a typed text goes: a field or list of Form1, or a field of a dialog.
struct Target {
  std::optional<DialogKind> dialog;  // empty: Form1
  std::string field;                 // control name
};

struct SetAction {
  std::vector<std::pair<Target, std::string>> texts;  // in script order
};

// How a person answers a modal dialog: type these texts and press "确定", or close it.
struct DialogAnswer {
  bool close = false;
  std::vector<std::pair<std::string, std::string>> texts;
};

// How a person answers the list of a file's load cases: picks one by name or by number
// (counted from 1), or cancels.
struct ListAnswer {
  bool cancel = false;
  std::string name;        // used when not empty
  std::size_t number = 0;  // otherwise
};

struct ClickAction {
  std::string control;                 // Option1..5, Command1..5
  std::optional<DialogAnswer> dialog;  // for Option3 ("passes") and Command1 ("tuning")
  std::optional<std::string> file;     // for Command4/Command5: the chosen path; empty: cancel
  std::optional<ListAnswer> loadCase;  // for Command4 ("case"); empty: "确定" on the first entry
};

// The entry a list answer picks: the first entry without an answer; nothing when the answer
// cancels or names no entry (the list then stays open, which counts as cancel).
std::optional<std::size_t> pickEntry(const std::optional<ListAnswer>& answer,
                                     const std::vector<std::string>& entries);

using Action = std::variant<SetAction, ClickAction>;

struct Script {
  std::vector<Action> actions;
};

Script parseScript(std::string_view json);

// Answers the handlers' requests from the action being replayed; records every message box.
class ScriptedUserInterface : public UserInterface {
 public:
  void setPendingAction(const ClickAction* action) { action_ = action; }
  void showMessage(const MessageBoxRequest& message) override { messages.push_back(message); }
  DialogOutcome showModal(DialogForm& dialog) override;
  std::optional<ChosenFile> chooseFile(const FileDialogRequest& request) override;
  std::optional<std::size_t> chooseFromList(const ListChoiceRequest& request) override;

  std::vector<MessageBoxRequest> messages;

 private:
  const ClickAction* action_ = nullptr;
};

// Replays every action on the window; stops after "退出".
void replay(MainWindow& window, const Script& script, ScriptedUserInterface& ui);

// Runs one click on the window model (handlers included).
void click(MainWindow& window, const ClickAction& action, ScriptedUserInterface& ui);

// The window as JSON: fields, dialogs, options, messages, calculation state.
nlohmann::ordered_json snapshot(const MainWindow& window,
                                const std::vector<MessageBoxRequest>& messages);

// The window as an engineer reads it: captions, values, units, flagged values.
std::string formatTable(const MainWindow& window, const std::vector<MessageBoxRequest>& messages);

}  // namespace aph::session
