// The plate's temperature field as the field command writes it: JSON (the keys the checks read),
// a table in Chinese, CSV of the summary or of every cell.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "study/checks/plate_field_run.hpp"

namespace aph::study {

struct FieldSubject {
  std::string name, file;
  std::optional<double> load;  // % of the case's flows (--load)
};

nlohmann::ordered_json fieldJson(const FieldSubject& subject, const FieldReport& field);
std::string fieldTable(const FieldSubject& subject, const FieldReport& field);
// The summary: a header line and one row per field.
std::string fieldCsvHeader();
std::string fieldCsvRow(const FieldSubject& subject, const FieldReport& field);
// Every cell: a header line and one row per cell, section by section.
std::string fieldCellsCsvHeader();
std::string fieldCellsCsv(const FieldSubject& subject, const FieldReport& field);

}  // namespace aph::study
