#include "study/case_input/case_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "engine/properties.hpp"
#include "model/text.hpp"
#include "study/case_input/case_table.hpp"
#include "study/checks/design_checks.hpp"
#include "study/checks/ranges.hpp"
#include "study/io/files.hpp"

namespace aph::study {
namespace {

using nlohmann::json;

// The keys of one side's fields ("flue_gas.", "air.", "plate."), in the window's reading order.
void addFieldKeys(std::vector<CaseKey>& keys, std::string_view prefix) {
  for (const FieldInfo& info : kFields)
    if (info.key.starts_with(prefix))
      keys.push_back({info.key, KeyKind::Field, info.quantity, {}, info.unit, info.caption, false});
}

void addDialogKeys(std::vector<CaseKey>& keys, DialogKind dialog, KeyKind kind) {
  for (const DialogFieldInfo& info : kDialogFields)
    if (info.dialog == dialog)
      keys.push_back({info.key, kind, {}, info.quantity, {}, info.caption, false});
}

// Every key in the order a case is applied: the buttons, then each side with its property
// choice first, the plate, and the two dialogs.
std::vector<CaseKey> buildKeys() {
  std::vector<CaseKey> keys = {
      {"arrangement", KeyKind::Arrangement, {}, {}, {}, "流动形式", false},
      {"flow_mode", KeyKind::FlowMode, {}, {}, {}, "流量给定", false},
      {"flue_gas.properties", KeyKind::Properties, {}, {}, {}, "物性参数", true},
  };
  addFieldKeys(keys, "flue_gas.");
  keys.push_back({"air.properties", KeyKind::Properties, {}, {}, {}, "物性参数", false});
  addFieldKeys(keys, "air.");
  addFieldKeys(keys, "plate.");
  addDialogKeys(keys, DialogKind::PassCount, KeyKind::Passes);
  addDialogKeys(keys, DialogKind::Tuning, KeyKind::Tuning);
  // What the design checks read: the flue gas's acid dew point, or its composition and pressure,
  // and the margin the cold end must keep above the acid dew point.
  for (const CheckKeyInfo& info : kCheckKeys)
    keys.push_back({info.path, KeyKind::Check, {}, {}, info.unit, info.caption, false});
  return keys;
}

// The values of the two button keys, in the order of their options.
std::vector<std::string_view> optionKeys(bool arrangement) {
  std::vector<std::string_view> values;
  for (const OptionInfo& option : kOptions)
    if (isArrangement(option.id) == arrangement) values.push_back(option.key);
  return values;
}

constexpr std::array<std::string_view, 6> kGroups = {"flue_gas", "air",     "plate",
                                                     "passes",   "factors", "limits"};

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

// "unknown key; did you mean "inlet_temperature"?" or the list of keys the place knows; the
// key meant, or nothing, into `meant`.
std::string unknownKey(std::string_view name, const std::vector<std::string>& known,
                       std::string& meant) {
  std::string best;
  std::size_t bestDistance = 4;
  for (const std::string& k : known) {
    // The lengths alone already part them by the distance to beat: no need to measure.
    const std::size_t apart =
        name.size() > k.size() ? name.size() - k.size() : k.size() - name.size();
    if (apart >= bestDistance) continue;
    const std::size_t d = editDistance(name, k);
    if (d < bestDistance) {
      bestDistance = d;
      best = k;
    }
  }
  meant = best;
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

// The first control character of a text (C0, DEL or C1), if any.
std::optional<char32_t> controlCharacter(std::string_view text) {
  for (std::size_t k = 0; k < text.size(); ++k) {
    const auto c = static_cast<unsigned char>(text[k]);
    if (c < 0x20 || c == 0x7F) return c;
    if (c == 0xC2 && k + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[k + 1]);
      if (next >= 0x80 && next <= 0x9F) return next;
    }
  }
  return std::nullopt;
}

using Kind = CaseFault::Kind;
using Expected = CaseFault::Expected;

CaseFault wrongType(Expected expected) {
  CaseFault fault(Kind::WrongType);
  fault.expected = expected;
  return fault;
}

CaseFault faultAt(Kind kind, std::size_t offset) {
  CaseFault fault(kind);
  fault.offset = offset;
  return fault;
}

CaseFault notAChoice(const auto& allowed) {
  CaseFault fault(Kind::NotAChoice);
  for (const auto& value : allowed) fault.choices.emplace_back(value);
  return fault;
}

struct Parser {
  const std::string& file;
  const ReadOptions& options;

