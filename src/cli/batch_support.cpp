#include "cli/batch_support.hpp"

#include <cctype>
#include <cmath>

#include "model/text.hpp"
#include "study/case_file.hpp"
#include "study/files.hpp"

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

std::string plotKind(const std::string& path) {
  if (path.size() > 4) {
    std::string ext = path.substr(path.size() - 4);
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == ".png" || ext == ".svg") return ext.substr(1);
  }
  throw UsageError{"--plot " + study::shortened(path) + ": the chart is written as .png or .svg"};
}

namespace {
// The option ranges that make sense for the design checks.
constexpr double kDewPointMarginLimit = 1000;    // K, either way
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
