#include "app/dialog_window.hpp"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/appearance.hpp"
#include "app/manual_help.hpp"
#include "model/layout.hpp"

namespace aph::app {

DialogWindow::DialogWindow(DialogKind kind, QWidget* parent, std::function<DialogForm&()> model)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      kind_(kind),
      model_(std::move(model)) {
  const FormLayout& table = kind == DialogKind::Tuning ? form2Layout() : form3Layout();
  const TwipsScale scale = TwipsScale::of(parent ? parent->screen() : nullptr);
  setObjectName(QString::fromUtf8(table.name.data(), static_cast<qsizetype>(table.name.size())));
  setWindowTitle(QString::fromUtf8(table.title.data(), static_cast<qsizetype>(table.title.size())));
  setFont(songFont(12));
  setFixedSize(scale.size(table.clientWidth, table.clientHeight));
  setModal(true);
  installManualShortcut(*this);

  std::vector<std::pair<QLabel*, std::string_view>> buddies;
  FullTextTip* fullTextTip = nullptr;
  for (const LayoutEntry& control : table.controls) {
    const QString name =
        QString::fromUtf8(control.name.data(), static_cast<qsizetype>(control.name.size()));
    const std::string_view text = captionOf(table, control);
    const QString caption = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::Label: {
        auto* label = new QLabel(caption, this);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        if (!control.buddy.empty()) buddies.emplace_back(label, control.buddy);
        widget = label;
        break;
      }
      case ControlKind::Field: {
        auto* edit = new QLineEdit(this);
        const std::string fieldName(control.name);
        connect(edit, &QLineEdit::textChanged, this, [this, fieldName](const QString& text) {
          if (std::string* stored = model_().find(fieldName)) *stored = text.toStdString();
        });
        if (!fullTextTip) fullTextTip = new FullTextTip(this);
        edit->installEventFilter(fullTextTip);
        fields_.push_back(edit);
        widget = edit;
        break;
      }
      case ControlKind::Button: {
        ok_ = new QPushButton(caption, this);
        // No default button: Enter in a field does not leave the dialog.
        ok_->setAutoDefault(false);
        connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
        widget = ok_;
        break;
      }
      default:
        continue;
    }
    widget->setObjectName(name);
    widget->setGeometry(scale.rect(control.left, control.top, control.width, control.height));
    if (control.kind == ControlKind::Label) fitCaption(*widget);
  }
  for (const auto& [label, buddy] : buddies) label->setBuddy(field(buddy));
  // The fields from top to bottom, then "确定".
  QWidget* previous = nullptr;
  for (QLineEdit* edit : fields_) {
    if (previous) setTabOrder(previous, edit);
    previous = edit;
  }
  if (previous && ok_) setTabOrder(previous, ok_);
}

QLineEdit* DialogWindow::field(std::string_view name) const {
  for (QLineEdit* edit : fields_)
    if (edit->objectName().toStdString() == name) return edit;
  return nullptr;
}

void DialogWindow::load(const DialogForm& form) {
  for (QLineEdit* edit : fields_) {
    const std::string* text = form.find(edit->objectName().toStdString());
    const QString shown = text ? QString::fromStdString(*text) : QString();
    if (edit->text() == shown) continue;
    const QSignalBlocker quiet(edit);
    edit->setText(shown);
    edit->home(false);
  }
}

DialogOutcome DialogWindow::showModal(DialogForm& form) {
  load(form);
  if (!fields_.empty()) fields_.front()->setFocus();
  const int result = exec();
  for (QLineEdit* edit : fields_)
    if (std::string* text = form.find(edit->objectName().toStdString()))
      *text = edit->text().toStdString();
  return result == QDialog::Accepted ? DialogOutcome::Ok : DialogOutcome::Closed;
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      // No cancel button: Escape would otherwise close the dialog and discard what was typed.
      event->accept();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Enter presses "确定" only when it has the focus, as a button does.
      if (ok_ && ok_->hasFocus()) ok_->click();
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

ListChoiceDialog::ListChoiceDialog(const ListChoiceRequest& request, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("ListChoice"));
  setWindowTitle(QString::fromStdString(request.title));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* prompt = new QLabel(QString::fromStdString(request.prompt), this);
  prompt->setTextFormat(Qt::PlainText);
  layout->addWidget(prompt);
  list_ = new QListWidget(this);
  for (const std::string& entry : request.entries) list_->addItem(QString::fromStdString(entry));
  if (list_->count() > 0) list_->setCurrentRow(0);
  layout->addWidget(list_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

std::optional<std::size_t> ListChoiceDialog::chosen() const {
  const int row = list_->currentRow();
  if (row < 0) return std::nullopt;
  return static_cast<std::size_t>(row);
}

}  // namespace aph::app
