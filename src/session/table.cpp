// The window as an engineer reads it in a terminal.
#include <sstream>

#include "model/text.hpp"
#include "session/session.hpp"

namespace aph::session {
namespace {

void section(std::ostringstream& out, const MainWindow& window, std::string_view heading,
             FieldGroup group) {
  out << "\n" << heading << "\n";
  for (const FieldInfo& info : kFields) {
    if (info.group != group) continue;
    const FieldState& f = window.field(info.id);
    out << "  " << padToWidth(info.caption, 36) << padToWidth(f.text.empty() ? "—" : f.text, 20);
    if (f.color == TextColor::Red) out << "  ◀ 超限";
    if (!f.enabled) out << "  (禁用)";
    out << "\n";
  }
}

const char* arrangementName(const MainWindow& w) {
  if (w.isSelected(OptionId::Option1)) return "逆流";
  if (w.isSelected(OptionId::Option2)) return "错流（不混合）";
  if (w.isSelected(OptionId::Option3)) return "折流";
  return "未选择";
}

const char* flowModeName(const MainWindow& w) {
  if (w.isSelected(OptionId::Option4)) return "体积流量";
  if (w.isSelected(OptionId::Option5)) return "质量流量";
  return "未选择";
}

}  // namespace

std::string formatTable(const MainWindow& window, const std::vector<MessageBoxRequest>& messages) {
  std::ostringstream out;
  out << "板式空预器热力计算\n";
  out << "流动形式: " << arrangementName(window) << "    流量给定: " << flowModeName(window)
      << "\n";
  section(out, window, "物性参数 · 烟气侧", FieldGroup::FlueGasStream);
  section(out, window, "物性参数 · 空气侧", FieldGroup::AirStream);
  section(out, window, "平均温差", FieldGroup::MeanTemperatureDifference);
  section(out, window, "热力计算 · 板片", FieldGroup::PlatePack);
  section(out, window, "热力计算 · 烟气侧", FieldGroup::FlueGasChannel);
  section(out, window, "热力计算 · 空气侧", FieldGroup::AirChannel);
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
