// Where every control of the three forms stands, what it is, what it says and how it looks: the
// one layout every view of the window (the Qt window, the browser page) places its controls by.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "model/fields.hpp"

namespace aph {

enum class ControlKind : std::uint8_t {
  Frame,   // captioned group box
  Label,   // caption beside a field
  Field,   // single-line text field
  List,    // editable drop-down list
  Option,  // option button
  Button,  // push button
};

// How a control looks beyond the common Song 12 pt.
enum Look : unsigned {
  kPlain = 0,
  kBlue = 1U << 0,       // caption of a main input, RGB 0, 0, 255
  kDisabled = 1U << 1,   // greyed from the start; nothing enables it
  kFrameBold = 1U << 2,  // caption bold 14.25 pt: the two large frames
  kTitleBold = 1U << 3,  // bold 15 pt: the title label
};

struct LayoutEntry {
  ControlKind kind;
  std::string_view name;     // control name, also the widget's object name
  std::string_view parent;   // enclosing frame; empty: the form itself
  std::string_view caption;  // frames, buttons and the labels that caption no field
  int left;                  // twips, relative to the parent
  int top;
  int width;
  int height;
  unsigned look = kPlain;
  std::string_view buddy = {};  // labels: the field they stand beside
};

struct FormLayout {
  std::string_view name;
  std::string_view title;
  int clientWidth;  // twips
  int clientHeight;
  std::span<const LayoutEntry> controls;  // in creation order, which is also the tab order
  std::optional<DialogKind> dialog = {};  // Form2, Form3; empty: the main window
};

// The caption a control shows: its own for frames, buttons and headings; for the label beside a
// field the field's caption, for an option button its option's, both from the table of fields.
std::string_view captionOf(const FormLayout& form, const LayoutEntry& control);

const FormLayout& form1Layout();  // the main window
const FormLayout& form2Layout();  // the tuning dialog
const FormLayout& form3Layout();  // the pass-count dialog

}  // namespace aph
