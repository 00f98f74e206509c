// "打开" and "另存为" through the real widgets: every example opened and calculated shows what the
// batch tool reports for it; what is saved comes back; saving over a file asks first; a file
// that cannot be written or read is reported and changes nothing.
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/dialog_window.hpp"
#include "study/case_input/case_file.hpp"
#include "test_groups.hpp"
#include "test_support.hpp"

namespace aph::app::test {
namespace {

QString qt(const std::string& text) {
  return QString::fromStdString(text);
}

// Answers every modal window while it lives, as a person who knows what to pick: the file dialog
// with `file`, the list of load cases with entry `entry`, every message box with OK (recorded).
class Person {
 public:
  Person(QString file, int entry = 0) : file_(std::move(file)), entry_(entry) { arm(); }
  Person(const Person&) = delete;
  Person& operator=(const Person&) = delete;

  QStringList listEntries;
  QStringList listButtons;
  std::vector<ShownMessage> messages;

 private:
  void arm() {
    QTimer::singleShot(0, &alive_, [this] {
      arm();
      answer();
    });
  }
  void answer() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    if (auto* files = qobject_cast<QFileDialog*>(modal)) {
      files->selectFile(file_);
      static_cast<QDialog*>(files)->accept();
      if (files->isVisible()) files->reject();
    } else if (auto* list = qobject_cast<ListChoiceDialog*>(modal)) {
      for (int row = 0; row < list->list()->count(); ++row)
        listEntries << list->list()->item(row)->text();
      auto* box = list->findChild<QDialogButtonBox*>();
      for (QAbstractButton* button : box->buttons()) listButtons << button->text();
      list->list()->setCurrentRow(entry_);
      QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      messages.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
      box->button(QMessageBox::Ok)->click();
    } else {
      modal->close();
    }
  }

  QString file_;
  int entry_;
  QObject alive_;  // pending single shots end with the person
};

// What the widgets show of every field, of every option and of both dialogs' texts.
struct Shown {
  QStringList texts;
  QList<bool> red, enabled, options;
};
Shown shownBy(const MainForm& form) {
  Shown shown;
  for (const FieldInfo& info : kFields) {
    shown.texts << shownText(form, info.id);
    shown.red << shownRed(form, info.id);
    shown.enabled << form.fieldWidget(info.id)->isEnabled();
  }
  for (const OptionInfo& option : kOptions)
    shown.options << form.optionButton(option.id)->isChecked();
  return shown;
}
bool operator==(const Shown& a, const Shown& b) {
  return a.texts == b.texts && a.red == b.red && a.enabled == b.enabled && a.options == b.options;
}

QString examples() {
  return QStringLiteral(APH_EXAMPLES_DIR "/cases");
}

class CaseFilesTest : public QObject {
  Q_OBJECT

 private slots:
  // "打开", then "热力计算": field for field and colour for colour what `aphcalc-cli rate`
  // reports for the same file, with the same messages.
  void examplesShowWhatTheBatchToolReports_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("entry");
    const QStringList files = QDir(examples()).entryList({QStringLiteral("*.json")});
    QVERIFY(files.size() >= 3);
    for (const QString& name : files) {
      const auto cases = study::loadCases((examples() + QLatin1Char('/') + name).toStdString());
      for (std::size_t k = 0; k < cases.size(); ++k)
        QTest::newRow(qPrintable(name + QStringLiteral(": ") + qt(cases[k].name)))
            << examples() + QLatin1Char('/') + name << static_cast<int>(k);
    }
  }
  void examplesShowWhatTheBatchToolReports() {
    QFETCH(QString, file);
    QFETCH(int, entry);
    const std::vector<study::Case> cases = study::loadCases(file.toStdString());
    const study::CaseRun batch = study::rateCase(cases.at(static_cast<std::size_t>(entry)));

    MainForm form;
    form.show();
    // What the window held before is of no account: it returns to its freshly loaded state.
    typeField(form, FieldId::Text9, QStringLiteral("999"));
    clickControl(form, "Option2");
    Person person(file, entry);
    clickControl(form, "Command4");
    clickControl(form, "Command3");

    if (cases.size() > 1) {
      QStringList names;
      for (const study::Case& c : cases) names << qt(c.name);
      QCOMPARE(person.listEntries, names);
    }
    QStringList messages;
    for (const ShownMessage& m : person.messages)
      if (m.text != file) messages << m.text;  // the path box of "打开"
    QStringList batchMessages;
    for (const std::string& m : batch.status.messages) batchMessages << qt(m);
    QCOMPARE(messages, batchMessages);
    for (const FieldInfo& info : kFields) {
      const FieldState& expected = batch.window.field(info.id);
      QCOMPARE(shownText(form, info.id), qt(expected.text));
      QVERIFY2(shownRed(form, info.id) == (expected.color == TextColor::Red), info.name.data());
      QVERIFY2(form.fieldWidget(info.id)->isEnabled() == expected.enabled, info.name.data());
    }
    for (const OptionInfo& option : kOptions)
      QCOMPARE(form.optionButton(option.id)->isChecked(), batch.window.isSelected(option.id));
  }