  [[noreturn]] void fail(const std::string& key, const std::string& what, CaseFault fault) const {
    throw CaseError(file, key, what, std::move(fault));
  }

  [[noreturn]] void unknown(const std::string& key, std::string_view name,
                            const std::vector<std::string>& known) const {
    CaseFault fault(Kind::UnknownKey);
    const std::string what = unknownKey(name, known, fault.other);
    fail(key, what, std::move(fault));
  }

  // A field value: a number goes in as its text, a text as typed.
  std::string fieldText(const json& value, const std::string& key) const {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_integer()) return std::to_string(value.get<std::int64_t>());
    if (value.is_number_unsigned()) return std::to_string(value.get<std::uint64_t>());
    if (value.is_number_float()) return numberText(value.get<double>());
    fail(key, std::string("expected a number or a text, not ") + value.type_name(),
         wrongType(Expected::NumberOrText));
  }

  std::string choice(const json& value, const std::string& key,
                     const std::vector<std::string_view>& allowed) const {
    if (!value.is_string())
      fail(key, "expected " + quotedList(allowed) + ", not " + value.type_name(),
           notAChoice(allowed));
    const std::string text = value.get<std::string>();
    if (std::find(allowed.begin(), allowed.end(), text) == allowed.end())
      fail(key, "\"" + shortened(text) + "\" is not one of " + quotedList(allowed),
           notAChoice(allowed));
    return text;
  }

  // The batch tool's ranges, on a case as it goes into the window. The key is named where the
  // file gives it: in the load case `over` (at `prefix`), or among the shared keys.
  void checkRanges(const Case& c, const std::string& prefix, const Case* over) const {
    // The design checks' inputs are no fields of the window: checked whatever the options.
    if (const auto fault = checkInputsFault(c)) {
      const bool shared = over && !over->value(fault->first) && c.value(fault->first);
      fail(joinPath(shared ? "" : prefix, fault->first), fault->second,
           CaseFault(Kind::NeedsKey, {}, std::string(kWaterVapourKey)));
    }
    if (options.asTyped) return;
    const auto fault = rangeFault(c, {}, false, over);
    if (!fault) return;
    const bool shared = over && !over->values[fault->key] && c.values[fault->key];
    fail(joinPath(shared ? "" : prefix, caseKey(fault->key).path), fault->message,
         CaseFault(Kind::OutOfRange));
  }

  // One case object; `prefix` is where it stands in the file ("" or "cases[2]").
  // `topLevel` allows the keys that only the outermost object may hold.
  Case parseCase(const json& object, const std::string& prefix, bool topLevel) const {
    Case c;
    c.file = file;
    if (!object.is_object())
      fail(prefix.empty() ? std::string(kTopLevelKey) : prefix,
           std::string("expected an object of case keys, not ") + object.type_name(),
           CaseFault(Kind::NotACase));
    for (const auto& [name, value] : object.items()) {
      const std::string key = joinPath(prefix, shortened(name));
      if (name == "name") {
        if (!value.is_string())
          fail(key, std::string("expected a text, not ") + value.type_name(),
               wrongType(Expected::Text));
        c.name = value.get<std::string>();
        if (const auto control = controlCharacter(c.name); control && !options.asTyped) {
          char code[16];
          std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(*control));
          fail(key,
               std::string("holds a control character (") + code +
                   "); a name is one line of printable text",
               CaseFault(Kind::ControlCharacter, code));
        }
      } else if (name == "description" || (topLevel && name == "saved")) {
        // Not read: a free text, and when the window saved the file.
        if (!value.is_string())
          fail(key, std::string("expected a text, not ") + value.type_name(),
               wrongType(Expected::Text));
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
        unknown(key, name, known);
      }
    }
    if (c.value(kAcidDewPointKey) && c.value(kSulphurTrioxideKey))
      fail(joinPath(prefix, kAcidDewPointKey),
           std::string("cannot be given together with \"") + std::string(kSulphurTrioxideKey) +
               "\" (the acid dew point is then computed from the flue gas's composition)",
           CaseFault(Kind::GivenTogether, {}, std::string(kSulphurTrioxideKey)));
    for (const bool flueGas : {true, false}) {
      const std::string side = flueGas ? "flue_gas" : "air";
      const auto& table = c.value(side + ".properties");
      if (!table) continue;
      for (std::string_view p : kPropertyNames) {
        const std::string path = side + "." + std::string(p);
        if (c.value(path))
          fail(joinPath(prefix, path),
               "cannot be given together with \"" + side + ".properties\": \"" + *table +
                   "\" (the table supplies it)",
               CaseFault(Kind::GivenTogether, {}, side + ".properties"));
      }
    }
    return c;
  }

