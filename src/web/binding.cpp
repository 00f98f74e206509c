// src/web: the window in a browser page. The window model, the calculation and the session
// replay run compiled to WebAssembly; the page's elements are made from the model's layout when
// the page is built (markup.cpp), and its script (page.js) only binds them to the model through
// these functions, as src/app binds Qt widgets.
//
// Handlers run to their end unless they ask the person something: a message box, a dialog or a
// file name. Then the handler is suspended (Asyncify) until the page's modal element is
// answered, and resumes where it stopped, exactly as a modal window suspends it on the desktop.
#include <emscripten/emscripten.h>

#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "model/window.hpp"
#include "session/session.hpp"

using nlohmann::json;
using nlohmann::ordered_json;

// ---- What the handlers ask of the page ---------------------------------------------------------

// Each returns when the person has answered; the page shows the window as the handler left it
// first. Texts come back in memory from malloc, which the caller frees.

// The bodies are JavaScript, kept as written.
// clang-format off

// A message box: title, text, warning icon or none, OK or OK and Cancel.
EM_ASYNC_JS(void, aph_page_message,
            (const char* text, const char* title, int warning, int withCancel), {
  await Module.page.messageBox(UTF8ToString(text), UTF8ToString(title), warning !== 0,
                               withCancel !== 0);
});

// A dialog shown modally with the given field texts (JSON); returns JSON of how it was left:
// {"closed": bool, "texts": {field: text}}.
EM_ASYNC_JS(char*, aph_page_dialog, (const char* form, const char* texts), {
  const answer = await Module.page.showDialog(UTF8ToString(form), JSON.parse(UTF8ToString(texts)));
  return Module.page.toC(JSON.stringify(answer));
});

// A file to open or a name to save under (the request as JSON); returns JSON: the name, or
// null when cancelled.
EM_ASYNC_JS(char*, aph_page_choose_file, (const char* request), {
  const chosen = await Module.page.chooseFile(JSON.parse(UTF8ToString(request)));
  return Module.page.toC(JSON.stringify(chosen === undefined ? null : chosen));
});

// clang-format on

namespace aph::web {
namespace {

std::string takeText(char* text) {
  std::string out = text ? text : "";
  std::free(text);
  return out;
}

// JSON for the page. A text typed in the page is valid UTF-8 except for a lone surrogate, which
// is shown as a replacement character rather than refused.
std::string pageJson(const ordered_json& value, int indent = -1) {
  return value.dump(indent, ' ', false, json::error_handler_t::replace);
}

class PageUserInterface : public UserInterface {
 public:
  void showMessage(const MessageBoxRequest& message) override {
    messages.push_back(message);
    aph_page_message(message.text.c_str(), message.title.c_str(),
                     message.icon == MessageIcon::Warning,
                     message.buttons == MessageButtons::OkCancel);
  }

  DialogOutcome showModal(DialogForm& dialog) override {
    ordered_json texts = ordered_json::object();
    for (const DialogField& f : dialog.fields()) texts[std::string(f.name)] = f.text;
    const json answer = json::parse(
        takeText(aph_page_dialog(std::string(dialog.name()).c_str(), pageJson(texts).c_str())),
        nullptr, false);
    // What was typed stays in the dialog however it was left; closing then discards it.
    if (answer.is_object() && answer.contains("texts") && answer["texts"].is_object()) {
      for (const auto& [name, text] : answer["texts"].items())
        if (std::string* field = dialog.find(name); field && text.is_string())
          *field = text.get<std::string>();
    }
    const bool closed = answer.is_object() && answer.value("closed", false);
    return closed ? DialogOutcome::Closed : DialogOutcome::Ok;
  }

  std::optional<std::string> chooseFile(const FileDialogRequest& request) override {
    ordered_json filters = ordered_json::array();
    for (const auto& [caption, pattern] : request.filters) filters.push_back({caption, pattern});
    const ordered_json asked = {{"kind", request.kind == FileDialogKind::Open ? "open" : "save"},
                                {"filters", filters},
                                {"filterIndex", request.filterIndex},
                                {"hideReadOnly", request.hideReadOnly}};
    const json chosen =
        json::parse(takeText(aph_page_choose_file(pageJson(asked).c_str())), nullptr, false);
    if (!chosen.is_string()) return std::nullopt;
    return chosen.get<std::string>();
  }

  // The page has no case files to open yet, so it is never asked to choose a load case.
  std::optional<std::size_t> chooseFromList(const ListChoiceRequest&) override {
    return std::nullopt;
  }

