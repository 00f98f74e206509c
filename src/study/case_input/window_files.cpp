#include "study/case_input/window_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "study/case_input/case_file.hpp"
#include "study/case_input/case_table.hpp"
#include "study/io/files.hpp"

namespace aph::study {
namespace {

// The batch tool's bound on a case file holds for the window too (a device such as /dev/zero
// would never end).
constexpr std::size_t kLargestCaseFile = kMaxInputBytes;

// The window speaks Chinese: the reasons a person meets when opening or saving are told in
// Chinese; anything rarer keeps the system's own words.
std::string systemReason(int error) {
  switch (error) {
    case ENOENT:
      return "没有那个文件或目录";
    case EACCES:
      return "权限不够";
    case EPERM:
      return "不允许的操作";
    case EISDIR:
      return "是一个目录";
    case ENOTDIR:
      return "路径中有一项不是目录";
    case ENOSPC:
      return "设备上没有空间";
    case EDQUOT:
      return "超出磁盘限额";
    case EROFS:
      return "只读文件系统";
    case EEXIST:
      return "文件已存在";
    case EFBIG:
      return "文件过大";
    case ENAMETOOLONG:
      return "文件名过长";
    case ELOOP:
      return "符号链接的层数过多";
    case EIO:
      return "输入/输出错误";
    case EBUSY:
      return "设备或资源忙";
    case EMFILE:
    case ENFILE:
      return "打开的文件过多";
    default:
      return std::strerror(error);
  }
}

// "第 3 行第 7 列" of the byte at `offset` of `text`: lines counted from 1 at each line feed,
// columns in characters (a UTF-8 sequence is one).
std::string lineAndColumn(std::string_view text, std::size_t offset) {
  std::size_t line = 1, column = 1;
  // A byte-order mark opening a text is no character of its first line.
  const std::size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  for (std::size_t i = start; i < offset && i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\n') {
      ++line;
      column = 1;
    } else if ((byte & 0xC0) != 0x80) {
      ++column;
    }
  }
  return "第 " + std::to_string(line) + " 行第 " + std::to_string(column) + " 列";
}

std::string inQuotes(std::string_view text) {
  return "“" + std::string(text) + "”";
}

// The place of a fault as the window names it: a key in quotes ("“plate.pairs”"); in a case
// table, a cell as the spreadsheet names it ("“工况!D7”", its column's key left to the header)
// or a row ("工作表“工况”第 7 行", with the key when the table has no column for it).
struct Place {
  std::string words;
  bool row = false;
};

Place placeOf(const std::string& key) {
  const auto colon = key.find(": ");
  const std::string place = key.substr(0, colon);
  const std::string path = colon == std::string::npos ? "" : key.substr(colon + 2);
  const auto bang = place.rfind('!');
  if (parseCellName(std::string_view(place).substr(bang == std::string::npos ? 0 : bang + 1)))
    return {inQuotes(place)};
  const auto row = parseRowName(place);
  if (!row) return {inQuotes(key)};
  return {(row->sheet.empty() ? "" : "工作表" + inQuotes(row->sheet)) + "第 " + row->row + " 行" +
              (path.empty() ? "" : "的" + inQuotes(path)),
          true};
}

// What a file that is no case table is instead, and what to do.
std::string notAWorkbookReason(std::string_view instead) {
  if (instead == "xls")
    return "是 Excel 97-2003 工作簿（.xls）或加密的工作簿：请另存为不加密的 .xlsx 工作簿或 CSV "
           "文件";
  if (instead == "xlsb") return "是二进制工作簿（.xlsb）：请另存为 .xlsx 工作簿或 CSV 文件";
  if (instead == "ods") return "是 OpenDocument 电子表格：请另存为 .xlsx 工作簿或 CSV 文件";
  if (instead == "utf-16") return "是 UTF-16 文本（Excel 的“Unicode 文本”）：请另存为 CSV 文件";
  if (instead == "encrypted") return "工作簿设有密码：请不设密码另存";
  if (instead == "chart sheet") return "是图表工作表，没有单元格";
  if (instead == "no sheet") return "工作簿中没有工作表";
  return "不是 .xlsx 工作簿";
}

}  // namespace

