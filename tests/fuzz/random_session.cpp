#include "random_session.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <set>

#include "model/text.hpp"

namespace aph::testing {
namespace {

using F = FieldId;

// Texts that reach the interesting corners of the leading-number rule and of the formulas.
constexpr const char* kTexts[] = {
    "",      " ",      "0",   "-1",    "350",    "160",     "40",     "190",     "1e999",
    "1e308", "-1e308", "abc", "12abc", "0.0001", "1e-300",  "40000",  "32767.5", "600",
    "1000",  "1.0",    "2",   "0.5",   "-0",     "1e10",    "3.4e38", "1e-45",   "2e",
    "1.5",   "17.5",   "9",   "10",    "110",    "4.8",     "2.4",    "-50",     "599.9",
    "999",   "0.84",   "26",  "0.037", "1e20",   "-273.15", "1 2",    ".5",      "+7e+2",
};

// Which fields each stage may write, in order; a refused run may only have changed the fields
// of the stages up to the one that refused it.
const std::vector<std::vector<F>>& stageFields() {
  static const std::vector<std::vector<F>> stages = {
      {F::Text11, F::Text12, F::Text13, F::Text14, F::Text53, F::Text4, F::Text5, F::Text6,
       F::Text7, F::Text54},                       // properties
      {F::Text8, F::Text1, F::Text61, F::Text62},  // flows
      {F::Text58, F::Text15},                      // mean temperature differences
      {F::Text17, F::Text19, F::Text20, F::Text55, F::Text21, F::Text22, F::Text24, F::Text60,
       F::Text25, F::Text50},  // geometry and Reynolds numbers
      {F::Text30, F::Text35, F::Text31, F::Text36, F::Text45, F::Text46},  // heat transfer
      {F::Text52, F::Text23, F::Text49},                                   // overall coefficients
      {F::Text56, F::Text29, F::Text57, F::Text32},                        // wall temperatures
  };
  return stages;
}

// The last stage that may have written anything before a run ended with this message;
// -1: nothing may have been written; absent: any stage (a field read can fail anywhere).
std::optional<int> lastStageFor(const std::string& message) {
  static const std::map<std::string, int> stages = {
      {"未选择流动形式！", -1},
      {"折流流程数未输入！", -1},
      {"温度数值超出范围！", 0},
      {"物性参数输入有误！", 0},
      {"空气进出口温度平均值超出计算范围！", 0},
      {"烟气进出口温度平均值超出计算范围！", 0},
      {"体积流量未输入！", 0},
      {"质量流量未输入！", 0},
      {"流量输入有误！", 1},
      {"温差计算出错，请检查进出口温度！", 2},
      {"结构参数输入有误！", 3},
      {"传热计算出错！", 4},
      {"传热系数计算出错！", 5},
      {"壁温计算无法收敛！", 6},
  };
  const auto it = stages.find(message);
  if (it == stages.end()) return std::nullopt;
  return it->second;
}

bool isFixed(const std::string& text, std::size_t decimals) {
  std::size_t k = text.size() > 0 && text[0] == '-' ? 1 : 0;
  const std::size_t digitsStart = k;
  while (k < text.size() && text[k] >= '0' && text[k] <= '9') ++k;
  if (k == digitsStart || k >= text.size() || text[k] != '.') return false;
  const std::size_t point = k++;
  while (k < text.size() && text[k] >= '0' && text[k] <= '9') ++k;
  return k == text.size() && text.size() - point - 1 == decimals;
}

constexpr F kFixed4[] = {F::Text58, F::Text15, F::Text20, F::Text55, F::Text21,
                         F::Text22, F::Text24, F::Text60, F::Text25, F::Text50,
                         F::Text30, F::Text35, F::Text31, F::Text36, F::Text45,
                         F::Text46, F::Text52, F::Text23, F::Text49};

bool containsNonFinite(const std::string& text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find("nan") != std::string::npos || lower.find("inf") != std::string::npos;
}

// Typed texts never spell nan or inf themselves, so any such text comes from the program.
std::string typedText(ChoiceSource& choices) {
  std::string text;
  switch (choices.pick(4)) {
    case 0:
      text = choices.rawText();
      break;
    case 1: {
      const double magnitude = std::ldexp(1.0, static_cast<int>(choices.pick(80)) - 40);
      const double value = magnitude * (1 + choices.pick(1000) / 1000.0);
      text = formatPlain(choices.pick(2) ? -value : value);
      break;
    }
    default:
      text = kTexts[choices.pick(std::size(kTexts))];
  }
  if (containsNonFinite(text)) {
    text.clear();
    text.push_back('1');
  }
  return text;
}

class AnsweringUi : public UserInterface {
 public:
  explicit AnsweringUi(ChoiceSource& choices) : choices_(choices) {}
  void showMessage(const MessageBoxRequest& m) override { messages.push_back(m.text); }
  DialogOutcome showModal(DialogForm& dialog) override {
    if (choices_.pick(5) == 0) return DialogOutcome::Closed;
    for (DialogField& f : dialog.fields())
      if (choices_.pick(2)) f.text = typedText(choices_);
    return DialogOutcome::Ok;
  }
  std::optional<ChosenFile> chooseFile(const FileDialogRequest&) override {
    if (choices_.pick(2)) return std::nullopt;
    return std::string("/tmp/chosen.txt");
  }
  std::optional<std::size_t> chooseFromList(const ListChoiceRequest& request) override {
    if (request.entries.empty() || choices_.pick(3) == 0) return std::nullopt;
    return choices_.pick(static_cast<std::uint32_t>(request.entries.size()));
  }
  std::vector<std::string> messages;

