// Runs one group of window tests: aph_app_tests GROUP [Qt Test options].
#include <QApplication>
#include <QtTest>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "app/appearance.hpp"
#include "app/startup.hpp"
#include "test_groups.hpp"

int main(int argc, char** argv) {
  using namespace aph::app::test;
  const std::map<std::string, std::function<std::unique_ptr<QObject>()>> groups = {
      {"startup", makeStartupTest},
      {"options", makeOptionsTest},
      {"calculation", makeCalculationTest},
      {"dialogs", makeDialogsTest},
      {"file-dialogs", makeFileDialogsTest},
      {"case-files", makeCaseFilesTest},
      {"exit", makeExitTest},
      {"screenshots", makeScreenshotsTest},
      {"manual", makeManualHelpTest},
  };
  if (argc < 2 || !groups.count(argv[1])) {
    std::fprintf(stderr, "usage: %s GROUP [Qt Test options]; groups:", argv[0]);
    for (const auto& [name, make] : groups) std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
    return 2;
  }
  // The window's process as aphcalc sets it up: its own runtime folder, no offscreen notices,
  // Qt's Chinese translations.
  const aph::app::PrivateRuntimeFolder runtimeFolder;
  aph::app::dropOffscreenSizeHintNotice();
  QApplication app(argc, argv);
  aph::app::useChinese(app);
  QApplication::setFont(aph::app::songFont(12));
  const std::unique_ptr<QObject> group = groups.at(argv[1])();
  QStringList arguments = QApplication::arguments();
  arguments.removeAt(1);
  return QTest::qExec(group.get(), arguments);
}
