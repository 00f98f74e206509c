// A case table in an Excel workbook (.xlsx, Office Open XML): a zip archive (opened with libzip)
// of XML parts (read as a stream with expat). The package's relationships lead to the workbook,
// its sheets, the shared strings and the styles; the sheet "工况", else the first, is read row by
// row into the builder, so that only one row stands in memory at a time.
//
// An archive is a file a stranger may have made: its entries are counted before it is opened,
// each part read is bounded in size and in how far it unpacks beyond its packed size, and the
// unpacked bytes are counted as they come, whatever the archive's directory claims.
#include <expat.h>
#include <zip.h>

#include <array>
#include <charconv>
#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <map>
#include <set>

#include "study/case_input/case_table.hpp"
#include "study/io/files.hpp"

namespace aph::study {
namespace {

// Far beyond a workbook of load cases, which holds a few parts of some kilobytes.
constexpr std::uint64_t kMaxEntries = 10'000;
constexpr std::uint64_t kMaxPartBytes = std::uint64_t{32} << 20;  // one part, unpacked
constexpr std::uint64_t kMaxReadBytes = std::uint64_t{64} << 20;  // all the parts read
// Deflate packs XML some 5 to 30 times; beyond this a part is made to unpack out of all measure.
// Small parts cannot do harm at any ratio.
constexpr std::uint64_t kMaxPackingRatio = 100;
constexpr std::uint64_t kRatioFreeBytes = std::uint64_t{1} << 20;

using Kind = CaseFault::Kind;

// Refusals of the workbook as a whole, of `kind`: what the file is instead, a fault of its
// parts, a size beyond the bounds.
[[noreturn]] void refuse(const std::string& file, const std::string& what,
                         CaseFault kind = CaseFault(Kind::DamagedWorkbook)) {
  throw CaseError(file, "", what, std::move(kind));
}

CaseFault notAWorkbook(std::string instead = {}) {
  return CaseFault(Kind::NotAWorkbook, std::move(instead));
}

std::uint64_t littleEndian(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t k = width; k-- > 0;)
    value = value << 8 | static_cast<unsigned char>(bytes[at + k]);
  return value;
}

// The number of entries the archive's end record declares (its zip64 form included), read
// before the archive is opened: a directory of a million entries is refused before any memory
// is spent on it. Nothing when there is no end record (the archive reader then tells why).
std::optional<std::uint64_t> declaredEntries(std::string_view bytes) {
  constexpr std::size_t kEndRecord = 22, kLocator = 20, kLargestComment = 0xFFFF;
  if (bytes.size() < kEndRecord) return std::nullopt;
  const std::size_t lowest =
      bytes.size() > kEndRecord + kLargestComment ? bytes.size() - kEndRecord - kLargestComment : 0;
  for (std::size_t at = bytes.size() - kEndRecord + 1; at-- > lowest;) {
    if (bytes.substr(at, 4) != "PK\x05\x06") continue;
    const std::uint64_t entries = littleEndian(bytes, at + 10, 2);
    if (entries != 0xFFFF) return entries;
    if (at >= kLocator && bytes.substr(at - kLocator, 4) == "PK\x06\x07") {
      const std::uint64_t record = littleEndian(bytes, at - kLocator + 8, 8);
      if (record < bytes.size() && bytes.size() - record >= 56 &&
          bytes.substr(record, 4) == "PK\x06\x06")
        return littleEndian(bytes, record + 32, 8);
    }
    return std::numeric_limits<std::uint64_t>::max();
  }
  return std::nullopt;
}

std::string_view localName(const char* name) {
  const std::string_view full(name);
  const auto colon = full.find(':');
  return colon == std::string_view::npos ? full : full.substr(colon + 1);
}

// An attribute by its local name ("id" finds "r:id"), or nothing.
std::optional<std::string_view> attribute(const char** attributes, std::string_view name) {
  for (; attributes && attributes[0]; attributes += 2)
    if (localName(attributes[0]) == name) return std::string_view(attributes[1]);
  return std::nullopt;
}

std::optional<std::uint64_t> wholeNumber(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// What an XML part's elements are handed to. A handler may throw: the fault is carried past
// the XML reader and thrown again once it has stopped.
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void start(std::string_view name, const char** attributes) = 0;
  virtual void end(std::string_view name) = 0;
  virtual void text(std::string_view) {}
};

class XmlReader {
 public:
  XmlReader(XmlHandler& handler, const std::string& file, std::string part)
      : handler_(handler), file_(file), part_(std::move(part)), parser_(XML_ParserCreate(nullptr)) {
    if (!parser_) throw std::bad_alloc();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmlReader::onStart, &XmlReader::onEnd);
    XML_SetCharacterDataHandler(parser_, &XmlReader::onText);
    // The parts of a workbook never declare a document type; one that does is refused before
    // any entity of it could be expanded.
    XML_SetStartDoctypeDeclHandler(parser_, &XmlReader::onDoctype);
  }
  ~XmlReader() { XML_ParserFree(parser_); }
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  void feed(const char* data, std::size_t size, bool last) {
    const auto status = XML_Parse(parser_, data, static_cast<int>(size), last);
    if (fault_) std::rethrow_exception(fault_);
    if (status != XML_STATUS_OK)
      refuse(file_, "the workbook's part " + part_ + " is not well-formed XML (" +
                        XML_ErrorString(XML_GetErrorCode(parser_)) + ", line " +
                        std::to_string(XML_GetCurrentLineNumber(parser_)) + ")");
  }

