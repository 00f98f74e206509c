// The tuning dialog Form2 and the pass-count dialog Form3 as real windows. The window model
// owns their texts; the widgets show them while the dialog is up and write every edit back.
// Beside them, the small list from which "打开" lets the person pick one of a file's load cases.
#pragma once

#include <QDialog>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "model/window.hpp"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace aph::app {

class DialogWindow : public QDialog {
  Q_OBJECT

 public:
  // `model` returns the dialog's texts in the window model, creating them if needed.
  DialogWindow(DialogKind kind, QWidget* parent, std::function<DialogForm&()> model);

  DialogKind kind() const { return kind_; }
  QLineEdit* field(std::string_view name) const;
  QPushButton* okButton() const { return ok_; }

  // Shows the texts of `form`, without reporting them back as edits.
  void load(const DialogForm& form);
  // Shows `form` modally: Ok when "确定" hid the dialog, Closed when its close button closed it.
  DialogOutcome showModal(DialogForm& form);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  DialogKind kind_;
  std::function<DialogForm&()> model_;
  std::vector<QLineEdit*> fields_;
  QPushButton* ok_ = nullptr;
};

// A list of entries with "确定" and "取消"; the first entry is preselected, a double click picks.
class ListChoiceDialog : public QDialog {
  Q_OBJECT

 public:
  ListChoiceDialog(const ListChoiceRequest& request, QWidget* parent);
  QListWidget* list() const { return list_; }
  // The entry picked, once accepted.
  std::optional<std::size_t> chosen() const;

 private:
  QListWidget* list_ = nullptr;
};

}  // namespace aph::app
