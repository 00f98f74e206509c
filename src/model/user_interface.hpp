// What the window's handlers ask of the person in front of it: message boxes, the two modal
// dialogs, the file dialogs and the choice of a load case. The Qt window shows real ones; the
// headless program answers them from a session script; tests answer them directly.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace aph {

class DialogForm;

enum class MessageIcon { None, Warning };
enum class MessageButtons { Ok, OkCancel };

struct MessageBoxRequest {
  std::string text;
  std::string title;
  MessageIcon icon = MessageIcon::Warning;
  MessageButtons buttons = MessageButtons::OkCancel;
  friend bool operator==(const MessageBoxRequest&, const MessageBoxRequest&) = default;
};

// How a modal dialog was left: its OK button "确定" hides it, the close button discards it.
enum class DialogOutcome { Ok, Closed };

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::Open;
  std::vector<std::pair<std::string, std::string>> filters;  // caption, pattern
  int filterIndex = 1;                                       // 1-based preselected entry
  bool hideReadOnly = false;
};

// The file the person chose, and the entry of the filter list chosen with it (1-based; 0: the
// preselected entry, left as it was). A path alone is a file chosen with the preselected filter.
struct ChosenFile {
  ChosenFile(std::string chosenPath, int chosenFilter = 0)
      : path(std::move(chosenPath)), filterIndex(chosenFilter) {}
  std::string path;
  int filterIndex = 0;
};

// A short list to pick one entry from: the load cases of a file. The first entry is preselected.
struct ListChoiceRequest {
  std::string title;
  std::string prompt;
  std::vector<std::string> entries;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Modal; which button is pressed is never examined.
  virtual void showMessage(const MessageBoxRequest& message) = 0;
  // Shows the dialog modally; the person may change its field texts before leaving it.
  virtual DialogOutcome showModal(DialogForm& dialog) = 0;
  // The chosen file's full path with the filter chosen with it, or empty when cancelled.
  virtual std::optional<ChosenFile> chooseFile(const FileDialogRequest& request) = 0;
  // The index of the chosen entry, or empty when cancelled.
  virtual std::optional<std::size_t> chooseFromList(const ListChoiceRequest& request) = 0;
};

// The title and form of every error message of the calculation.
inline constexpr const char* kErrorTitle = "出错！";
inline MessageBoxRequest errorMessage(std::string text) {
  return {std::move(text), kErrorTitle, MessageIcon::Warning, MessageButtons::OkCancel};
}

// The program's own title, used by the file-name message box.
inline constexpr const char* kProgramTitle = "aphcalc";

}  // namespace aph
