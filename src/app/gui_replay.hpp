// Replays a session script through the real widgets of the main window: texts are typed into
// the fields, option buttons and buttons are clicked, and every modal window a handler opens is
// answered as the script says. Used by `aphcalc --replay` and by the window's tests.
#pragma once

#include <nlohmann/json.hpp>

#include "session/session.hpp"

class QLineEdit;
class QWidget;

namespace aph::app {

class MainForm;

// Types `text` into a line as a person does: selects what stands there and types over it.
void typeInto(QLineEdit& line, const std::string& text);

// Answers one modal window: a message box with OK (the question whether to replace a file with
// yes), a pass-count or tuning dialog with the texts of `answer` and "确定" (or its close button),
// a file dialog with `file` (cancel when empty), the list of load cases with `loadCase`.
void answerModal(QWidget& modal, const session::ClickAction* action);

// Replays every action; stops after "退出".
void replayThroughWidgets(MainForm& form, const session::Script& script);

// The window as JSON, exactly as the headless replay prints it.
nlohmann::ordered_json snapshotOf(const MainForm& form);

}  // namespace aph::app
