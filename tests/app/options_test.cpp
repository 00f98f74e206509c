// The option buttons: the two groups, and the flow-mode buttons switching the flow fields.
#include <QApplication>
#include <QRadioButton>
#include <QtTest>

#include "test_groups.hpp"
#include "test_support.hpp"

namespace aph::app::test {
namespace {

class OptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { form_ = std::make_unique<MainForm>(); }
  void cleanup() { form_.reset(); }

  // Which flow fields are open after a sequence of flow-mode clicks; their texts never change.
  void flowModeSwitchesFlowFields_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("volumeOpen");
    QTest::addColumn<bool>("massOpen");
    QTest::newRow("volume") << QStringList{"Option4"} << true << false;
    QTest::newRow("mass") << QStringList{"Option5"} << false << true;
    QTest::newRow("volume, then mass") << QStringList{"Option4", "Option5"} << false << true;
    QTest::newRow("mass, then volume") << QStringList{"Option5", "Option4"} << true << false;
    QTest::newRow("volume twice") << QStringList{"Option4", "Option4"} << true << false;
  }
  void flowModeSwitchesFlowFields() {
    QFETCH(QStringList, clicks);
    QFETCH(bool, volumeOpen);
    QFETCH(bool, massOpen);
    typeField(*form_, FieldId::Text61, QStringLiteral("1000"));
    for (const QString& option : clicks) clickControl(*form_, option.toStdString());
    for (const FieldId id : {FieldId::Text8, FieldId::Text1}) {
      QCOMPARE(form_->fieldWidget(id)->isEnabled(), volumeOpen);
      QCOMPARE(form_->model().field(id).enabled, volumeOpen);
    }
    for (const FieldId id : {FieldId::Text61, FieldId::Text62}) {
      QCOMPARE(form_->fieldWidget(id)->isEnabled(), massOpen);
      QCOMPARE(form_->model().field(id).enabled, massOpen);
    }
    QCOMPARE(shownText(*form_, FieldId::Text8), QStringLiteral("294982.42"));
    QCOMPARE(shownText(*form_, FieldId::Text61), QStringLiteral("1000"));
  }

  // The arrangement and the flow mode are chosen independently; within a group one only.
  void twoIndependentGroups_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("selected");  // one digit per selected option, in order
    QTest::newRow("arrangement, then flow mode") << QStringList{"Option1", "Option4"} << "14";
    QTest::newRow("flow mode, then arrangement") << QStringList{"Option5", "Option2"} << "25";
    QTest::newRow("arrangement changed") << QStringList{"Option1", "Option4", "Option2"} << "24";
    QTest::newRow("flow mode changed") << QStringList{"Option2", "Option4", "Option5"} << "25";
  }
  void twoIndependentGroups() {
    QFETCH(QStringList, clicks);
    QFETCH(QString, selected);
    for (const QString& option : clicks) clickControl(*form_, option.toStdString());
    for (int k = 0; k < 5; ++k) {
      const bool expected = selected.contains(QString::number(k + 1));
      QCOMPARE(form_->optionButton(static_cast<OptionId>(k))->isChecked(), expected);
      QCOMPARE(form_->model().isSelected(static_cast<OptionId>(k)), expected);
    }
  }

  // Moving through a group with the arrow keys selects, just as a click does.
  void arrowKeysSelect() {
    form_->show();
    QApplication::setActiveWindow(form_.get());
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    clickControl(*form_, "Option4");
    QRadioButton* volume = form_->optionButton(OptionId::Option4);
    volume->setFocus();
    QTest::keyClick(volume, Qt::Key_Down);
    QVERIFY(form_->model().isSelected(OptionId::Option5));
    QVERIFY(!form_->fieldWidget(FieldId::Text8)->isEnabled());
  }

 private:
  std::unique_ptr<MainForm> form_;
};

}  // namespace

std::unique_ptr<QObject> makeOptionsTest() {
  return std::make_unique<OptionsTest>();
}

}  // namespace aph::app::test

#include "options_test.moc"