 private:
  template <typename Call>
  static void guarded(void* self, Call&& call) {
    auto* reader = static_cast<XmlReader*>(self);
    if (reader->fault_) return;
    try {
      call(*reader);
    } catch (...) {
      reader->fault_ = std::current_exception();
      XML_StopParser(reader->parser_, XML_FALSE);
    }
  }
  static void onStart(void* self, const XML_Char* name, const XML_Char** attributes) {
    guarded(self, [&](XmlReader& r) { r.handler_.start(localName(name), attributes); });
  }
  static void onEnd(void* self, const XML_Char* name) {
    guarded(self, [&](XmlReader& r) { r.handler_.end(localName(name)); });
  }
  static void onText(void* self, const XML_Char* text, int length) {
    guarded(self, [&](XmlReader& r) {
      r.handler_.text(std::string_view(text, static_cast<std::size_t>(length)));
    });
  }
  static void onDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    guarded(self, [](XmlReader& r) {
      refuse(r.file_, "the workbook's part " + r.part_ + " declares a document type");
    });
  }

  XmlHandler& handler_;
  const std::string& file_;
  std::string part_;
  XML_Parser parser_;
  std::exception_ptr fault_;
};

// The archive, read from memory.
class Archive {
 public:
  Archive(std::string_view bytes, const std::string& file) : file_(file) {
    const auto entries = declaredEntries(bytes);
    if (entries && *entries > kMaxEntries)
      refuse(file,
             "a zip archive of more than " + std::to_string(kMaxEntries) +
                 " entries; no workbook of load cases has so many",
             CaseFault(Kind::TableTooLarge));
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source) archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive_) {
      if (source) zip_source_free(source);
      const std::string why = zip_error_strerror(&error);
      zip_error_fini(&error);
      refuse(file, "not an .xlsx workbook: no readable zip archive (" + why + ")", notAWorkbook());
    }
    zip_error_fini(&error);
  }
  ~Archive() { zip_discard(archive_); }
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  bool has(const std::string& name) const { return locate(name) >= 0; }

  // Streams a part through `handler`; false when the archive has no such part.
  bool read(const std::string& name, XmlHandler& handler) {
    const zip_int64_t index = locate(name);
    if (index < 0) return false;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE) || !(stat.valid & ZIP_STAT_COMP_SIZE))
      refuse(file_,
             "the workbook's part " + name + " cannot be read (" + zip_strerror(archive_) + ")");
    const std::uint64_t size = stat.size;
    if (size > kMaxPartBytes)
      refuse(file_,
             "the workbook's part " + name + " unpacks to " + std::to_string(size) +
                 " bytes, more than the " + byteText(kMaxPartBytes) +
                 " a part of a case table may hold",
             CaseFault(Kind::TableTooLarge));
    if (size > kRatioFreeBytes && size / kMaxPackingRatio > stat.comp_size)
      refuse(file_,
             "the workbook's part " + name + " unpacks to more than " +
                 std::to_string(kMaxPackingRatio) +
                 " times its packed size: made to exhaust its reader, not by a "
                 "spreadsheet program",
             CaseFault(Kind::TableTooLarge));
    if (size > kMaxReadBytes - read_)
      refuse(file_,
             "the workbook's parts unpack to more than the " + byteText(kMaxReadBytes) +
                 " a case table may hold",
             CaseFault(Kind::TableTooLarge));
    zip_file_t* entry = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (!entry) {
      const int code = zip_error_code_zip(zip_get_error(archive_));
      if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_ENCRNOTSUPP)
        refuse(file_, "the workbook is encrypted; save it without a password",
               notAWorkbook("encrypted"));
      refuse(file_,
             "the workbook's part " + name + " cannot be read (" + zip_strerror(archive_) + ")");
    }
    const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(entry, zip_fclose);
    XmlReader xml(handler, file_, name);
    std::array<char, 1 << 16> chunk{};
    std::uint64_t unpacked = 0;
    for (;;) {
      const zip_int64_t got = zip_fread(entry, chunk.data(), chunk.size());
      if (got < 0)
        refuse(file_,
               "the workbook's part " + name + " is damaged (" + zip_file_strerror(entry) + ")");
      unpacked += static_cast<std::uint64_t>(got);
      // The directory's size is what was checked: a part that unpacks further is cut off here.
      if (unpacked > size)
        refuse(file_,
               "the workbook's part " + name + " unpacks beyond the size its archive states");
      xml.feed(chunk.data(), static_cast<std::size_t>(got), got == 0);
      if (got == 0) break;
    }
    read_ += unpacked;
    return true;
  }

 private:
  zip_int64_t locate(const std::string& name) const {
    // The names of an Open XML package's parts are compared without regard to case.
    return zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE);
  }

  const std::string& file_;
  zip_t* archive_ = nullptr;
  std::uint64_t read_ = 0;
};

