// Whole calculations driven by mouse and keyboard, checked against the window model run on its
// own; the error messages and what stands behind them.
#include <QHelpEvent>
#include <QLineEdit>
#include <QToolTip>
#include <QtTest>
#include <nlohmann/json.hpp>

#include "session/session.hpp"
#include "test_groups.hpp"
#include "test_support.hpp"

namespace aph::app::test {
namespace {

// Steps of a session: "Text9=300" types a text, "Option4" clicks a control.
using Steps = QStringList;

// The same steps as a session script for the window model alone.
session::Script scriptOf(const Steps& steps) {
  nlohmann::json actions = nlohmann::json::array();
  for (const QString& step : steps) {
    const qsizetype eq = step.indexOf(QLatin1Char('='));
    if (eq < 0) {
      actions.push_back({{"click", step.toStdString()}});
    } else {
      actions.push_back({{"set", {{step.left(eq).toStdString(), step.mid(eq + 1).toStdString()}}}});
    }
  }
  return session::parseScript(nlohmann::json{{"actions", actions}}.dump());
}

void perform(MainForm& form, const Steps& steps) {
  for (const QString& step : steps) {
    const qsizetype eq = step.indexOf(QLatin1Char('='));
    if (eq < 0) {
      clickControl(form, step.toStdString());
    } else {
      typeField(form, *findField(step.left(eq).toStdString()), step.mid(eq + 1));
    }
  }
}

class CalculationTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { form_ = std::make_unique<MainForm>(); }
  void cleanup() { form_.reset(); }

  // Every field shows what the model alone computes for the same session, in the same colour
  // and enabled state.
  void windowShowsModelResults_data() {
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<int>("messages");
    QTest::newRow("counterflow, volume flows") << Steps{"Option4", "Option1", "Command3"} << 0;
    QTest::newRow("crossflow, mass flows")
        << Steps{"Text61=247785.2328", "Text62=326100", "Option5", "Option2", "Command3"} << 0;
    QTest::newRow("properties from the tables")
        << Steps{"Text11=", "Text12=", "Text13=", "Text14=", "Text4=",  "Text5=",
                 "Text6=",  "Text7=",  "Option4", "Option1", "Command3"}
        << 0;
    QTest::newRow("typed inputs and lists")
        << Steps{"Text9=320",   "Text18=90", "Combo1=1.2", "Combo3=8",
                 "Combo4=11.5", "Option4",   "Option2",    "Command3"}
        << 0;
    QTest::newRow("two runs, second with new temperatures")
        << Steps{"Option4", "Option1", "Command3", "Text10=150", "Command3"} << 0;
    // The flows of a run without a flow mode are those of the previous run: none on a first.
    QTest::newRow("neither flow mode") << Steps{"Option1", "Command3"} << 1;
    QTest::newRow("air table out of range")
        << Steps{"Text4=",     "Text5=",  "Text6=",  "Text7=",  "Text2=5000",
                 "Text3=6000", "Option4", "Option1", "Command3"}
        << -1;  // warnings, then whatever the run meets: as many as the model shows
  }
  void windowShowsModelResults() {
    QFETCH(Steps, steps);
    QFETCH(int, messages);
    MainWindow alone;
    session::ScriptedUserInterface answers;
    session::replay(alone, scriptOf(steps), answers);
    const int expectedMessages =
        messages >= 0 ? messages : static_cast<int>(answers.messages.size());
    QCOMPARE(static_cast<int>(answers.messages.size()), expectedMessages);

    std::vector<ModalSteps::Step> okSteps;
    std::vector<ShownMessage> shown(static_cast<std::size_t>(expectedMessages));
    for (ShownMessage& message : shown) okSteps.push_back(readMessage(message));
    {
      const ModalSteps modal(std::move(okSteps));
      perform(*form_, steps);
      QVERIFY(modal.allAnswered());
    }
    for (std::size_t k = 0; k < shown.size(); ++k)
      QCOMPARE(shown[k].text, QString::fromStdString(answers.messages[k].text));
    for (const FieldInfo& info : kFields) {
      const FieldState& expected = alone.field(info.id);
      QCOMPARE(shownText(*form_, info.id), QString::fromStdString(expected.text));
      QVERIFY2(shownRed(*form_, info.id) == (expected.color == TextColor::Red), info.name.data());
      QVERIFY2(form_->fieldWidget(info.id)->isEnabled() == expected.enabled, info.name.data());
    }
  }

  void pressureDropsAndMarginInRed() {
    perform(*form_, {"Option4", "Option1", "Command3"});
    for (const FieldId id : {FieldId::Text45, FieldId::Text46, FieldId::Text49})
      QVERIFY(shownRed(*form_, id));
    QVERIFY(!shownRed(*form_, FieldId::Text52));
    // Smaller flows bring both pressure drops under 500 Pa: the colour goes back.
    perform(*form_, {"Text8=50000", "Text1=50000", "Command3"});
    for (const FieldId id : {FieldId::Text45, FieldId::Text46})
      QCOMPARE(shownRed(*form_, id), form_->model().field(id).color == TextColor::Red);
    QVERIFY(!shownRed(*form_, FieldId::Text45));
  }

