// The readers of case tables on bytes from the fuzzer: a CSV text or a whole .xlsx archive as
// they come, or, after a leading 'x', the XML of a workbook's sheet, shared strings and styles
// (apart by NUL bytes) packed into a workbook, so that the XML readers are reached past the
// archive's checksums. Whatever comes, the result is load cases or a case-file error that names
// the file, never another fault.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "study/case_input/case_file.hpp"
#include "workbook_parts.hpp"

namespace {

void require(bool condition, const char* what, const std::string& detail) {
  if (!condition) {
    std::fprintf(stderr, "invariant failed: %s\n%s\n", what, detail.c_str());
    std::abort();
  }
}

std::string workbookOf(std::string_view parts) {
  std::string xml[3];
  for (std::size_t k = 0; k < 3 && !parts.empty(); ++k) {
    const auto end = std::min(parts.find('\0'), parts.size());
    xml[k] = parts.substr(0, end);
    parts.remove_prefix(std::min(parts.size(), end + 1));
  }
  auto entries = aph::test::workbookParts(xml[0], xml[1], xml[2]);
  for (auto& entry : entries) entry.stored = true;
  return aph::test::zipArchive(entries);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const bool parts = input.starts_with('x');
  const std::string bytes = parts ? workbookOf(input.substr(1)) : std::string(input);
  const std::string file = parts ? "fuzz.xlsx" : "fuzz.csv";
  try {
    for (const aph::study::Case& c : aph::study::parseCases(bytes, file))
      require(c.file == file && !c.name.empty(), "every case named, from its file", c.name);
    for (const aph::study::Case& c : aph::study::parseCases(bytes, file, {.asTyped = true}))
      require(c.file == file, "as typed too", c.name);
  } catch (const aph::study::CaseError& e) {
    require(e.file() == file, "a fault names the file", e.what());
    require(!e.what_wrong().empty(), "a fault says what is wrong", e.what());
  }
  return 0;
}
