// aphcalc-cli: the window's calculation without the window.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli/commands.hpp"
#include "session/session.hpp"
#include "study/window_files.hpp"

namespace {

std::optional<std::string> readInput(const std::string& path) {
  if (path == "-") {
    return std::string(std::istreambuf_iterator<char>(std::cin), {});
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

int replayCommand(const std::string& path, const std::string& format) {
  const auto text = readInput(path);
  if (!text) {
    std::cerr << "aphcalc-cli: " << path << ": cannot read the script\n";
    return 2;
  }
  aph::session::Script script;
  try {
    script = aph::session::parseScript(*text);
  } catch (const aph::session::ScriptError& e) {
    std::cerr << "aphcalc-cli: " << path << ": " << e.what() << "\n";
    return 2;
  }
  aph::MainWindow window;
  // "打开" and "另存为" read and write case files, as they do in the window.
  aph::study::WindowCaseFiles caseFiles;
  window.setCaseFiles(&caseFiles);
  aph::session::ScriptedUserInterface ui;
  aph::session::replay(window, script, ui);
  if (format == "table") {
    std::cout << aph::session::formatTable(window, ui.messages);
  } else {
    std::cout << aph::session::snapshot(window, ui.messages).dump(2) << "\n";
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"aphcalc-cli: thermal rating of a plate-type air preheater, without the window"};
  app.require_subcommand(1);

  std::string scriptPath;
  std::string format = "json";
  auto* replay = app.add_subcommand("replay", "Replay a session script and print the window");
  replay->add_option("script", scriptPath, "Session script (JSON), or - for standard input")
      ->required();
  replay->add_option("--format", format, "Output format")->check(CLI::IsMember({"json", "table"}));

  aph::cli::BatchCommands batch(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (*replay) return replayCommand(scriptPath, format);
  if (const auto code = batch.run()) return *code;
  return 2;
}
