// The tuning dialog Form2 and the pass-count dialog Form3: their windows, what they keep while
// hidden, what their close button discards, and what the calculation reads from them.
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/appearance.hpp"
#include "app/dialog_window.hpp"
#include "test_groups.hpp"
#include "test_support.hpp"

namespace aph::app::test {
namespace {

struct SeenDialog {
  QString title;
  bool modal = false;
  bool fixedSize = false;
  QSize size;
  Qt::WindowFlags flags;
  QWidget* parent = nullptr;
  QStringList texts;     // the fields, in tab order
  QStringList tabOrder;  // object names
  bool leftByEscape = true;
};

// Reads the dialog, tries Escape, types `typed` into its fields in order, then presses "确定"
// or, with `close`, its close button.
ModalSteps::Step useDialog(SeenDialog& seen, QStringList typed, bool close) {
  return [&seen, typed, close](QWidget& modal) {
    auto* dialog = qobject_cast<DialogWindow*>(&modal);
    if (!dialog) {
      modal.close();
      return;
    }
    seen.title = dialog->windowTitle();
    seen.modal = dialog->isModal();
    seen.fixedSize = dialog->minimumSize() == dialog->maximumSize();
    seen.size = dialog->size();
    seen.flags = dialog->windowFlags();
    seen.parent = dialog->parentWidget();
    QWidget* start = dialog->findChildren<QLineEdit*>().value(0);
    for (QWidget* w = start; w;) {
      if (w->focusPolicy() & Qt::TabFocus) {
        seen.tabOrder << w->objectName();
        if (auto* edit = qobject_cast<QLineEdit*>(w)) seen.texts << edit->text();
      }
      w = w->nextInFocusChain();
      if (w == start || w == dialog) break;
    }
    QTest::keyClick(dialog, Qt::Key_Escape);
    seen.leftByEscape = !dialog->isVisible();
    if (seen.leftByEscape) return;
    const QStringList names = {seen.tabOrder.begin(), seen.tabOrder.end() - 1};
    for (int k = 0; k < typed.size() && k < names.size(); ++k)
      typeText(*dialog->field(names[k].toStdString()), typed[k]);
    if (close) {
      dialog->close();
    } else {
      QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    }
  };
}

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { form_ = std::make_unique<MainForm>(); }
  void cleanup() { form_.reset(); }

