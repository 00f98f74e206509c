// src/app: aphcalc, the Qt 6 Widgets window bound to the window model.
//
// Form1, the main window: every frame, caption, field, list, option button and button of the
// window model, bound to it. The model is the only keeper of texts, enabled states, colours and
// selections: an edit in a widget goes straight into the model, and after every handler each
// widget is shown again from the model.
#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "app/qt_user_interface.hpp"
#include "model/window.hpp"
#include "study/case_input/window_files.hpp"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace aph::app {

class DialogWindow;

class MainForm : public QWidget {
  Q_OBJECT

 public:
  explicit MainForm(QWidget* parent = nullptr);
  ~MainForm() override;

  MainWindow& model() { return model_; }
  const MainWindow& model() const { return model_; }
  QtUserInterface& userInterface() { return *ui_; }
  const QtUserInterface& userInterface() const { return *ui_; }

  // A control of Form1 by its name ("Text9", "Combo3", "Option4", "Command3", "Frame12",
  // "Label1"); nullptr when there is none.
  QWidget* control(std::string_view name) const;
  // The widget that shows a field: a QLineEdit, or a QComboBox for the four lists.
  QWidget* fieldWidget(FieldId id) const { return fields_[static_cast<std::size_t>(id)]; }
  // The line into which a field's text is typed (the edit line of a list).
  QLineEdit* fieldLine(FieldId id) const;
  QRadioButton* optionButton(OptionId id) const { return options_[static_cast<std::size_t>(id)]; }

  // The real Form2 / Form3 window, created hidden on first use.
  DialogWindow& dialogWindow(DialogKind kind);
  DialogWindow* existingDialogWindow(DialogKind kind) const;

  // Shows every widget from the model: texts, list selections, enabled states, colours and
  // option buttons, without reporting any of it back as an edit.
  void refresh();

 signals:
  // "退出" was pressed or the window was closed: the program ends, every window with it.
  void exitRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void build();
  void bindField(FieldId id, QWidget* widget);
  void clickButton(std::string_view name);
  template <class Handler>
  void run(Handler&& handler);

  study::WindowCaseFiles caseFiles_;  // "打开" and "另存为" on case files
  MainWindow model_;
  std::unique_ptr<QtUserInterface> ui_;
  std::unordered_map<std::string, QWidget*> controls_;
  std::array<QWidget*, kFieldCount> fields_{};
  std::array<TextColor, kFieldCount> shownColors_{};
  std::array<QRadioButton*, 5> options_{};
  QButtonGroup* arrangement_ = nullptr;  // Option1..Option3
  QButtonGroup* flowMode_ = nullptr;     // Option4, Option5
  DialogWindow* form2_ = nullptr;
  DialogWindow* form3_ = nullptr;
  QObject* fullTextTip_ = nullptr;  // whole texts of fields too narrow for them
};

// Ends the program when the form asks to: every window goes with it at once.
void endProgramOnExit(MainForm& form);

}  // namespace aph::app
