// What "打开" and "另存为" need of case files. The window model keeps the order of their steps
// (the file dialog; reading and checking, or writing; the fresh window and the case entered into
// it; the path box or the error message); what a case file holds and how a case is typed into a
// window belong to the case-file code, which the programs plug in here.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace aph {

class MainWindow;
class UserInterface;

// The window as a case file keeps it: the text of every field that has a case-file key, exactly
// as it stands (the pass counts while Form3 exists, the factors while Form2 exists), and the
// selected buttons.
struct WindowCase {
  std::vector<std::pair<std::string_view, std::string>> texts;  // case-file key, text
  std::optional<std::string_view> arrangement;  // "counterflow", "crossflow" or "multi-pass"
  std::optional<std::string_view> flowMode;     // "volume" or "mass"
};

// Why a file could not be opened or saved.
struct CaseFileProblem {
  enum class Kind : std::uint8_t {
    CannotRead,    // the system refused: no such file, a folder, no permission, …
    NotACaseFile,  // read, but not a case file the batch tool reads
    CannotWrite,   // the system refused the new file
  };
  Kind kind;
  std::string detail;  // the system's reason, or the key and what is wrong with it
};

// The load cases of a file that was read and checked, ready to go into a window.
class OpenedCaseFile {
 public:
  virtual ~OpenedCaseFile() = default;
  // One name for every load case, at least one.
  virtual std::vector<std::string> caseNames() const = 0;
  // Types load case `which` into the window and presses the buttons it selects, exactly as the
  // batch tool does: the pass-count dialog is answered from the case without being shown; any
  // message goes to `ui`.
  virtual void enter(std::size_t which, MainWindow& window, UserInterface& ui) const = 0;
};

class CaseFiles {
 public:
  virtual ~CaseFiles() = default;

  struct Opened {
    std::unique_ptr<OpenedCaseFile> file;    // null when the file was refused
    std::optional<CaseFileProblem> problem;  // why
  };
  // Reads and checks the case file at `path`; nothing is entered yet.
  virtual Opened open(const std::string& path) = 0;
  // Writes the window as a case file at `path`: the whole file, or nothing in place of what was
  // there before.
  virtual std::optional<CaseFileProblem> save(const std::string& path,
                                              const WindowCase& window) = 0;
};

}  // namespace aph
