#include "web/markup.hpp"

#include <cstdio>
#include <map>
#include <vector>

namespace aph::web {
namespace {

// Twips to CSS pixels at 100 % zoom: 15 twips to the pixel.
std::string pixels(int twips) {
  char text[32];
  if (twips % 15 == 0) {
    std::snprintf(text, sizeof text, "%dpx", twips / 15);
  } else {
    std::snprintf(text, sizeof text, "%.2fpx", twips / 15.0);
  }
  return text;
}

std::string placeStyle(const LayoutEntry& c) {
  return " style=\"left:" + pixels(c.left) + ";top:" + pixels(c.top) + ";width:" + pixels(c.width) +
         ";height:" + pixels(c.height) + "\"";
}

// Dialog controls carry their form's name in their ids: Form3 has its own Text33 and Text34.
std::string idOf(const FormLayout& form, std::string_view name) {
  std::string id = form.dialog ? std::string(form.name) + "-" : std::string();
  return id + std::string(name);
}

std::string attribute(std::string_view name, std::string_view value) {
  return " " + std::string(name) + "=\"" + escapeHtml(value) + "\"";
}

// What a field shows when the page opens.
struct Shown {
  std::string text;
  bool enabled = true;
  bool red = false;
  int listIndex = -1;
};

class Writer {
 public:
  Writer(const FormLayout& form, std::map<std::string_view, Shown> shown,
         std::map<std::string_view, bool> options)
      : form_(form), shown_(std::move(shown)), options_(std::move(options)) {
    for (const LayoutEntry& c : form.controls) children_[c.parent].push_back(&c);
  }

  // The controls inside `parent` (the form itself when empty), in creation order.
  void controlsOf(std::string_view parent) {
    const auto found = children_.find(parent);
    if (found == children_.end()) return;
    for (const LayoutEntry* c : found->second) control(*c);
  }

  std::string out;

 private:
  void control(const LayoutEntry& c) {
    const std::string id = idOf(form_, c.name);
    const std::string caption = escapeHtml(captionOf(form_, c));
    switch (c.kind) {
      case ControlKind::Frame:
        out += "<div class=\"frame" + std::string(c.look & kFrameBold ? " frame-bold" : "") + "\"" +
               attribute("id", id) + placeStyle(c) +
               "><div class=\"frame-line\"></div><span class=\"frame-caption\">" + caption +
               "</span>";
        controlsOf(c.name);
        out += "</div>";
        break;
      case ControlKind::Label: {
        std::string classes = "caption";
        if (c.look & kBlue) classes += " blue";
        if (c.look & kDisabled) classes += " disabled";
        if (c.look & kTitleBold) classes += " title-bold";
        out += "<label" + attribute("class", classes) + attribute("id", id);
        if (!c.buddy.empty()) out += attribute("for", idOf(form_, c.buddy));
        out += placeStyle(c) + "><span class=\"caption-text\">" + caption + "</span></label>";
        break;
      }
      case ControlKind::Field:
        out += input(c, id, "field") + placeStyle(c) + ">";
        break;
      case ControlKind::List: {
        const Shown& s = shown_[c.name];
        out += "<div class=\"combo\"" + attribute("id", id + "-box") + placeStyle(c) + ">" +
               input(c, id, "field") +
               "><button type=\"button\" class=\"combo-button\" tabindex=\"-1\" "
               "aria-label=\"▼\"></button><div class=\"combo-list\" role=\"listbox\" hidden>";
        const ListInfo& list = listInfo(*findField(c.name));
        for (std::size_t k = 0; k < list.count; ++k) {
          const bool selected = static_cast<int>(k) == s.listIndex;
          out += std::string("<div class=\"combo-entry") + (selected ? " selected" : "") +
                 "\" role=\"option\">" + escapeHtml(list.entries[k]) + "</div>";
        }
        out += "</div></div>";
        break;
      }
      case ControlKind::Option: {
        const bool arrangement = isArrangement(*findOption(c.name));
        out += "<label class=\"option\"" + attribute("id", id + "-box") + placeStyle(c) +
               "><input type=\"radio\"" +
               attribute("name", arrangement ? "arrangement" : "flow-mode") + attribute("id", id) +
               attribute("data-option", c.name) + (options_[c.name] ? " checked" : "") + ">";
        if (!caption.empty()) out += "<span class=\"caption-text\">" + caption + "</span>";
        out += "</label>";
        break;
      }
      case ControlKind::Button:
        out += "<button type=\"button\"" +
               attribute("class", form_.dialog ? "button dialog-ok" : "button") +
               attribute("id", id) + attribute("data-button", c.name) + placeStyle(c) + ">" +
               caption + "</button>";
        break;
    }
  }

  // An <input> of a field, open for the style and the closing bracket.
  std::string input(const LayoutEntry& c, const std::string& id, std::string_view classes) {
    const Shown& s = shown_[c.name];
    std::string tag = "<input type=\"text\"" +
                      attribute("class", std::string(classes) + (s.red ? " red" : "")) +
                      attribute("id", id) + attribute("data-field", c.name) +
                      attribute("value", s.text) + " autocomplete=\"off\" spellcheck=\"false\"";
    if (!s.enabled || (c.look & kDisabled)) tag += " disabled";
    return tag;
  }

  const FormLayout& form_;
  std::map<std::string_view, Shown> shown_;
  std::map<std::string_view, bool> options_;
  std::map<std::string_view, std::vector<const LayoutEntry*>> children_;
};

std::string formStyle(const FormLayout& form) {
  return " style=\"width:" + pixels(form.clientWidth) + ";height:" + pixels(form.clientHeight) +
         "\"";
}

}  // namespace

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string mainFormMarkup(const MainWindow& window) {
  const FormLayout& form = form1Layout();
  std::map<std::string_view, Shown> shown;
  for (const FieldInfo& info : kFields) {
    const FieldState& f = window.field(info.id);
    shown[info.name] = {f.text, f.enabled, f.color == TextColor::Red, f.listIndex};
  }
  std::map<std::string_view, bool> options;
  for (const OptionInfo& option : kOptions) options[option.name] = window.isSelected(option.id);
  Writer writer(form, std::move(shown), std::move(options));
  // Inert until the model behind it is ready to take what is typed.
  writer.out = "<div class=\"form main-form\" id=\"Form1\" inert" + formStyle(form) + ">";
  writer.controlsOf("");
  writer.out += "</div>";
  return writer.out;
}

std::string dialogTemplateMarkup(const FormLayout& form) {
  std::map<std::string_view, Shown> shown;
  if (form.dialog) {
    const DialogForm fresh(*form.dialog);
    for (const DialogField& f : fresh.fields()) shown[f.name] = {f.text};
  }
  Writer writer(form, std::move(shown), {});
  const std::string name(form.name);
  writer.out = "<template" + attribute("id", name + "-template") +
               "><dialog class=\"form-dialog\"" + attribute("id", name) +
               "><div class=\"title-bar\"><span class=\"title\">" + escapeHtml(form.title) +
               "</span><button type=\"button\" class=\"title-close\" aria-label=\"关闭\"></button>"
               "</div><div class=\"form dialog-client\"" +
               formStyle(form) + ">";
  writer.controlsOf("");
  writer.out += "</div></dialog></template>";
  return writer.out;
}

}  // namespace aph::web
