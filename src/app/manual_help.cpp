#include "app/manual_help.hpp"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QRadioButton>
#include <QShortcut>
#include <QUrl>

#include "app/dialog_window.hpp"
#include "app/main_form.hpp"
#include "model/fields.hpp"

namespace aph::app {

namespace {

// The manual marks each frame's section with one of these anchors.
std::string_view sectionOf(FieldGroup group) {
  switch (group) {
    case FieldGroup::FlueGasStream:
      return "flue-gas-stream";
    case FieldGroup::AirStream:
      return "air-stream";
    case FieldGroup::MeanTemperatureDifference:
      return "mean-temperature-difference";
    case FieldGroup::PlatePack:
      return "plate-pack";
    case FieldGroup::FlueGasChannel:
      return "flue-gas-channel";
    case FieldGroup::AirChannel:
      return "air-channel";
  }
  return {};
}

bool holds(const QWidget* outer, const QWidget* inner) {
  return outer && inner && (outer == inner || outer->isAncestorOf(inner));
}

const QString kManualName = QStringLiteral("用户手册.html");

}  // namespace

std::string_view manualSection(const MainForm& form, const QWidget* focus) {
  for (const FieldInfo& info : kFields)
    if (holds(form.fieldWidget(info.id), focus)) return sectionOf(info.group);
  for (const OptionId option : {OptionId::Option1, OptionId::Option2, OptionId::Option3})
    if (holds(form.optionButton(option), focus)) return "mean-temperature-difference";
  for (const OptionId option : {OptionId::Option4, OptionId::Option5})
    if (holds(form.optionButton(option), focus)) return "flow-mode";
  for (const char* button : {"Command1", "Command2", "Command3", "Command4", "Command5"})
    if (holds(form.control(button), focus)) return "buttons";
  return {};
}

std::string_view manualSection(DialogKind kind) {
  return kind == DialogKind::PassCount ? "pass-count-dialog" : "tuning-dialog";
}

QString findManual() {
  const QString given = qEnvironmentVariable("APHCALC_MANUAL");
  if (!given.isEmpty())
    return QFileInfo(given).isFile() ? QFileInfo(given).absoluteFilePath() : QString();
  const QDir bin(QCoreApplication::applicationDirPath());
  for (const QString& place :
       {QStringLiteral("../share/doc/aphcalc/"), QStringLiteral("../docs/html/")}) {
    const QFileInfo manual(bin.filePath(place + kManualName));
    if (manual.isFile()) return manual.absoluteFilePath();
  }
  return {};
}

void openManualAt(QWidget& parent, std::string_view section) {
  const QString manual = findManual();
  if (manual.isEmpty()) {
    QMessageBox::warning(&parent, QStringLiteral("aphcalc"),
                         QStringLiteral("未找到用户手册：请用 cmake --install 安装 aphcalc，"
                                        "或把环境变量 APHCALC_MANUAL 设为 用户手册.html 的路径。"));
    return;
  }
  QUrl url = QUrl::fromLocalFile(manual);
  if (!section.empty())
    url.setFragment(QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())));
  if (!QDesktopServices::openUrl(url))
    QMessageBox::warning(&parent, QStringLiteral("aphcalc"),
                         QStringLiteral("无法打开用户手册“%1”：没有可用的浏览器。").arg(manual));
}

void openManual(MainForm& form) {
  openManualAt(form, manualSection(form, form.focusWidget()));
}

void installManualShortcut(MainForm& form) {
  auto* help = new QShortcut(QKeySequence::HelpContents, &form);
  help->setContext(Qt::WindowShortcut);
  QObject::connect(help, &QShortcut::activated, &form, [&form] { openManual(form); });
}

void installManualShortcut(DialogWindow& dialog) {
  auto* help = new QShortcut(QKeySequence::HelpContents, &dialog);
  help->setContext(Qt::WindowShortcut);
  QObject::connect(help, &QShortcut::activated, &dialog,
                   [&dialog] { openManualAt(dialog, manualSection(dialog.kind())); });
}

}  // namespace aph::app
