// The window as it opens: places, captions, typeface, defaults, lists, selections, enabled
// states and caption colours.
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <set>

#include "app/appearance.hpp"
#include "app/dialog_window.hpp"
#include "model/layout.hpp"
#include "test_groups.hpp"
#include "test_support.hpp"

namespace aph::app::test {
namespace {

QString qt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The label that captions a field.
QLabel* captionOf(const MainForm& form, std::string_view field) {
  for (QLabel* label : form.findChildren<QLabel*>())
    if (label->buddy() == form.control(field)) return label;
  return nullptr;
}

bool isSongFamily(const QString& family) {
  return family == QStringLiteral("SimSun") || family == QStringLiteral("宋体") ||
         family == QStringLiteral("Noto Serif CJK SC");
}

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { form_ = std::make_unique<MainForm>(); }
  void cleanup() { form_.reset(); }

  void windowFrame() {
    const TwipsScale scale = TwipsScale::of(form_->screen());
    QCOMPARE(form_->windowTitle(), QStringLiteral(" "));
    QCOMPARE(form_->size(), scale.size(23130, 12615));
    QVERIFY(form_->minimumSize() != form_->maximumSize());  // sizable
  }

  // Absolute places in twips, summed from the frames' places and the controls' places within.
  void statedPlaces_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Command4") << "Command4" << QRect(240, 120, 0, 0);
    QTest::newRow("Command5") << "Command5" << QRect(1440, 120, 0, 0);
    QTest::newRow("Label1") << "Label1" << QRect(7200, 120, 0, 0);
    QTest::newRow("Frame1") << "Frame1" << QRect(240, 720, 8895, 9735);
    QTest::newRow("Frame12") << "Frame12" << QRect(9720, 720, 9975, 9735);
    QTest::newRow("Frame3") << "Frame3" << QRect(720, 1200, 3855, 6255);
    QTest::newRow("Frame2") << "Frame2" << QRect(4800, 1200, 3855, 6255);
    QTest::newRow("Text8") << "Text8" << QRect(2880, 1440, 1215, 0);
    QTest::newRow("Text60") << "Text60" << QRect(2880, 6720, 1215, 0);
    QTest::newRow("Text24") << "Text24" << QRect(6960, 6720, 1215, 0);
    QTest::newRow("Option4") << "Option4" << QRect(360, 1680, 0, 0);
    QTest::newRow("Option5") << "Option5" << QRect(360, 2160, 0, 0);
    QTest::newRow("Frame4") << "Frame4" << QRect(720, 7800, 5535, 2055);
    QTest::newRow("Text59") << "Text59" << QRect(4920, 9240, 1215, 0);
    QTest::newRow("Text17") << "Text17" << QRect(12840, 1080, 1215, 0);
    QTest::newRow("Combo2") << "Combo2" << QRect(17640, 1560, 1215, 0);
    QTest::newRow("Frame13") << "Frame13" << QRect(9960, 2160, 4455, 5895);
    QTest::newRow("Frame14") << "Frame14" << QRect(14640, 2160, 4575, 5895);
    QTest::newRow("Text45") << "Text45" << QRect(12840, 7320, 1215, 0);
    QTest::newRow("Combo4") << "Combo4" << QRect(17640, 3480, 1215, 0);
    QTest::newRow("Text46") << "Text46" << QRect(17640, 7320, 1215, 0);
    QTest::newRow("Text49") << "Text49" << QRect(12840, 9600, 1215, 0);
    QTest::newRow("Command3") << "Command3" << QRect(14640, 8160, 2655, 735);
    QTest::newRow("Command2") << "Command2" << QRect(14640, 9360, 2655, 615);
    QTest::newRow("Command1") << "Command1" << QRect(17640, 8160, 1575, 735);
  }
  void statedPlaces() {
    QFETCH(QString, control);
    QFETCH(QRect, twips);
    QWidget* widget = form_->control(control.toStdString());
    QVERIFY(widget);
    const TwipsScale scale = TwipsScale::of(form_->screen());
    const QPoint at = widget->mapTo(form_.get(), QPoint(0, 0));
    // Places are rounded frame by frame: one pixel either way is the rounding, not an error.
    QVERIFY2(std::abs(at.x() - scale.x(twips.left())) <= 1, qPrintable(QString::number(at.x())));
    QVERIFY2(std::abs(at.y() - scale.y(twips.top())) <= 1, qPrintable(QString::number(at.y())));
    if (twips.width() > 0) QVERIFY(std::abs(widget->width() - scale.x(twips.width())) <= 1);
    if (twips.height() > 0) QVERIFY(std::abs(widget->height() - scale.y(twips.height())) <= 1);
  }

