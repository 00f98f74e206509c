#include "study/case_input/case_table.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "study/case_input/window_files.hpp"
#include "workbook_parts.hpp"

namespace aph::study {
namespace {

using test::workbook;
using test::zipArchive;
using test::ZipEntry;

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::string kExamples = APH_EXAMPLES_DIR "/cases/";
const std::string kTables = APH_TABLES_DIR "/";

// A sheet whose first row holds `keys` (apart by commas) and whose second row is `cells`.
std::string sheet(std::string_view keys, std::string_view cells) {
  std::string xml = R"(<sheetData><row r="1">)";
  std::uint32_t column = 0;
  for (std::size_t start = 0; start <= keys.size();) {
    const std::size_t end = std::min(keys.find(',', start), keys.size());
    xml += "<c r=\"" + columnName(++column) + "1\" t=\"inlineStr\"><is><t>" +
           std::string(keys.substr(start, end - start)) + "</t></is></c>";
    start = end + 1;
  }
  return xml + R"(</row><row r="2">)" + std::string(cells) + "</row></sheetData>";
}

std::string text(std::string_view cell, std::string_view value) {
  return "<c r=\"" + std::string(cell) + "\" t=\"inlineStr\"><is><t>" + std::string(value) +
         "</t></is></c>";
}

void expectSameCases(const std::vector<Case>& read, const std::vector<Case>& expected,
                     const std::string& label) {
  ASSERT_EQ(read.size(), expected.size()) << label;
  for (std::size_t k = 0; k < read.size(); ++k) {
    EXPECT_EQ(read[k].name, expected[k].name) << label;
    EXPECT_EQ(read[k].values, expected[k].values) << label << " case " << k;
  }
}

// Tables in the forms that spreadsheet programs save them in read as the case file they stand
// for, key by key; numbers as the same numbers, so that they rate alike.
TEST(CaseTable, ReadsAsTheEquivalentJson) {
  struct Row {
    std::string file, bytes, encoding, json;
  };
  const std::string gb18030Name = "\xC2\xFA\xB8\xBA\xBA\xC9";  // 满负荷
  const std::string loads = fileText(kExamples + "boiler-loads.json");
  const std::vector<Row> rows = {
      // Written by LibreOffice Calc: a sheet of notes before "工况", a merged title, captions.
      {"boiler-loads.xlsx", fileText(kExamples + "boiler-loads.xlsx"), "", loads},
      {"boiler-loads.csv", fileText(kExamples + "boiler-loads.csv"), "GB18030", loads},
      {"kinds.xlsx", fileText(kTables + "kinds.xlsx"), "",
       R"({"cases": [{"name": "公式", "arrangement": "crossflow", "flow_mode": "volume",
           "flue_gas": {"inlet_temperature": 350}, "air": {"outlet_temperature": 190},
           "plate": {"pairs": 110}},
          {"name": "文本数字", "arrangement": "counterflow",
           "flue_gas": {"inlet_temperature": 330.5, "fouling": 0.0002},
           "air": {"outlet_temperature": 182}, "plate": {"pairs": 96}}]})"},
      // Inline rich text with an escaped underscore, a formula's text result, a number format
      // whose letters are quoted or a colour: no date.
      {"inline.xlsx",
       workbook(
           sheet(
               "name,arrangement,flue_gas.inlet_temperature",
               R"(<c r="A2" t="inlineStr"><is><r><t>满</t></r><r><t>负荷_x005F_x0041_</t></r></is></c>
                         <c r="B2" t="str"><f>"counter"&amp;"flow"</f><v>counterflow</v></c>
                         <c r="C2" s="1"><v>350.5</v></c>)"),
           {}, R"(<numFmts><numFmt numFmtId="164" formatCode="[Red]0.0&quot; d h&quot;"/></numFmts>
                       <cellXfs><xf numFmtId="0"/><xf numFmtId="164"/></cellXfs>)"),
       "", R"({"name": "满负荷_x0041_", "arrangement": "counterflow",
              "flue_gas": {"inlet_temperature": 350.5}})"},
      // A caption row with one key among its cells is no key row.
      {"a.csv",
       "说明,name,单位,备注\nname,arrangement,flue_gas.inlet_temperature\nA,counterflow,350\n",
       "UTF-8",
       R"({"name": "A", "arrangement": "counterflow", "flue_gas": {"inlet_temperature": 350}})"},
      {"b.csv", "\xEF\xBB\xBFname;arrangement\r\n\"A;\"\"1\"\"\";counterflow\r\n", "UTF-8 with BOM",
       R"({"name": "A;\"1\"", "arrangement": "counterflow"})"},
      {"c.csv", "name\tarrangement\n" + gb18030Name + "\tcounterflow\n", "GB18030",
       R"({"name": "满负荷", "arrangement": "counterflow"})"},
      // Blank cells are keys left out; blanks around a number go; a number kept as text counts
      // as one, for the design checks too.
      {"d.csv",
       "name,flue_gas.inlet_temperature,air.inlet_temperature,flue_gas.h2o\n"
       "A,\xE3\x80\x80"
       "350 , ,8\n",
       "UTF-8", R"({"name": "A", "flue_gas": {"inlet_temperature": 350, "h2o": 8}})"},
  };
  for (const Row& r : rows) {
    const auto format = caseTableFormat(r.bytes, r.file);
    ASSERT_TRUE(format) << r.file;
    EXPECT_EQ(readCaseTable(r.bytes, r.file, *format).encoding, r.encoding) << r.file;
    expectSameCases(parseCases(r.bytes, r.file), parseCases(r.json, "expected.json"), r.file);
  }
}

