// src/cli: aphcalc-cli, a thin program over session, study and render.
//
// The subcommands rate, sweep, size and report of aphcalc-cli, and the program around them.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "model/case_files.hpp"
#include "study/io/files.hpp"
#include "study/studies/sweep.hpp"

namespace CLI {
class App;
}

namespace aph::cli {

// What the program reads and writes besides the files it is given: standard output, standard
// error and standard input, and the files -o and --plot name. The program uses the real ones;
// tests and the fuzzer put their own in their place.
struct BatchIo {
  std::function<study::Sink&()> out;  // standard output
  std::ostream* err = nullptr;        // messages
  // The text of standard input, or of an input file; `noun` names its kind ("case file",
  // "script") in the reason of a study::ReadError.
  std::function<std::string(std::string_view noun)> readStandardInput;
  std::function<std::string(const std::string& path, std::string_view noun)> readFile;
  // A sink for an output file; a failed sink tells why it could not be opened.
  std::function<std::unique_ptr<study::Sink>(const std::string&)> openOutput;
  // What "打开" and "另存为" of a replayed session read and write; null refuses every file (the
  // fuzzer's sessions never touch real files).
  CaseFiles* windowFiles = nullptr;
  bool outIsTerminal = false;  // colour in the table
  bool errIsTerminal = false;  // a progress bar for long sweeps, solves and simulations
  // How long solve and simulate run before their progress bar shows.
  std::chrono::milliseconds progressAfter = std::chrono::seconds(1);
  std::size_t maxDesigns = study::kMaxDesigns;
  // Set when the program ended on a fault no command foresaw (told as such, exit code 1).
  bool unexpectedFault = false;

  // The real standard streams and files.
  static BatchIo standard();
};

// The whole of aphcalc-cli: reads the command line, runs the command and returns the exit code:
// 0 everything rated (or sized), 1 a case stopped with a message, no design of a sweep
// completed, no size meets the limits, or an output could not be written, 2 a usage or case-file
// error. No exception leaves it.
int runProgram(int argc, const char* const* argv, BatchIo& io);

class BatchCommands {
 public:
  BatchCommands(CLI::App& app, BatchIo& io);
  ~BatchCommands();
  // Runs the subcommand the command line chose; empty when it chose none of these. Throws the
  // program's errors, which runProgram turns into messages and exit codes.
  std::optional<int> run();

  struct Options;

 private:
  std::unique_ptr<Options> options_;
};

}  // namespace aph::cli
