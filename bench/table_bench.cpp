// Speed of case tables: the example workbook and its CSV text read into their load cases, and a
// zip bomb refused. The goal for the bomb: well under a second, whatever it would unpack to.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

#include "study/case_input/case_file.hpp"

namespace {

void readTable(benchmark::State& state, const std::string& path) {
  std::ifstream in(std::string(APH_SOURCE_DIR) + path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string table = bytes.str();
  std::size_t cases = 0;
  for (auto _ : state) {
    try {
      cases = aph::study::parseCases(table, path).size();
    } catch (const aph::study::CaseError&) {
      cases = 0;
    }
  }
  state.counters["cases"] = static_cast<double>(cases);
}
BENCHMARK_CAPTURE(readTable, workbook, std::string("/examples/cases/boiler-loads.xlsx"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(readTable, csv_gb18030, std::string("/examples/cases/boiler-loads.csv"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(readTable, zip_bomb, std::string("/tests/study/data/tables/zip-bomb.xlsx"))
    ->Unit(benchmark::kMillisecond);

}  // namespace
