#include "app/main_form.hpp"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cmath>
#include <functional>

#include "app/appearance.hpp"
#include "app/dialog_window.hpp"
#include "app/manual_help.hpp"
#include "model/layout.hpp"

namespace aph::app {
namespace {

QString qt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr QColor kCaptionBlue(0, 0, 255);
constexpr QColor kWarningRed(255, 0, 0);

// The frame line runs through the middle of the caption's characters, and the caption sits as
// high as its characters allow, so that the rows placed right below it stay clear of it. The
// line box of a CJK face has room above its characters (about 0.12 em over the 0.88 em they
// rise above the baseline): that room is what the caption is moved up by.
void styleFrame(QGroupBox& frame) {
  const QFontMetrics metrics(frame.font());
  const double em = QFontInfo(frame.font()).pixelSize();
  const int raise = std::max(0, static_cast<int>(std::lround(metrics.ascent() - 0.88 * em)) - 1);
  const int line = static_cast<int>(std::lround(metrics.ascent() - 0.38 * em)) - raise;
  frame.setStyleSheet(
      QStringLiteral("QGroupBox#%1 { border: 2px groove palette(mid); margin-top: %2px; }"
                     "QGroupBox#%1::title { subcontrol-origin: margin; left: 6px; top: -%3px;"
                     " padding: 0px 2px; }")
          .arg(frame.objectName())
          .arg(line)
          .arg(raise));
}

}  // namespace

MainForm::MainForm(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<QtUserInterface>(*this)) {
  model_.setCaseFiles(&caseFiles_);
  build();
  refresh();
  installManualShortcut(*this);
}

MainForm::~MainForm() {
  // The widgets go first, while the model they report their edits to still exists.
  qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void MainForm::build() {
  const FormLayout& table = form1Layout();
  const TwipsScale scale = TwipsScale::of(screen());
  setObjectName(qt(table.name));
  setWindowTitle(qt(table.title));
  setFont(songFont(12));
  resize(scale.size(table.clientWidth, table.clientHeight));

  arrangement_ = new QButtonGroup(this);
  flowMode_ = new QButtonGroup(this);
  std::vector<std::pair<QLabel*, std::string_view>> buddies;

  for (const LayoutEntry& control : table.controls) {
    QWidget* parent = this;
    if (!control.parent.empty()) parent = controls_.at(std::string(control.parent));
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::Frame: {
        widget = new QGroupBox(qt(control.caption), parent);
        break;
      }
      case ControlKind::Label: {
        auto* label = new QLabel(qt(captionOf(table, control)), parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        if (control.look & kBlue) {
          QPalette palette = label->palette();
          palette.setColor(QPalette::WindowText, kCaptionBlue);
          label->setPalette(palette);
        }
        if (!control.buddy.empty()) buddies.emplace_back(label, control.buddy);
        widget = label;
        break;
      }
      case ControlKind::Field: {
        auto* edit = new QLineEdit(parent);
        bindField(*findField(control.name), edit);
        widget = edit;
        break;
      }
      case ControlKind::List: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        // The entries are fixed: a typed text is read as it stands, never completed to an entry
        // and never added to the list.
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        const FieldId id = *findField(control.name);
        const ListInfo& list = listInfo(id);
        for (std::size_t k = 0; k < list.count; ++k) combo->addItem(qt(list.entries[k]));
        bindField(id, combo);
        widget = combo;
        break;
      }
      case ControlKind::Option: {
        auto* option = new QRadioButton(qt(captionOf(table, control)), parent);
        const OptionId id = *findOption(control.name);
        options_[static_cast<std::size_t>(id)] = option;
        (static_cast<std::size_t>(id) < 3 ? arrangement_ : flowMode_)->addButton(option);
        connect(option, &QRadioButton::clicked, this,
                [this, id] { run([this, id] { model_.clickOption(id, *ui_); }); });
        widget = option;
        break;
      }
      case ControlKind::Button: {
        auto* button = new QPushButton(qt(control.caption), parent);
        const std::string name(control.name);
        connect(button, &QPushButton::clicked, this, [this, name] { clickButton(name); });
        widget = button;
        break;
      }
    }
    widget->setObjectName(qt(control.name));
    if (control.look & kFrameBold) {
      widget->setFont(songFont(14.25, true));
    } else if (control.look & kTitleBold) {
      widget->setFont(songFont(15, true));
    } else {
      // Set on every control, so that nothing takes over the bold face of a large frame.
      widget->setFont(songFont(12));
    }
    if (control.kind == ControlKind::Frame) styleFrame(*static_cast<QGroupBox*>(widget));
    if (control.look & kDisabled) widget->setEnabled(false);
    widget->setGeometry(scale.rect(control.left, control.top, control.width, control.height));
    if (control.kind == ControlKind::Label || control.kind == ControlKind::Option)
      fitCaption(*widget);
    controls_.emplace(std::string(control.name), widget);
  }
  for (const auto& [label, buddy] : buddies) label->setBuddy(control(buddy));
}

void MainForm::bindField(FieldId id, QWidget* widget) {
  fields_[static_cast<std::size_t>(id)] = widget;
  if (!fullTextTip_) fullTextTip_ = new FullTextTip(this);
  if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    connect(combo, &QComboBox::editTextChanged, this,
            [this, id](const QString& text) { model_.setText(id, text.toStdString()); });
    connect(combo, &QComboBox::activated, this,
            [this, id](int entry) { model_.selectListEntry(id, entry); });
  } else {
    connect(static_cast<QLineEdit*>(widget), &QLineEdit::textChanged, this,
            [this, id](const QString& text) { model_.setText(id, text.toStdString()); });
  }
  fieldLine(id)->installEventFilter(fullTextTip_);
}