std::string windowReason(const CaseError& e, std::string_view text) {
  using Kind = CaseFault::Kind;
  const CaseFault& fault = e.fault();
  const bool topLevel = e.key().empty() || e.key() == kTopLevelKey;
  const Place place = topLevel ? Place{} : placeOf(e.key());
  const std::string at = topLevel ? std::string() : place.words + "：";
  switch (fault.kind) {
    case Kind::NotUtf8:
      return lineAndColumn(text, fault.offset) +
             (fault.other.empty() ? "：不是 UTF-8 编码的文本"
                                  : "：既不是 UTF-8 也不是 " + fault.other + " 编码的文本");
    case Kind::NotJson:
      if (fault.offset >= text.size()) return "JSON 文本不完整";
      return lineAndColumn(text, fault.offset) + "：不是 JSON 格式";
    case Kind::DuplicateKey:
      return at + "重复给出" + (fault.other.empty() ? "" : "（另见" + inQuotes(fault.other) + "）");
    case Kind::NumberTooLarge:
      return at + "数值超出范围";
    case Kind::NotACase:
      return at + "缺少工况参数";
    case Kind::NoCases:
      return at + (place.row ? "参数名下面没有工况" : "没有工况");
    case Kind::WrongType:
      if (fault.value == "date")
        return at + "是日期或时间，" +
               (fault.expected == CaseFault::Expected::Number
                    ? "必须是数值（请将单元格设为数值格式）"
                    : "必须是文本");
      switch (fault.expected) {
        case CaseFault::Expected::NumberOrText:
          return at + "必须是数值或文本";
        case CaseFault::Expected::Text:
          return at + "必须是文本";
        case CaseFault::Expected::Number:
          return at + "必须是数值";
        case CaseFault::Expected::Object:
          return at + "必须是一组参数";
        case CaseFault::Expected::CaseList:
          return at + "必须是工况列表";
      }
      break;
    case Kind::NotAChoice: {
      std::string choices;
      for (const std::string& choice : fault.choices)
        choices += (choices.empty() ? "" : "或") + inQuotes(choice);
      return at + "必须是" + choices;
    }
    case Kind::UnknownKey:
      return at + "未知的参数" +
             (fault.other.empty() ? "" : "，是否应为" + inQuotes(fault.other) + "？");
    case Kind::ControlCharacter:
      return at + "含有控制字符（" + fault.value + "）";
    case Kind::GivenTogether:
      return at + "不能与" + inQuotes(fault.other) + "同时给出";
    case Kind::NeedsKey:
      return at + "还需要" + inQuotes(fault.other);
    case Kind::AirStandardTable:
      return at + "标准烟气物性表只用于烟气";
    case Kind::CheckOutOfRange:
    case Kind::OutOfRange:
      return at + "数值超出允许范围";
    case Kind::InWindowWords:
      return at + e.what_wrong();
    case Kind::NoKeyRow:
      return at +
             "找不到参数名所在的行（一行文字，如 name、arrangement、flue_gas.inlet_temperature）" +
             (fault.value.empty() ? "" : "；最接近的是第 " + fault.value + " 行");
    case Kind::ValueWithoutKey:
      return at + "所在的列没有参数名（参数名在第 " + fault.value + " 行）";
    case Kind::MergedCells:
      return at + "有合并单元格（" + fault.value + "）：请取消合并，为每个工况分别填写";
    case Kind::ErrorValue:
      return at + "是错误值 " + fault.value;
    case Kind::UncachedFormula:
      return at + "公式的结果没有保存在文件中：请在电子表格程序中打开并保存";
    case Kind::BrokenQuotes:
      return at + "引号不配对";
    case Kind::TableTooLarge:
      return at + "表格过大";
    case Kind::DamagedWorkbook:
      return at + "工作簿已损坏：请在电子表格程序中打开并另存";
    case Kind::NotAWorkbook:
      return at + notAWorkbookReason(fault.value);
    case Kind::Unreadable:
      break;
  }
  return at + "内容无法识别";
}