  void parseGroup(Case& c, const std::string& group, const json& value,
                  const std::string& key) const {
    if (!value.is_object())
      fail(key, std::string("expected an object, not ") + value.type_name(),
           wrongType(Expected::Object));
    for (const auto& [name, item] : value.items()) {
      const std::string path = group + "." + name;
      const std::string itemKey = key + "." + shortened(name);
      const auto k = findKey(path);
      if (!k) {
        std::vector<std::string> known;
        for (const CaseKey& keyInfo : caseKeys())
          if (keyInfo.path.starts_with(group + "."))
            known.emplace_back(keyInfo.path.substr(group.size() + 1));
        unknown(itemKey, name, known);
      }
      if (caseKey(*k).kind == KeyKind::Check) {
        // Not a field of the window: a number, held to its physical range whatever the options.
        if (!item.is_number())
          fail(itemKey, std::string("expected a number, not ") + item.type_name(),
               wrongType(Expected::Number));
        const double number = item.get<double>();
        if (const auto wrong = checkInputFault(path, number))
          fail(itemKey, *wrong, CaseFault(Kind::CheckOutOfRange, numberText(number), path));
        c.set(path, fieldText(item, itemKey));
      } else if (caseKey(*k).kind == KeyKind::Properties) {
        // The air has the window's table only; the flue gas the standard table besides.
        const bool flueGas = caseKey(*k).flueGasSide;
        const std::string allowed = flueGas ? R"("table" or "standard-table")" : R"("table")";
        const std::vector<std::string_view> tables =
            flueGas ? std::vector{kWindowTable, kStandardTable} : std::vector{kWindowTable};
        if (!item.is_string())
          fail(itemKey, "expected " + allowed + ", not " + item.type_name(), notAChoice(tables));
        const std::string text = item.get<std::string>();
        if (!flueGas && text == kStandardTable)
          fail(itemKey,
               "\"standard-table\" is a flue-gas table; the air's properties come from the "
               "window's air table (\"table\") or from the four property values",
               CaseFault(Kind::AirStandardTable));
        if (text != kWindowTable && text != kStandardTable)
          fail(itemKey,
               "\"" + shortened(text) + "\" is not " + allowed +
                   " (give the four property values instead)",
               notAChoice(tables));
        c.set(path, text);
      } else {
        c.set(path, fieldText(item, itemKey));
      }
    }
  }
};

// Reads a case file's JSON event by event, so that a file of many load cases never stands in
// memory as a whole: the shared keys are kept, the load cases are built one at a time. Every
// value kept is bounded (nesting, keys per object, items per list), far beyond what a valid
// file holds, so that a hostile file cannot make it large; what is cut is an error anyway.
//
// Two readings of the same text: the first checks the syntax and the duplicate keys of the
// whole file and keeps the shared keys; the second builds each load case in turn.
class CaseScanner {
 public:
  enum class Pass { Structure, Cases };
  using CaseVisitor = std::function<void(json&, std::size_t)>;

  CaseScanner(const std::string& file, Pass pass, CaseVisitor visit = {})
      : file_(file), pass_(pass), visit_(std::move(visit)) {}

