#include "app/gui_replay.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
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
      // The path is typed into the file name box, as a person types a full path there: it names
      // that file wherever the dialog stands, even in a folder that does not exist.
      const QString path = QString::fromStdString(*action->file);
      auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (name) {
        name->setText(path);
      } else {
        files->selectFile(path);
      }
      // The dialog's own accept path (public in QDialog), as its "Open" / "Save" button takes.
      static_cast<QDialog*>(files)->accept();
      // A name the dialog keeps to itself (a folder, which it opens; a name longer than the file
      // system takes) is the script's answer all the same: the handler gets it and tells why it
      // cannot be used, as the headless replay does.
      if (files->isVisible() && name) {
        name->setText(path);
        static_cast<QDialog*>(files)->done(QDialog::Accepted);
      }
    }
    if (files->isVisible()) files->reject();
  } else if (auto* choice = qobject_cast<ListChoiceDialog*>(&modal)) {
    std::vector<std::string> entries;
    for (int row = 0; row < choice->list()->count(); ++row)
      entries.push_back(choice->list()->item(row)->text().toStdString());
    const auto entry = session::pickEntry(action ? action->loadCase : std::nullopt, entries);
    if (entry) {
      choice->list()->setCurrentRow(static_cast<int>(*entry));
      choice->accept();
    } else {
      choice->reject();
    }
  } else if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
    // The window's own boxes have OK; the file dialog's question whether to replace an existing
    // file is answered yes: the script chose that file.
    QAbstractButton* answer = box->button(QMessageBox::Ok);
    if (!answer) answer = box->button(QMessageBox::Yes);
    if (answer) {
      answer->click();
    } else {
      box->close();
    }
  } else {
    modal.close();
  }
}

namespace {

// While a click runs, answers each modal window as soon as its own event loop is running. Each
// look is a single shot that arms the next one first: an answer may open a modal window of its
// own (accepting a file dialog can ask whether to replace the file), and only a fresh timer
// fires inside it.
class ModalAnswerer {
 public:
  explicit ModalAnswerer(const session::ClickAction& action) : action_(action) { arm(); }
  ModalAnswerer(const ModalAnswerer&) = delete;
  ModalAnswerer& operator=(const ModalAnswerer&) = delete;

 private:
  void arm() {
    QTimer::singleShot(0, &alive_, [this] {
      arm();
      QWidget* modal = QApplication::activeModalWidget();
      if (modal && modal->isVisible()) answerModal(*modal, &action_);
    });
  }
  const session::ClickAction& action_;
  QObject alive_;  // pending single shots end with the answerer
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
