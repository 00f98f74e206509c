#include "session/session.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "model/text.hpp"

namespace aph::session {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
  throw ScriptError(where + ": " + what);
}

std::string typeName(const json& value) {
  return value.type_name();
}

Target parseTarget(const std::string& name, const std::string& where) {
  Target target;
  const auto dot = name.find('.');
  if (dot == std::string::npos) {
    if (!findField(name)) fail(where, "unknown field \"" + name + "\"");
    target.field = name;
    return target;
  }
  const std::string form = name.substr(0, dot);
  target.field = name.substr(dot + 1);
  if (form == "Form1") {
    if (!findField(target.field)) fail(where, "unknown field \"" + name + "\"");
    return target;
  }
  if (form == "Form2") {
    target.dialog = DialogKind::Tuning;
  } else if (form == "Form3") {
    target.dialog = DialogKind::PassCount;
  } else {
    fail(where, "unknown form \"" + form + "\" (Form1, Form2 or Form3)");
  }
  if (!findDialogField(*target.dialog, target.field)) fail(where, "unknown field \"" + name + "\"");
  return target;
}

DialogAnswer parseAnswer(const json& value, DialogKind kind, const std::string& where) {
  DialogAnswer answer;
  if (value.is_string()) {
    if (value.get<std::string>() != "close")
      fail(where, "expected \"close\" or an object of field texts");
    answer.close = true;
    return answer;
  }
  if (!value.is_object())
    fail(where, "expected \"close\" or an object of field texts, not " + typeName(value));
  for (const auto& [name, text] : value.items()) {
    if (!findDialogField(kind, name))
      fail(where, "unknown field \"" + name + "\" of " + std::string(dialogName(kind)));
    if (!text.is_string()) fail(where + "." + name, "expected a text, not " + typeName(text));
    answer.texts.emplace_back(name, text.get<std::string>());
  }
  return answer;
}

ListAnswer parseListAnswer(const json& value, const std::string& where) {
  ListAnswer answer;
  if (value.is_null()) {
    answer.cancel = true;
  } else if (value.is_string()) {
    answer.name = value.get<std::string>();
    if (answer.name.empty()) fail(where, "expected a load case's name, not an empty text");
  } else if (value.is_number_unsigned() && value.get<std::uint64_t>() >= 1) {
    answer.number = static_cast<std::size_t>(std::min<std::uint64_t>(
        value.get<std::uint64_t>(), std::numeric_limits<std::size_t>::max()));
  } else {
    fail(where, "expected a load case's name, its number from 1, or null, not " +
                    (value.is_number() ? value.dump() : typeName(value)));
  }
  return answer;
}

Action parseAction(const json& value, const std::string& where) {
  if (!value.is_object()) fail(where, "an action must be an object, not " + typeName(value));
  if (value.contains("set")) {
    if (value.size() != 1) fail(where, "a \"set\" action takes no other keys");
    const json& texts = value.at("set");
    if (!texts.is_object()) fail(where + ".set", "expected an object, not " + typeName(texts));
    SetAction set;
    for (const auto& [name, text] : texts.items()) {
      const std::string at = where + ".set." + name;
      Target target = parseTarget(name, at);
      if (!text.is_string()) fail(at, "expected a text, not " + typeName(text));
      set.texts.emplace_back(std::move(target), text.get<std::string>());
    }
    return set;
  }
  if (!value.contains("click")) fail(where, "expected a \"set\" or a \"click\" action");
  const json& control = value.at("click");
  if (!control.is_string())
    fail(where + ".click", "expected a control name, not " + typeName(control));
  ClickAction click;
  click.control = control.get<std::string>();
  if (!findOption(click.control) && !findButton(click.control))
    fail(where + ".click", "unknown control \"" + click.control + "\"");
  for (const auto& [key, answer] : value.items()) {
    if (key == "click") continue;
    const std::string at = where + "." + key;
    if (key == "passes" && click.control == "Option3") {
      click.dialog = parseAnswer(answer, DialogKind::PassCount, at);
    } else if (key == "tuning" && click.control == "Command1") {
      click.dialog = parseAnswer(answer, DialogKind::Tuning, at);
    } else if (key == "case" && click.control == "Command4") {
      click.loadCase = parseListAnswer(answer, at);
    } else if (key == "file" && (click.control == "Command4" || click.control == "Command5")) {
      if (answer.is_string()) {
        click.file = answer.get<std::string>();
      } else if (!answer.is_null()) {
        fail(at, "expected a path or null, not " + typeName(answer));
      }
    } else {
      fail(at, "not an answer that " + click.control + " asks for");
    }
  }
  return click;
}