  // The document without the elements of its list of cases (Structure pass).
  json document;
  bool rootIsList = false;    // the document is a list of cases
  bool hasCaseList = false;   // the document is an object with a "cases" list
  std::size_t caseCount = 0;  // elements of the list of cases

  // The SAX interface of the JSON reader.
  bool null() { return scalar(json(nullptr)); }
  bool boolean(bool v) { return scalar(json(v)); }
  bool number_integer(json::number_integer_t v) { return scalar(json(v)); }
  bool number_unsigned(json::number_unsigned_t v) { return scalar(json(v)); }
  bool number_float(json::number_float_t v, const std::string&) { return scalar(json(v)); }
  bool string(std::string& v) { return scalar(json(std::move(v))); }
  bool binary(json::binary_t&) { return scalar(json(nullptr)); }
  bool start_object(std::size_t) { return open(false); }
  bool start_array(std::size_t) { return open(true); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool key(std::string& name) {
    Frame& f = frames_.back();
    f.key = name;
    if (pass_ == Pass::Structure && f.keys.size() < kMaxKeys && !f.keys.insert(name).second)
      throw CaseError(file_, path(), "key given twice", CaseFault(Kind::DuplicateKey));
    return true;
  }
  // `position` counts the bytes read, the one the reader stumbled on included.
  bool parse_error(std::size_t position, const std::string& token,
                   const nlohmann::detail::exception& e) {
    if (e.id == 406)  // a number beyond the range of a double
      throw CaseError(
          file_, path(),
          "the number " + shortened(token) + " is beyond what a double holds (±1.8e308)",
          CaseFault(Kind::NumberTooLarge, shortened(token)));
    std::string what = e.what();
    if (const auto close = what.find("] ");
        what.starts_with("[json.exception") && close != std::string::npos)
      what = what.substr(close + 2);
    throw CaseError(file_, "", "malformed JSON: " + shortened(what, 300),
                    faultAt(Kind::NotJson, position > 0 ? position - 1 : 0));
  }

 private:
  static constexpr std::size_t kMaxKeys = 64;   // keys kept per object
  static constexpr std::size_t kMaxItems = 64;  // items kept per list (but the list of cases)
  static constexpr std::size_t kMaxDepth = 8;   // nesting kept

  struct Frame {
    bool array = false;
    bool caseList = false;
    std::size_t index = 0;
    std::string key;
    std::set<std::string> keys;
    json* target = nullptr;  // the value being kept, or null
  };

  // Where a new value goes: into the kept parent, as a new load case, or nowhere.
  json* place(json value) {
    if (frames_.empty()) {
      document = std::move(value);
      return &document;
    }
    Frame& parent = frames_.back();
    if (parent.caseList) {
      if (pass_ == Pass::Structure) return nullptr;
      current_ = std::move(value);
      return &current_;
    }
    if (!parent.target || frames_.size() > kMaxDepth) return nullptr;
    if (parent.array) {
      if (parent.target->size() >= kMaxItems) return nullptr;
      parent.target->push_back(std::move(value));
      return &parent.target->back();
    }
    if (parent.target->size() >= kMaxKeys) return nullptr;
    json& slot = (*parent.target)[parent.key];
    slot = std::move(value);
    return &slot;
  }

  bool scalar(json value) {
    const bool caseItem = !frames_.empty() && frames_.back().caseList;
    place(std::move(value));
    if (caseItem) finishCase();
    finishValue();
    return true;
  }

  bool open(bool array) {
    Frame f;
    f.array = array;
    // The list of cases: the document itself, or its "cases" list.
    f.caseList = array && (frames_.empty() ||
                           (frames_.size() == 1 && !frames_[0].array && frames_[0].key == "cases"));
    if (f.caseList) {
      (frames_.empty() ? rootIsList : hasCaseList) = true;
      if (frames_.empty()) document = json::array();
    } else {
      f.target = place(array ? json::array() : json::object());
    }
    frames_.push_back(std::move(f));
    return true;
  }

  bool close() {
    const bool caseList = frames_.back().caseList;
    if (caseList) caseCount = frames_.back().index;
    frames_.pop_back();
    if (!caseList && !frames_.empty() && frames_.back().caseList) finishCase();
    finishValue();
    return true;
  }

  void finishCase() {
    if (pass_ == Pass::Cases && visit_) visit_(current_, frames_.back().index);
    current_ = json();
  }

  void finishValue() {
    if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
  }

  std::string path() const {
    std::string out;
    for (const Frame& f : frames_) {
      if (f.array) {
        out += "[" + std::to_string(f.index) + "]";
      } else if (&f == &frames_.back() || !f.key.empty()) {
        out += (out.empty() ? "" : ".") + shortened(f.key);
      }
    }
    return out;
  }

  const std::string& file_;
  Pass pass_;
  CaseVisitor visit_;
  std::vector<Frame> frames_;
  json current_;
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
  // The acid dew point given directly and the composition it is computed from replace each
  // other likewise.
  if (over.value(kAcidDewPointKey)) out.values[*findKey(kSulphurTrioxideKey)].reset();
  if (over.value(kSulphurTrioxideKey)) out.values[*findKey(kAcidDewPointKey)].reset();
  for (std::size_t k = 0; k < over.values.size(); ++k)
    if (over.values[k]) out.values[k] = over.values[k];
  return out;
}

std::string stem(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  for (const std::string_view extension : {".json", ".xlsx", ".xlsm", ".csv"})
    if (name.ends_with(extension)) return name.substr(0, name.size() - extension.size());
  return name;
}

}  // namespace