// An archive with the stated size of one entry made smaller than what it unpacks to, in its
// central directory and its local header alike.
std::string understated(std::string archive, std::string_view entry, std::uint32_t size) {
  for (std::size_t at = archive.find("PK\x01\x02"); at != std::string::npos;
       at = archive.find("PK\x01\x02", at + 4)) {
    const auto field = [&](std::size_t offset, std::size_t width) {
      std::size_t value = 0;
      for (std::size_t k = width; k-- > 0;)
        value = value << 8 | static_cast<unsigned char>(archive[offset + k]);
      return value;
    };
    if (archive.compare(at + 46, field(at + 28, 2), entry) != 0) continue;
    for (const std::size_t offset : {at + 24, field(at + 42, 4) + 22})
      for (std::size_t k = 0; k < 4; ++k) archive[offset + k] = static_cast<char>(size >> 8 * k);
  }
  return archive;
}

// Every refusal names the file and the cell as a spreadsheet shows it; the window tells each
// kind of fault in its own short Chinese words.
TEST(CaseTable, FaultsNamedByTheirCell) {
  struct Row {
    std::string file, bytes, message, window;  // the batch tool's words; the window's
  };
  const std::string keys = "name,arrangement,flue_gas.inlet_temperature";
  const std::string spaces(std::size_t{2} << 20, ' ');
  // An end record that claims more entries than a workbook could have.
  std::string tooMany = zipArchive({{"a", ""}});
  for (const std::size_t field : {8, 10}) {
    tooMany[tooMany.rfind("PK\x05\x06") + field] = static_cast<char>(10'001 & 0xFF);
    tooMany[tooMany.rfind("PK\x05\x06") + field + 1] = static_cast<char>(10'001 >> 8);
  }
  auto doctype = test::workbookParts(sheet(keys, ""));
  doctype[2].data = R"(<!DOCTYPE w [<!ENTITY e "x">]>)" + doctype[2].data;
  auto large = test::workbookParts(sheet(keys, ""));
  large[2].data += std::string((std::size_t{32} << 20) + 1 - large[2].data.size(), ' ');
  large[2].stored = true;
  const std::vector<Row> rows = {
      // Written by LibreOffice Calc.
      {"e.xlsx", fileText(kTables + "error-value.xlsx"),
       "e.xlsx: 工况!C4: flue_gas.inlet_temperature: the error value #DIV/0!",
       "“工况!C4”：是错误值 #DIV/0!"},
      {"d.xlsx", fileText(kTables + "date.xlsx"),
       "d.xlsx: 工况!D4: air.inlet_temperature: a date or time (the cell's number format",
       "“工况!D4”：是日期或时间，必须是数值（请将单元格设为数值格式）"},
      {"m.xlsx", fileText(kTables + "merged.xlsx"),
       "m.xlsx: 工况!B4: arrangement: merged cells (B4:C4) in the table",
       "“工况!B4”：有合并单元格（B4:C4）：请取消合并，为每个工况分别填写"},
      // The cells themselves.
      {"f.xlsx", workbook(sheet(keys, text("A2", "A") + R"(<c r="C2"><f>C1*2</f></c>)")),
       "f.xlsx: 工况!C2: flue_gas.inlet_temperature: a formula whose result the workbook does "
       "not hold",
       "“工况!C2”：公式的结果没有保存在文件中：请在电子表格程序中打开并保存"},
      {"d.xlsx",
       workbook(sheet(keys, R"(<c r="C2" s="1"><v>45413</v></c>)"), {},
                R"(<cellXfs><xf numFmtId="0"/><xf numFmtId="14"/></cellXfs>)"),
       "d.xlsx: 工况!C2: flue_gas.inlet_temperature: a date or time",
       "“工况!C2”：是日期或时间，必须是数值（请将单元格设为数值格式）"},
      {"b.xlsx", workbook(sheet(keys, R"(<c r="B2" t="b"><v>1</v></c>)")),
       "b.xlsx: 工况!B2: arrangement: expected \"counterflow\", \"crossflow\" or \"multi-pass\", "
       "not boolean",
       "“工况!B2”：必须是“counterflow”或“crossflow”或“multi-pass”"},
      {"s.xlsx", workbook(sheet(keys, R"(<c r="A2" t="s"><v>5</v></c>)")),
       "s.xlsx: 工况!A2: a shared text 5 the workbook does not hold",
       "“工况!A2”：工作簿已损坏：请在电子表格程序中打开并另存"},
      {"r.xlsx", workbook(sheet(keys, text("A2", "A") + R"(<c r="C2"><v>20</v></c>)")),
       "r.xlsx: 工况!C2: flue_gas.inlet_temperature: 20 is out of range",
       "“工况!C2”：数值超出允许范围"},
      {"n.xlsx", workbook(sheet(keys, "")), "n.xlsx: 工况!1:1: no load case below the row of keys",
       "工作表“工况”第 1 行：参数名下面没有工况"},
      {"o.xlsx", workbook(R"(<sheetData><row r="3"/><row r="2"/></sheetData>)"),
       "o.xlsx: 工况: a row numbered out of order",
       "“工况”：工作簿已损坏：请在电子表格程序中打开并另存"},
      {"e.csv", "name,arrangement,flue_gas.inlet_temperature\nA,counterflow,#DIV/0!\n",
       "e.csv: C2: flue_gas.inlet_temperature: the error value #DIV/0!", "“C2”：是错误值 #DIV/0!"},
      // The row of keys.
      {"k.csv", "name,flue_gas.inlet_temprature\nA,350\n",
       "k.csv: B1: flue_gas.inlet_temprature: unknown key; did you mean "
       "\"flue_gas.inlet_temperature\"?",
       "“B1”：未知的参数，是否应为“flue_gas.inlet_temperature”？"},
      {"k.csv", "name,arrangement,name\nA\n", "k.csv: C1: name: key given twice (also in A1)",
       "“C1”：重复给出（另见“A1”）"},
      {"k.csv", "name,arrangement\nA,counterflow,x\n",
       "k.csv: C2: a value in a column without a key (the keys stand in row 1)",
       "“C2”：所在的列没有参数名（参数名在第 1 行）"},
      {"k.csv", "标题\n1,2\n", "k.csv: no row of case-file keys",
       "找不到参数名所在的行（一行文字，如 name、arrangement、flue_gas.inlet_temperature）"},
      {"k.csv", "name,arrangement\n\n", "k.csv: 1:1: no load case below the row of keys",
       "第 1 行：参数名下面没有工况"},
      // Texts.
      {"q.csv", "name\n\"A\n", "q.csv: A2: a quoted cell that never ends", "“A2”：引号不配对"},
      {"q.csv", "name\n\"A\"B\n", "q.csv: A2: text after the closing quote of a quoted cell",
       "“A2”：引号不配对"},
      {"b.csv", "\xEF\xBB\xBFna\xFFme\n", "b.csv: not UTF-8",
       "第 1 行第 3 列：不是 UTF-8 编码的文本"},
      {"u.csv", "\xFF\xFEn\0a", "u.csv: UTF-16 text",
       "是 UTF-16 文本（Excel 的“Unicode 文本”）：请另存为 CSV 文件"},
      {"u.csv", "name\n\x81\x20\n", "u.csv: neither UTF-8 (byte offset 5) nor GB18030 text (byte",
       "第 2 行第 1 列：既不是 UTF-8 也不是 GB18030 编码的文本"},
      // Files that are no workbooks, or made to exhaust their reader.
      {"x.xlsx", "{}", "x.xlsx: not an .xlsx workbook (no zip archive)", "不是 .xlsx 工作簿"},
      {"x.xlsx", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", "x.xlsx: an Excel 97-2003 workbook (.xls)",
       "是 Excel 97-2003 工作簿（.xls）或加密的工作簿：请另存为不加密的 .xlsx 工作簿或 CSV 文件"},
      {"x.xlsx", zipArchive(doctype),
       "x.xlsx: the workbook's part xl/worksheets/sheet1.xml "
       "declares a document type",
       "工作簿已损坏：请在电子表格程序中打开并另存"},
      {"x.xlsx", tooMany, "x.xlsx: a zip archive of more than 10000 entries", "表格过大"},
      {"x.xlsx", zipArchive(large),
       "x.xlsx: the workbook's part xl/worksheets/sheet1.xml unpacks to 33554433 bytes, more "
       "than the 32 MiB",
       "表格过大"},
      {"x.xlsx", zipArchive({{"xl/workbook.xml", spaces}}),
       "x.xlsx: the workbook's part xl/workbook.xml unpacks to more than 100 times its packed "
       "size",
       "表格过大"},
      {"x.xlsx",
       understated(zipArchive({{"xl/workbook.xml", spaces.substr(0, 5000)}}), "xl/workbook.xml",
                   1000),
       "x.xlsx: the workbook's part xl/workbook.xml unpacks beyond the size its archive states",
       "工作簿已损坏：请在电子表格程序中打开并另存"},
  };
  for (const Row& r : rows) {
    try {
      parseCases(r.bytes, r.file);
      ADD_FAILURE() << r.message;
    } catch (const CaseError& e) {
      EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos)
          << e.what() << "\n  expected: " << r.message;
      EXPECT_EQ(windowReason(e, r.bytes), r.window) << e.what();
    }
  }
}

// A fault of the case file the table stands for is told at the cell of its key in the row of
// its load case; at the row when the table has no column for the key. The window names the
// place in its own words, the sheet's quotes undone.
TEST(CaseTable, FaultsOfTheCaseFileLocated) {
  TableCases table;
  table.sheet = "Load cases";
  table.columns = {{"air.inlet_temperature", 6}};
  table.caseRows = {4, 9};
  struct Row {
    std::string key, located, window;
  };
  for (const Row& r :
       {Row{"cases[1].air.inlet_temperature", "'Load cases'!F9: air.inlet_temperature",
            "“'Load cases'!F9”：缺少工况参数"},
        Row{"cases[0].plate.pairs", "'Load cases'!4:4: plate.pairs",
            "工作表“Load cases”第 4 行的“plate.pairs”：缺少工况参数"},
        Row{"cases[1]", "'Load cases'!9:9", "工作表“Load cases”第 9 行：缺少工况参数"},
        Row{"cases[2].name", "cases[2].name", "“cases[2].name”：缺少工况参数"},
        Row{"cases", "cases", "“cases”：缺少工况参数"}}) {
    const CaseError located =
        table.located(CaseError("t.xlsx", r.key, "wrong", CaseFault(CaseFault::Kind::NotACase)));
    EXPECT_EQ(located.key(), r.located) << r.key;
    EXPECT_EQ(windowReason(located, ""), r.window) << r.key;
  }
}

// The window's "打开" offers a workbook's load cases as it offers a JSON file's.
TEST(CaseTable, WindowOpensAWorkbook) {
  WindowCaseFiles files;
  const auto opened = files.open(kExamples + "boiler-loads.xlsx");
  ASSERT_TRUE(opened.file) << (opened.problem ? opened.problem->detail : "");
  EXPECT_EQ(opened.file->caseNames(),
            (std::vector<std::string>{"100 % 负荷", "75 % 负荷", "50 % 负荷"}));
}

}  // namespace
}  // namespace aph::study
