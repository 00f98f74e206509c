// The groups of window tests; each runs as its own CTest test.
#pragma once

#include <QObject>
#include <memory>

namespace aph::app::test {

std::unique_ptr<QObject> makeStartupTest();
std::unique_ptr<QObject> makeOptionsTest();
std::unique_ptr<QObject> makeCalculationTest();
std::unique_ptr<QObject> makeDialogsTest();
std::unique_ptr<QObject> makeFileDialogsTest();
std::unique_ptr<QObject> makeCaseFilesTest();
std::unique_ptr<QObject> makeExitTest();
std::unique_ptr<QObject> makeScreenshotsTest();
std::unique_ptr<QObject> makeManualHelpTest();

}  // namespace aph::app::test
