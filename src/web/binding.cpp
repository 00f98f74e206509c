// src/web: the window in a browser page. The window model, the calculation and the session
// replay run compiled to WebAssembly; the page's elements are made from the model's layout when
// the page is built (markup.cpp), and its script (page.js) only binds them to the model through
// these functions, as src/app binds Qt widgets.
//
// Handlers run to their end unless they ask the person something: a message box, a dialog, a
// file or a load case. Then the handler is suspended (Asyncify) until the page's modal element
// is answered, and resumes where it stopped, exactly as a modal window suspends it on the desktop.
//
// Case files are read and written by the batch tool's own code (study/case_input/window_files) in
// the program's file system, which lives in the page's memory: a file picked with "打开" is put
// there before the handler reads it, and a file saved with "另存为" is handed from there to the
// browser as a download.
#include <emscripten/emscripten.h>

#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "model/window.hpp"
#include "session/session.hpp"
#include "study/case_input/window_files.hpp"
#include "study/io/files.hpp"

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

// One entry of a list (the request as JSON); returns JSON: the entry's index, or null when
// cancelled.
EM_ASYNC_JS(char*, aph_page_choose_from_list, (const char* request), {
  const chosen = await Module.page.chooseFromList(JSON.parse(UTF8ToString(request)));
  return Module.page.toC(JSON.stringify(chosen === undefined ? null : chosen));
});

// A case file has been written at `path` in the program's file system: the page offers it as a
// download. Returns why it could not (malloc'ed, empty when it could).
EM_JS(char*, aph_page_saved, (const char* path), {
  try {
    Module.page.saved(UTF8ToString(path));
    return Module.page.toC("");
  } catch (error) {
    return Module.page.toC(String((error && error.message) || error));
  }
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

  std::optional<ChosenFile> chooseFile(const FileDialogRequest& request) override {
    ordered_json filters = ordered_json::array();
    for (const auto& [caption, pattern] : request.filters) filters.push_back({caption, pattern});
    const ordered_json asked = {{"kind", request.kind == FileDialogKind::Open ? "open" : "save"},
                                {"filters", filters},
                                {"filterIndex", request.filterIndex},
                                {"hideReadOnly", request.hideReadOnly}};
    const json chosen =
        json::parse(takeText(aph_page_choose_file(pageJson(asked).c_str())), nullptr, false);
    // A name alone (a file picked to open), or the name with the file type chosen with it.
    if (chosen.is_string()) return chosen.get<std::string>();
    if (!chosen.is_object() || !chosen.contains("path") || !chosen["path"].is_string())
      return std::nullopt;
    const int filter = chosen.contains("filter") && chosen["filter"].is_number_integer()
                           ? chosen["filter"].get<int>()
                           : 0;
    return ChosenFile(chosen["path"].get<std::string>(), filter);
  }

  std::optional<std::size_t> chooseFromList(const ListChoiceRequest& request) override {
    const ordered_json asked = {
        {"title", request.title}, {"prompt", request.prompt}, {"entries", request.entries}};
    const json chosen =
        json::parse(takeText(aph_page_choose_from_list(pageJson(asked).c_str())), nullptr, false);
    if (!chosen.is_number_unsigned()) return std::nullopt;
    const auto index = chosen.get<std::size_t>();
    if (index >= request.entries.size()) return std::nullopt;
    return index;
  }

  std::vector<MessageBoxRequest> messages;
};

// The batch tool's case files in the program's file system. A picked file the browser could not
// read is refused with the browser's reason; a saved file goes to the page.
class PageCaseFiles : public CaseFiles {
 public:
  Opened open(const std::string& path) override {
    if (unreadable_ && unreadable_->first == path) {
      Opened refused;
      refused.problem = CaseFileProblem{CaseFileProblem::Kind::CannotRead, unreadable_->second};
      unreadable_.reset();
      return refused;
    }
    unreadable_.reset();
    return files_.open(path);
  }

  std::optional<CaseFileProblem> save(const std::string& path, const WindowCase& window) override {
    if (std::optional<CaseFileProblem> problem = files_.save(path, window)) return problem;
    if (std::string reason = takeText(aph_page_saved(path.c_str())); !reason.empty())
      return CaseFileProblem{CaseFileProblem::Kind::CannotWrite, std::move(reason)};
    return std::nullopt;
  }

  // The file the person picked at `path` could not be read by the browser, for `reason`.
  void markUnreadable(std::string path, std::string reason) {
    unreadable_.emplace(std::move(path), std::move(reason));
  }

 private:
  study::WindowCaseFiles files_;
  std::optional<std::pair<std::string, std::string>> unreadable_;
};

// The window the page shows, the person in front of it and its case files.
struct Page {
  Page() { window.setCaseFiles(&files); }
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  MainWindow window;
  PageUserInterface ui;
  PageCaseFiles files;
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

// How a script answers the list of load cases, for aph_pick_entry: null when it does not.
ordered_json listAnswerJson(const std::optional<session::ListAnswer>& answer) {
  if (!answer) return nullptr;
  return {{"cancel", answer->cancel}, {"name", answer->name}, {"number", answer->number}};
}

std::optional<session::ListAnswer> listAnswerOf(const json& answer) {
  if (!answer.is_object()) return std::nullopt;
  session::ListAnswer list;
  list.cancel = answer.value("cancel", false);
  list.name = answer.value("name", std::string());
  list.number = answer.value("number", std::size_t{0});
  return list;
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
                       {"file", click.file ? ordered_json(*click.file) : ordered_json(nullptr)},
                       {"case", listAnswerJson(click.loadCase)}});
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
  page->window.click(control, page->ui);
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

// The entry a replayed script picks from a list, as aphcalc-cli replay picks it: the answer of
// the action being replayed (JSON, null when it gives none) and the entries (JSON); -1: cancel.
EMSCRIPTEN_KEEPALIVE int aph_pick_entry(const char* answer, const char* entries) {
  try {
    const json listed = json::parse(entries, nullptr, false);
    if (!listed.is_array()) return -1;
    std::vector<std::string> names;
    for (const json& entry : listed)
      names.push_back(entry.is_string() ? entry.get<std::string>() : "");
    const auto picked =
        aph::session::pickEntry(aph::web::listAnswerOf(json::parse(answer, nullptr, false)), names);
    return picked ? static_cast<int>(*picked) : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

// The most of a picked file the page puts where the handler reads it: one byte more than a case
// file may hold, so that a larger file is refused for its size and never read whole.
EMSCRIPTEN_KEEPALIVE double aph_case_file_read_limit() {
  return static_cast<double>(aph::study::kMaxInputBytes) + 1;
}

// The file picked at `path` could not be read by the browser: "打开" refuses it with `reason`.
EMSCRIPTEN_KEEPALIVE void aph_file_unreadable(const char* path, const char* reason) {
  page->files.markUnreadable(path, reason);
}

// The window as aphcalc-cli replay prints it.
EMSCRIPTEN_KEEPALIVE const char* aph_snapshot() {
  return aph::web::handOver(
      aph::web::pageJson(aph::session::snapshot(page->window, page->ui.messages), 2) + "\n");
}

}  // extern "C"