  std::vector<MessageBoxRequest> messages;
};

// The window the page shows, and the person in front of it.
struct Page {
  MainWindow window;
  PageUserInterface ui;
};
std::unique_ptr<Page> page = std::make_unique<Page>();

// The last text handed to the page; valid until the next call.
const char* handOver(const std::string& text) {
  static std::string kept;
  kept = text;
  return kept.c_str();
}

std::optional<DialogKind> dialogNamed(std::string_view name) {
  if (name == "Form2") return DialogKind::Tuning;
  if (name == "Form3") return DialogKind::PassCount;
  return std::nullopt;
}

ordered_json viewJson() {
  const MainWindow& w = page->window;
  ordered_json fields = ordered_json::object();
  for (const FieldInfo& info : kFields) {
    const FieldState& f = w.field(info.id);
    fields[std::string(info.name)] = {{"text", f.text},
                                      {"enabled", f.enabled},
                                      {"red", f.color == TextColor::Red},
                                      {"listIndex", f.listIndex}};
  }
  ordered_json options = ordered_json::object();
  for (const OptionInfo& option : kOptions)
    options[std::string(option.name)] = w.isSelected(option.id);
  ordered_json dialogs = ordered_json::object();
  for (DialogKind kind : {DialogKind::Tuning, DialogKind::PassCount}) {
    const DialogForm* form = w.dialog(kind);
    if (!form) {
      dialogs[std::string(dialogName(kind))] = nullptr;
      continue;
    }
    ordered_json texts = ordered_json::object();
    for (const DialogField& f : form->fields()) texts[std::string(f.name)] = f.text;
    dialogs[std::string(dialogName(kind))] = {{"visible", form->visible},
                                              {"texts", std::move(texts)}};
  }
  return {{"fields", std::move(fields)},
          {"options", std::move(options)},
          {"dialogs", std::move(dialogs)},
          {"exited", w.exitRequested()}};
}

// A session script as the page replays it: every action with its targets resolved.
ordered_json scriptJson(const session::Script& script) {
  ordered_json actions = ordered_json::array();
  for (const session::Action& action : script.actions) {
    if (const auto* set = std::get_if<session::SetAction>(&action)) {
      ordered_json texts = ordered_json::array();
      for (const auto& [target, text] : set->texts) {
        const std::string form = target.dialog ? std::string(dialogName(*target.dialog)) : "";
        texts.push_back({form, target.field, text});
      }
      actions.push_back({{"set", std::move(texts)}});
      continue;
    }
    const auto& click = std::get<session::ClickAction>(action);
    ordered_json answer = nullptr;
    if (click.dialog) {
      ordered_json texts = ordered_json::array();
      for (const auto& [name, text] : click.dialog->texts) texts.push_back({name, text});
      answer = {{"close", click.dialog->close}, {"texts", std::move(texts)}};
    }
    actions.push_back({{"click", click.control},
                       {"dialog", std::move(answer)},
                       {"file", click.file ? ordered_json(*click.file) : ordered_json(nullptr)}});
  }
  return actions;
}

}  // namespace
}  // namespace aph::web

using aph::web::page;

extern "C" {

// The freshly loaded window: default texts, Form_Load run, no dialog, no message.
EMSCRIPTEN_KEEPALIVE void aph_reset() {
  page = std::make_unique<aph::web::Page>();
}

// What every control shows now: texts, enabled states, colours, list entries, options, dialogs.
EMSCRIPTEN_KEEPALIVE const char* aph_view() {
  return aph::web::handOver(aph::web::pageJson(aph::web::viewJson()));
}

// Typing into a field or list of Form1.
EMSCRIPTEN_KEEPALIVE void aph_set_text(const char* field, const char* text) {
  if (const auto id = aph::findField(field)) page->window.setText(*id, text);
}

// Picking an entry of a list's drop-down.
EMSCRIPTEN_KEEPALIVE void aph_select_entry(const char* list, int entry) {
  if (const auto id = aph::findField(list)) page->window.selectListEntry(*id, entry);
}

// Typing into a field of a dialog that is not shown: it is created, hidden, if needed.
EMSCRIPTEN_KEEPALIVE void aph_set_dialog_text(const char* form, const char* field,
                                              const char* text) {
  if (const auto kind = aph::web::dialogNamed(form))
    if (std::string* stored = page->window.ensureDialog(*kind).find(field)) *stored = text;
}

// A dialog created, hidden, as reading one of its fields creates it.
EMSCRIPTEN_KEEPALIVE void aph_ensure_dialog(const char* form) {
  if (const auto kind = aph::web::dialogNamed(form)) page->window.ensureDialog(*kind);
}

// A click on an option button or a button: its handler runs; it may suspend (see above).
EMSCRIPTEN_KEEPALIVE void aph_click(const char* control) {
  aph::MainWindow& w = page->window;
  aph::UserInterface& ui = page->ui;
  const std::string name = control;
  if (const auto option = aph::findOption(name)) {
    w.clickOption(*option, ui);
  } else if (name == "Command1") {
    w.Command1_Click(ui);
  } else if (name == "Command2") {
    w.Command2_Click();
  } else if (name == "Command3") {
    w.Command3_Click(ui);
  } else if (name == "Command4") {
    w.Command4_Click(ui);
  } else if (name == "Command5") {
    w.Command5_Click(ui);
  }
}

// A session script checked and resolved for the page to replay: {"actions": […]} or
// {"error": "…"} with the reason it cannot be replayed.
EMSCRIPTEN_KEEPALIVE const char* aph_parse_script(const char* text) {
  try {
    const aph::session::Script script = aph::session::parseScript(text);
    return aph::web::handOver(
        aph::web::pageJson(ordered_json{{"actions", aph::web::scriptJson(script)}}));
  } catch (const std::exception& e) {
    return aph::web::handOver(aph::web::pageJson(ordered_json{{"error", e.what()}}));
  }
}

// The window as aphcalc-cli replay prints it.
EMSCRIPTEN_KEEPALIVE const char* aph_snapshot() {
  return aph::web::handOver(
      aph::web::pageJson(aph::session::snapshot(page->window, page->ui.messages), 2) + "\n");
}

}  // extern "C"