CaseError::CaseError(std::string file, std::string key, std::string what, CaseFault fault)
    : std::runtime_error(file + (key.empty() ? "" : ": " + key) + ": " + what),
      file_(std::move(file)),
      key_(std::move(key)),
      whatWrong_(std::move(what)),
      fault_(std::move(fault)) {}

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

bool isCheckKey(std::size_t key) {
  return caseKey(key).kind == KeyKind::Check;
}

bool isNumericKey(std::size_t key) {
  const KeyKind kind = caseKey(key).kind;
  return kind == KeyKind::Field || kind == KeyKind::Tuning || kind == KeyKind::Passes;
}

std::optional<std::string> unvariableReason(std::size_t key) {
  if (isCheckKey(key)) return "an input of the design checks, no field of the window";
  if (!isNumericKey(key)) return "not a number";
  return std::nullopt;
}

std::optional<std::string> arrangementIgnores(const Case& c, std::size_t key) {
  const CaseKey& info = caseKey(key);
  const auto& arrangement = c.value("arrangement");
  if (info.kind == KeyKind::Passes && !(arrangement && *arrangement == "multi-pass"))
    return std::string(
        "pass counts are read only by the multi-pass arrangement, which the case "
        "does not select");
  // In counterflow the air runs along the flue-gas channel: its pressure drop takes the flue-gas
  // channel length, and the air channel length enters nothing.
  if (info.path == "air.channel_length" && arrangement && *arrangement == "counterflow")
    return std::string(
        "the counterflow arrangement runs the air along flue_gas.channel_length "
        "and never reads the air channel length");
  return std::nullopt;
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
      // "properties": "table" empties the four property fields of its side, "standard-table"
      // types the standard table's values at the case's temperatures.
      const std::string path(info.path);
      const std::string side = path.substr(0, path.find('.'));
      const std::string_view name = info.path.substr(side.size() + 1);
      const auto property = std::find(kPropertyNames.begin(), kPropertyNames.end(), name);
      if (property != kPropertyNames.end() && value(side + ".properties")) {
        if (side != "flue_gas" || !usesStandardTable(*this)) return {};
        const auto texts = standardTableTexts(inputText(*findKey("flue_gas.inlet_temperature")),
                                              inputText(*findKey("flue_gas.outlet_temperature")));
        return texts ? (*texts)[static_cast<std::size_t>(property - kPropertyNames.begin())]
                     : std::string();
      }
      return std::string(fieldInfo(*info.quantity).defaultText);
    }
    case KeyKind::Tuning:
    case KeyKind::Passes:
      return std::string(dialogFieldInfo(*info.dialogField).defaultText);
    default:
      return {};
  }
}

