// The window's file buttons on the batch tool's case files: "另存为" writes the window as a case
// file, "打开" reads one exactly as the batch tool reads it and enters the chosen load case as
// the batch tool enters it.
#pragma once

#include <ctime>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "model/case_files.hpp"

namespace aph::study {

class CaseError;

class WindowCaseFiles : public CaseFiles {
 public:
  Opened open(const std::string& path) override;
  std::optional<CaseFileProblem> save(const std::string& path, const WindowCase& window) override;
};

// Why a case file cannot go into the window, short and in Chinese, with the place where it
// helps: the line and column of `text` (the file's bytes), the key, or a case table's cell or
// row. The batch tool tells the same faults in its own English words.
std::string windowReason(const CaseError& e, std::string_view text);

// The case file a window is saved as: its `name`, the `saved` time stamp, the buttons, and every
// text as a JSON text, grouped by the keys' groups.
nlohmann::ordered_json windowCaseJson(const WindowCase& window, const std::string& name,
                                      const std::string& saved);

// The file's name without its folder and its last extension: "/a/design.txt" → "design".
std::string baseName(const std::string& path);

// Local time in ISO 8601 with the offset from UTC: "2025-03-01T14:05:09+08:00".
std::string isoTimestamp(std::time_t when);

// Writes `text` through openReplacing (study/io/files), so that a failed write leaves what was
// there before untouched. Empty on success, otherwise the system's reason.
std::optional<std::string> replaceFile(const std::string& path, std::string_view text);

}  // namespace aph::study
