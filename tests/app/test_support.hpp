// Helpers of the window tests: answering the modal windows a click opens, and reading what the
// widgets show.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string_view>
#include <vector>

#include "app/main_form.hpp"

class QLineEdit;

namespace aph::app::test {

// Answers the modal windows that open while it lives, one step each, in order. Every step must
// leave the window it is given (press a button or close it); a modal window beyond the steps is
// closed and counted as unexpected. A step may open a modal window of its own (accepting a file
// dialog that asks whether to replace a file): the next step answers it, from a fresh
// single-shot timer, since a timer whose handler is still running does not fire again.
class ModalSteps {
 public:
  using Step = std::function<void(QWidget&)>;
  explicit ModalSteps(std::vector<Step> steps);
  ModalSteps(const ModalSteps&) = delete;
  ModalSteps& operator=(const ModalSteps&) = delete;

  int answered() const { return answered_; }
  int unexpected() const { return unexpected_; }
  bool allAnswered() const {
    return answered_ == static_cast<int>(steps_.size()) && unexpected_ == 0;
  }

 private:
  void arm();
  void poll();
  std::vector<Step> steps_;
  int answered_ = 0;
  int unexpected_ = 0;
  QObject alive_;  // pending single shots end with it
};

// What a message box showed.
struct ShownMessage {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// A step that reads a message box into `shown` and presses `button`.
ModalSteps::Step readMessage(ShownMessage& shown,
                             QMessageBox::StandardButton button = QMessageBox::Ok);

// Clicks a Form1 control with the mouse, at its centre.
void clickControl(MainForm& form, std::string_view name);
// Types over the text of a Form1 field or list with the keyboard (select all, then the keys).
void typeText(QLineEdit& line, const QString& text);
void typeField(MainForm& form, FieldId id, const QString& text);
// What a field shows.
QString shownText(const MainForm& form, FieldId id);
bool shownRed(const MainForm& form, FieldId id);

}  // namespace aph::app::test
