// "打开" and "另存为": the toolkit's own file dialog, in Chinese with the filters as they are
// written; cancel ends silently, a chosen file ends with its full path in a box.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <nlohmann/json.hpp>

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
  }
  void chooseOrCancel() {
    QFETCH(QString, button);
    QFETCH(int, mode);
    QFETCH(QString, name);
    QFETCH(bool, existing);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = name.isEmpty() ? QString() : folder.filePath(name);
    const QByteArray content = R"({"name": "read, not written", "plate": {"pairs": "96"}})";
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
    QStringList filters{"All Files (*.*)", "Text _Files (*.txt)", "Batch Files (*.bat)"};
    if (mode == int(QFileDialog::AcceptOpen))
      filters << QStringLiteral("Excel 工作簿 (*.xlsx)") << QStringLiteral("CSV 文件 (*.csv)");
    QCOMPARE(seen.filters, filters);
    QCOMPARE(seen.selectedFilter, QStringLiteral("Text _Files (*.txt)"));
    QVERIFY(!seen.nativeDialog);
    QVERIFY(!seen.readOnly);
    if (path.isEmpty()) {
      QVERIFY(form_->userInterface().messages().empty());
      QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
               QStringList());
      return;
    }
    QCOMPARE(shown.text, path);
    QCOMPARE(shown.title, QStringLiteral("aphcalc"));
    QCOMPARE(shown.icon, QMessageBox::NoIcon);
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    if (existing) {
      QCOMPARE(file.readAll(), content);  // read, never written
      QCOMPARE(shownText(*form_, FieldId::Text18), QStringLiteral("96"));
    } else {
      const auto saved = nlohmann::json::parse(file.readAll().toStdString());
      QCOMPARE(saved.at("name"), "new case");
      QCOMPARE(saved.at("plate").at("pairs"), "110");
    }
  }

  // Qt's own words in the dialogs and menus are Simplified Chinese, whatever the system's
  // language; the filter captions stay as written.
  void theDialogsSpeakChinese() {
    QMap<QString, QString> words;
    const ModalSteps modal({[&](QWidget& modal) {
      for (QLabel* label : modal.findChildren<QLabel*>())
        words[label->objectName()] = label->text();
      if (auto* buttons = modal.findChild<QDialogButtonBox*>())
        words[QStringLiteral("cancel")] = buttons->button(QDialogButtonBox::Cancel)->text();
      words[QStringLiteral("title")] = modal.windowTitle();
      static_cast<QDialog&>(modal).reject();
    }});
    clickControl(*form_, "Command5");
    QVERIFY(modal.allAnswered());
    QCOMPARE(words.value(QStringLiteral("cancel")), QStringLiteral("取消"));
    QCOMPARE(words.value(QStringLiteral("title")), QStringLiteral("另存为"));
    for (const char* label : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
      QVERIFY2(words.value(QLatin1String(label)).contains(QStringLiteral("文件")) ||
                   words.value(QLatin1String(label)).contains(QStringLiteral("查找")),
               qPrintable(words.value(QLatin1String(label))));

    // The context menu of a text field.
    std::unique_ptr<QMenu> menu(form_->fieldLine(FieldId::Text9)->createStandardContextMenu());
    QStringList actions;
    for (QAction* action : menu->actions())
      if (!action->isSeparator()) actions << action->text().section(QLatin1Char('\t'), 0, 0);
    QVERIFY2(actions.contains(QStringLiteral("全选")), qPrintable(actions.join(QLatin1Char('|'))));
    QVERIFY2(actions.contains(QStringLiteral("复制(&C)")),
             qPrintable(actions.join(QLatin1Char('|'))));
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
