// The batch tool as a whole, steered by the fuzzer: the first line of the input is the command
// line (arguments apart by blanks), the rest the text of every case file or script it names
// (standard input too). Outputs go nowhere. Whatever comes, the program ends with exit code 0,
// 1 or 2 and a message, never with an escaped fault.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.hpp"

namespace {

// Every input stays quick: a sweep or a size search of a few hundred designs at most.
constexpr std::size_t kFuzzDesigns = 1200;
constexpr std::size_t kMaxArguments = 24;

void require(bool condition, const char* what, const std::string& detail) {
  if (!condition) {
    std::fprintf(stderr, "invariant failed: %s\n%s\n", what, detail.c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const auto newline = input.find('\n');
  const std::string line = input.substr(0, newline);
  const std::string content = newline == std::string::npos ? "" : input.substr(newline + 1);

  std::vector<std::string> arguments = {"aphcalc-cli"};
  for (std::size_t start = 0; start <= line.size() && arguments.size() <= kMaxArguments;) {
    const auto end = std::min(line.find(' ', start), line.size());
    if (end > start) arguments.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  std::vector<const char*> argv;
  for (const std::string& a : arguments) argv.push_back(a.c_str());

  aph::study::NullSink out;
  std::ostringstream err;
  aph::cli::BatchIo io;
  io.out = [&]() -> aph::study::Sink& { return out; };
  io.err = &err;
  io.readStandardInput = [&](std::string_view) { return content; };
  io.readFile = [&](const std::string&, std::string_view) { return content; };
  io.openOutput = [](const std::string&) -> std::unique_ptr<aph::study::Sink> {
    return std::make_unique<aph::study::NullSink>();
  };
  io.maxDesigns = kFuzzDesigns;

  const int code = aph::cli::runProgram(static_cast<int>(argv.size()), argv.data(), io);
  const std::string told = err.str();
  require(code == 0 || code == 1 || code == 2, "exit code 0, 1 or 2", told);
  require(!io.unexpectedFault, "no fault escapes a command", told);
  require(code != 2 || !told.empty(), "a refusal is told on stderr", line);
  return 0;
}
