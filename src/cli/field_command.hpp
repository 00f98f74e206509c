// The subcommand field of aphcalc-cli: the temperature field of the plate of a load case.
#pragma once

#include <memory>
#include <optional>

#include "cli/commands.hpp"

namespace CLI {
class App;
}

namespace aph::cli {

class FieldCommand {
 public:
  FieldCommand(CLI::App& app, BatchIo& io);
  ~FieldCommand();
  // Runs the subcommand when the command line chose it; empty otherwise. Throws the program's
  // errors (UsageError, WriteError, study::CaseError).
  std::optional<int> run();

  struct Options;

 private:
  std::unique_ptr<Options> options_;
};

}  // namespace aph::cli
