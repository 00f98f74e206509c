// src/cli: aphcalc-cli, a thin program over session, study and render.
//
// The subcommands rate, sweep, size and report of aphcalc-cli.
#pragma once

#include <memory>
#include <optional>

namespace CLI {
class App;
}

namespace aph::cli {

// Exit codes: 0 everything rated (or sized), 1 a case stopped with a message (or no size meets
// the limits), 2 a usage or case-file error.
class BatchCommands {
 public:
  explicit BatchCommands(CLI::App& app);
  ~BatchCommands();
  // Runs the subcommand the command line chose; empty when it chose none of these.
  std::optional<int> run();

  struct Options;

 private:
  std::unique_ptr<Options> options_;
};

}  // namespace aph::cli
