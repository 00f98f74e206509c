#include "study/case_file.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace aph::study {
namespace {

using nlohmann::json;

// The keys of one side's fields ("flue_gas.", "air.", "plate."), in the window's reading order.
void addFieldKeys(std::vector<CaseKey>& keys, std::string_view prefix) {
  for (const FieldInfo& info : kFields)
    if (info.key.starts_with(prefix))
      keys.push_back({info.key, KeyKind::Field, info.id, {}, info.unit, info.caption, false});
}

void addDialogKeys(std::vector<CaseKey>& keys, DialogKind dialog, KeyKind kind) {
  for (const DialogFieldInfo& info : kDialogFields)
    if (info.dialog == dialog)
      keys.push_back({info.key, kind, FieldId::Text1, info.name, {}, info.caption, false});
}

// Every key in the order a case is applied: the buttons, then each side with its property
// choice first, the plate, and the two dialogs.
std::vector<CaseKey> buildKeys() {
  std::vector<CaseKey> keys = {
      {"arrangement", KeyKind::Arrangement, FieldId::Text1, {}, {}, "流动形式", false},
      {"flow_mode", KeyKind::FlowMode, FieldId::Text1, {}, {}, "流量给定", false},
      {"flue_gas.properties", KeyKind::Properties, FieldId::Text1, {}, {}, "物性参数", true},
  };
  addFieldKeys(keys, "flue_gas.");
  keys.push_back(
      {"air.properties", KeyKind::Properties, FieldId::Text1, {}, {}, "物性参数", false});
  addFieldKeys(keys, "air.");
  addFieldKeys(keys, "plate.");
  addDialogKeys(keys, DialogKind::PassCount, KeyKind::Passes);
  addDialogKeys(keys, DialogKind::Tuning, KeyKind::Tuning);
  return keys;
}

// The values of the two button keys, in the order of their options.
std::vector<std::string_view> optionKeys(bool arrangement) {
  std::vector<std::string_view> values;
  for (const OptionInfo& option : kOptions)
    if (isArrangement(option.id) == arrangement) values.push_back(option.key);
  return values;
}

constexpr std::array<std::string_view, 5> kGroups = {"flue_gas", "air", "plate", "passes",
                                                     "factors"};

// The four property fields of a side, by key.
constexpr std::array<std::string_view, 4> kPropertyNames = {"density", "specific_heat",
                                                            "conductivity", "viscosity"};

std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "unknown key; did you mean "inlet_temperature"?" or the list of keys the place knows.
std::string unknownKey(std::string_view name, const std::vector<std::string>& known) {
  std::string best;
  std::size_t bestDistance = 4;
  for (const std::string& k : known) {
    const std::size_t d = editDistance(name, k);
    if (d < bestDistance) {
      bestDistance = d;
      best = k;
    }
  }
  if (!best.empty()) return "unknown key; did you mean \"" + best + "\"?";
  std::string list;
  for (const std::string& k : known) list += (list.empty() ? "" : ", ") + k;
  return "unknown key; known here: " + list;
}

std::string joinPath(const std::string& prefix, std::string_view name) {
  return prefix.empty() ? std::string(name) : prefix + "." + std::string(name);
}

std::string quotedList(const auto& names) {
  std::string out;
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (k) out += k + 1 == names.size() ? " or " : ", ";
    out += '"';
    out += names[k];
    out += '"';
  }
  return out;
}

struct Parser {
  const std::string& file;

  [[noreturn]] void fail(const std::string& key, const std::string& what) const {
    throw CaseError(file, key, what);
  }

