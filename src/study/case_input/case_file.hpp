// src/study: engineering studies on the window's own calculation (case files, rating lists,
// sweeps, sizing, chart data), reading the typed result of each run; no Qt.
//
// Case files: an exchanger and its operating point described by keys an engineer reads, each one
// standing for a field of the main window or of its dialogs. A case goes into a freshly loaded
// window exactly as a person would type it: texts first, then the flow-mode and arrangement
// buttons (the multi-pass button asks for the pass counts), then "热力计算".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/window.hpp"

namespace aph::study {

// What a case-file key stands for.
enum class KeyKind : std::uint8_t {
  Field,        // a text field or list of the main window
  Tuning,       // a factor of the tuning dialog
  Passes,       // a pass count of the pass-count dialog
  Properties,   // "table": empties the four property fields of a side, so that the window's
                // tables supply them; "standard-table" (flue gas only): types the standard
                // flue-gas table's values into them at the temperatures of each run
  Arrangement,  // counterflow, crossflow, multi-pass
  FlowMode,     // volume or mass flows
  Check,  // an input of the batch tool's design checks (study/checks/design_checks): no field of
          // the window, never typed in
};

struct CaseKey {
  std::string_view path;  // dotted: "air.channel_gap"
  KeyKind kind;
  std::optional<Quantity> quantity;           // Field: what the field holds
  std::optional<DialogQuantity> dialogField;  // Tuning, Passes: the dialog's field
  std::string_view unit;                      // as the window's caption states it; empty: none
  std::string_view caption;                   // the caption beside the field
  bool flueGasSide = false;                   // Properties
};

// The values of a side's "properties" key.
inline constexpr std::string_view kWindowTable = "table";
inline constexpr std::string_view kStandardTable = "standard-table";

// Every key of the format, in the order a case is applied.
const std::vector<CaseKey>& caseKeys();
std::optional<std::size_t> findKey(std::string_view path);
const CaseKey& caseKey(std::size_t key);
// Keys whose value is a number typed into a field: the ones a sweep can vary.
bool isNumericKey(std::size_t key);
// Keys the design checks read (dew points, the required dew-point margin): numbers, never typed.
bool isCheckKey(std::size_t key);
// Why a key cannot be varied by a sweep, a sizing or a goal seek whatever the case ("an input of
// the design checks, no field of the window", "not a number"), or nothing.
std::optional<std::string> unvariableReason(std::size_t key);

// The key of a fault in the file as a whole (a file that is no case, an empty list of cases).
inline constexpr std::string_view kTopLevelKey = "(top level)";

// What kind of fault a case file has and what it names beside its key, for a reader that words
// it in a language of its own (the window speaks Chinese; the batch tool's words are the
// error's `what`).
struct CaseFault {
  enum class Kind : std::uint8_t {
    Unreadable,        // the file could not be read (the reason is the error's `what`)
    NotUtf8,           // offset: the first byte that is not UTF-8; other: "GB18030" when the
                       // text is no GB18030 text either (a CSV table)
    NotJson,           // offset: where the JSON breaks off (at the end: it is cut short)
    DuplicateKey,      // the key stands twice in one object; other: where else (a table's cell)
    NumberTooLarge,    // value: the number, beyond what a double holds
    NotACase,          // a case is not an object of case keys
    NoCases,           // the list of (load) cases is empty; a table: no row below its keys
    WrongType,         // expected: what the key takes; value: "date" for a table's date cell
    NotAChoice,        // choices: the values the key takes
    UnknownKey,        // other: the key meant, when one is near
    ControlCharacter,  // value: the character, "U+0009"
    GivenTogether,     // other: the key it cannot stand beside
    NeedsKey,          // other: the key it needs
    AirStandardTable,  // the standard table holds flue gas only
    CheckOutOfRange,   // value: the number; other: the key's path (its range: design_checks)
    OutOfRange,        // a range of the batch tool (never when read as typed)
    InWindowWords,     // the error's `what` is already told as the window tells it
    // A case table's own faults (study/case_table).
    NoKeyRow,         // value: the row that came nearest, if any
    ValueWithoutKey,  // a cell in a column without a key; value: the row of keys
    MergedCells,      // value: the block, "B4:C4"
    ErrorValue,       // value: the spreadsheet's error value, "#DIV/0!"
    UncachedFormula,  // a formula whose result the file does not hold
    BrokenQuotes,     // a CSV cell's quotes do not pair
    TableTooLarge,    // beyond a reader's bounds on rows, cells or unpacked bytes
    DamagedWorkbook,  // the workbook's parts contradict themselves or are no readable XML
    NotAWorkbook,     // value: what the file is instead: "xls", "xlsb", "ods", "utf-16",
                      // "encrypted", "chart sheet", "no sheet", or empty for anything else
  };
  enum class Expected : std::uint8_t { NumberOrText, Text, Number, Object, CaseList };

  explicit CaseFault(Kind what = Kind::Unreadable, std::string named = {}, std::string besides = {})
      : kind(what), value(std::move(named)), other(std::move(besides)) {}

  Kind kind = Kind::Unreadable;
  Expected expected = Expected::NumberOrText;  // WrongType
  std::string value;
  std::string other;
  std::vector<std::string> choices;
  std::size_t offset = 0;  // NotUtf8, NotJson: bytes from the start of the text
};

// A case-file fault: the file, the key (dotted, with the case index of a list), what is wrong,
// and its kind.
class CaseError : public std::runtime_error {
 public:
  CaseError(std::string file, std::string key, std::string what, CaseFault fault = CaseFault());
  const std::string& file() const { return file_; }
  const std::string& key() const { return key_; }
  const std::string& what_wrong() const { return whatWrong_; }
  const CaseFault& fault() const { return fault_; }

