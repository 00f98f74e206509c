// aphcalc-cli: the window's calculation without the window.
#include "cli/commands.hpp"

int main(int argc, char** argv) {
  aph::cli::BatchIo io = aph::cli::BatchIo::standard();
  return aph::cli::runProgram(argc, argv, io);
}
