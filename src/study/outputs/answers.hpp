// The answers of goal seeking and of the off-design rating as tables, JSON and CSV, written one
// answer at a time. Each answer carries the full rating at it, in the very form `rate` writes.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "study/outputs/curve.hpp"
#include "study/studies/rate.hpp"
#include "study/studies/simulate.hpp"
#include "study/studies/solve.hpp"

namespace aph::study {

// The object `rate --format json` gives for the rating at the answer (with its design checks),
// with "solution" added (and "load" under a load curve).
nlohmann::ordered_json goalSeekJson(const GoalSeekAnswer& answer, const CheckSettings& checks = {});
nlohmann::ordered_json offDesignJson(const OffDesignAnswer& answer,
                                     const CheckSettings& checks = {});

// CSV: the solution's columns first, then rate's row of the rating at the answer.
std::string goalSeekCsvHeader();
std::string goalSeekCsvRow(const GoalSeekAnswer& answer, const CheckSettings& checks = {});
std::string offDesignCsvHeader(bool loads);
std::string offDesignCsvRow(const OffDesignAnswer& answer, bool loads,
                            const CheckSettings& checks = {});

// Workbooks: the CSV's columns as captioned workbook columns, and an answer's row of them.
std::vector<XlsxColumn> goalSeekXlsxColumns();
std::vector<XlsxCell> goalSeekXlsxCells(const GoalSeekAnswer& answer, const CheckSettings& checks);
std::vector<XlsxColumn> offDesignXlsxColumns(bool loads);
std::vector<XlsxCell> offDesignXlsxCells(const OffDesignAnswer& answer, bool loads,
                                         const CheckSettings& checks);

// The load table: one row per load with the outlet temperatures, duties, ΔTm, K_act, pressure
// drops, wall temperatures and the cold end's margin above the acid dew point.
std::string loadTableHeader(const std::string& file, const std::string& caseName);
std::string loadTableRow(const OperatingPoint& point);

// Writes answers as they come: a table (the verdict, then the rating at the answer as rate shows
// it; under a load curve the load table instead), a JSON list, CSV rows, or a workbook (one sheet
// of every answer; under a load curve also a sheet per load listing the rating at it).
class AnswerWriter {
 public:
  AnswerWriter(std::ostream& out, RateFormat format, bool color = false, bool loads = false,
               const CheckSettings& checks = {}, bool bom = false);
  ~AnswerWriter();
  void add(const GoalSeekAnswer& answer);
  void add(const OffDesignAnswer& answer);
  // Writes what is left; call once after the last answer. A workbook's failure is an XlsxError.
  void finish();

 private:
  void json(const nlohmann::ordered_json& item);
  void flushReasons();
  std::ostream& out_;
  RateFormat format_;
  bool color_, loads_;
  CheckSettings checks_;
  bool bom_;
  std::unique_ptr<XlsxWorkbook> workbook_;
  // Per load, the sheet that lists the rating at it, written when the workbook is finished.
  std::vector<std::pair<std::string, std::vector<XlsxCell>>> loadSheets_;
  std::size_t count_ = 0;
  std::string tableCase_;                 // the case whose load table is open
  std::vector<std::string> loadReasons_;  // loads without an answer, told below the table
  TableLawSpan loadLaw_;                  // the loads' specific heats from the window's law
};

}  // namespace aph::study
