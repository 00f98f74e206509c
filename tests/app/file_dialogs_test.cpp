// "打开" and "另存为": a real file dialog; cancel ends silently, a chosen name is only shown.
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QtTest>

#include "test_groups.hpp"
#include "test_support.hpp"

namespace aph::app::test {
namespace {

struct SeenFileDialog {
  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  QStringList filters;
  QString selectedFilter;
  bool nativeDialog = true;
  bool readOnly = true;
};

ModalSteps::Step useFileDialog(SeenFileDialog& seen, QString path) {
  return [&seen, path](QWidget& modal) {
    auto* dialog = qobject_cast<QFileDialog*>(&modal);
    if (!dialog) {
      modal.close();
      return;
    }
    seen.mode = dialog->acceptMode();
    seen.filters = dialog->nameFilters();
    seen.selectedFilter = dialog->selectedNameFilter();
    seen.nativeDialog = !dialog->testOption(QFileDialog::DontUseNativeDialog);
    seen.readOnly = dialog->testOption(QFileDialog::ReadOnly);
    if (path.isEmpty()) {
      dialog->reject();
    } else {
      dialog->selectFile(path);
      static_cast<QDialog*>(dialog)->accept();
    }
  };
}

class FileDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { form_ = std::make_unique<MainForm>(); }
  void cleanup() { form_.reset(); }

  void chooseOrCancel_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("name");  // empty: cancel
    QTest::addColumn<bool>("existing");
    QTest::newRow("open, cancel") << "Command4" << int(QFileDialog::AcceptOpen) << "" << false;
    QTest::newRow("save as, cancel") << "Command5" << int(QFileDialog::AcceptSave) << "" << false;
    QTest::newRow("open a file") << "Command4" << int(QFileDialog::AcceptOpen) << "case.txt"
                                 << true;
    QTest::newRow("save as a new name")
        << "Command5" << int(QFileDialog::AcceptSave) << "new case.txt" << false;
    QTest::newRow("save over a file")
        << "Command5" << int(QFileDialog::AcceptSave) << "case.txt" << true;
  }
  void chooseOrCancel() {
    QFETCH(QString, button);
    QFETCH(int, mode);
    QFETCH(QString, name);
    QFETCH(bool, existing);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = name.isEmpty() ? QString() : folder.filePath(name);
    const QByteArray content = "not to be touched\n";
    if (existing) {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(content);
    }
    SeenFileDialog seen;
    ShownMessage shown;
    std::vector<ModalSteps::Step> steps = {useFileDialog(seen, path)};
    if (!path.isEmpty()) steps.push_back(readMessage(shown));
    const ModalSteps modal(std::move(steps));
    clickControl(*form_, button.toStdString());
    QVERIFY(modal.allAnswered());

    QCOMPARE(int(seen.mode), mode);
    QCOMPARE(seen.filters,
             (QStringList{"All Files (*.*)", "Text _Files (*.txt)", "Batch Files (*.bat)"}));
    QCOMPARE(seen.selectedFilter, QStringLiteral("Text _Files (*.txt)"));
    QVERIFY(!seen.nativeDialog);
    QVERIFY(!seen.readOnly);
    if (path.isEmpty()) return;
    QCOMPARE(shown.text, path);
    QCOMPARE(shown.title, QStringLiteral("aphcalc"));
    QCOMPARE(shown.icon, QMessageBox::NoIcon);
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    // The file is only named, never opened, created or written.
    QFile file(path);
    QCOMPARE(file.exists(), existing);
    if (existing) {
      QVERIFY(file.open(QIODevice::ReadOnly));
      QCOMPARE(file.readAll(), content);
    }
  }

  // "All Files (*.*)" lists files without an extension too, as "every file" means.
  void allFilesMeansEveryFile() {
    QStringList filtersShown;
    const ModalSteps modal({[&](QWidget& modal) {
      auto* dialog = qobject_cast<QFileDialog*>(&modal);
      auto* types =
          dialog ? dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")) : nullptr;
      auto* files = dialog ? dialog->findChild<QFileSystemModel*>() : nullptr;
      if (types && files) {
        filtersShown << files->nameFilters().join(QLatin1Char(' '));
        types->setCurrentIndex(0);
        emit types->activated(0);
        emit types->textActivated(types->itemText(0));
        filtersShown << files->nameFilters().join(QLatin1Char(' '));
      }
      modal.close();
    }});
    clickControl(*form_, "Command4");
    QVERIFY(modal.allAnswered());
    QCOMPARE(filtersShown, (QStringList{"*.txt", "*"}));
  }

 private:
  std::unique_ptr<MainForm> form_;
};

}  // namespace

std::unique_ptr<QObject> makeFileDialogsTest() {
  return std::make_unique<FileDialogsTest>();
}

}  // namespace aph::app::test

#include "file_dialogs_test.moc"