// ---- The package's relationships -----------------------------------------------------------

struct Relationship {
  std::string id, type, target;
};

class RelationshipsHandler : public XmlHandler {
 public:
  std::vector<Relationship> relationships;
  void start(std::string_view name, const char** attributes) override {
    if (name != "Relationship") return;
    if (attribute(attributes, "TargetMode").value_or("") == "External") return;
    relationships.push_back({std::string(attribute(attributes, "Id").value_or("")),
                             std::string(attribute(attributes, "Type").value_or("")),
                             std::string(attribute(attributes, "Target").value_or(""))});
  }
  void end(std::string_view) override {}
};

std::string folderOf(const std::string& part) {
  const auto slash = part.find_last_of('/');
  return slash == std::string::npos ? "" : part.substr(0, slash + 1);
}

// A relationship's target, relative to the part that holds it, as a name in the archive.
std::string resolve(const std::string& from, const std::string& target) {
  const std::string path = target.starts_with('/') ? target.substr(1) : folderOf(from) + target;
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string segment = path.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string out;
  for (const std::string& s : segments) out += (out.empty() ? "" : "/") + s;
  return out;
}

std::string relationshipsOf(const std::string& part) {
  return folderOf(part) + "_rels/" + part.substr(folderOf(part).size()) + ".rels";
}