  // Typed with the keyboard and clicked with the mouse, saved, and opened in another window.
  void whatIsSavedComesBack() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("热工设计 1.txt"));
    MainForm saving;
    saving.show();
    typeField(saving, FieldId::Text9, QStringLiteral("12abc"));
    typeField(saving, FieldId::Text10, QString());
    typeField(saving, FieldId::Text61, QString());
    typeField(saving, FieldId::Text18, QStringLiteral(" "));
    typeField(saving, FieldId::Combo3, QStringLiteral("11.5"));
    {
      // The pass counts and one factor typed into the dialogs; the message that the typed
      // temperature cannot be read answered with OK.
      const auto answer = [](QWidget& modal) {
        if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
          box->button(QMessageBox::Ok)->click();
          return;
        }
        auto* dialog = qobject_cast<DialogWindow*>(&modal);
        QVERIFY(dialog);
        if (dialog->kind() == DialogKind::PassCount) {
          typeText(*dialog->field("Text33"), QStringLiteral("2"));
          typeText(*dialog->field("Text34"), QStringLiteral("3"));
        } else {
          typeText(*dialog->field("Text39"), QStringLiteral("1.25"));
        }
        dialog->okButton()->click();
      };
      const ModalSteps dialogs({answer, answer, answer});
      clickControl(saving, "Option5");
      clickControl(saving, "Option3");
      clickControl(saving, "Command1");
      QVERIFY2(dialogs.allAnswered(), qPrintable(QStringLiteral("%1 answered, %2 unexpected")
                                                     .arg(dialogs.answered())
                                                     .arg(dialogs.unexpected())));
    }
    const Shown before = shownBy(saving);
    {
      Person person(path);
      clickControl(saving, "Command5");
      QCOMPARE(person.messages.size(), std::size_t{1});
      QCOMPARE(person.messages[0].text, path);
      QCOMPARE(person.messages[0].icon, QMessageBox::NoIcon);
    }
    QVERIFY(shownBy(saving) == before);

    std::ifstream in(path.toStdString());
    const auto saved = nlohmann::json::parse(in);
    QCOMPARE(saved.at("name"), "热工设计 1");
    QCOMPARE(saved.at("arrangement"), "multi-pass");
    QCOMPARE(saved.at("flow_mode"), "mass");
    QCOMPARE(saved.at("flue_gas").at("inlet_temperature"), "12abc");
    QCOMPARE(saved.at("flue_gas").at("mass_flow"), "");
    QCOMPARE(saved.at("plate").at("pairs"), " ");
    QCOMPARE(saved.at("flue_gas").at("channel_gap"), "11.5");
    QCOMPARE(saved.at("passes").at("air"), "3");
    QCOMPARE(saved.at("factors").at("flue_gas_resistance"), "1.25");

    MainForm opening;
    opening.show();
    Person person(path);
    clickControl(opening, "Command4");
    QCOMPARE(person.messages.size(), std::size_t{2});
    // Entering the case selects multi-pass with the same unreadable temperature: the same
    // message as when it was typed.
    QCOMPARE(person.messages[0].text, qt(saving.userInterface().messages().front().text));
    QCOMPARE(person.messages[1].text, path);
    QVERIFY(shownBy(opening) == before);
    for (const DialogKind kind : {DialogKind::Tuning, DialogKind::PassCount}) {
      const DialogForm* typed = saving.model().dialog(kind);
      const DialogForm* read = opening.model().dialog(kind);
      QVERIFY(typed && read);
      for (const DialogField& f : typed->fields()) QCOMPARE(qt(*read->find(f.name)), qt(f.text));
    }
  }

  // Saving over an existing file asks first, in the file dialog's own words; "否" returns to the
  // dialog, and cancelling it leaves the file as it was.
  void savingOverAFileAsksFirst_data() {
    QTest::addColumn<bool>("replace");
    QTest::newRow("replace") << true;
    QTest::newRow("keep") << false;
  }
  void savingOverAFileAsksFirst() {
    QFETCH(bool, replace);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("case.txt"));
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("old\n");
    }
    MainForm form;
    form.show();
    QString question;
    bool askedByTheFileDialog = false;
    ShownMessage pathBox;
    std::vector<ModalSteps::Step> steps = {
        [&](QWidget& modal) {
          auto* dialog = qobject_cast<QFileDialog*>(&modal);
          QVERIFY(dialog);
          dialog->selectFile(path);
          static_cast<QDialog*>(dialog)->accept();
        },
        [&](QWidget& modal) {
          auto* box = qobject_cast<QMessageBox*>(&modal);
          QVERIFY(box);
          question = box->text();
          askedByTheFileDialog = qobject_cast<QFileDialog*>(box->parentWidget()) != nullptr;
          box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
        }};
    if (replace) {
      steps.push_back(readMessage(pathBox));
    } else {
      steps.push_back([](QWidget& modal) { static_cast<QDialog&>(modal).reject(); });
    }
    const ModalSteps modal(std::move(steps));
    clickControl(form, "Command5");
    QVERIFY(modal.allAnswered());
    QVERIFY(askedByTheFileDialog);
    QVERIFY2(question.contains(QStringLiteral("case.txt")) && question.contains(QChar(0x5B58)),
             qPrintable(question));  // "…已存在…": the question is Qt's own, in Chinese
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    if (replace) {
      QCOMPARE(pathBox.text, path);
      QCOMPARE(nlohmann::json::parse(content.toStdString()).at("name"), "case");
    } else {
      QCOMPARE(content, QByteArray("old\n"));
      QVERIFY(form.userInterface().messages().empty());
    }
  }

  // A file that cannot be written, or read, is reported in the error form, naming the file and
  // the reason; the window stays as it was.
  void refusedFilesChangeNothing_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("content");  // written into `file` first, unless empty
    QTest::addColumn<QString>("message");
    // A folder that takes no new file, even from the superuser.
    QTest::newRow("save where no file may be made")
        << "Command5"
        << "/sys/aphcalc-case.txt"
        << "" << QStringLiteral("无法保存文件“/sys/aphcalc-case.txt”：权限不够");
    QTest::newRow("open a missing file")
        << "Command4"
        << "@/missing.json"
        << "" << QStringLiteral("无法打开文件“@/missing.json”：没有那个文件或目录");
    QTest::newRow("open a file that is no case file")
        << "Command4"
        << "@/notes.txt"
        << "design notes"
        << QStringLiteral("文件“@/notes.txt”不是可读的工况文件：第 1 行第 1 列：不是 JSON 格式");
    QTest::newRow("open a case file with a misspelt key")
        << "Command4"
        << "@/typo.json"
        << R"({"plate": {"pair": 90}})"
        << QStringLiteral("文件“@/typo.json”不是可读的工况文件：“plate.pair”：未知的参数");
  }
  void refusedFilesChangeNothing() {
    QFETCH(QString, button);
    QFETCH(QString, file);
    QFETCH(QString, content);
    QFETCH(QString, message);
    QTemporaryDir folder;
    file.replace(QLatin1Char('@'), folder.path());
    message.replace(QLatin1Char('@'), folder.path());
    if (!content.isEmpty()) {
      QFile written(file);
      QVERIFY(written.open(QIODevice::WriteOnly));
      written.write(content.toUtf8());
    }
    MainForm form;
    form.show();
    {
      const ModalSteps dialogs(
          {[](QWidget& modal) { static_cast<DialogWindow&>(modal).okButton()->click(); }});
      typeField(form, FieldId::Text9, QStringLiteral("12abc"));
      clickControl(form, "Option4");
      clickControl(form, "Option2");
      clickControl(form, "Command1");
      QVERIFY(dialogs.allAnswered());
    }
    const Shown before = shownBy(form);
    Person person(file);
    clickControl(form, button.toStdString());
    QCOMPARE(person.messages.size(), std::size_t{1});
    const ShownMessage& shown = person.messages[0];
    QCOMPARE(shown.title, QStringLiteral("出错！"));
    QCOMPARE(shown.icon, QMessageBox::Warning);
    QCOMPARE(shown.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QVERIFY2(shown.text.startsWith(message), qPrintable(shown.text));
    QVERIFY(shownBy(form) == before);
    QVERIFY(form.model().dialog(DialogKind::Tuning));
  }

  // A file of several load cases offers their names; "取消" leaves the window as it was.
  void loadCaseListCanBeCancelled() {
    MainForm form;
    form.show();
    typeField(form, FieldId::Text18, QStringLiteral("77"));
    const Shown before = shownBy(form);
    QStringList entries, buttons;
    const ModalSteps modal({[](QWidget& dialog) {
                              static_cast<QFileDialog&>(dialog).selectFile(
                                  examples() + QStringLiteral("/boiler-loads.json"));
                              static_cast<QDialog&>(dialog).accept();
                            },
                            [&](QWidget& dialog) {
                              auto* list = qobject_cast<ListChoiceDialog*>(&dialog);
                              QVERIFY(list);
                              QCOMPARE(list->windowTitle(), QStringLiteral("选择工况"));
                              for (int row = 0; row < list->list()->count(); ++row)
                                entries << list->list()->item(row)->text();
                              auto* box = list->findChild<QDialogButtonBox*>();
                              buttons << box->button(QDialogButtonBox::Ok)->text()
                                      << box->button(QDialogButtonBox::Cancel)->text();
                              QTest::mouseClick(box->button(QDialogButtonBox::Cancel),
                                                Qt::LeftButton);
                            }});
    clickControl(form, "Command4");
    QVERIFY(modal.allAnswered());
    QCOMPARE(entries, (QStringList{"100 % 负荷", "75 % 负荷", "50 % 负荷"}));
    QCOMPARE(buttons, (QStringList{"确定", "取消"}));
    QVERIFY(shownBy(form) == before);
    QVERIFY(form.userInterface().messages().empty());
  }
};

}  // namespace

std::unique_ptr<QObject> makeCaseFilesTest() {
  return std::make_unique<CaseFilesTest>();
}

}  // namespace aph::app::test

#include "case_files_test.moc"
