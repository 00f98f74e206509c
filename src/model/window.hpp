// src/model: the text rules, the one table of fields, the window model with its handlers, the
// calculation and the typed result of every run; it uses the engine and nothing else.
//
// The window model: the single source of truth for what the main window Form1 and its two
// dialogs show, and the handlers that change it. The Qt window binds its widgets to it; the
// headless program and the tests drive it directly.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/case_files.hpp"
#include "model/fields.hpp"
#include "model/result.hpp"
#include "model/state.hpp"
#include "model/user_interface.hpp"

namespace aph {

enum class TextColor : std::uint8_t { WindowText, Red };

struct FieldState {
  std::string text;
  bool enabled = true;
  TextColor color = TextColor::WindowText;
  int listIndex = -1;  // lists only: the selected entry, -1 when the text matches none
  // What the text reads as by the leading-number rule (empty: beyond a double), once it has
  // been read: a field read again before its text changes is not parsed again.
  mutable bool numberRead = false;
  mutable std::optional<double> number;
};

struct DialogField {
  std::string_view name;
  std::string_view caption;
  std::string text;
};

// Form2 (tuning factors) or Form3 (pass counts). Neither computes or checks anything.
class DialogForm {
 public:
  explicit DialogForm(DialogKind kind);
  DialogKind kind() const { return kind_; }
  std::string_view name() const { return dialogName(kind_); }
  std::vector<DialogField>& fields() { return fields_; }
  const std::vector<DialogField>& fields() const { return fields_; }
  // The text of a field by control name; nullptr when the dialog has no such field.
  std::string* find(std::string_view fieldName);
  const std::string* find(std::string_view fieldName) const;
  // The same by what the field holds; nullptr when it belongs to the other dialog.
  std::string* find(DialogQuantity quantity);
  bool visible = false;

 private:
  DialogKind kind_;
  std::vector<DialogField> fields_;
};

class MainWindow {
 public:
  // The freshly loaded window: default texts, Form_Load run, no option selected.
  MainWindow();
  // Back to the freshly loaded window: default texts, Form_Load, no option selected, an empty
  // calculation state and result, both dialogs discarded. The case-file code stays plugged in.
  void reset();

  // The case-file code behind "打开" and "另存为" (not owned); without it they refuse every file.
  void setCaseFiles(CaseFiles* files) { caseFiles_ = files; }
  // What "另存为" writes: every field with a case-file key, the dialogs that exist, the buttons.
  WindowCase windowCase() const;

  const FieldState& field(FieldId id) const { return fields_[index(id)]; }
  const std::string& text(FieldId id) const { return fields_[index(id)].text; }
  // Sets a field's text, as the user typing or the calculation writing does. A list follows
  // with its selected entry.
  void setText(FieldId id, std::string_view text);
  // The field's text read by the leading-number rule; empty when the number is beyond a double.
  std::optional<double> leadingNumber(FieldId id) const;
  // Reads every field's number ahead, for a window that is copied to be pressed many times.
  void readAllNumbers() const;
  void setColor(FieldId id, TextColor color) { fields_[index(id)].color = color; }
  void setEnabled(FieldId id, bool enabled) { fields_[index(id)].enabled = enabled; }
  // Picks entry `entry` of a list, as the drop-down does.
  void selectListEntry(FieldId combo, int entry);

  bool isSelected(OptionId id) const { return options_[static_cast<std::size_t>(id)]; }
  // Selects an option button within its group, without running a handler.
  void selectOption(OptionId id);

