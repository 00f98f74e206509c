// The window as an engineer reads it in a terminal.
#include <sstream>

#include "model/text.hpp"
#include "session/session.hpp"

namespace aph::session {
namespace {

void section(std::ostringstream& out, const MainWindow& window, FieldGroup group) {
  out << "\n" << groupHeading(group) << "\n";
  for (const FieldInfo& info : kFields) {
    if (info.group != group) continue;
    const FieldState& f = window.field(info.id);
    out << "  " << padToWidth(info.caption, 36) << padToWidth(f.text.empty() ? "—" : f.text, 20);
    if (f.color == TextColor::Red) out << "  ◀ 超限";
    if (!f.enabled) out << "  (禁用)";
    out << "\n";
  }
}

// How the table names the selected button of a group: "逆流", "质量流量", or "未选择".
std::string_view selectedName(const MainWindow& w, bool arrangement) {
  for (const OptionInfo& option : kOptions)
    if (isArrangement(option.id) == arrangement && w.isSelected(option.id))
      return option.shortCaption;
  return kNothingSelected;
}

}  // namespace

std::string formatTable(const MainWindow& window, const std::vector<MessageBoxRequest>& messages) {
  std::ostringstream out;
  out << "板式空预器热力计算\n";
  out << "流动形式: " << selectedName(window, true)
      << "    流量给定: " << selectedName(window, false) << "\n";
  for (FieldGroup group : kFieldGroups) section(out, window, group);
  if (const DialogForm* tuning = window.dialog(DialogKind::Tuning)) {
    out << "\n可调系数 (Form2)\n";
    for (const DialogField& f : tuning->fields())
      out << "  " << padToWidth(f.caption, 36) << f.text << "\n";
  }
  if (!messages.empty()) {
    out << "\n提示信息\n";
    for (const MessageBoxRequest& m : messages) out << "  [" << m.title << "] " << m.text << "\n";
  }
  return out.str();
}

}  // namespace aph::session