std::vector<Relationship> readRelationships(Archive& archive, const std::string& part) {
  RelationshipsHandler handler;
  archive.read(relationshipsOf(part), handler);
  return handler.relationships;
}

// The target of the first relationship of a type ("…/officeDocument"; transitional and strict
// Open XML differ only before the last slash).
std::optional<std::string> targetOf(const std::vector<Relationship>& relationships,
                                    std::string_view type, const std::string& from) {
  for (const Relationship& r : relationships)
    if (std::string_view(r.type).ends_with(type)) return resolve(from, r.target);
  return std::nullopt;
}

// ---- The workbook: its sheets --------------------------------------------------------------

struct SheetEntry {
  std::string name, relationship;
};

class WorkbookHandler : public XmlHandler {
 public:
  std::vector<SheetEntry> sheets;
  void start(std::string_view name, const char** attributes) override {
    if (name == "sheets") inSheets_ = true;
    if (name != "sheet" || !inSheets_) return;
    sheets.push_back({std::string(attribute(attributes, "name").value_or("")),
                      std::string(attribute(attributes, "id").value_or(""))});
  }
  void end(std::string_view name) override {
    if (name == "sheets") inSheets_ = false;
  }

 private:
  bool inSheets_ = false;
};

// ---- The styles: which cell formats show a number as a date --------------------------------

