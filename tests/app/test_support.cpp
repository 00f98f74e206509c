#include "test_support.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

namespace aph::app::test {

ModalSteps::ModalSteps(std::vector<Step> steps) : steps_(std::move(steps)) {
  arm();
}

void ModalSteps::arm() {
  QTimer::singleShot(0, &alive_, [this] {
    arm();
    poll();
  });
}

void ModalSteps::poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) return;
  if (answered_ < static_cast<int>(steps_.size())) {
    steps_[static_cast<std::size_t>(answered_++)](*modal);
  } else {
    ++unexpected_;
    modal->close();
  }
}

ModalSteps::Step readMessage(ShownMessage& shown, QMessageBox::StandardButton button) {
  return [&shown, button](QWidget& modal) {
    auto* box = qobject_cast<QMessageBox*>(&modal);
    if (!box) {
      shown.title = QStringLiteral("(not a message box: %1)").arg(modal.objectName());
      modal.close();
      return;
    }
    shown.title = box->windowTitle();
    shown.text = box->text();
    shown.icon = box->icon();
    shown.buttons = box->standardButtons();
    box->button(button)->click();
  };
}

void clickControl(MainForm& form, std::string_view name) {
  QWidget* widget = form.control(name);
  QVERIFY2(widget, std::string(name).c_str());
  QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

void typeText(QLineEdit& line, const QString& text) {
  line.setFocus();
  line.selectAll();
  if (text.isEmpty()) {
    QTest::keyClick(&line, Qt::Key_Delete);
  } else {
    QTest::keyClicks(&line, text);
  }
}

void typeField(MainForm& form, FieldId id, const QString& text) {
  typeText(*form.fieldLine(id), text);
}

QString shownText(const MainForm& form, FieldId id) {
  return form.fieldLine(id)->text();
}

bool shownRed(const MainForm& form, FieldId id) {
  return form.fieldLine(id)->palette().color(QPalette::Active, QPalette::Text) == QColor(255, 0, 0);
}

}  // namespace aph::app::test
