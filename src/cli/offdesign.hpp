// The subcommands solve (goal seek) and simulate (off-design rating) of aphcalc-cli.
#pragma once

#include <memory>
#include <optional>

#include "cli/commands.hpp"

namespace CLI {
class App;
}

namespace aph::cli {

class OffDesignCommands {
 public:
  OffDesignCommands(CLI::App& app, BatchIo& io);
  ~OffDesignCommands();
  // Runs the subcommand the command line chose; empty when it chose neither. Throws the
  // program's errors (UsageError, WriteError, study::CaseError), which runProgram turns into
  // messages and exit codes.
  std::optional<int> run();

  struct Options;

 private:
  std::unique_ptr<Options> options_;
};

}  // namespace aph::cli