const char* colorName(TextColor color) {
  return color == TextColor::Red ? "red" : "default";
}

// Fields in the order of their control numbers: Text1 … Text63, then Combo1 … Combo4.
const std::vector<const FieldInfo*>& fieldsByNumber() {
  static const std::vector<const FieldInfo*> order = [] {
    std::vector<const FieldInfo*> fields;
    for (const FieldInfo& info : kFields) fields.push_back(&info);
    std::sort(fields.begin(), fields.end(), [](const FieldInfo* a, const FieldInfo* b) {
      if (a->isList != b->isList) return !a->isList;
      const int na = std::atoi(std::string(a->name.substr(a->isList ? 5 : 4)).c_str());
      const int nb = std::atoi(std::string(b->name.substr(b->isList ? 5 : 4)).c_str());
      return na < nb;
    });
    return fields;
  }();
  return order;
}

json dialogJson(const DialogForm* form) {
  if (!form) return nullptr;
  nlohmann::ordered_json fields = nlohmann::ordered_json::object();
  for (const DialogField& f : form->fields()) fields[std::string(f.name)] = f.text;
  return fields;
}

nlohmann::ordered_json streamJson(const StreamState& s) {
  return {{"mean_temperature", s.meanTemperature},
          {"density", s.density},
          {"specific_heat", s.specificHeat},
          {"conductivity", s.conductivity},
          {"dynamic_viscosity", s.dynamicViscosity},
          {"kinematic_viscosity", s.kinematicViscosity},
          {"prandtl", s.prandtl},
          {"volume_flow", s.volumeFlow},
          {"cross_section", s.crossSection},
          {"velocity", s.velocity},
          {"reynolds", s.reynolds},
          {"nusselt", s.nusselt},
          {"film_coefficient", s.filmCoefficient},
          {"pressure_drop", s.pressureDrop}};
}

}  // namespace

Script parseScript(std::string_view text) {
  // Told before the JSON reader can quote the bytes it stumbles on.
  if (const auto reason = notUtf8Reason(text)) throw ScriptError(*reason);
  json document;
  try {
    document = json::parse(text.begin(), text.end(), nullptr, true, false);
  } catch (const json::exception& e) {
    // Syntax errors, and numbers too large for any number type (1e999).
    throw ScriptError(std::string("malformed JSON: ") + e.what());
  }
  if (!document.is_object()) fail("script", "expected an object with \"actions\"");
  for (const auto& [key, value] : document.items())
    if (key != "actions") fail("script", "unknown key \"" + key + "\"");
  if (!document.contains("actions")) fail("script", "missing \"actions\"");
  const json& actions = document.at("actions");
  if (!actions.is_array()) fail("actions", "expected an array, not " + typeName(actions));
  Script script;
  for (std::size_t k = 0; k < actions.size(); ++k)
    script.actions.push_back(parseAction(actions[k], "actions[" + std::to_string(k) + "]"));
  return script;
}

DialogOutcome ScriptedUserInterface::showModal(DialogForm& dialog) {
  if (!action_ || !action_->dialog) return DialogOutcome::Ok;
  if (action_->dialog->close) return DialogOutcome::Closed;
  for (const auto& [name, text] : action_->dialog->texts)
    if (std::string* field = dialog.find(name)) *field = text;
  return DialogOutcome::Ok;
}