 private:
  ChoiceSource& choices_;
};

}  // namespace

std::string checkNoNonFiniteText(const MainWindow& window) {
  for (const FieldInfo& info : kFields)
    if (containsNonFinite(window.text(info.id)))
      return std::string(info.name) + " shows \"" + window.text(info.id) + "\"";
  for (DialogKind kind : {DialogKind::Tuning, DialogKind::PassCount})
    if (const DialogForm* form = window.dialog(kind))
      for (const DialogField& f : form->fields())
        if (containsNonFinite(f.text)) return std::string(f.name) + " shows \"" + f.text + "\"";
  return {};
}

std::string checkRatingAgreesWithWindow(const MainWindow& window,
                                        const std::vector<std::string>& messages) {
  const Rating& r = window.rating();
  for (const FieldInfo& info : kFields) {
    const ShownField& f = r[info.id];
    const std::string name(info.name);
    if (f.text != window.text(info.id)) return "the result's " + name + " is not the window's";
    if (f.flagged != (window.field(info.id).color == TextColor::Red))
      return "the result's flag of " + name + " is not the window's colour";
    if (f.written && f.value && formatField(info.format, *f.value) != f.text)
      return "the result's number of " + name + " does not give the text shown";
    if (f.written && !f.value && !f.text.empty()) return name + " written without its number";
  }
  if (r.completed() != messages.empty())
    return "the result's completion disagrees with the messages";
  if (!messages.empty() && r.message != messages.back())
    return "the result's message is not the one shown";
  return {};
}

std::string checkCalculation(const MainWindow& before, const MainWindow& after,
                             const std::vector<std::string>& messages) {
  if (auto bad = checkNoNonFiniteText(after); !bad.empty()) return bad;
  if (auto bad = checkRatingAgreesWithWindow(after, messages); !bad.empty()) return bad;
  auto changed = [&](F id) {
    return before.text(id) != after.text(id) || before.field(id).color != after.field(id).color;
  };
  for (F id : kFixed4)
    if (before.text(id) != after.text(id) && !isFixed(after.text(id), 4))
      return std::string(fieldInfo(id).name) + " is not \"0.0000\": " + after.text(id);
  for (F id : {F::Text29, F::Text57})
    if (before.text(id) != after.text(id) && !isFixed(after.text(id), 3))
      return std::string(fieldInfo(id).name) + " is not \"0.000\": " + after.text(id);
  if (messages.size() > 1) return "more than one message in one run";
  if (messages.empty()) {
    // A complete run writes every result field of every stage after the properties.
    for (std::size_t s = 2; s < stageFields().size(); ++s)
      for (F id : stageFields()[s])
        if (after.text(id).empty())
          return std::string(fieldInfo(id).name) + " empty after a complete run";
    return {};
  }
  const auto last = lastStageFor(messages.back());
  if (!last) {
    if (messages.back() != "数值输入有误！") return "unknown message " + messages.back();
    return {};
  }
  for (std::size_t s = static_cast<std::size_t>(*last + 1); s < stageFields().size(); ++s)
    for (F id : stageFields()[s])
      if (changed(id))
        return std::string(fieldInfo(id).name) + " written after \"" + messages.back() + "\"";
  if (*last == -1)
    for (const auto& fields : stageFields())
      for (F id : fields)
        if (changed(id)) return std::string(fieldInfo(id).name) + " written by a refused run";
  return {};
}

std::string runRandomSession(MainWindow& window, ChoiceSource& choices, int maxActions) {
  AnsweringUi ui(choices);
  constexpr auto kHandlerBound = std::chrono::seconds(5);
  for (int step = 0; step < maxActions && !choices.exhausted(); ++step) {
    const std::uint32_t what = choices.pick(16);
    if (what < 7) {
      // Type into a field of the main window or of a dialog.
      const std::uint32_t target = choices.pick(kFieldCount + 6);
      const std::string text = typedText(choices);
      if (target < kFieldCount) {
        window.setText(static_cast<F>(target), text);
      } else if (target < kFieldCount + 4) {
        window.ensureDialog(DialogKind::Tuning).fields()[target - kFieldCount].text = text;
      } else {
        window.ensureDialog(DialogKind::PassCount).fields()[target - kFieldCount - 4].text = text;
      }
      continue;
    }
    ui.messages.clear();
    const auto started = std::chrono::steady_clock::now();
    std::string failure;
    if (what < 10) {
      window.clickOption(static_cast<OptionId>(choices.pick(5)), ui);
      failure = checkNoNonFiniteText(window);
      if (failure.empty() && ui.messages.size() > 1) failure = "more than one message";
    } else if (what < 14) {
      const MainWindow before = window;
      window.Command3_Click(ui);
      failure = checkCalculation(before, window, ui.messages);
    } else {
      switch (choices.pick(4)) {
        case 0:
          window.Command1_Click(ui);
          break;
        case 1:
          window.Command4_Click(ui);
          break;
        case 2:
          window.Command5_Click(ui);
          break;
        default:
          window.Command2_Click();
          return {};
      }
      failure = checkNoNonFiniteText(window);
    }
    if (std::chrono::steady_clock::now() - started > kHandlerBound)
      failure = "a handler took more than 5 s";
    if (!failure.empty()) return "step " + std::to_string(step) + ": " + failure;
  }
  return {};
}

}  // namespace aph::testing