  // Every caption beside a field is the field's caption of the window model, and the three
  // arrangement buttons carry the captions of their result fields.
  void captionsAgreeWithModel() {
    for (const FieldInfo& info : kFields) {
      if (info.group == FieldGroup::MeanTemperatureDifference) continue;
      QLabel* label = captionOf(*form_, info.name);
      QVERIFY2(label, info.name.data());
      QCOMPARE(label->text(), qt(info.caption));
    }
    const std::pair<std::string_view, FieldId> arrangement[] = {
        {"Option1", FieldId::Text58}, {"Option2", FieldId::Text15}, {"Option3", FieldId::Text59}};
    for (const auto& [option, field] : arrangement)
      QCOMPARE(static_cast<QRadioButton*>(form_->control(option))->text(),
               qt(fieldInfo(field).caption));
    for (const DialogKind kind : {DialogKind::Tuning, DialogKind::PassCount}) {
      DialogWindow& dialog = form_->dialogWindow(kind);
      const DialogForm defaults(kind);
      for (const DialogField& field : defaults.fields()) {
        QLabel* label = nullptr;
        for (QLabel* candidate : dialog.findChildren<QLabel*>())
          if (candidate->buddy() == dialog.field(field.name) ||
              candidate->text() == qt(field.caption))
            label = candidate;
        QVERIFY2(label, field.name.data());
        QCOMPARE(label->text(), qt(field.caption));
      }
    }
  }