 private:
  std::string file_, key_, whatWrong_;
  CaseFault fault_;
};

// One operating point of one exchanger. Each key holds the text it puts into the window, or
// nothing when the case leaves the window's default.
struct Case {
  std::string file;
  std::string name;
  // Of a case read from a CSV text: the encoding its bytes were found in ("GB18030"); else empty.
  std::string encoding;
  std::vector<std::optional<std::string>> values =
      std::vector<std::optional<std::string>>(caseKeys().size());

  const std::optional<std::string>& value(std::string_view path) const;
  void set(std::string_view path, std::string text);
  // The text a numeric key's field or dialog field holds once the case is typed in: the case's
  // own, or the window's default (emptied for a side whose properties come from the table).
  std::string inputText(std::size_t key) const;
};

// Why the calculation never reads a key in the arrangement a case selects (pass counts without
// the multi-pass arrangement; the air channel length in counterflow, where the air runs along the
// flue-gas channel), or nothing. Varying such a key gives the same rating at every value.
std::optional<std::string> arrangementIgnores(const Case& c, std::size_t key);

// How a case file is read.
struct ReadOptions {
  // Every value goes into the window as given, as the window itself would take it: no range
  // checks, any name. Off, the batch tool refuses what no engineer could mean
  // (study/checks/ranges).
  bool asTyped = false;
};

// Reads a case file: one case, an object of shared keys with a "cases" list of load cases that
// override them, or a list of cases; or a spreadsheet of load cases, an .xlsx workbook or a CSV
// text (study/case_table), told by its first bytes or its name, each fault named by its cell.
// "-" reads standard input. Throws CaseError.
std::vector<Case> loadCases(const std::string& path, const ReadOptions& options = {});
// The same from the text of a file (`file` names it in errors).
std::vector<Case> parseCases(std::string_view json, const std::string& file,
                             const ReadOptions& options = {});

// The text of a case file: a regular file of at most 64 MiB, or standard input for "-"; anything
// else is refused before it is read. Throws CaseError.
std::string readCaseFile(const std::string& path);
// The name a case file goes by in messages and results: its path, "stdin" for "-".
std::string caseFileLabel(const std::string& path);

// Streams the cases of a file's text: the whole text is read once for its syntax and shared keys,
// then each load case is built, checked and handed to `visit` in turn, so that memory does not
// grow with the number of cases. A fault throws CaseError; one in a load case after others were
// visited, so call it once without a visitor to refuse a faulty file before doing anything.
// Returns the number of cases.
using CaseVisitor = std::function<void(Case&&)>;
std::size_t visitCases(std::string_view json, const std::string& file, const CaseVisitor& visit,
                       const ReadOptions& options = {});

// Why a key is not one of `known`: "unknown key; did you mean "inlet_temperature"?" for a near
// miss, else the list of the keys known there; the key meant, or nothing, into `meant`.
std::string unknownKeyReason(std::string_view name, const std::vector<std::string>& known,
                             std::string* meant = nullptr);

// The text a JSON number goes into a field as: whole numbers without a point, others as the
// shortest text that reads back as the same double.
std::string numberText(double value);

// The pass-count dialog answered with a case's counts; every message box recorded.
class CaseUserInterface : public UserInterface {
 public:
  explicit CaseUserInterface(const Case* c = nullptr) : case_(c) {}
  void setCase(const Case* c) { case_ = c; }
  void showMessage(const MessageBoxRequest& message) override { messages.push_back(message); }
  DialogOutcome showModal(DialogForm& dialog) override;
  std::optional<ChosenFile> chooseFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::size_t> chooseFromList(const ListChoiceRequest&) override { return {}; }

  std::vector<MessageBoxRequest> messages;

 private:
  const Case* case_;
};

// Whether the case takes the flue-gas properties from the standard flue-gas table.
bool usesStandardTable(const Case& c);
// The texts "standard-table" types into the flue-gas property fields (density, specific heat,
// conductivity, viscosity) for these texts of the flue-gas temperature fields: the standard
// table at the mean temperature the window's procedure forms from them. Empty where the table
// holds none: the fields are then left empty, and the window's own procedure tells the mean
// outside its table, which spans the same range.
std::optional<std::array<std::string, 4>> standardTableTexts(std::string_view inletText,
                                                             std::string_view outletText);

// Types the case's texts into the window and its tuning dialog (no button is pressed).
void typeCase(MainWindow& window, const Case& c);
// Types the standard table's flue-gas properties at the temperatures the window now holds, when
// the case asks for them, then presses the flow-mode and arrangement buttons the case selects
// (the multi-pass button's pass-count dialog answered from the case).
void enterCase(MainWindow& window, const Case& c, CaseUserInterface& ui);
// enterCase, then "热力计算".
void calculateCase(MainWindow& window, const Case& c, CaseUserInterface& ui);

// How a calculation ended.
struct RunStatus {
  bool completed = false;  // all stages ran and no message was shown
  std::vector<std::string> messages;
  bool invalid = false;    // not rated: outside the batch tool's ranges (`messages` says why)
  std::uint16_t rule = 0;  // the range broken (study/checks/ranges)
};
// The status of a window after calculateCase on a window that was fresh before typeCase.
RunStatus runStatus(const MainWindow& window, const CaseUserInterface& ui);

// The whole road on a freshly loaded window.
struct CaseRun {
  MainWindow window;
  RunStatus status;
};
CaseRun rateCase(const Case& c);

}  // namespace aph::study
