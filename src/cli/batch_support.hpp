// What the commands of aphcalc-cli share: their two kinds of error and the checked output.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/commands.hpp"
#include "study/case_input/range_syntax.hpp"
#include "study/checks/design_checks.hpp"
#include "study/outputs/xlsx.hpp"

namespace aph::cli {

// A usage error: told on stderr, exit code 2.
struct UsageError {
  std::string message;
};

// What `read` reads of an option's value, a range it cannot read a usage error naming the option:
// "--load 30:110: expected FROM:TO:STEP in % of the flows".
template <typename Read>
auto withOption(std::string_view option, Read read) {
  try {
    return read();
  } catch (const study::RangeError& e) {
    throw UsageError{std::string(option) + " " + e.what()};
  }
}

// An output that could not be written: told with the reason, exit code 1.
struct WriteError {
  std::string message;
};

// Standard output, or the file -o names; opened when the inputs have been read and checked.
class Output {
 public:
  Output(BatchIo& io, const std::string& path);
  std::ostream& stream() { return *stream_; }
  const std::string& name() const { return name_; }
  // Stops at the first failed write.
  void check();
  // Everything out and the file closed, or the reason why not.
  void close();

 private:
  std::string name_;
  std::unique_ptr<study::Sink> owned_;
  study::Sink* sink_ = nullptr;
  std::unique_ptr<study::SinkStream> stream_;
};

// The text of a case file, standard input for "-" (read once into `standardInput`, however often
// it is named); a file that cannot be read is a case-file error naming it.
std::string caseFileText(BatchIo& io, std::optional<std::string>& standardInput,
                         const std::string& path);

void writeFile(BatchIo& io, const std::string& path, std::string_view bytes);

// An output may be neither one of the command's inputs nor another of its outputs, however the
// names are spelled (., .., a link, a hard link): `inputs` are the case files ("-": standard
// input), `outputs` each option with its file (empty or "-": standard output, left out). Checked
// before anything is read or written; a usage error names both.
void checkOutputFiles(const std::vector<std::string>& inputs,
                      const std::vector<std::pair<std::string, std::string>>& outputs);

// "png" or "svg" from the --plot file's name; anything else is a usage error.
std::string plotKind(const std::string& path);

// What the design checks hold each design to, from the texts of --dew-point-margin (empty: each
// case's own) and --balance-tolerance.
study::CheckSettings designCheckSettings(const std::string& dewPointMargin,
                                         const std::string& balanceTolerance);

// A workbook is written to a file (or to standard output that is not a terminal).
void checkWorkbookOutput(const BatchIo& io, const std::string& output, const std::string& command);
// --bom marks a CSV only.
void checkBom(bool bom, const std::string& command, const std::string& format);
// A workbook's failure, told with the file it was going to.
WriteError workbookFault(const Output& out, const study::XlsxError& e);
// Refuses more rows than a sheet holds, before anything is rated.
void checkSheetRows(std::size_t rows);

}  // namespace aph::cli