std::string numberText(double value) {
  const bool plain = value == 0 || (std::fabs(value) >= 1e-6 && std::fabs(value) < 1e15);
  return plain ? formatShortestFixed(value) : formatShortest(value);
}

std::string caseFileLabel(const std::string& path) {
  return path == "-" ? "stdin" : path;
}

std::string readCaseFile(const std::string& path) {
  try {
    return readBounded(path, "case file");
  } catch (const ReadError& e) {
    throw CaseError(caseFileLabel(path), "", e.what());
  }
}

namespace {

std::size_t visitJsonCases(std::string_view text, const std::string& file, const CaseVisitor& visit,
                           const ReadOptions& options) {
  // Told before the JSON reader can quote the bytes it stumbles on.
  if (const auto reason = notUtf8Reason(text))
    throw CaseError(file, "", *reason, faultAt(CaseFault::Kind::NotUtf8, *firstNonUtf8Byte(text)));
  CaseScanner structure(file, CaseScanner::Pass::Structure);
  json::sax_parse(text.begin(), text.end(), &structure);
  const Parser parser{file, options};
  auto label = [&](Case& c, std::size_t index, const std::string& base) {
    if (c.name.empty())
      c.name = (base.empty() ? stem(file) : base) + " #" + std::to_string(index + 1);
  };
  std::size_t count = 0;
  if (structure.rootIsList) {
    if (structure.caseCount == 0)
      parser.fail(std::string(kTopLevelKey), "the list of cases is empty",
                  CaseFault(CaseFault::Kind::NoCases));
    CaseScanner cases(file, CaseScanner::Pass::Cases, [&](json& value, std::size_t k) {
      const std::string where = std::string("[").append(std::to_string(k)).append("]");
      Case c = parser.parseCase(value, where, false);
      label(c, k, "");
      parser.checkRanges(c, where, nullptr);
      ++count;
      if (visit) visit(std::move(c));
    });
    json::sax_parse(text.begin(), text.end(), &cases);
    return count;
  }
  Case base = parser.parseCase(structure.document, "", true);
  if (!structure.hasCaseList) {
    if (structure.document.contains("cases")) {
      const json& list = structure.document.at("cases");
      parser.fail("cases", std::string("expected a list of load cases, not ") + list.type_name(),
                  wrongType(CaseFault::Expected::CaseList));
    }
    if (base.name.empty()) base.name = stem(file);
    parser.checkRanges(base, "", nullptr);
    if (visit) visit(std::move(base));
    return 1;
  }
  if (structure.caseCount == 0)
    parser.fail("cases", "the list of load cases is empty", CaseFault(CaseFault::Kind::NoCases));
  CaseScanner cases(file, CaseScanner::Pass::Cases, [&](json& value, std::size_t k) {
    const std::string where = "cases[" + std::to_string(k) + "]";
    const Case over = parser.parseCase(value, where, false);
    Case c = merged(base, over);
    label(c, k, base.name);
    parser.checkRanges(c, where, &over);
    ++count;
    if (visit) visit(std::move(c));
  });
  json::sax_parse(text.begin(), text.end(), &cases);
  return count;
}

}  // namespace

std::size_t visitCases(std::string_view text, const std::string& file, const CaseVisitor& visit,
                       const ReadOptions& options) {
  const auto table = caseTableFormat(text, file);
  if (!table) return visitJsonCases(text, file, visit, options);
  // A spreadsheet is read as the JSON case file its rows stand for; a fault is told at its cell.
  const TableCases cases = readCaseTable(text, file, *table);
  CaseVisitor marked;
  if (visit)
    marked = [&](Case&& c) {
      c.encoding = cases.encoding;
      visit(std::move(c));
    };
  try {
    return visitJsonCases(cases.json, file, marked, options);
  } catch (const CaseError& fault) {
    throw cases.located(fault);
  }
}

std::string unknownKeyReason(std::string_view name, const std::vector<std::string>& known,
                             std::string* meant) {
  std::string near;
  std::string reason = unknownKey(name, known, near);
  if (meant) *meant = std::move(near);
  return reason;
}

