// Where no zip archive or XML can be read (the browser page), a workbook is refused with what to
// do instead.
#include "study/case_input/case_table.hpp"

namespace aph::study {

TableCases readXlsxTable(std::string_view, const std::string& file) {
  throw CaseError(file, "",
                  "an .xlsx workbook cannot be read here; save the sheet as CSV and open that");
}

}  // namespace aph::study
