// F1 opens the user manual at the section of the focused control; every section it names is an
// anchor of the manual; without a manual it says so.
#include "app/manual_help.hpp"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "test_groups.hpp"
#include "test_support.hpp"

namespace aph::app::test {
namespace {

// An empty manual in `folder`, the one F1 is to open.
QString emptyManualIn(const QTemporaryDir& folder) {
  const QString manual = folder.filePath(QStringLiteral("用户手册.html"));
  QFile file(manual);
  if (!file.open(QIODevice::WriteOnly)) return {};
  qputenv("APHCALC_MANUAL", manual.toUtf8());
  return manual;
}

bool manualHasAnchor(const QString& section) {
  QFile source(QStringLiteral(APH_MANUAL_SOURCE));
  return source.open(QIODevice::ReadOnly) &&
         source.readAll().contains(("<a id=\"" + section + "\"></a>").toUtf8());
}

class ManualHelpTest : public QObject {
  Q_OBJECT

 public slots:
  void openUrl(const QUrl& url) { opened_.push_back(url); }

 private slots:
  void init() {
    opened_.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    form_ = std::make_unique<MainForm>();
    form_->show();
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
  }
  void cleanup() {
    form_.reset();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    qunsetenv("APHCALC_MANUAL");
  }

  void f1OpensTheFocusedFieldsSection_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("section");
    QTest::newRow("flue-gas inlet") << "Text9"
                                    << "flue-gas-stream";
    QTest::newRow("air heat duty") << "Text24"
                                   << "air-stream";
    QTest::newRow("arrangement") << "Option2"
                                 << "mean-temperature-difference";
    QTest::newRow("flow mode") << "Option5"
                               << "flow-mode";
    QTest::newRow("plate thickness list") << "Combo1"
                                          << "plate-pack";
    QTest::newRow("margin") << "Text49"
                            << "plate-pack";
    QTest::newRow("flue-gas gap list") << "Combo3"
                                       << "flue-gas-channel";
    QTest::newRow("air pressure drop") << "Text46"
                                       << "air-channel";
    QTest::newRow("rating button") << "Command3"
                                   << "buttons";
  }
  void f1OpensTheFocusedFieldsSection() {
    QFETCH(QString, control);
    QFETCH(QString, section);
    QTemporaryDir folder;
    const QString manual = emptyManualIn(folder);
    QVERIFY(!manual.isEmpty());

    QWidget* widget = form_->control(control.toStdString());
    QVERIFY(widget);
    widget->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QCOMPARE(opened_.size(), 1u);
    QCOMPARE(opened_[0].toLocalFile(), manual);
    QCOMPARE(opened_[0].fragment(), section);

    QVERIFY(manualHasAnchor(section));  // the manual holds the anchor F1 aims at
  }

  // In a dialog, F1 aims at the dialog's own section, wherever its focus is.
  void f1InADialogOpensItsSection_data() {
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QString>("section");
    QTest::newRow("Form2") << "Command1"
                           << "tuning-dialog";
    QTest::newRow("Form3") << "Option3"
                           << "pass-count-dialog";
  }
  void f1InADialogOpensItsSection() {
    QFETCH(QString, opener);
    QFETCH(QString, section);
    QTemporaryDir folder;
    const QString manual = emptyManualIn(folder);
    QVERIFY(!manual.isEmpty());

    std::vector<ModalSteps::Step> steps{[](QWidget& dialog) {
      // The offscreen platform leaves the window active that was before the dialog.
      QApplication::setActiveWindow(&dialog);
      QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_F1);
      dialog.close();
    }};
    ShownMessage refused;  // Form3 closed without its counts
    if (opener == QLatin1String("Option3")) steps.push_back(readMessage(refused));
    const ModalSteps modal(std::move(steps));
    clickControl(*form_, opener.toStdString());
    QTRY_VERIFY(modal.allAnswered());
    QCOMPARE(opened_.size(), 1u);
    QCOMPARE(opened_[0].fragment(), section);
    QVERIFY(manualHasAnchor(section));
  }

  void withoutAManualItSaysSo() {
    qputenv("APHCALC_MANUAL", "/nonexistent/用户手册.html");
    ShownMessage shown;
    const ModalSteps modal({readMessage(shown)});
    form_->fieldLine(FieldId::Text9)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QTRY_VERIFY(modal.allAnswered());
    QVERIFY(shown.text.startsWith(QStringLiteral("未找到用户手册")));
    QVERIFY(opened_.empty());
  }

 private:
  std::unique_ptr<MainForm> form_;
  std::vector<QUrl> opened_;
};

}  // namespace

std::unique_ptr<QObject> makeManualHelpTest() {
  return std::make_unique<ManualHelpTest>();
}

}  // namespace aph::app::test

#include "manual_help_test.moc"
