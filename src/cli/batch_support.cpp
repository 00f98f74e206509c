#include "cli/batch_support.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cmath>

#include "model/text.hpp"
#include "study/case_input/case_file.hpp"
#include "study/io/files.hpp"

namespace aph::cli {

using study::Sink;
using study::SinkStream;

Output::Output(BatchIo& io, const std::string& path) : name_(path) {
  if (path.empty() || path == "-") {
    sink_ = &io.out();
    name_ = "standard output";
  } else {
    owned_ = io.openOutput(path);
    sink_ = owned_.get();
  }
  if (sink_->failed()) throw WriteError{name_ + ": cannot write (" + sink_->error() + ")"};
  stream_ = std::make_unique<SinkStream>(*sink_);
}

void Output::check() {
  if (stream_->fail() || sink_->failed())
    throw WriteError{name_ + ": cannot write (" + sink_->error() + ")"};
}

void Output::close() {
  stream_->flush();
  check();
  stream_.reset();
  if (!sink_->close()) throw WriteError{name_ + ": cannot write (" + sink_->error() + ")"};
}

std::string caseFileText(BatchIo& io, std::optional<std::string>& standardInput,
                         const std::string& path) {
  try {
    if (path == "-") {
      if (!standardInput) standardInput = io.readStandardInput("case file");
      return *standardInput;
    }
    return io.readFile(path, "case file");
  } catch (const study::ReadError& e) {
    throw study::CaseError(study::caseFileLabel(path), "", e.what());
  }
}

void writeFile(BatchIo& io, const std::string& path, std::string_view bytes) {
  Output out(io, path);
  out.stream().write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
}

namespace {

// What a file name leads to: the file itself when there is one (whatever the spelling, link or
// hard link), else the folder it would be made in and its name there.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;      // empty for a file that exists
  bool regular = false;  // a regular file, or one still to be made
  bool operator==(const FileIdentity& o) const {
    return device == o.device && inode == o.inode && name == o.name;
  }
};

FileIdentity identityOf(const struct stat& info, std::string name = {}) {
  const bool regular = !name.empty() || S_ISREG(info.st_mode);
  return {info.st_dev, info.st_ino, std::move(name), regular};
}

std::optional<FileIdentity> identify(std::string path) {
  struct stat info {};
  if (path == "-") {
    if (::fstat(STDIN_FILENO, &info) != 0) return std::nullopt;
    return identityOf(info);
  }
  if (::stat(path.c_str(), &info) == 0) return identityOf(info);
  // Not there yet: a link that leads nowhere is followed to where the file would be made.
  for (int hop = 0; hop < 40 && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode); ++hop) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length <= 0 || length == static_cast<ssize_t>(sizeof target)) break;
    const std::string next(target, static_cast<std::size_t>(length));
    const auto slash = path.find_last_of('/');
    path = next.starts_with('/') || slash == std::string::npos ? next
                                                               : path.substr(0, slash + 1) + next;
  }
  const auto slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (::stat(folder.c_str(), &info) != 0) return std::nullopt;  // the write will tell why
  return identityOf(info, path.substr(slash == std::string::npos ? 0 : slash + 1));
}

bool isStandardOutput(const std::string& path) {
  return path.empty() || path == "-";
}

}  // namespace

void checkOutputFiles(const std::vector<std::string>& inputs,
                      const std::vector<std::pair<std::string, std::string>>& outputs) {
  std::vector<std::pair<std::string, FileIdentity>> inputIds;
  for (const std::string& input : inputs)
    if (const auto id = identify(input); id && id->name.empty()) inputIds.emplace_back(input, *id);
  std::vector<std::pair<std::size_t, FileIdentity>> earlier;
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    const auto& [option, path] = outputs[k];
    if (isStandardOutput(path)) continue;
    const auto id = identify(path);
    if (!id) continue;
    for (const auto& [input, inputId] : inputIds)
      if (*id == inputId)
        throw UsageError{option + " " + path + ": the same file as the case file " +
                         study::caseFileLabel(input) + "; write the output to another file"};
    // Devices (/dev/null, /dev/stdout) may well take two outputs.
    if (!id->regular) continue;
    for (const auto& [other, otherId] : earlier)
      if (*id == otherId)
        throw UsageError{option + " " + path + ": the same file as " + outputs[other].first + " " +
                         outputs[other].second + "; give each output a file of its own"};
    earlier.emplace_back(k, *id);
  }
}

std::string plotKind(const std::string& path) {
  if (path.size() > 4) {
    std::string ext = path.substr(path.size() - 4);
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == ".png" || ext == ".svg") return ext.substr(1);
  }
  throw UsageError{"--plot " + study::shortened(path) + ": the chart is written as .png or .svg"};
}

namespace {
// The option ranges that make sense for the design checks (the required dew-point margin as a
// case file's limits.dew_point_margin).
using study::kDewPointMarginLimit;
constexpr double kBalanceToleranceLimit = 1000;  // %
}  // namespace

study::CheckSettings designCheckSettings(const std::string& dewPointMargin,
                                         const std::string& balanceTolerance) {
  study::CheckSettings settings;
  if (!dewPointMargin.empty()) {
    const auto v = aph::readWholeNumber(dewPointMargin);
    if (!v || !(std::fabs(*v) <= kDewPointMarginLimit))
      throw UsageError{"--dew-point-margin " + study::shortened(dewPointMargin) +
                       ": expected a temperature difference in K, within ±1000"};
    settings.dewPointMargin = *v;
  }
  const auto tolerance = aph::readWholeNumber(balanceTolerance);
  if (balanceTolerance.empty() || !tolerance ||
      !(*tolerance >= 0 && *tolerance <= kBalanceToleranceLimit))
    throw UsageError{"--balance-tolerance " + study::shortened(balanceTolerance) +
                     ": expected a share in %, from 0 to 1000"};
  settings.balanceTolerance = *tolerance;
  return settings;
}

void checkWorkbookOutput(const BatchIo& io, const std::string& output, const std::string& command) {
  if (output.empty())
    throw UsageError{command +
                     " --format xlsx: give the workbook's file with -o FILE.xlsx (or -o - "
                     "for standard output)"};
  if (output == "-" && io.outIsTerminal)
    throw UsageError{command +
                     " --format xlsx -o -: standard output is a terminal; give -o "
                     "FILE.xlsx"};
}

void checkBom(bool bom, const std::string& command, const std::string& format) {
  if (bom && format != "csv")
    throw UsageError{command + " --bom: only a CSV starts with the byte-order mark (--format csv)"};
}

WriteError workbookFault(const Output& out, const study::XlsxError& e) {
  return WriteError{out.name() + ": cannot write the workbook (" + e.what() + ")"};
}

void checkSheetRows(std::size_t rows) {
  if (rows > study::XlsxWorkbook::kMaxDataRows)
    throw UsageError{"--format xlsx: a sheet holds at most " +
                     std::to_string(study::XlsxWorkbook::kMaxDataRows) + " rows of data, not " +
                     std::to_string(rows)};
}

}  // namespace aph::cli
