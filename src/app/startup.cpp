#include "app/startup.hpp"

#include <stdlib.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <filesystem>
#include <system_error>

namespace aph::app {

PrivateRuntimeFolder::PrivateRuntimeFolder() {
  if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "aphcalc-runtime-XXXXXX").string();
  // mkdtemp creates the folder with mode 0700, as the toolkit requires of a runtime folder.
  if (::mkdtemp(pattern.data()) == nullptr) return;
  created_ = pattern;
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(created_));
}

PrivateRuntimeFolder::~PrivateRuntimeFolder() {
  if (created_.empty()) return;
  std::error_code error;
  std::filesystem::remove_all(created_, error);
  qunsetenv("XDG_RUNTIME_DIR");
}

namespace {

QtMessageHandler previousHandler = nullptr;

void withoutSizeHintNotice(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
  if (type == QtWarningMsg &&
      message == QLatin1String("This plugin does not support propagateSizeHints()"))
    return;
  if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

void dropOffscreenSizeHintNotice() {
  if (previousHandler) return;
  previousHandler = qInstallMessageHandler(withoutSizeHintNotice);
}

bool useChinese(QCoreApplication& app) {
  const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
  QLocale::setDefault(chinese);
  auto* translator = new QTranslator(&app);
  if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

}  // namespace aph::app