namespace {

struct ReadText {
  std::string text;
  std::optional<std::string> problem;
};

ReadText readCaseText(const std::string& path) {
  ReadText read;
  // Without O_NONBLOCK, opening a named pipe would wait for a writer that may never come.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) {
    read.problem = systemReason(errno);
    return read;
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) {
    read.problem = systemReason(errno);
    return read;
  }
  if (S_ISDIR(info.st_mode)) {
    read.problem = systemReason(EISDIR);
    return read;
  }
  if (!S_ISREG(info.st_mode)) {
    read.problem = "不是普通文件";
    return read;
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      read.problem = systemReason(errno);
      return read;
    }
    if (got == 0) break;
    if (read.text.size() + static_cast<std::size_t>(got) > kLargestCaseFile) {
      read.problem = "文件过大（工况文件不超过 " + byteText(kLargestCaseFile) + "）";
      return read;
    }
    read.text.append(buffer, static_cast<std::size_t>(got));
  }
  return read;
}

// The window's own interface while a case is entered, with the pass-count dialog answered from
// the case as the batch tool answers it: every message still reaches the person.
class EnteringInterface : public CaseUserInterface {
 public:
  EnteringInterface(const Case& c, UserInterface& person)
      : CaseUserInterface(&c), person_(person) {}
  void showMessage(const MessageBoxRequest& message) override { person_.showMessage(message); }

 private:
  UserInterface& person_;
};

class OpenedCases : public OpenedCaseFile {
 public:
  explicit OpenedCases(std::vector<Case> cases) : cases_(std::move(cases)) {}
  std::vector<std::string> caseNames() const override {
    std::vector<std::string> names;
    for (const Case& c : cases_) names.push_back(c.name);
    return names;
  }
  void enter(std::size_t which, MainWindow& window, UserInterface& ui) const override {
    const Case& c = cases_.at(which);
    typeCase(window, c);
    EnteringInterface entering(c, ui);
    enterCase(window, c, entering);
  }

 private:
  std::vector<Case> cases_;
};

}  // namespace

std::string baseName(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos && dot != 0) name.resize(dot);
  return name;
}

std::string isoTimestamp(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[40];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  const long offset = local.tm_gmtoff / 60;  // minutes east of UTC
  const long magnitude = offset < 0 ? -offset : offset;
  char zone[24];
  std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return std::string(text, length) + zone;
}

nlohmann::ordered_json windowCaseJson(const WindowCase& window, const std::string& name,
                                      const std::string& saved) {
  nlohmann::ordered_json file;
  file["name"] = name;
  file["saved"] = saved;
  if (window.arrangement) file["arrangement"] = std::string(*window.arrangement);
  if (window.flowMode) file["flow_mode"] = std::string(*window.flowMode);
  for (const auto& [key, text] : window.texts) {
    const auto dot = key.find('.');
    file[std::string(key.substr(0, dot))][std::string(key.substr(dot + 1))] = text;
  }
  return file;
}

std::optional<std::string> replaceFile(const std::string& path, std::string_view text) {
  const auto sink = openReplacing(path);
  sink->write(text);
  if (sink->close()) return std::nullopt;
  return sink->errorNumber() ? systemReason(sink->errorNumber()) : sink->error();
}

CaseFiles::Opened WindowCaseFiles::open(const std::string& path) {
  Opened opened;
  ReadText read = readCaseText(path);
  if (read.problem) {
    opened.problem = CaseFileProblem{CaseFileProblem::Kind::CannotRead, *read.problem};
    return opened;
  }
  try {
    // Read exactly as the batch tool reads with --as-typed: the window opens whatever it could
    // itself have saved.
    opened.file =
        std::make_unique<OpenedCases>(parseCases(read.text, path, ReadOptions{.asTyped = true}));
  } catch (const CaseError& e) {
    opened.problem =
        CaseFileProblem{CaseFileProblem::Kind::NotACaseFile, windowReason(e, read.text)};
  }
  return opened;
}

std::optional<CaseFileProblem> WindowCaseFiles::save(const std::string& path,
                                                     const WindowCase& window) {
  std::string text;
  try {
    text = windowCaseJson(window, baseName(path), isoTimestamp(std::time(nullptr))).dump(2);
  } catch (const nlohmann::json::exception&) {
    // Only a text that is not UTF-8 cannot be written as JSON.
    return CaseFileProblem{CaseFileProblem::Kind::CannotWrite, "有文本不是有效的 UTF-8 编码"};
  }
  text += '\n';
  if (auto reason = replaceFile(path, text))
    return CaseFileProblem{CaseFileProblem::Kind::CannotWrite, std::move(*reason)};
  return std::nullopt;
}

}  // namespace aph::study