std::vector<Case> parseCases(std::string_view text, const std::string& file,
                             const ReadOptions& options) {
  std::vector<Case> cases;
  visitCases(
      text, file, [&](Case&& c) { cases.push_back(std::move(c)); }, options);
  return cases;
}

std::vector<Case> loadCases(const std::string& path, const ReadOptions& options) {
  return parseCases(readCaseFile(path), caseFileLabel(path), options);
}

DialogOutcome CaseUserInterface::showModal(DialogForm& dialog) {
  if (case_ && dialog.kind() == DialogKind::PassCount) {
    for (std::size_t k = 0; k < caseKeys().size(); ++k) {
      const CaseKey& keyInfo = caseKey(k);
      if (keyInfo.kind == KeyKind::Passes && case_->values[k])
        *dialog.find(*keyInfo.dialogField) = *case_->values[k];
    }
  }
  return DialogOutcome::Ok;
}

bool usesStandardTable(const Case& c) {
  const auto& table = c.value("flue_gas.properties");
  return table && *table == kStandardTable;
}

std::optional<std::array<std::string, 4>> standardTableTexts(std::string_view inletText,
                                                             std::string_view outletText) {
  const auto mean = propertyMeanTemperature(inletText, outletText);
  if (!mean) return std::nullopt;
  const auto p = standardFlueGasPropertiesAt(*mean);
  if (!p) return std::nullopt;
  // As the window writes the values of its own table: plain number text.
  return std::array<std::string, 4>{formatPlain(p->density), formatPlain(p->specificHeat),
                                    formatPlain(p->conductivity), formatPlain(p->dynamicViscosity)};
}

void typeCase(MainWindow& window, const Case& c) {
  using Q = Quantity;
  static constexpr std::array<Quantity, 4> flueGasProperties = {
      Q::FlueGasDensity, Q::FlueGasSpecificHeat, Q::FlueGasConductivity, Q::FlueGasViscosity};
  static constexpr std::array<Quantity, 4> airProperties = {Q::AirDensity, Q::AirSpecificHeat,
                                                            Q::AirConductivity, Q::AirViscosity};
  const auto& keys = caseKeys();
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (!c.values[k]) continue;
    const CaseKey& keyInfo = keys[k];
    switch (keyInfo.kind) {
      case KeyKind::Properties:
        for (Quantity q : keyInfo.flueGasSide ? flueGasProperties : airProperties)
          window.setText(q, "");
        break;
      case KeyKind::Field:
        window.setText(*keyInfo.quantity, *c.values[k]);
        break;
      case KeyKind::Tuning:
        window.setDialogText(*keyInfo.dialogField, *c.values[k]);
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
  // The standard table at the temperatures as they stand now, after every key was typed: a
  // sweep or a search types its own temperatures over the case's.
  if (usesStandardTable(c)) {
    const auto texts = standardTableTexts(window.text(Quantity::FlueGasInletTemperature),
                                          window.text(Quantity::FlueGasOutletTemperature));
    const std::array<Quantity, 4> fields = {Quantity::FlueGasDensity, Quantity::FlueGasSpecificHeat,
                                            Quantity::FlueGasConductivity,
                                            Quantity::FlueGasViscosity};
    for (std::size_t k = 0; k < fields.size(); ++k)
      window.setText(fields[k], texts ? (*texts)[k] : std::string());
  }
  // The flow-mode button first, then the arrangement: the button whose key value the case names.
  if (const auto& value = c.values[flowModeKey]) {
    for (const FlowMode mode : {FlowMode::Volume, FlowMode::Mass})
      if (optionInfo(mode).key == *value) window.choose(mode, ui);
  }
  if (const auto& value = c.values[arrangementKey]) {
    for (const Arrangement a :
         {Arrangement::Counterflow, Arrangement::Crossflow, Arrangement::MultiPass})
      if (optionInfo(a).key == *value) window.choose(a, ui);
  }
}

void calculateCase(MainWindow& window, const Case& c, CaseUserInterface& ui) {
  enterCase(window, c, ui);
  window.press(Button::Calculate, ui);
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