  // No caption is cut off by its own box, on the main window or on either dialog.
  void captionsFit() {
    std::vector<QWidget*> windows = {form_.get(), &form_->dialogWindow(DialogKind::Tuning),
                                     &form_->dialogWindow(DialogKind::PassCount)};
    for (QWidget* window : windows) {
      for (QLabel* label : window->findChildren<QLabel*>()) {
        const QSize needed = label->sizeHint();
        QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                 qPrintable(label->text()));
      }
      for (QRadioButton* option : window->findChildren<QRadioButton*>())
        QVERIFY2(option->sizeHint().width() <= option->width(), qPrintable(option->text()));
      for (QPushButton* button : window->findChildren<QPushButton*>())
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) + 8 <= button->width(),
                 qPrintable(button->text()));
      for (QGroupBox* frame : window->findChildren<QGroupBox*>())
        QVERIFY2(frame->fontMetrics().horizontalAdvance(frame->title()) + 16 <= frame->width(),
                 qPrintable(frame->title()));
    }
  }

  void songTypeface() {
    QList<QWidget*> widgets = form_->findChildren<QWidget*>();
    widgets.push_back(&form_->dialogWindow(DialogKind::Tuning));
    for (QWidget* widget : widgets) {
      if (widget->objectName().isEmpty() || widget->objectName().startsWith(QLatin1String("qt_")))
        continue;  // the inner parts of lists and the like
      const QFontInfo font(widget->font());
      QVERIFY2(isSongFamily(font.family()),
               qPrintable(widget->objectName() + ": " + font.family()));
      const QString name = widget->objectName();
      if (name == QLatin1String("Frame1") || name == QLatin1String("Frame12")) {
        QCOMPARE(widget->font().pointSizeF(), 14.25);
        QVERIFY(widget->font().bold());
      } else if (name == QLatin1String("Label1")) {
        QCOMPARE(widget->font().pointSizeF(), 15.0);
        QVERIFY(widget->font().bold());
      } else {
        QVERIFY2(widget->font().pointSizeF() == 12.0 && !widget->font().bold(), qPrintable(name));
      }
    }
  }

  void defaultTextsAndLists() {
    for (const FieldInfo& info : kFields) {
      if (!info.isList) {
        QCOMPARE(shownText(*form_, info.id), qt(info.defaultText));
        continue;
      }
      const ListInfo& list = listInfo(info.id);
      auto* combo = static_cast<QComboBox*>(form_->fieldWidget(info.id));
      QVERIFY(combo->isEditable());
      QCOMPARE(combo->count(), static_cast<int>(list.count));
      for (std::size_t k = 0; k < list.count; ++k)
        QCOMPARE(combo->itemText(static_cast<int>(k)), qt(list.entries[k]));
      QCOMPARE(combo->currentIndex(), list.startIndex);
      QCOMPARE(combo->currentText(), qt(info.defaultText));
    }
    auto* combo4 = static_cast<QComboBox*>(form_->fieldWidget(FieldId::Combo4));
    QCOMPARE(combo4->currentText(), QStringLiteral("9"));
    QCOMPARE(combo4->itemText(1), QStringLiteral("6"));
  }

  void nothingSelectedAndFlowFieldsOpen() {
    for (QRadioButton* option : form_->findChildren<QRadioButton*>()) QVERIFY(!option->isChecked());
    for (const FieldId id : {FieldId::Text8, FieldId::Text1, FieldId::Text61, FieldId::Text62})
      QVERIFY(form_->fieldWidget(id)->isEnabled());
  }

  void eightDisabledControls() {
    std::set<QString> disabled;
    for (QWidget* widget : form_->findChildren<QWidget*>())
      if (!widget->isEnabled() && !widget->objectName().isEmpty() &&
          !widget->objectName().startsWith(QLatin1String("qt_")))
        disabled.insert(widget->objectName());
    std::set<QString> expected;
    for (const std::string_view field : {"Text43", "Text63", "Text27", "Text28"}) {
      expected.insert(qt(field));
      expected.insert(captionOf(*form_, field)->objectName());
    }
    QCOMPARE(disabled, expected);
  }

  void blueCaptions() {
    std::set<QString> blue;
    for (QLabel* label : form_->findChildren<QLabel*>())
      if (label->palette().color(QPalette::WindowText) == QColor(0, 0, 255))
        blue.insert(label->buddy()->objectName());
    const std::set<QString> expected = {"Text16", "Text33", "Combo3", "Text34", "Text26",
                                        "Combo4", "Text17", "Text18", "Combo1", "Combo2",
                                        "Text9",  "Text10", "Text2",  "Text3",  "Text1"};
    QCOMPARE(blue, expected);
  }

  // What is typed goes into the model as typed; lists accept any text.
  void typingReachesModel_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("listIndex");
    QTest::newRow("temperature") << "Text9"
                                 << "300" << -1;
    QTest::newRow("negative air inlet") << "Text2"
                                        << "-5" << -1;
    QTest::newRow("result field") << "Text49"
                                  << "abc" << -1;
    QTest::newRow("list, own text") << "Combo3"
                                    << "11.5" << -1;
    QTest::newRow("list, an entry typed") << "Combo3"
                                          << "11" << 6;
    QTest::newRow("list cleared") << "Combo3"
                                  << "" << -1;
    QTest::newRow("list, no completion") << "Combo1"
                                         << "1" << -1;
  }
  void typingReachesModel() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(int, listIndex);
    const FieldId id = *findField(field.toStdString());
    typeField(*form_, id, typed);
    QCOMPARE(QString::fromStdString(form_->model().text(id)), typed);
    QCOMPARE(shownText(*form_, id), typed);
    if (fieldInfo(id).isList) QCOMPARE(form_->model().field(id).listIndex, listIndex);
  }

  void pickingListEntry() {
    auto* combo = static_cast<QComboBox*>(form_->fieldWidget(FieldId::Combo4));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(form_->model().text(FieldId::Combo4), std::string("10"));
    QCOMPARE(form_->model().field(FieldId::Combo4).listIndex, 5);
  }

 private:
  std::unique_ptr<MainForm> form_;
};

}  // namespace

std::unique_ptr<QObject> makeStartupTest() {
  return std::make_unique<StartupTest>();
}

}  // namespace aph::app::test

#include "startup_test.moc"
