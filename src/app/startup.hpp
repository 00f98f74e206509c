// What the window's process sets up around the application object: a private runtime folder
// when the session provides none, and Qt's own Chinese translations.
#pragma once

#include <string>

class QCoreApplication;

namespace aph::app {

// The toolkit keeps sockets and locks in the session's runtime folder (XDG_RUNTIME_DIR). Where
// the session has none (a terminal without a desktop, a test runner), the process gets a fresh
// folder of its own, readable only by its user, removed again when this object goes. Create it
// before the application object and keep it until after.
class PrivateRuntimeFolder {
 public:
  PrivateRuntimeFolder();
  ~PrivateRuntimeFolder();
  PrivateRuntimeFolder(const PrivateRuntimeFolder&) = delete;
  PrivateRuntimeFolder& operator=(const PrivateRuntimeFolder&) = delete;

 private:
  std::string created_;  // empty: the session's own folder is used
};

// The offscreen platform (replays, pictures, tests) has no window manager to hand a window's size
// limits to, and says so on stderr for every message box and dialog. That notice tells the person
// nothing, so it is dropped; every other message of the toolkit passes on as before.
void dropOffscreenSizeHintNotice();

// Loads Qt's Simplified Chinese translations (file dialogs, standard buttons, the text fields'
// context menus) and makes Chinese the default locale, whatever the system's locale is. False
// when the translations are not installed.
bool useChinese(QCoreApplication& app);

}  // namespace aph::app