  void dialogWindows_data() {
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("twips");
    QTest::addColumn<QStringList>("tabOrder");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("Form2") << "Command1"
                           << "Form2" << QSize(7560, 4785)
                           << QStringList{"Text37", "Text38", "Text39", "Text40", "Command1"}
                           << QStringList{"1.0", "1.0", "1.0", "1.0"};
    QTest::newRow("Form3") << "Option3"
                           << "Form3" << QSize(6495, 4770)
                           << QStringList{"Text33", "Text34", "Command1"} << QStringList{"", ""};
  }
  void dialogWindows() {
    QFETCH(QString, opener);
    QFETCH(QString, title);
    QFETCH(QSize, twips);
    QFETCH(QStringList, tabOrder);
    QFETCH(QStringList, texts);
    SeenDialog seen;
    ShownMessage refused;  // Form3 left without counts
    const ModalSteps modal({useDialog(seen, {}, false), readMessage(refused)});
    clickControl(*form_, opener.toStdString());
    QCOMPARE(seen.title, title);
    QVERIFY(seen.modal);
    QVERIFY(seen.fixedSize);
    QCOMPARE(seen.size, TwipsScale::of(form_->screen()).size(twips.width(), twips.height()));
    QVERIFY(!(seen.flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(seen.flags & Qt::WindowCloseButtonHint);
    QCOMPARE(seen.flags & Qt::WindowType_Mask, Qt::Dialog);  // owned: no task-bar entry
    QCOMPARE(seen.parent, form_.get());
    QCOMPARE(seen.tabOrder, tabOrder);
    QCOMPARE(seen.texts, texts);
    QVERIFY(!seen.leftByEscape);
    QCOMPARE(modal.answered(), opener == QLatin1String("Option3") ? 2 : 1);
  }

  // "确定" keeps what was typed for the next showing; the close button discards it, and the
  // next showing starts from the defaults again.
  void keptByOkDiscardedByClose_data() {
    QTest::addColumn<QString>("opener");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QStringList>("defaults");
    QTest::newRow("Form2") << "Command1" << int(DialogKind::Tuning)
                           << QStringList{"1.2", "0.9", "", "1.1"}
                           << QStringList{"1.0", "1.0", "1.0", "1.0"};
    QTest::newRow("Form3") << "Option3" << int(DialogKind::PassCount) << QStringList{"2", "3"}
                           << QStringList{"", ""};
  }
  void keptByOkDiscardedByClose() {
    QFETCH(QString, opener);
    QFETCH(int, kind);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, defaults);
    const bool passes = kind == int(DialogKind::PassCount);
    SeenDialog first, second, third;
    ShownMessage refusedAfterClose, refusedEmpty;
    std::vector<ModalSteps::Step> steps = {useDialog(first, typed, false),
                                           useDialog(second, typed, true)};
    if (passes) steps.push_back(readMessage(refusedAfterClose));
    steps.push_back(useDialog(third, {}, false));
    if (passes) steps.push_back(readMessage(refusedEmpty));
    const ModalSteps modal(std::move(steps));

    clickControl(*form_, opener.toStdString());
    QVERIFY(form_->model().dialog(DialogKind(kind)));
    QCOMPARE(form_->model().dialog(DialogKind(kind))->fields().front().text,
             typed.front().toStdString());
    const QString multiPass = shownText(*form_, FieldId::Text59);

    clickControl(*form_, opener.toStdString());  // shows what was typed; then closed
    QCOMPARE(second.texts, typed);
    QVERIFY(!form_->model().dialog(DialogKind(kind)) || passes);
    if (passes) {
      // The counts read right after the close are the defaults: empty, refused.
      QCOMPARE(refusedAfterClose.text, QStringLiteral("流程输入有误！"));
      QCOMPARE(shownText(*form_, FieldId::Text59), multiPass);
    }

    clickControl(*form_, opener.toStdString());
    QCOMPARE(third.texts, defaults);
    QVERIFY(modal.allAnswered());
    if (passes) QVERIFY(!multiPass.isEmpty());
  }

  // The calculation reads the factors of Form2 whether or not it was ever shown.
  void calculationReadsFactors() {
    clickControl(*form_, "Option4");
    clickControl(*form_, "Option1");
    clickControl(*form_, "Command3");
    QVERIFY(form_->model().dialog(DialogKind::Tuning));  // created hidden to be read
    QVERIFY(!form_->existingDialogWindow(DialogKind::Tuning) ||
            !form_->existingDialogWindow(DialogKind::Tuning)->isVisible());
    const QString flueGasNu = shownText(*form_, FieldId::Text30);
    const QString airNu = shownText(*form_, FieldId::Text35);

    SeenDialog kept, discarded;
    {
      const ModalSteps modal({useDialog(kept, {"2"}, false)});
      clickControl(*form_, "Command1");
      clickControl(*form_, "Command3");
      QVERIFY(modal.allAnswered());
    }
    QCOMPARE(shownText(*form_, FieldId::Text30).toDouble(), 2 * flueGasNu.toDouble());

    {
      // Typed, then closed: the next run reads the defaults again.
      const ModalSteps modal({useDialog(discarded, {"1.0", "2"}, true)});
      clickControl(*form_, "Command1");
      clickControl(*form_, "Command3");
      QVERIFY(modal.allAnswered());
    }
    QCOMPARE(shownText(*form_, FieldId::Text30), flueGasNu);
    QCOMPARE(shownText(*form_, FieldId::Text35), airNu);
  }

  // More passes bring the multi-pass difference from the crossflow towards the counterflow
  // value; the next calculation rates against it.
  void passCountsGiveMultiPassDifference() {
    SeenDialog one, two, four;
    const ModalSteps modal({useDialog(one, {"1", "1"}, false), useDialog(two, {"2", "2"}, false),
                            useDialog(four, {"4", "4"}, false)});
    clickControl(*form_, "Option3");
    const double single = shownText(*form_, FieldId::Text59).toDouble();
    clickControl(*form_, "Option3");
    const double twice = shownText(*form_, FieldId::Text59).toDouble();
    clickControl(*form_, "Option3");
    const double fourfold = shownText(*form_, FieldId::Text59).toDouble();
    QVERIFY(modal.allAnswered());
    QCOMPARE(two.texts, (QStringList{"1", "1"}));
    QVERIFY(single > 100 && single < twice && twice < fourfold && fourfold < 140);
    QCOMPARE(QString::number(single, 'f', 3),
             QString::number(form_->model().state().crossflowDifference, 'f', 3));
  }

 private:
  std::unique_ptr<MainForm> form_;
};

}  // namespace

std::unique_ptr<QObject> makeDialogsTest() {
  return std::make_unique<DialogsTest>();
}

}  // namespace aph::app::test

#include "dialogs_test.moc"
