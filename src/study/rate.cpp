#include "study/rate.hpp"

#include <algorithm>
#include <sstream>

#include "model/text.hpp"
#include "study/results.hpp"

namespace aph::study {
namespace {

struct Row {
  std::string caption;
  std::vector<std::string> values;
  std::vector<bool> flagged;
};

struct Section {
  std::string heading;
  std::vector<Row> rows;
};

std::vector<Section> sections(const std::vector<RatedCase>& cases) {
  std::vector<Section> out;
  for (FieldGroup group : kFieldGroups) {
    Section s{std::string(groupHeading(group)), {}};
    for (const FieldInfo& info : kFields) {
      if (info.group != group || info.role == FieldRole::Unused) continue;
      Row row{std::string(info.caption), {}, {}};
      for (const RatedCase& c : cases) {
        const ShownField& f = c.run.window.rating()[info.id];
        row.values.push_back(f.text);
        row.flagged.push_back(f.flagged);
      }
      s.rows.push_back(std::move(row));
    }
    out.push_back(std::move(s));
  }

  // A dialog's fields as a section: its captions, and each case's texts.
  const auto dialogSection = [&](std::string title, DialogKind kind) {
    Section section{std::move(title), {}};
    for (const DialogFieldInfo& info : kDialogFields) {
      if (info.dialog != kind) continue;
      Row row{std::string(info.caption), {}, {}};
      for (const RatedCase& c : cases) {
        row.values.push_back(c.run.window.rating().dialogField(kind, info.name).text);
        row.flagged.push_back(false);
      }
      section.rows.push_back(std::move(row));
    }
    return section;
  };
  out.push_back(dialogSection("可调系数", DialogKind::Tuning));
  const bool multiPass = std::any_of(cases.begin(), cases.end(), [](const RatedCase& c) {
    return c.run.window.rating().arrangement == OptionId::Option3;
  });
  if (multiPass) out.push_back(dialogSection("折流", DialogKind::PassCount));
  return out;
}

std::string statusText(const RunStatus& status) {
  if (status.completed) return "完成";
  if (status.messages.empty()) return "中止";
  std::string text = "中止：";
  for (std::size_t k = 0; k < status.messages.size(); ++k)
    text += (k ? " / " : "") + status.messages[k];
  return text;
}

}  // namespace

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::vector<RatedCase> rateAll(const std::vector<Case>& cases) {
  std::vector<RatedCase> out;
  out.reserve(cases.size());
  for (const Case& c : cases) out.push_back({c, rateCase(c)});
  return out;
}

std::string rateTable(const std::vector<RatedCase>& cases, bool color) {
  const std::vector<Section> body = sections(cases);
  constexpr std::size_t captionWidth = 34;
  std::vector<std::size_t> widths;
  for (std::size_t k = 0; k < cases.size(); ++k) {
    std::size_t w = std::max<std::size_t>(14, displayWidth(cases[k].input.name) + 2);
    for (const Section& s : body)
      for (const Row& r : s.rows) w = std::max(w, displayWidth(r.values[k]) + 3);
    widths.push_back(w);
  }
  std::ostringstream out;
  auto line = [&](std::string_view caption, const std::vector<std::string>& values,
                  const std::vector<bool>& flagged) {
    out << "  " << padToWidth(caption, captionWidth);
    for (std::size_t k = 0; k < values.size(); ++k) {
      const std::string text = values[k].empty() ? "—" : values[k];
      const bool flag = !flagged.empty() && flagged[k];
      std::string cell = padToWidth(flag ? text + " !" : text, widths[k]);
      if (flag && color) cell = "\x1b[31m" + cell + "\x1b[0m";
      out << cell;
    }
    out << "\n";
  };
  out << "板式空预器热力计算\n";
  std::vector<std::string> names, arrangements, modes;
  for (const RatedCase& c : cases) {
    names.push_back(c.input.name);
    arrangements.emplace_back(arrangementCaption(c.run.window.rating()));
    modes.emplace_back(flowModeCaption(c.run.window.rating()));
  }
  line("工况", names, {});
  line("流动形式", arrangements, {});
  line("流量给定", modes, {});
  for (const Section& s : body) {
    out << "\n" << s.heading << "\n";
    for (const Row& r : s.rows) line(r.caption, r.values, r.flagged);
  }
  out << "\n计算结果\n";
  bool anyFlag = false;
  for (const RatedCase& c : cases) {
    out << "  " << c.input.name << " (" << c.input.file << "): " << statusText(c.run.status)
        << "\n";
    anyFlag |= violations(c.run.window.rating()) != 0;
  }
  if (anyFlag) out << "\n带 ! 的数值超出限值（窗口中以红色显示）\n";
  return out.str();
}

nlohmann::ordered_json rateJson(const std::vector<RatedCase>& cases) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  const auto& keys = caseKeys();
  for (const RatedCase& c : cases) {
    const Rating& r = c.run.window.rating();
    nlohmann::ordered_json item;
    item["file"] = c.input.file;
    item["case"] = c.input.name;
    item["status"] = c.run.status.completed ? "ok" : "stopped";
    item["messages"] = c.run.status.messages;
    item["arrangement"] = arrangementKey(r);
    item["flow_mode"] = flowModeKey(r);
    nlohmann::ordered_json inputs = nlohmann::ordered_json::object();
    for (std::size_t k = 0; k < keys.size(); ++k)
      if (c.input.values[k]) inputs[std::string(keys[k].path)] = *c.input.values[k];
    item["inputs"] = std::move(inputs);
    nlohmann::ordered_json results = nlohmann::ordered_json::object();
    for (const ResultColumn& column : resultColumns()) {
      const ShownField& f = r[column.field];
      results[std::string(column.name)] = {
          {"text", f.text}, {"unit", column.unit}, {"flagged", f.flagged}};
    }
    item["results"] = std::move(results);
    item["violations"] = violationNames(violations(r));
    list.push_back(std::move(item));
  }
  return list;
}

std::string rateCsv(const std::vector<RatedCase>& cases) {
  std::ostringstream out;
  const auto& keys = caseKeys();
  out << "file,case,status,message,violations,arrangement,flow_mode";
  for (const CaseKey& keyInfo : keys)
    if (isNumericKey(static_cast<std::size_t>(&keyInfo - keys.data()))) out << "," << keyInfo.path;
  for (const ResultColumn& r : resultColumns()) out << "," << r.name;
  out << "\n";
  for (const RatedCase& c : cases) {
    const Rating& r = c.run.window.rating();
    std::string message;
    for (const std::string& m : c.run.status.messages)
      message += (message.empty() ? "" : " / ") + m;
    out << csvField(c.input.file) << "," << csvField(c.input.name) << ","
        << (c.run.status.completed ? "ok" : "stopped") << "," << csvField(message) << ","
        << violationText(violations(r)) << "," << arrangementKey(r) << "," << flowModeKey(r);
    for (std::size_t k = 0; k < keys.size(); ++k)
      if (isNumericKey(k)) out << "," << csvField(c.input.inputText(k));
    for (const ResultColumn& column : resultColumns()) out << "," << csvField(r.text(column.field));
    out << "\n";
  }
  return out.str();
}

}  // namespace aph::study