template <class Handler>
void MainForm::run(Handler&& handler) {
  std::forward<Handler>(handler)();
  refresh();
}

void MainForm::clickButton(std::string_view name) {
  run([this, name] { model_.click(name, *ui_); });
  if (model_.exitRequested()) emit exitRequested();
}

QWidget* MainForm::control(std::string_view name) const {
  const auto found = controls_.find(std::string(name));
  return found == controls_.end() ? nullptr : found->second;
}

QLineEdit* MainForm::fieldLine(FieldId id) const {
  QWidget* widget = fieldWidget(id);
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->lineEdit();
  return static_cast<QLineEdit*>(widget);
}

DialogWindow& MainForm::dialogWindow(DialogKind kind) {
  DialogWindow*& window = kind == DialogKind::Tuning ? form2_ : form3_;
  if (!window) {
    window = new DialogWindow(kind, this,
                              [this, kind]() -> DialogForm& { return model_.ensureDialog(kind); });
  }
  return *window;
}

DialogWindow* MainForm::existingDialogWindow(DialogKind kind) const {
  return kind == DialogKind::Tuning ? form2_ : form3_;
}

void MainForm::refresh() {
  for (const FieldInfo& info : kFields) {
    const std::size_t k = static_cast<std::size_t>(info.id);
    const FieldState& state = model_.field(info.id);
    QWidget* widget = fields_[k];
    const QString text = QString::fromStdString(state.text);
    {
      const QSignalBlocker quiet(widget);
      if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->currentIndex() != state.listIndex) combo->setCurrentIndex(state.listIndex);
        if (combo->currentText() != text) {
          combo->setEditText(text);
          combo->lineEdit()->home(false);
        }
      } else {
        auto* edit = static_cast<QLineEdit*>(widget);
        // A long result shows its leading digits, not its tail.
        if (edit->text() != text) {
          edit->setText(text);
          edit->home(false);
        }
      }
    }
    widget->setEnabled(state.enabled);
    if (shownColors_[k] != state.color) {
      const QColor color = state.color == TextColor::Red
                               ? kWarningRed
                               : QApplication::palette(widget).color(QPalette::Text);
      QPalette palette = widget->palette();
      palette.setColor(QPalette::Active, QPalette::Text, color);
      palette.setColor(QPalette::Inactive, QPalette::Text, color);
      widget->setPalette(palette);
      shownColors_[k] = state.color;
    }
  }
  // Exclusive groups cannot clear their selection: that is done with exclusiveness lifted.
  for (QButtonGroup* group : {arrangement_, flowMode_}) {
    bool any = false;
    for (std::size_t k = 0; k < options_.size(); ++k) {
      if (options_[k]->group() != group || !model_.isSelected(static_cast<OptionId>(k))) continue;
      options_[k]->setChecked(true);
      any = true;
    }
    if (!any && group->checkedButton()) {
      group->setExclusive(false);
      group->checkedButton()->setChecked(false);
      group->setExclusive(true);
    }
  }
}

void MainForm::closeEvent(QCloseEvent* event) {
  event->accept();
  emit exitRequested();
}

void endProgramOnExit(MainForm& form) {
  QObject::connect(&form, &MainForm::exitRequested, qApp, [] {
    for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
    QCoreApplication::exit(0);
  });
}

}  // namespace aph::app
