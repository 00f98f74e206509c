// aphcalc: the desktop window of the plate air preheater rating.
//
//   aphcalc                          opens the window
//   aphcalc --replay SCRIPT.json     replays a session through the window, offscreen, and prints
//                                    the window as JSON
//   aphcalc --screenshot FILE.png    renders the window (after the replay, if one is given)
//   aphcalc --startup-time           opens the window and reports how long it took to appear
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include "app/appearance.hpp"
#include "app/gui_replay.hpp"
#include "app/main_form.hpp"

namespace {

struct Options {
  std::optional<std::string> replay;
  std::optional<std::string> screenshot;
  bool startupTime = false;  // prints the time to the first paint of the window, then ends
};

constexpr const char* kUsage =
    "usage: aphcalc [--replay SCRIPT.json] [--screenshot FILE.png] [--startup-time]\n"
    "  --replay SCRIPT.json   replay a session script through the window (offscreen) and print\n"
    "                         the window as JSON\n"
    "  --screenshot FILE.png  render the window into a PNG file (offscreen)\n"
    "  --startup-time         open the window, print the time to its first paint, and end\n";

// Our own options; anything else is left to Qt (-platform, -style, …).
std::optional<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    auto value = [&]() -> std::optional<std::string> {
      if (k + 1 >= argc) return std::nullopt;
      return std::string(argv[++k]);
    };
    if (arg == "--replay") {
      if (!(options.replay = value())) return std::nullopt;
    } else if (arg == "--screenshot") {
      if (!(options.screenshot = value())) return std::nullopt;
    } else if (arg == "--startup-time") {
      options.startupTime = true;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      std::exit(0);
    }
  }
  return options;
}

std::optional<std::string> readFile(const std::string& path) {
  if (path == "-") return std::string(std::istreambuf_iterator<char>(std::cin), {});
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Reports the time from the start of main to the first paint of the window, then ends.
class FirstPaint : public QObject {
 public:
  explicit FirstPaint(const QElapsedTimer& clock) : clock_(clock) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !reported_) {
      reported_ = true;
      std::printf("window shown after %lld ms\n", static_cast<long long>(clock_.elapsed()));
      std::fflush(stdout);
      QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  const QElapsedTimer& clock_;
  bool reported_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  const auto options = parseOptions(argc, argv);
  if (!options) {
    std::cerr << "aphcalc: an option is missing its value\n" << kUsage;
    return 2;
  }

  aph::session::Script script;
  if (options->replay) {
    const auto text = readFile(*options->replay);
    if (!text) {
      std::cerr << "aphcalc: " << *options->replay << ": cannot read the script\n";
      return 2;
    }
    try {
      script = aph::session::parseScript(*text);
    } catch (const aph::session::ScriptError& e) {
      std::cerr << "aphcalc: " << *options->replay << ": " << e.what() << "\n";
      return 2;
    }
  }
  const bool batch = options->replay || options->screenshot;
  // A replay or a rendering needs no screen and shows nothing.
  if (batch) qputenv("QT_QPA_PLATFORM", "offscreen");

  QApplication app(argc, argv);
  QApplication::setFont(aph::app::songFont(12));
  aph::app::MainForm form;

  if (!batch) {
    aph::app::endProgramOnExit(form);
    FirstPaint firstPaint(clock);
    if (options->startupTime) form.installEventFilter(&firstPaint);
    form.show();
    return QApplication::exec();
  }

  form.show();
  if (options->replay) {
    aph::app::replayThroughWidgets(form, script);
    std::cout << aph::app::snapshotOf(form).dump(2) << "\n";
  }
  if (options->screenshot) {
    if (!form.grab().save(QString::fromStdString(*options->screenshot), "PNG")) {
      std::cerr << "aphcalc: " << *options->screenshot << ": cannot write the picture\n";
      return 1;
    }
  }
  return 0;
}