  // A field value: a number goes in as its text, a text as typed.
  std::string fieldText(const json& value, const std::string& key) const {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_integer()) return std::to_string(value.get<std::int64_t>());
    if (value.is_number_unsigned()) return std::to_string(value.get<std::uint64_t>());
    if (value.is_number_float()) return numberText(value.get<double>());
    fail(key, std::string("expected a number or a text, not ") + value.type_name());
  }

  std::string choice(const json& value, const std::string& key,
                     const std::vector<std::string_view>& allowed) const {
    if (!value.is_string())
      fail(key, "expected " + quotedList(allowed) + ", not " + value.type_name());
    const std::string text = value.get<std::string>();
    if (std::find(allowed.begin(), allowed.end(), text) == allowed.end())
      fail(key, "\"" + text + "\" is not one of " + quotedList(allowed));
    return text;
  }

  // One case object; `prefix` is where it stands in the file ("" or "cases[2]").
  // `topLevel` allows the keys that only the outermost object may hold.
  Case parseCase(const json& object, const std::string& prefix, bool topLevel) const {
    Case c;
    c.file = file;
    if (!object.is_object())
      fail(prefix.empty() ? "(top level)" : prefix,
           std::string("expected an object of case keys, not ") + object.type_name());
    for (const auto& [name, value] : object.items()) {
      const std::string key = joinPath(prefix, name);
      if (name == "name") {
        if (!value.is_string()) fail(key, std::string("expected a text, not ") + value.type_name());
        c.name = value.get<std::string>();
      } else if (name == "description" || (topLevel && name == "saved")) {
        // Not read: a free text, and when the window saved the file.
        if (!value.is_string()) fail(key, std::string("expected a text, not ") + value.type_name());
      } else if (topLevel && (name == "$schema" || name == "cases")) {
        // "$schema" names the schema for editors; "cases" is read by the caller.
      } else if (name == "arrangement") {
        c.set(name, choice(value, key, optionKeys(true)));
      } else if (name == "flow_mode") {
        c.set(name, choice(value, key, optionKeys(false)));
      } else if (std::find(kGroups.begin(), kGroups.end(), name) != kGroups.end()) {
        parseGroup(c, name, value, key);
      } else {
        std::vector<std::string> known = {"name", "description", "arrangement", "flow_mode"};
        for (std::string_view g : kGroups) known.emplace_back(g);
        if (topLevel) known.insert(known.end(), {"saved", "cases", "$schema"});
        fail(key, unknownKey(name, known));
      }
    }
    for (const bool flueGas : {true, false}) {
      const std::string side = flueGas ? "flue_gas" : "air";
      if (!c.value(side + ".properties")) continue;
      for (std::string_view p : kPropertyNames) {
        const std::string path = side + "." + std::string(p);
        if (c.value(path))
          fail(joinPath(prefix, path), "cannot be given together with \"" + side +
                                           ".properties\": \"table\" (the table supplies it)");
      }
    }
    return c;
  }

  void parseGroup(Case& c, const std::string& group, const json& value,
                  const std::string& key) const {
    if (!value.is_object()) fail(key, std::string("expected an object, not ") + value.type_name());
    for (const auto& [name, item] : value.items()) {
      const std::string path = group + "." + name;
      const std::string itemKey = key + "." + name;
      const auto k = findKey(path);
      if (!k) {
        std::vector<std::string> known;
        for (const CaseKey& keyInfo : caseKeys())
          if (keyInfo.path.starts_with(group + "."))
            known.emplace_back(keyInfo.path.substr(group.size() + 1));
        fail(itemKey, unknownKey(name, known));
      }
      if (caseKey(*k).kind == KeyKind::Properties) {
        if (!item.is_string())
          fail(itemKey, std::string("expected \"table\", not ") + item.type_name());
        if (item.get<std::string>() != "table")
          fail(itemKey, "\"" + item.get<std::string>() +
                            "\" is not \"table\" (give the four property values instead)");
        c.set(path, "table");
      } else {
        c.set(path, fieldText(item, itemKey));
      }
    }
  }
};

// Keeps the first occurrence of every key out of the way of a second one: a key given twice in
// one object is refused instead of silently taking the last.
class DuplicateKeyGuard {
 public:
  explicit DuplicateKeyGuard(const std::string& file) : file_(file) {}

  bool operator()(int /*depth*/, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        frames_.push_back({event == json::parse_event_t::array_start, 0, {}, {}});
        break;
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        frames_.pop_back();
        finishValue();
        break;
      case json::parse_event_t::key: {
        Frame& f = frames_.back();
        f.key = parsed.get<std::string>();
        if (!f.keys.insert(f.key).second) throw CaseError(file_, path(), "key given twice");
        break;
      }
      case json::parse_event_t::value:
        finishValue();
        break;
    }
    return true;
  }

 private:
  struct Frame {
    bool array;
    std::size_t index;
    std::string key;
    std::set<std::string> keys;
  };
  void finishValue() {
    if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
  }
  std::string path() const {
    std::string out;
    for (const Frame& f : frames_) {
      if (f.array) {
        out += "[" + std::to_string(f.index) + "]";
      } else if (&f == &frames_.back() || !f.key.empty()) {
        out += (out.empty() ? "" : ".") + f.key;
      }
    }
    return out;
  }
  const std::string& file_;
  std::vector<Frame> frames_;
};

