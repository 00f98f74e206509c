// "退出" and the window's close button end the program, every window with it.
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "app/dialog_window.hpp"
#include "test_groups.hpp"
#include "test_support.hpp"

namespace aph::app::test {
namespace {

class ExitTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    form_ = std::make_unique<MainForm>();
    endProgramOnExit(*form_);
    form_->show();
  }
  void cleanup() { form_.reset(); }

  void exitButtonEndsEverything_data() {
    QTest::addColumn<bool>("closeButton");
    QTest::newRow("退出") << false;
    QTest::newRow("close button") << true;
  }
  void exitButtonEndsEverything() {
    QFETCH(bool, closeButton);
    // The tuning dialog has been used and lives on, hidden; the pass-count dialog too.
    {
      const auto ok = [](QWidget& dialog) {
        static_cast<DialogWindow&>(dialog).okButton()->click();
      };
      const ModalSteps modal({ok, ok, [](QWidget& box) { box.close(); }});
      clickControl(*form_, "Command1");
      clickControl(*form_, "Option3");
    }
    QVERIFY(form_->existingDialogWindow(DialogKind::Tuning));
    QSignalSpy ended(form_.get(), &MainForm::exitRequested);
    if (closeButton) {
      form_->close();
    } else {
      clickControl(*form_, "Command2");
      QVERIFY(form_->model().exitRequested());
    }
    QCOMPARE(ended.count(), 1);
    for (QWidget* window : QApplication::topLevelWidgets())
      QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
  }

 private:
  std::unique_ptr<MainForm> form_;
};

}  // namespace

std::unique_ptr<QObject> makeExitTest() {
  return std::make_unique<ExitTest>();
}

}  // namespace aph::app::test

#include "exit_test.moc"