std::optional<ChosenFile> ScriptedUserInterface::chooseFile(const FileDialogRequest&) {
  if (!action_) return std::nullopt;
  return action_->file;
}

std::optional<std::size_t> ScriptedUserInterface::chooseFromList(const ListChoiceRequest& request) {
  return pickEntry(action_ ? action_->loadCase : std::nullopt, request.entries);
}

std::optional<std::size_t> pickEntry(const std::optional<ListAnswer>& answer,
                                     const std::vector<std::string>& entries) {
  if (entries.empty()) return std::nullopt;
  if (!answer) return 0;
  if (answer->cancel) return std::nullopt;
  if (!answer->name.empty()) {
    const auto found = std::find(entries.begin(), entries.end(), answer->name);
    if (found == entries.end()) return std::nullopt;
    return static_cast<std::size_t>(found - entries.begin());
  }
  if (answer->number >= 1 && answer->number <= entries.size()) return answer->number - 1;
  return std::nullopt;
}

void click(MainWindow& window, const ClickAction& action, ScriptedUserInterface& ui) {
  ui.setPendingAction(&action);
  window.click(action.control, ui);
  ui.setPendingAction(nullptr);
}

void replay(MainWindow& window, const Script& script, ScriptedUserInterface& ui) {
  for (const Action& action : script.actions) {
    if (window.exitRequested()) break;
    if (const auto* set = std::get_if<SetAction>(&action)) {
      for (const auto& [target, text] : set->texts) {
        if (target.dialog) {
          *window.ensureDialog(*target.dialog).find(target.field) = text;
        } else {
          window.setText(*findField(target.field), text);
        }
      }
    } else {
      click(window, std::get<ClickAction>(action), ui);
    }
  }
}

nlohmann::ordered_json snapshot(const MainWindow& window,
                                const std::vector<MessageBoxRequest>& messages) {
  nlohmann::ordered_json out;
  nlohmann::ordered_json fields = nlohmann::ordered_json::object();
  for (const FieldInfo* info : fieldsByNumber()) {
    const FieldState& f = window.field(info->id);
    fields[std::string(info->name)] = {
        {"text", f.text}, {"color", colorName(f.color)}, {"enabled", f.enabled}};
  }
  out["fields"] = std::move(fields);
  out["dialogs"] = {{"Form2", dialogJson(window.dialog(DialogKind::Tuning))},
                    {"Form3", dialogJson(window.dialog(DialogKind::PassCount))}};
  nlohmann::ordered_json options = nlohmann::ordered_json::object();
  for (const OptionInfo& option : kOptions)
    options[std::string(option.name)] = window.isSelected(option.id);
  out["options"] = std::move(options);
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const MessageBoxRequest& m : messages) {
    list.push_back({{"text", m.text},
                    {"title", m.title},
                    {"icon", m.icon == MessageIcon::Warning ? "warning" : "none"},
                    {"buttons", m.buttons == MessageButtons::OkCancel ? "ok-cancel" : "ok"}});
  }
  out["messages"] = std::move(list);
  const CalculationState& s = window.state();
  out["state"] = {{"flue_gas", streamJson(s.flueGas)},
                  {"air", streamJson(s.air)},
                  {"actual_coefficient", s.actualCoefficient},
                  {"theoretical_coefficient", s.theoreticalCoefficient},
                  {"counterflow_difference", s.counterflowDifference},
                  {"crossflow_difference", s.crossflowDifference},
                  {"mean_difference", s.meanDifference},
                  {"mean_difference_stored", s.meanDifferenceStored},
                  {"flue_gas_passes", s.flueGasPasses},
                  {"air_passes", s.airPasses}};
  out["exited"] = window.exitRequested();
  return out;
}

}  // namespace aph::session