  // The input checks: title "出错！", warning icon, OK and Cancel; either button ends the run.
  void checkMessages_data() {
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("button");
    QTest::newRow("no arrangement")
        << Steps{"Option4", "Command3"} << "未选择流动形式！" << int(QMessageBox::Ok);
    QTest::newRow("no arrangement, Cancel")
        << Steps{"Command3"} << "未选择流动形式！" << int(QMessageBox::Cancel);
    QTest::newRow("plate pairs zero")
        << Steps{"Text18=0", "Option1", "Command3"} << "数值输入有误！" << int(QMessageBox::Ok);
    QTest::newRow("numeric before arrangement")
        << Steps{"Combo1=abc", "Command3"} << "数值输入有误！" << int(QMessageBox::Ok);
    QTest::newRow("volume flows empty")
        << Steps{"Text8=", "Text1=", "Option4", "Option1", "Command3"} << "体积流量未输入！"
        << int(QMessageBox::Ok);
    QTest::newRow("mass flows empty")
        << Steps{"Option5", "Option2", "Command3"} << "质量流量未输入！" << int(QMessageBox::Ok);
  }
  void checkMessages() {
    QFETCH(Steps, steps);
    QFETCH(QString, message);
    QFETCH(int, button);
    ShownMessage shown;
    const ModalSteps modal({readMessage(shown, QMessageBox::StandardButton(button))});
    perform(*form_, steps);
    QVERIFY(modal.allAnswered());
    QCOMPARE(shown.text, message);
    QCOMPARE(shown.title, QStringLiteral("出错！"));
    QCOMPARE(shown.icon, QMessageBox::Warning);
    QCOMPARE(shown.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(shownText(*form_, FieldId::Text58), QString());  // the run ended before it
  }

  // The property fields a run writes before its flow check fails are already on screen while
  // the message is up, and stay; later results are not written.
  void writtenFieldsVisibleBehindMessage() {
    QString densityBehind;
    QString counterflowBehind = QStringLiteral("unset");
    ShownMessage shown;
    const ModalSteps modal({[&](QWidget& box) {
      densityBehind = shownText(*form_, FieldId::Text4);
      counterflowBehind = shownText(*form_, FieldId::Text58);
      readMessage(shown)(box);
    }});
    perform(*form_, {"Text4=", "Text5=", "Text6=", "Text7=", "Text8=", "Text1=", "Option4",
                     "Option1", "Command3"});
    QVERIFY(modal.allAnswered());
    QCOMPARE(shown.text, QStringLiteral("体积流量未输入！"));
    QVERIFY(!densityBehind.isEmpty());
    QCOMPARE(densityBehind, QString::fromStdString(form_->model().text(FieldId::Text4)));
    QCOMPARE(counterflowBehind, QString());
    QCOMPARE(shownText(*form_, FieldId::Text4), densityBehind);
  }

  // Fields keep their width and show the leading characters of a long text; resting the pointer
  // on such a field shows the whole text, on a field whose text fits nothing.
  void longTextsShowInFullAsTooltip() {
    form_->show();
    perform(*form_, {"Combo3=10.000000000000000000001", "Option4", "Option1", "Command3"});
    // The tooltip the field gives when the pointer rests on it.
    const auto tipOver = [](QLineEdit& line) {
      const QPoint centre = line.rect().center();
      QHelpEvent hover(QEvent::ToolTip, centre, line.mapToGlobal(centre));
      QApplication::sendEvent(&line, &hover);
      return line.toolTip();
    };
    const QFontMetrics metrics(form_->fieldLine(FieldId::Text54)->font());
    int longOnes = 0;
    for (const FieldInfo& info : kFields) {
      QLineEdit& line = *form_->fieldLine(info.id);
      const QString tip = tipOver(line);
      // Independently of the window's own test: a text clearly wider than the field does not
      // fit, one clearly narrower does.
      const int width = metrics.horizontalAdvance(line.text());
      if (width > line.width()) {
        ++longOnes;
        QCOMPARE(tip, line.text());
      } else if (width < line.width() / 2) {
        QCOMPARE(tip, QString());
      }
    }
    // Prandtl numbers, duties, Reynolds numbers, the typed gap: more than a handful.
    QVERIFY2(longOnes >= 4, qPrintable(QString::number(longOnes)));
    QCOMPARE(tipOver(*form_->fieldLine(FieldId::Combo3)),
             QStringLiteral("10.000000000000000000001"));
    QVERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QStringLiteral("10.000000000000000000001"));
    QToolTip::hideText();
  }

 private:
  std::unique_ptr<MainForm> form_;
};

}  // namespace

std::unique_ptr<QObject> makeCalculationTest() {
  return std::make_unique<CalculationTest>();
}

}  // namespace aph::app::test

#include "calculation_test.moc"
