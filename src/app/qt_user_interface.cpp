#include "app/qt_user_interface.hpp"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>

#include "app/dialog_window.hpp"
#include "app/main_form.hpp"
#include "model/window.hpp"

namespace aph::app {
namespace {

QString qt(const std::string& text) {
  return QString::fromStdString(text);
}

// "*.*" names every file in the convention the filter list is written in; the file system model
// would read it literally and hide files without an extension.
void showEveryFileFor(QFileDialog& dialog, const QString& filter) {
  if (!filter.contains(QStringLiteral("(*.*)"))) return;
  if (auto* model = dialog.findChild<QFileSystemModel*>())
    model->setNameFilters({QStringLiteral("*")});
}

}  // namespace

void configureFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
  // The toolkit's own dialog everywhere, so that it looks and behaves the same on every desktop.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(request.kind == FileDialogKind::Open ? QFileDialog::AcceptOpen
                                                            : QFileDialog::AcceptSave);
  // Any name may be chosen: one that cannot be opened is refused with its reason by the window,
  // not by the dialog. Saving over an existing file asks first (the dialog's own question).
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  dialog.setOption(QFileDialog::ReadOnly, false);

  QStringList filters;
  for (const auto& [caption, pattern] : request.filters) {
    QString entry = qt(caption);
    // A caption that does not already show its pattern gets it appended, as the dialog needs it.
    if (!entry.endsWith(QStringLiteral("(") + qt(pattern) + QStringLiteral(")")))
      entry += QStringLiteral(" (") + qt(pattern) + QStringLiteral(")");
    filters << entry;
  }
  dialog.setNameFilters(filters);
  // A name typed without an extension is saved with the chosen file type's (the window model
  // decides which): the dialog asks about replacing the file under that name.
  const auto useFilter = [&dialog, request, filters](const QString& filter) {
    showEveryFileFor(dialog, filter);
    const qsizetype index = filters.indexOf(filter);
    if (request.kind != FileDialogKind::Save || index < 0) return;
    const std::string extension =
        defaultExtension(request.filters[static_cast<std::size_t>(index)].second);
    dialog.setDefaultSuffix(extension.empty() ? QString() : qt(extension.substr(1)));
  };
  if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
    const QString& preselected = filters.at(request.filterIndex - 1);
    dialog.selectNameFilter(preselected);
    useFilter(preselected);
  }
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, useFilter);
}

void QtUserInterface::showMessage(const MessageBoxRequest& message) {
  messages_.push_back(message);
  // What the handler wrote before the message stands behind the box.
  form_.refresh();
  QMessageBox box(message.icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                  qt(message.title), qt(message.text),
                  message.buttons == MessageButtons::OkCancel
                      ? QMessageBox::Ok | QMessageBox::Cancel
                      : QMessageBox::StandardButtons(QMessageBox::Ok),
                  &form_);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Ok);
  // The window speaks Chinese throughout; so do its message boxes.
  box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  if (QAbstractButton* cancel = box.button(QMessageBox::Cancel))
    cancel->setText(QStringLiteral("取消"));
  box.exec();
}

DialogOutcome QtUserInterface::showModal(DialogForm& dialog) {
  form_.refresh();
  return form_.dialogWindow(dialog.kind()).showModal(dialog);
}

std::optional<ChosenFile> QtUserInterface::chooseFile(const FileDialogRequest& request) {
  form_.refresh();
  QFileDialog dialog(&form_);
  configureFileDialog(dialog, request);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return ChosenFile(
      chosen.front().toStdString(),
      static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1);
}

std::optional<std::size_t> QtUserInterface::chooseFromList(const ListChoiceRequest& request) {
  form_.refresh();
  ListChoiceDialog dialog(request, &form_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.chosen();
}

}  // namespace aph::app
