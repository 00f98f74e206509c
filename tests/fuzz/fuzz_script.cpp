// The session-script reader: anything that is not a valid script is refused with ScriptError;
// anything valid replays without a non-finite text.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "random_session.hpp"
#include "session/session.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  aph::session::Script script;
  try {
    script = aph::session::parseScript(text);
  } catch (const aph::session::ScriptError&) {
    return 0;
  }
  if (script.actions.size() > 64) return 0;  // keep each input quick
  aph::MainWindow window;
  aph::session::ScriptedUserInterface ui;
  aph::session::replay(window, script, ui);
  (void)aph::session::snapshot(window, ui.messages).dump();
  const std::string failure = aph::testing::checkNoNonFiniteText(window);
  if (!failure.empty()) {
    // A script may type "nan" itself; only texts the program wrote count.
    bool typed = false;
    for (const auto& action : script.actions)
      if (const auto* set = std::get_if<aph::session::SetAction>(&action))
        for (const auto& entry : set->texts)
          typed = typed || entry.second.find("nan") != std::string::npos ||
                  entry.second.find("inf") != std::string::npos ||
                  entry.second.find("NAN") != std::string::npos ||
                  entry.second.find("INF") != std::string::npos;
    if (!typed) {
      std::fprintf(stderr, "invariant failed: %s\n", failure.c_str());
      std::abort();
    }
  }
  return 0;
}