// A number format code shows a date or time when, outside quoted texts, escaped characters and
// [colour] or [$-locale] brackets, it holds a code for years, months, days, hours or seconds;
// [h], [mm], [ss] are elapsed times.
bool isDateFormatCode(std::string_view code) {
  for (std::size_t k = 0; k < code.size(); ++k) {
    const char c = code[k];
    if (c == '"') {
      k = std::min(code.find('"', k + 1), code.size());
    } else if (c == '\\' || c == '_' || c == '*') {
      ++k;  // an escaped character; the width of one; the fill character
    } else if (c == '[') {
      const std::size_t close = std::min(code.find(']', k), code.size());
      const std::string_view inside = code.substr(k + 1, close - k - 1);
      if (!inside.empty() && inside.find_first_not_of(inside[0]) == std::string_view::npos &&
          std::string_view("hHmMsS").find(inside[0]) != std::string_view::npos)
        return true;
      k = close;
    } else if (std::string_view("yYmMdDhHsS").find(c) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

// The formats built into the spreadsheet programs by number: dates and times, and in a Chinese
// (and other East Asian) setting the dates of 27–36 and 50–58.
bool isBuiltInDateFormat(std::uint64_t id) {
  return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
         (id >= 50 && id <= 58);
}

class StylesHandler : public XmlHandler {
 public:
  std::vector<bool> dateStyles;  // by cell style index
  void start(std::string_view name, const char** attributes) override {
    if (name == "numFmt") {
      if (const auto id = wholeNumber(attribute(attributes, "numFmtId").value_or("")))
        customDates_[*id] = isDateFormatCode(attribute(attributes, "formatCode").value_or(""));
    } else if (name == "cellXfs") {
      inCellFormats_ = true;
    } else if (name == "xf" && inCellFormats_) {
      const auto id = wholeNumber(attribute(attributes, "numFmtId").value_or("0")).value_or(0);
      const auto custom = customDates_.find(id);
      dateStyles.push_back(custom != customDates_.end() ? custom->second : isBuiltInDateFormat(id));
    }
  }
  void end(std::string_view name) override {
    if (name == "cellXfs") inCellFormats_ = false;
  }

 private:
  std::map<std::uint64_t, bool> customDates_;
  bool inCellFormats_ = false;
};

// ---- Texts ----------------------------------------------------------------------------------

void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Open XML writes a character XML cannot hold as _xHHHH_ (UTF-16 code units; _x005F_ is the
// underscore itself); a lone surrogate stays as written.
std::string unescaped(std::string_view text) {
  if (text.find("_x") == std::string_view::npos) return std::string(text);
  auto unit = [&](std::size_t at) -> std::optional<char32_t> {
    if (at + 7 > text.size() || text.substr(at, 2) != "_x" || text[at + 6] != '_')
      return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] =
        std::from_chars(text.data() + at + 2, text.data() + at + 6, value, 16);
    if (error != std::errc() || end != text.data() + at + 6) return std::nullopt;
    return static_cast<char32_t>(value);
  };
  std::string out;
  for (std::size_t k = 0; k < text.size();) {
    const auto first = unit(k);
    if (!first) {
      out += text[k++];
      continue;
    }
    if (*first >= 0xD800 && *first <= 0xDBFF) {
      const auto second = unit(k + 7);
      if (second && *second >= 0xDC00 && *second <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((*first - 0xD800) << 10) + (*second - 0xDC00));
        k += 14;
        continue;
      }
    }
    if (*first >= 0xD800 && *first <= 0xDFFF) {
      out += text[k++];
      continue;
    }
    appendUtf8(out, *first);
    k += 7;
  }
  return out;
}

// A rich text's runs (<t> directly, or in <r> runs), without its phonetic guides (<rPh>).
class RichText {
 public:
  void start(std::string_view name) {
    if (name == "rPh") ++phonetic_;
    if (name == "t" && !phonetic_) inText_ = true;
  }
  void end(std::string_view name) {
    if (name == "rPh") --phonetic_;
    if (name == "t") inText_ = false;
  }
  void text(std::string_view part) {
    if (inText_) text_.append(part);
  }
  std::string take() {
    std::string out = unescaped(text_);
    text_.clear();
    return out;
  }

 private:
  std::string text_;
  int phonetic_ = 0;
  bool inText_ = false;
};

// The shared strings, kept one after another in one text.
class SharedStringsHandler : public XmlHandler {
 public:
  std::string pool;
  std::vector<std::size_t> starts = {0};
  std::string_view at(std::size_t index) const {
    return std::string_view(pool).substr(starts[index], starts[index + 1] - starts[index]);
  }
  std::size_t size() const { return starts.size() - 1; }

  void start(std::string_view name, const char**) override {
    if (name == "si") inItem_ = true;
    if (inItem_) rich_.start(name);
  }
  void end(std::string_view name) override {
    if (!inItem_) return;
    rich_.end(name);
    if (name != "si") return;
    inItem_ = false;
    pool += rich_.take();
    starts.push_back(pool.size());
  }
  void text(std::string_view part) override {
    if (inItem_) rich_.text(part);
  }

 private:
  RichText rich_;
  bool inItem_ = false;
};

// ---- The sheet ------------------------------------------------------------------------------

class SheetHandler : public XmlHandler {
 public:
  SheetHandler(CaseTableBuilder& builder, const SharedStringsHandler& strings,
               const std::vector<bool>& dateStyles, const std::string& file,
               const std::string& sheet)
      : builder_(builder), strings_(strings), dateStyles_(dateStyles), file_(file), sheet_(sheet) {}

  void start(std::string_view name, const char** attributes) override {
    if (inCell_) {
      if (name == "v") inValue_ = valueGiven_ = true;
      if (name == "f") formula_ = true;
      if (name == "is") inInline_ = true;
      if (inInline_) rich_.start(name);
    } else if (name == "row") {
      startRow(attributes);
    } else if (name == "c" && inRow_) {
      startCell(attributes);
    } else if (name == "mergeCell") {
      merged(attribute(attributes, "ref").value_or(""));
    }
  }

  void end(std::string_view name) override {
    if (inCell_) {
      if (name == "v") inValue_ = false;
      if (inInline_) rich_.end(name);
      if (name == "is") inInline_ = false;
      if (name == "c") endCell();
    } else if (name == "row" && inRow_) {
      inRow_ = false;
      builder_.addRow(std::move(row_));
    }
  }

  void text(std::string_view part) override {
    if (inValue_) value_.append(part);
    if (inInline_) rich_.text(part);
  }

 private:
  [[noreturn]] void malformed(const std::string& what) const {
    throw CaseError(file_, cellName(sheet_, row_.number, column_), what,
                    CaseFault(Kind::DamagedWorkbook));
  }

  void startRow(const char** attributes) {
    std::uint64_t number = rowNumber_ + 1;
    if (const auto given = attribute(attributes, "r")) number = wholeNumber(*given).value_or(0);
    // Rows come in order, each once: that is what lets the rows be read one at a time.
    if (number <= rowNumber_ || number > kMaxTableRows)
      throw CaseError(file_, sheet_,
                      "a row numbered out of order or beyond the sheet's " +
                          std::to_string(kMaxTableRows) + " rows, after row " +
                          std::to_string(rowNumber_),
                      CaseFault(Kind::DamagedWorkbook));
    rowNumber_ = static_cast<std::uint32_t>(number);
    row_ = TableRow{rowNumber_, {}};
    column_ = 0;
    inRow_ = true;
  }

  void startCell(const char** attributes) {
    std::uint32_t column = column_ + 1;
    if (const auto reference = attribute(attributes, "r")) {
      const auto cell = parseCellName(*reference);
      if (!cell || cell->first != rowNumber_)
        throw CaseError(file_, rowName(sheet_, rowNumber_),
                        "a cell of this row named \"" + shortened(*reference) + "\"",
                        CaseFault(Kind::DamagedWorkbook));
      column = cell->second;
    }
    if (column <= column_ || column > kMaxTableColumns)
      throw CaseError(file_, rowName(sheet_, rowNumber_), "cells out of order",
                      CaseFault(Kind::DamagedWorkbook));
    column_ = column;
    type_ = std::string(attribute(attributes, "t").value_or("n"));
    const auto style = wholeNumber(attribute(attributes, "s").value_or("0")).value_or(0);
    date_ = style < dateStyles_.size() && dateStyles_[style];
    formula_ = valueGiven_ = false;
    value_.clear();
    inCell_ = true;
  }

  void endCell() {
    inCell_ = false;
    TableCell cell;
    cell.column = column_;
    const bool numeric = type_ == "n" || type_ == "d";
    if (formula_ && (!valueGiven_ || (numeric && value_.empty()))) {
      cell.kind = TableCell::Kind::Uncached;
    } else if ((!valueGiven_ && type_ != "inlineStr") || (numeric && value_.empty())) {
      return;  // a blank cell, perhaps formatted
    } else if (type_ == "s") {
      const auto index = wholeNumber(value_);
      if (!index || *index >= strings_.size())
        malformed("a shared text " + shortened(value_) + " the workbook does not hold");
      cell.text = std::string(strings_.at(*index));
    } else if (type_ == "inlineStr") {
      cell.text = rich_.take();
    } else if (type_ == "str") {
      cell.text = unescaped(value_);
    } else if (type_ == "b") {
      cell.kind = TableCell::Kind::Boolean;
      cell.boolean = value_ == "1";
    } else if (type_ == "e") {
      cell.kind = TableCell::Kind::Error;
      cell.text = value_;
    } else if (type_ == "d") {
      cell.kind = TableCell::Kind::Number;  // an ISO 8601 date
      cell.date = true;
    } else {
      cell.kind = TableCell::Kind::Number;
      cell.date = date_;
      const char* end = value_.data() + value_.size();
      const auto [stop, error] = std::from_chars(value_.data(), end, cell.number);
      if (error != std::errc() || stop != end || !std::isfinite(cell.number))
        malformed("a number cell that holds \"" + shortened(value_) + "\"");
    }
    row_.cells.push_back(std::move(cell));
  }

  void merged(std::string_view reference) {
    const auto colon = reference.find(':');
    const auto first = parseCellName(reference.substr(0, colon));
    const auto last =
        colon == std::string_view::npos ? first : parseCellName(reference.substr(colon + 1));
    if (!first || !last) return;  // names no cells
    builder_.addMerged({std::min(first->first, last->first), std::min(first->second, last->second),
                        std::max(first->first, last->first),
                        std::max(first->second, last->second)});
  }

  CaseTableBuilder& builder_;
  const SharedStringsHandler& strings_;
  const std::vector<bool>& dateStyles_;
  const std::string& file_;
  const std::string& sheet_;
  TableRow row_;
  std::uint32_t rowNumber_ = 0, column_ = 0;
  std::string type_, value_;
  RichText rich_;
  bool inRow_ = false, inCell_ = false, inValue_ = false, inInline_ = false;
  bool formula_ = false, valueGiven_ = false, date_ = false;
};

constexpr std::string_view kPreferredSheet = "工况";

}  // namespace

TableCases readXlsxTable(std::string_view bytes, const std::string& file) {
  if (bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
    refuse(file,
           "an Excel 97-2003 workbook (.xls) or an encrypted one; save it as an .xlsx workbook "
           "without a password, or as CSV",
           notAWorkbook("xls"));
  if (!bytes.starts_with("PK"))
    refuse(file, "not an .xlsx workbook (no zip archive); save the sheet as .xlsx or as CSV",
           notAWorkbook());
  Archive archive(bytes, file);
  const std::string workbook =
      targetOf(readRelationships(archive, ""), "/officeDocument", "").value_or("xl/workbook.xml");
  if (workbook.ends_with(".bin"))
    refuse(file, "a binary workbook (.xlsb); save it as an .xlsx workbook or as CSV",
           notAWorkbook("xlsb"));
  WorkbookHandler sheets;
  if (!archive.read(workbook, sheets)) {
    const bool openDocument = archive.has("content.xml") && archive.has("mimetype");
    refuse(file,
           openDocument ? "an OpenDocument spreadsheet; save it as an .xlsx workbook or as CSV"
                        : "a zip archive without an Excel workbook in it",
           notAWorkbook(openDocument ? "ods" : ""));
  }
  if (sheets.sheets.empty()) refuse(file, "the workbook holds no sheet", notAWorkbook("no sheet"));
  const SheetEntry* chosen = &sheets.sheets.front();
  for (const SheetEntry& s : sheets.sheets)
    if (s.name == kPreferredSheet) chosen = &s;

  const std::vector<Relationship> links = readRelationships(archive, workbook);
  std::optional<std::string> sheetPart;
  for (const Relationship& r : links) {
    if (r.id != chosen->relationship) continue;
    if (!r.type.ends_with("/worksheet"))
      throw CaseError(file, chosen->name, "a chart or dialog sheet, not a sheet of cells",
                      notAWorkbook("chart sheet"));
    sheetPart = resolve(workbook, r.target);
  }
  if (!sheetPart)
    throw CaseError(file, chosen->name, "the workbook does not say where it is",
                    CaseFault(Kind::DamagedWorkbook));

  SharedStringsHandler strings;
  if (const auto part = targetOf(links, "/sharedStrings", workbook)) archive.read(*part, strings);
  StylesHandler styles;
  if (const auto part = targetOf(links, "/styles", workbook)) archive.read(*part, styles);

  CaseTableBuilder builder(file, chosen->name);
  SheetHandler sheet(builder, strings, styles.dateStyles, file, chosen->name);
  if (!archive.read(*sheetPart, sheet))
    throw CaseError(file, chosen->name, "the sheet is missing from the workbook",
                    CaseFault(Kind::DamagedWorkbook));
  TableCases table = builder.finish();
  table.format = "xlsx";
  return table;
}

}  // namespace aph::study