// A load case overrides the shared keys. A side's "properties" and its four property values
// replace each other across the two levels.
Case merged(const Case& base, const Case& over) {
  Case out = base;
  out.file = over.file;
  out.name = over.name;
  for (const bool flueGas : {true, false}) {
    const std::string side = flueGas ? "flue_gas" : "air";
    bool overValues = false;
    for (std::string_view p : kPropertyNames)
      overValues |= over.value(side + "." + std::string(p)).has_value();
    if (overValues) out.values[*findKey(side + ".properties")].reset();
    if (over.value(side + ".properties"))
      for (std::string_view p : kPropertyNames)
        out.values[*findKey(side + "." + std::string(p))].reset();
  }
  for (std::size_t k = 0; k < over.values.size(); ++k)
    if (over.values[k]) out.values[k] = over.values[k];
  return out;
}

std::string stem(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  if (name.ends_with(".json")) name.resize(name.size() - 5);
  return name;
}

}  // namespace

CaseError::CaseError(std::string file, std::string key, std::string what)
    : std::runtime_error(file + (key.empty() ? "" : ": " + key) + ": " + what),
      file_(std::move(file)),
      key_(std::move(key)),
      whatWrong_(std::move(what)) {}

const std::vector<CaseKey>& caseKeys() {
  static const std::vector<CaseKey> keys = buildKeys();
  return keys;
}

std::optional<std::size_t> findKey(std::string_view path) {
  const auto& keys = caseKeys();
  for (std::size_t k = 0; k < keys.size(); ++k)
    if (keys[k].path == path) return k;
  return std::nullopt;
}

const CaseKey& caseKey(std::size_t key) {
  return caseKeys().at(key);
}

bool isNumericKey(std::size_t key) {
  const KeyKind kind = caseKey(key).kind;
  return kind == KeyKind::Field || kind == KeyKind::Tuning || kind == KeyKind::Passes;
}

const std::optional<std::string>& Case::value(std::string_view path) const {
  static const std::optional<std::string> none;
  const auto k = findKey(path);
  return k ? values[*k] : none;
}

void Case::set(std::string_view path, std::string text) {
  const auto k = findKey(path);
  if (!k) throw std::logic_error("no case key " + std::string(path));
  values[*k] = std::move(text);
}

std::string Case::inputText(std::size_t key) const {
  if (values[key]) return *values[key];
  const CaseKey& info = caseKey(key);
  switch (info.kind) {
    case KeyKind::Field: {
      // "properties": "table" empties the four property fields of its side.
      const std::string path(info.path);
      const std::string side = path.substr(0, path.find('.'));
      const std::string_view name = info.path.substr(side.size() + 1);
      if (std::find(kPropertyNames.begin(), kPropertyNames.end(), name) != kPropertyNames.end() &&
          value(side + ".properties"))
        return {};
      return std::string(fieldInfo(info.field).defaultText);
    }
    case KeyKind::Tuning:
    case KeyKind::Passes:
      return std::string(
          findDialogField(info.kind == KeyKind::Tuning ? DialogKind::Tuning : DialogKind::PassCount,
                          info.control)
              ->defaultText);
    default:
      return {};
  }
}

