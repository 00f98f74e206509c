#include "app/gui_replay.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "app/dialog_window.hpp"
#include "app/main_form.hpp"

namespace aph::app {

void typeInto(QLineEdit& line, const std::string& text) {
  line.selectAll();
  if (text.empty()) {
    line.del();
  } else {
    line.insert(QString::fromStdString(text));
  }
}

void answerModal(QWidget& modal, const session::ClickAction* action) {
  if (auto* dialog = qobject_cast<DialogWindow*>(&modal)) {
    const session::DialogAnswer* answer = action && action->dialog ? &*action->dialog : nullptr;
    if (answer && answer->close) {
      dialog->close();
      return;
    }
    if (answer) {
      for (const auto& [name, text] : answer->texts)
        if (QLineEdit* field = dialog->field(name)) typeInto(*field, text);
    }
    dialog->okButton()->click();
  } else if (auto* files = qobject_cast<QFileDialog*>(&modal)) {
    if (action && action->file) {
      files->selectFile(QString::fromStdString(*action->file));
      // The dialog's own accept path (public in QDialog), as its "Open" / "Save" button takes.
      static_cast<QDialog*>(files)->accept();
    }
    // A name the dialog does not take (a folder, say) leaves it open: that counts as cancel.
    if (files->isVisible()) files->reject();
  } else if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
    box->button(QMessageBox::Ok)->click();
  } else {
    modal.close();
  }
}

namespace {

// While a click runs, answers each modal window as soon as its own event loop is running.
class ModalAnswerer {
 public:
  explicit ModalAnswerer(const session::ClickAction& action) : action_(action) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal && modal->isVisible()) answerModal(*modal, &action_);
    });
    timer_.start();
  }
  ~ModalAnswerer() { timer_.stop(); }
  ModalAnswerer(const ModalAnswerer&) = delete;
  ModalAnswerer& operator=(const ModalAnswerer&) = delete;

 private:
  const session::ClickAction& action_;
  QTimer timer_;
};

void click(MainForm& form, const session::ClickAction& action) {
  QAbstractButton* button = nullptr;
  if (const auto option = findOption(action.control)) {
    button = form.optionButton(*option);
  } else {
    button = qobject_cast<QAbstractButton*>(form.control(action.control));
  }
  if (!button) return;
  const ModalAnswerer answerer(action);
  button->click();
}

}  // namespace

void replayThroughWidgets(MainForm& form, const session::Script& script) {
  for (const session::Action& action : script.actions) {
    if (form.model().exitRequested()) break;
    if (const auto* set = std::get_if<session::SetAction>(&action)) {
      for (const auto& [target, text] : set->texts) {
        if (target.dialog) {
          // A dialog's field can be typed into before the dialog is ever shown: it is created,
          // hidden, with its default texts.
          DialogWindow& dialog = form.dialogWindow(*target.dialog);
          dialog.load(form.model().ensureDialog(*target.dialog));
          if (QLineEdit* field = dialog.field(target.field)) typeInto(*field, text);
        } else {
          typeInto(*form.fieldLine(*findField(target.field)), text);
        }
      }
    } else {
      click(form, std::get<session::ClickAction>(action));
    }
  }
}

nlohmann::ordered_json snapshotOf(const MainForm& form) {
  return session::snapshot(form.model(), form.userInterface().messages());
}

}  // namespace aph::app
