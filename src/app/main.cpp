// aphcalc: the desktop window of the plate air preheater rating.
//
//   aphcalc                          opens the window
//   aphcalc --replay SCRIPT.json     replays a session through the window, offscreen, and prints
//                                    the window as JSON
//   aphcalc --screenshot FILE.png    renders the window (after the replay, if one is given)
//   aphcalc --startup-time           opens the window and reports how long it took to appear
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QImageWriter>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>
#include <optional>
#include <sstream>
#include <string>

#include "app/appearance.hpp"
#include "app/gui_replay.hpp"
#include "app/main_form.hpp"
#include "app/startup.hpp"

namespace {

struct Options {
  std::optional<std::string> replay;
  std::optional<std::string> screenshot;
  bool startupTime = false;  // prints the time to the first paint of the window, then ends
};

// The options Qt takes for itself (-platform xcb, -style fusion, …): known to the parser so that
// they pass, hidden from the help, and left to the application object.
void addToolkitOptions(QCommandLineParser& parser) {
  const char* withValue[] = {"platform",     "platformpluginpath", "platformtheme",
                             "plugin",       "qwindowgeometry",    "qwindowicon",
                             "qwindowtitle", "geometry",           "display",
                             "style",        "stylesheet",         "session",
                             "qmljsdebugger"};
  const char* flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
  for (const char* name : withValue) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : flags) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
}

enum class Parsed { Run, Exit0, Exit2 };

// Reads the command line before any window exists, so that --help and a typo need no display.
Parsed parseOptions(int argc, char** argv, Options& options) {
  QCoreApplication::setApplicationName(QStringLiteral("aphcalc"));
  QCoreApplication::setApplicationVersion(QStringLiteral(APH_VERSION));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "The thermal rating of a plate-type air preheater: one window, every result."));
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption replay(
      QStringLiteral("replay"),
      QStringLiteral("Replay a session script through the window (offscreen) and print the "
                     "window as JSON; - reads standard input."),
      QStringLiteral("SCRIPT.json"));
  const QCommandLineOption screenshot(
      QStringLiteral("screenshot"),
      QStringLiteral("Render the window (after the replay, if one is given) into a PNG file."),
      QStringLiteral("FILE.png"));
  const QCommandLineOption startupTime(
      QStringLiteral("startup-time"),
      QStringLiteral("Open the window, print the time to its first paint, and end."));
  parser.addOptions({replay, screenshot, startupTime});
  addToolkitOptions(parser);

  QStringList arguments;
  for (int k = 0; k < argc; ++k) arguments << QString::fromLocal8Bit(argv[k]);
  if (!parser.parse(arguments)) {
    std::cerr << "aphcalc: " << parser.errorText().toStdString()
              << "\n(aphcalc --help lists the options)\n";
    return Parsed::Exit2;
  }
  if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
    // Without an application object the usage line cannot know the program's name.
    std::cout << parser.helpText()
                     .replace(QStringLiteral("<executable_name>"), QStringLiteral("aphcalc"))
                     .toStdString();
    return Parsed::Exit0;
  }
  if (parser.isSet(version)) {
    std::cout << "aphcalc " << APH_VERSION << "\n";
    return Parsed::Exit0;
  }
  if (!parser.positionalArguments().isEmpty()) {
    std::cerr << "aphcalc: unexpected argument \""
              << parser.positionalArguments().front().toStdString()
              << "\"\n(aphcalc --help lists the options)\n";
    return Parsed::Exit2;
  }
  if (parser.isSet(replay)) options.replay = parser.value(replay).toStdString();
  if (parser.isSet(screenshot)) options.screenshot = parser.value(screenshot).toStdString();
  options.startupTime = parser.isSet(startupTime);
  return Parsed::Run;
}

// A script is a small file: a regular file (or standard input) of at most 64 MiB, refused before
// more is read.
constexpr std::size_t kMaxScriptBytes = std::size_t{64} << 20;

std::optional<std::string> readFile(const std::string& path) {
  std::string text;
  char chunk[65536];
  auto readAll = [&](std::istream& in) -> bool {
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
      text.append(chunk, static_cast<std::size_t>(in.gcount()));
      if (text.size() > kMaxScriptBytes) return false;
    }
    return !in.bad();
  };
  if (path == "-") return readAll(std::cin) ? std::optional(text) : std::nullopt;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) ||
      std::filesystem::file_size(path, error) > kMaxScriptBytes || error)
    return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file || !readAll(file)) return std::nullopt;
  return text;
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

// Renders the window into a PNG file; empty on success, otherwise what went wrong. The file is
// opened first, so that a folder that refuses it is reported before anything is drawn.
QString savePicture(QWidget& window, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return file.errorString();
  const QPixmap picture = window.grab();
  if (picture.isNull()) return QStringLiteral("the window could not be drawn");
  QImageWriter writer(&file, "PNG");
  if (!writer.write(picture.toImage())) return writer.errorString();
  if (!file.flush()) return file.errorString();
  file.close();
  if (file.error() != QFileDevice::NoError) return file.errorString();
  return {};
}

int run(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  Options parsed;
  switch (parseOptions(argc, argv, parsed)) {
    case Parsed::Exit0:
      return 0;
    case Parsed::Exit2:
      return 2;
    case Parsed::Run:
      break;
  }
  const Options* options = &parsed;

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

  const aph::app::PrivateRuntimeFolder runtimeFolder;
  aph::app::dropOffscreenSizeHintNotice();
  QApplication app(argc, argv);
  // The window's entry in the desktop's menus, whose name and icon its windows take.
  QGuiApplication::setDesktopFileName(QStringLiteral("aphcalc"));
  aph::app::useChinese(app);
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
    // As the headless replay prints it: a text that is not UTF-8 shows "�", it stops nothing.
    std::cout << aph::app::snapshotOf(form).dump(2, ' ', false,
                                                 nlohmann::json::error_handler_t::replace)
              << "\n";
  }
  if (options->screenshot) {
    if (const QString problem = savePicture(form, QString::fromStdString(*options->screenshot));
        !problem.isEmpty()) {
      std::cerr << "aphcalc: " << *options->screenshot << ": cannot write the picture ("
                << problem.toStdString() << ")\n";
      return 1;
    }
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "aphcalc: standard output: cannot write\n";
    return 1;
  }
  return 0;
}

}  // namespace

// No exception leaves the program: whatever escapes a handler ends it with a message.
int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cerr << "aphcalc: out of memory\n";
  } catch (const std::exception& e) {
    std::cerr << "aphcalc: stopped by an unexpected fault: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "aphcalc: stopped by an unexpected fault\n";
  }
  return 1;
}
