// Pictures of the window as a person sees it, for a look by eye: the default window, the window
// after a counterflow calculation, both dialogs, an error message, the file dialog and the list
// of a file's load cases. Written into the build tree.
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QtTest>

#include "app/dialog_window.hpp"
#include "test_groups.hpp"
#include "test_support.hpp"

namespace aph::app::test {
namespace {

class ScreenshotsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(QDir().mkpath(folder())); }

  void windowAndDialogs() {
    MainForm form;
    form.show();
    QVERIFY(save(form, "form1-default.png"));

    bool form2Saved = false;
    bool form3Saved = false;
    {
      const ModalSteps modal({[&](QWidget& dialog) {
                                form2Saved = save(dialog, "form2.png");
                                static_cast<DialogWindow&>(dialog).okButton()->click();
                              },
                              [&](QWidget& dialog) {
                                auto& passes = static_cast<DialogWindow&>(dialog);
                                typeText(*passes.field("Text33"), QStringLiteral("2"));
                                typeText(*passes.field("Text34"), QStringLiteral("2"));
                                form3Saved = save(dialog, "form3.png");
                                passes.okButton()->click();
                              }});
      clickControl(form, "Command1");
      clickControl(form, "Option3");
      clickControl(form, "Option4");
      clickControl(form, "Option1");
      clickControl(form, "Command3");
      QVERIFY(modal.allAnswered());
    }
    QVERIFY(form2Saved);
    QVERIFY(form3Saved);
    QVERIFY(shownRed(form, FieldId::Text45));
    QVERIFY(save(form, "form1-counterflow.png"));

    bool messageSaved = false;
    {
      const ModalSteps modal({[&](QWidget& box) {
        messageSaved = save(box, "message.png");
        box.close();
      }});
      typeField(form, FieldId::Text18, QStringLiteral("0"));
      clickControl(form, "Command3");
      QVERIFY(modal.allAnswered());
    }
    QVERIFY(messageSaved);

    // "打开": the file dialog in Chinese, then the list of a file's load cases.
    bool fileDialogSaved = false;
    bool listSaved = false;
    {
      const ModalSteps modal({[&](QWidget& dialog) {
                                fileDialogSaved = save(dialog, "file-dialog.png");
                                static_cast<QFileDialog&>(dialog).selectFile(
                                    QStringLiteral(APH_EXAMPLES_DIR "/cases/boiler-loads.json"));
                                static_cast<QDialog&>(dialog).accept();
                              },
                              [&](QWidget& list) {
                                listSaved = save(list, "load-cases.png");
                                static_cast<QDialog&>(list).reject();
                              }});
      clickControl(form, "Command4");
      QVERIFY(modal.allAnswered());
    }
    QVERIFY(fileDialogSaved);
    QVERIFY(listSaved);
  }

 private:
  static QString folder() { return QStringLiteral(APH_SCREENSHOT_DIR); }
  static bool save(QWidget& window, const char* name) {
    return window.grab().save(folder() + QLatin1Char('/') + QLatin1String(name), "PNG");
  }
};

}  // namespace

std::unique_ptr<QObject> makeScreenshotsTest() {
  return std::make_unique<ScreenshotsTest>();
}

}  // namespace aph::app::test

#include "screenshots_test.moc"
