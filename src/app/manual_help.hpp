// src/app: F1, the user manual at the section of the field that has the focus.
#pragma once

#include <QString>
#include <string_view>

#include "model/fields.hpp"

class QWidget;

namespace aph::app {

class DialogWindow;
class MainForm;

// The anchor of the manual's section that explains `focus` (a field, a list, an option button
// or a button of the window); empty where the manual has none for it, so it opens at its start.
std::string_view manualSection(const MainForm& form, const QWidget* focus);

// The anchor of the manual's section on the tuning dialog Form2 or the pass-count dialog Form3.
std::string_view manualSection(DialogKind kind);

// The installed manual: $APHCALC_MANUAL when set, else share/doc/aphcalc/用户手册.html beside the
// program's bin folder (an installation), else docs/html/用户手册.html there (the build tree).
// Empty when there is none.
QString findManual();

// Opens the manual at `section` (its start when empty) in the desktop's browser, or tells why it
// cannot, in a message over `parent`.
void openManualAt(QWidget& parent, std::string_view section);

// Opens the manual at the section of the focused control in the desktop's browser, or tells why
// it cannot. F1 of the window.
void openManual(MainForm& form);

// Makes F1 open the manual, wherever the focus is in the window.
void installManualShortcut(MainForm& form);
// Makes F1 open the manual at the dialog's section while the dialog is up.
void installManualShortcut(DialogWindow& dialog);

}  // namespace aph::app