std::string numberText(double value) {
  char buffer[64];
  const bool plain = value == 0 || (std::fabs(value) >= 1e-6 && std::fabs(value) < 1e15);
  const auto result =
      plain ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
            : std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::vector<Case> parseCases(std::string_view text, const std::string& file) {
  json document;
  try {
    DuplicateKeyGuard guard(file);
    document = json::parse(text.begin(), text.end(), std::ref(guard), true, false);
  } catch (const json::parse_error& e) {
    std::string what = e.what();
    if (const auto close = what.find("] ");
        what.starts_with("[json.exception") && close != std::string::npos)
      what = what.substr(close + 2);
    throw CaseError(file, "", "malformed JSON: " + what);
  }
  const Parser parser{file};
  std::vector<Case> cases;
  auto label = [&](Case& c, std::size_t index, const std::string& base) {
    if (c.name.empty())
      c.name = (base.empty() ? stem(file) : base) + " #" + std::to_string(index + 1);
  };
  if (document.is_array()) {
    if (document.empty()) parser.fail("(top level)", "the list of cases is empty");
    for (std::size_t k = 0; k < document.size(); ++k) {
      const std::string where = std::string("[").append(std::to_string(k)).append("]");
      cases.push_back(parser.parseCase(document[k], where, false));
      label(cases.back(), k, "");
    }
    return cases;
  }
  Case base = parser.parseCase(document, "", true);
  if (!document.contains("cases")) {
    if (base.name.empty()) base.name = stem(file);
    cases.push_back(std::move(base));
    return cases;
  }
  const json& list = document.at("cases");
  if (!list.is_array())
    parser.fail("cases", std::string("expected a list of load cases, not ") + list.type_name());
  if (list.empty()) parser.fail("cases", "the list of load cases is empty");
  for (std::size_t k = 0; k < list.size(); ++k) {
    Case over = parser.parseCase(list[k], "cases[" + std::to_string(k) + "]", false);
    cases.push_back(merged(base, over));
    label(cases.back(), k, base.name);
  }
  return cases;
}

std::vector<Case> loadCases(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw CaseError(path, "",
                    std::string("cannot open the case file (") + std::strerror(errno) + ")");
  std::ostringstream text;
  text << in.rdbuf();
  return parseCases(text.str(), path);
}

DialogOutcome CaseUserInterface::showModal(DialogForm& dialog) {
  if (case_ && dialog.kind() == DialogKind::PassCount) {
    for (std::size_t k = 0; k < caseKeys().size(); ++k) {
      const CaseKey& keyInfo = caseKey(k);
      if (keyInfo.kind == KeyKind::Passes && case_->values[k])
        *dialog.find(keyInfo.control) = *case_->values[k];
    }
  }
  return DialogOutcome::Ok;
}

void typeCase(MainWindow& window, const Case& c) {
  static const std::array<FieldId, 4> flueGasProperties = {FieldId::Text11, FieldId::Text12,
                                                           FieldId::Text14, FieldId::Text13};
  static const std::array<FieldId, 4> airProperties = {FieldId::Text4, FieldId::Text5,
                                                       FieldId::Text7, FieldId::Text6};
  const auto& keys = caseKeys();
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (!c.values[k]) continue;
    const CaseKey& keyInfo = keys[k];
    switch (keyInfo.kind) {
      case KeyKind::Properties:
        for (FieldId id : keyInfo.flueGasSide ? flueGasProperties : airProperties)
          window.setText(id, "");
        break;
      case KeyKind::Field:
        window.setText(keyInfo.field, *c.values[k]);
        break;
      case KeyKind::Tuning:
        *window.ensureDialog(DialogKind::Tuning).find(keyInfo.control) = *c.values[k];
        break;
      default:
        break;  // buttons and pass counts wait for calculateCase
    }
  }
}

void enterCase(MainWindow& window, const Case& c, CaseUserInterface& ui) {
  ui.setCase(&c);
  static const std::size_t flowModeKey = *findKey("flow_mode");
  static const std::size_t arrangementKey = *findKey("arrangement");
  // The flow-mode button first, then the arrangement: the button whose key value the case names.
  for (const std::size_t key : {flowModeKey, arrangementKey}) {
    if (const auto& value = c.values[key]) {
      for (const OptionInfo& option : kOptions)
        if (isArrangement(option.id) == (key == arrangementKey) && option.key == *value)
          window.clickOption(option.id, ui);
    }
  }
}

void calculateCase(MainWindow& window, const Case& c, CaseUserInterface& ui) {
  enterCase(window, c, ui);
  window.Command3_Click(ui);
}

RunStatus runStatus(const MainWindow& window, const CaseUserInterface& ui) {
  RunStatus status;
  for (const MessageBoxRequest& m : ui.messages) status.messages.push_back(m.text);
  status.completed = status.messages.empty() && window.rating().completed();
  return status;
}

CaseRun rateCase(const Case& c) {
  CaseRun run;
  CaseUserInterface ui(&c);
  typeCase(run.window, c);
  calculateCase(run.window, c, ui);
  run.status = runStatus(run.window, ui);
  return run;
}

}  // namespace aph::study
