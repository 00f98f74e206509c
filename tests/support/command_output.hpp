// What a shell command prints on its standard output, for tests that read files back through
// tools (pdftotext, unzip); empty when the command cannot run.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace aph::study {

inline std::string commandOutput(const std::string& command) {
  std::string text;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return text;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) text.append(buffer, n);
  return text;
}

}  // namespace aph::study
