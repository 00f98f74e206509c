// Where no zip archive or XML can be read (the browser page), a workbook is refused with what to
// do instead.
#include "study/case_input/case_table.hpp"

namespace aph::study {

TableCases readXlsxTable(std::string_view, const std::string& file) {
  // The page's messages are Chinese: the person reading this one is at the window.
  throw CaseError(file, "",
                  "网页版不能读取 Excel 工作簿（.xlsx）；请在电子表格程序中将工况表另存为 "
                  "CSV 文件，再打开该 CSV 文件",
                  CaseFault(CaseFault::Kind::InWindowWords));
}

}  // namespace aph::study
