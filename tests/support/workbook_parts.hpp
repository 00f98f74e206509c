// Workbooks made part by part for the tests and the fuzzer: a zip archive written with libzip in
// memory, and the few parts an Excel workbook of one sheet needs around its cells.
#pragma once

#include <zip.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace aph::test {

struct ZipEntry {
  std::string name, data;
  bool stored = false;  // packed with deflate unless stored
};

inline std::string zipArchive(const std::vector<ZipEntry>& entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  if (!archive) throw std::runtime_error("libzip cannot make an archive");
  for (const ZipEntry& entry : entries) {
    zip_source_t* data = zip_source_buffer(archive, entry.data.data(), entry.data.size(), 0);
    const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), data, ZIP_FL_ENC_UTF_8);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                             entry.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
  }
  if (zip_close(archive) != 0) throw std::runtime_error("libzip cannot close the archive");
  std::string bytes;
  if (zip_source_open(buffer) == 0) {
    char chunk[1 << 16];
    for (zip_int64_t got; (got = zip_source_read(buffer, chunk, sizeof chunk)) > 0;)
      bytes.append(chunk, static_cast<std::size_t>(got));
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  return bytes;
}

constexpr std::string_view kSheetNamespace =
    R"(xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")";

// The parts of a workbook of one sheet `sheet` that holds `sheetXml` (the worksheet's content:
// <sheetData>…</sheetData> and what follows it), with shared strings and styles when given.
inline std::vector<ZipEntry> workbookParts(std::string_view sheetXml,
                                           std::string_view sharedStrings = {},
                                           std::string_view styles = {},
                                           std::string_view sheet = "工况") {
  const std::string relationship =
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  const std::string rels =
      R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
  auto link = [&](std::string_view id, std::string_view type, std::string_view target) {
    return "<Relationship Id=\"" + std::string(id) + "\" Type=\"" + relationship + "/" +
           std::string(type) + "\" Target=\"" + std::string(target) + "\"/>";
  };
  std::string workbookLinks = rels + link("rId1", "worksheet", "worksheets/sheet1.xml");
  std::vector<ZipEntry> parts = {
      {"_rels/.rels",
       rels + link("rId1", "officeDocument", "xl/workbook.xml") + "</Relationships>"},
      {"xl/workbook.xml", "<workbook " + std::string(kSheetNamespace) + " xmlns:r=\"" +
                              relationship + "\"><sheets><sheet name=\"" + std::string(sheet) +
                              "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/worksheets/sheet1.xml", "<worksheet " + std::string(kSheetNamespace) + ">" +
                                       std::string(sheetXml) + "</worksheet>"}};
  if (!sharedStrings.empty()) {
    workbookLinks += link("rId2", "sharedStrings", "sharedStrings.xml");
    parts.push_back({"xl/sharedStrings.xml", "<sst " + std::string(kSheetNamespace) + ">" +
                                                 std::string(sharedStrings) + "</sst>"});
  }
  if (!styles.empty()) {
    workbookLinks += link("rId3", "styles", "styles.xml");
    parts.push_back({"xl/styles.xml", "<styleSheet " + std::string(kSheetNamespace) + ">" +
                                          std::string(styles) + "</styleSheet>"});
  }
  parts.push_back({"xl/_rels/workbook.xml.rels", workbookLinks + "</Relationships>"});
  return parts;
}

inline std::string workbook(std::string_view sheetXml, std::string_view sharedStrings = {},
                            std::string_view styles = {}) {
  return zipArchive(workbookParts(sheetXml, sharedStrings, styles));
}

}  // namespace aph::test