  // The same by quantity, for everything above the window model: a field's text, typing into
  // it, a dialog field's text (null while its dialog does not exist; typing creates it hidden),
  // the options by what they choose, clicked as the user clicks them.
  const std::string& text(Quantity quantity) const { return text(fieldOf(quantity)); }
  void setText(Quantity quantity, std::string_view text) { setText(fieldOf(quantity), text); }
  const std::string* dialogText(DialogQuantity quantity) const;
  void setDialogText(DialogQuantity quantity, std::string_view text);
  bool isSelected(Arrangement arrangement) const { return isSelected(optionOf(arrangement)); }
  bool isSelected(FlowMode mode) const { return isSelected(optionOf(mode)); }
  void choose(Arrangement arrangement, UserInterface& ui) {
    clickOption(optionOf(arrangement), ui);
  }
  void choose(FlowMode mode, UserInterface& ui) { clickOption(optionOf(mode), ui); }
  // A press of one of the five push buttons: its handler runs.
  void press(Button button, UserInterface& ui);
  // A click on the control of this name (an option button or a push button), as the desktop
  // window, the page and a session script deliver it; false when no such control can be clicked.
  bool click(std::string_view control, UserInterface& ui);

  // The dialogs: null until created; `ensure…` creates one hidden with its defaults.
  DialogForm* dialog(DialogKind kind);
  const DialogForm* dialog(DialogKind kind) const;
  DialogForm& ensureDialog(DialogKind kind);
  // Closing a dialog with its close button discards it with what was typed into it.
  void discardDialog(DialogKind kind);
  // Shows a dialog modally, creating it first if needed; "确定" hides it, closing discards it.
  void showDialogModal(DialogKind kind, UserInterface& ui);

  const CalculationState& state() const { return state_; }
  // The typed result of the last press of "热力计算" (Stage::NotRun before the first).
  const Rating& rating() const { return rating_; }
  Rating& mutableRating() { return rating_; }
  CalculationState& mutableState() { return state_; }
  bool exitRequested() const { return exitRequested_; }

  // ---- Handlers ----
  void Form_Load();
  // A click on an option button: selects it and runs its handler, if it has one.
  void clickOption(OptionId id, UserInterface& ui);
  void Option3_Click(UserInterface& ui);
  void Option4_Click();
  void Option5_Click();
  void Command1_Click(UserInterface& ui);  // "HTC": the tuning dialog
  void Command2_Click();                   // "退出"
  void Command3_Click(UserInterface& ui);  // "热力计算"
  void Command4_Click(UserInterface& ui);  // "打开"
  void Command5_Click(UserInterface& ui);  // "另存为"

 private:
  static std::size_t index(FieldId id) { return static_cast<std::size_t>(id); }
  // The full path of the file to open or save, or empty when cancelled.
  static std::optional<std::string> chooseFile(FileDialogKind kind, UserInterface& ui);
  void openCaseFile(const std::string& path, UserInterface& ui);
  void saveCaseFile(const std::string& path, UserInterface& ui) const;

  std::array<FieldState, kFieldCount> fields_;
  std::array<bool, 5> options_{};
  std::optional<DialogForm> form2_;
  std::optional<DialogForm> form3_;
  CalculationState state_;
  Rating rating_;
  bool exitRequested_ = false;
  CaseFiles* caseFiles_ = nullptr;
};

// The extension a file-type filter gives a name saved without one: "*.txt" → ".txt"; none for
// a pattern of every file ("*.*", "*") or of several ("*.txt;*.json").
std::string defaultExtension(std::string_view pattern);
// The path "另存为" saves under: `path` with the extension of the chosen filter `pattern` when
// its file name has none ("…/design" → "…/design.txt"), as it was otherwise. A name holding a
// dot anywhere ("design.v2", ".hidden") has one.
std::string withDefaultExtension(const std::string& path, std::string_view pattern);

// The mean temperature a property procedure is called with, from the texts of a side's inlet and
// outlet temperature fields (Text9 and Text10 for the flue gas): each read by the leading-number
// rule and rounded to 16-bit whole degrees, the sum halved. Empty where the calculation stops
// instead of forming it.
std::optional<double> propertyMeanTemperature(std::string_view inletText,
                                              std::string_view outletText);

}  // namespace aph
