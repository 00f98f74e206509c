// A case table saved as CSV: records apart by CR LF, LF or CR, cells apart by a comma, a
// semicolon or a tab, a cell in double quotes holding any of them and "" for a quote (RFC 4180).
// The text is UTF-8, with or without a byte-order mark, or GB18030 (of which GBK is a part), as
// Excel on a Chinese Windows saves "CSV (逗号分隔)"; the bytes decide which.
#include <iconv.h>

#include <array>
#include <cerrno>

#include "model/text.hpp"
#include "study/case_input/case_table.hpp"
#include "study/io/files.hpp"

namespace aph::study {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The GB18030 text as UTF-8, or the offset of the first byte that is no GB18030 character.
struct Decoded {
  std::string text;
  std::optional<std::size_t> badByte;
};

Decoded fromGb18030(std::string_view bytes) {
  Decoded out;
  const iconv_t converter = ::iconv_open("UTF-8", "GB18030");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    out.badByte = 0;
    return out;
  }
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  std::array<char, 1 << 16> chunk{};
  while (inLeft > 0) {
    char* put = chunk.data();
    std::size_t room = chunk.size();
    const std::size_t done = ::iconv(converter, &in, &inLeft, &put, &room);
    out.text.append(chunk.data(), static_cast<std::size_t>(put - chunk.data()));
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out.badByte = bytes.size() - inLeft;  // EILSEQ, or EINVAL for a character cut short
      break;
    }
  }
  ::iconv_close(converter);
  return out;
}

// The cells of a CSV text, record by record.
class CsvRecords {
 public:
  CsvRecords(std::string_view text, char separator, const std::string& file)
      : text_(text), separator_(separator), ends_{separator, '\r', '\n'}, file_(file) {}

  // The next record that is not empty, or false at the end.
  bool next(TableRow& row) {
    while (at_ < text_.size()) {
      if (++record_ > kMaxTableRows)
        throw CaseError(file_, "", "more than " + std::to_string(kMaxTableRows) + " rows",
                        CaseFault(CaseFault::Kind::TableTooLarge));
      row.number = record_;
      row.cells.clear();
      readRecord(row);
      if (!row.cells.empty()) return true;
    }
    return false;
  }

 private:
  [[noreturn]] void fail(std::uint32_t column, const std::string& what) const {
    throw CaseError(file_, cellName("", record_, column), what,
                    CaseFault(CaseFault::Kind::BrokenQuotes));
  }

  void readRecord(TableRow& row) {
    for (std::uint32_t column = 1;; ++column) {
      if (column > kMaxTableColumns)
        throw CaseError(file_, rowName("", record_),
                        "more than " + std::to_string(kMaxTableColumns) + " cells in a row",
                        CaseFault(CaseFault::Kind::TableTooLarge));
      std::string cell;
      if (at_ < text_.size() && text_[at_] == '"') {
        quoted(column, cell);
      } else {
        const std::size_t end = text_.find_first_of(ends_, at_);
        cell =
            text_.substr(at_, end == std::string_view::npos ? std::string_view::npos : end - at_);
        at_ = end == std::string_view::npos ? text_.size() : end;
      }
      if (!cell.empty())
        row.cells.push_back({column, TableCell::Kind::Text, false, false, 0, cell});
      if (at_ >= text_.size()) return;
      const char c = text_[at_++];
      if (c == separator_) continue;
      if (c == '\r' && at_ < text_.size() && text_[at_] == '\n') ++at_;
      return;  // the end of the record
    }
  }

  void quoted(std::uint32_t column, std::string& cell) {
    ++at_;
    for (;;) {
      const std::size_t quote = text_.find('"', at_);
      if (quote == std::string_view::npos)
        fail(column, "a quoted cell that never ends (its closing \" is missing)");
      cell.append(text_.substr(at_, quote - at_));
      at_ = quote + 1;
      if (at_ < text_.size() && text_[at_] == '"') {
        cell += '"';
        ++at_;
        continue;
      }
      if (at_ < text_.size() && text_[at_] != separator_ && text_[at_] != '\r' &&
          text_[at_] != '\n')
        fail(column, "text after the closing quote of a quoted cell");
      return;
    }
  }

  std::string_view text_;
  char separator_;
  std::string ends_;  // what ends an unquoted cell
  const std::string& file_;
  std::size_t at_ = 0;
  std::uint32_t record_ = 0;
};

// The separator whose reading finds a row of keys with the most keys in it; a comma when none
// does (the builder then tells that no row of keys was found).
char detectSeparator(std::string_view text, const std::string& file) {
  char best = ',';
  std::size_t bestKeys = 0;
  for (const char separator : {',', ';', '\t'}) {
    CsvRecords records(text, separator, file);
    TableRow row;
    try {
      while (records.next(row)) {
        if (const std::size_t keys = keyRowScore(row)) {
          if (keys > bestKeys) best = separator, bestKeys = keys;
          break;
        }
      }
    } catch (const CaseError&) {
      // Quotes read with the wrong separator may not close where they should.
    }
  }
  return best;
}

}  // namespace

TableCases readCsvTable(std::string_view bytes, const std::string& file) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
    throw CaseError(file, "",
                    "UTF-16 text (Excel's \"Unicode text\"); save the sheet as CSV instead",
                    CaseFault(CaseFault::Kind::NotAWorkbook, "utf-16"));
  std::string encoding;
  std::string decoded;
  std::string_view text = bytes;
  if (text.starts_with(kByteOrderMark)) {
    text.remove_prefix(kByteOrderMark.size());
    if (const auto reason = notUtf8Reason(text)) {
      CaseFault fault(CaseFault::Kind::NotUtf8);
      fault.offset = kByteOrderMark.size() + firstNonUtf8Byte(text).value_or(0);
      throw CaseError(file, "", *reason, std::move(fault));
    }
    encoding = "UTF-8 with BOM";
  } else if (const auto bad = firstNonUtf8Byte(text)) {
    Decoded gb = fromGb18030(text);
    if (gb.badByte) {
      CaseFault fault(CaseFault::Kind::NotUtf8, {}, "GB18030");
      fault.offset = *bad;
      throw CaseError(file, "",
                      "neither UTF-8 (byte offset " + std::to_string(*bad) +
                          ") nor GB18030 text (byte offset " + std::to_string(*gb.badByte) +
                          "); save it as CSV in UTF-8",
                      std::move(fault));
    }
    decoded = std::move(gb.text);
    text = decoded;
    encoding = "GB18030";
  } else {
    encoding = "UTF-8";
  }
  CaseTableBuilder builder(file, "");
  CsvRecords records(text, detectSeparator(text, file), file);
  TableRow row;
  while (records.next(row)) builder.addRow(std::move(row));
  TableCases table = builder.finish();
  table.format = "csv";
  table.encoding = encoding;
  return table;
}

}  // namespace aph::study
