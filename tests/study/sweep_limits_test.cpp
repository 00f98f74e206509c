// Sweeps and sizing within bounds: grid points outside the ranges, grids too large, more threads
// than cores, a reader that fails or is slow.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <sstream>
#include <thread>

#include "study/checks/ranges.hpp"
#include "study/studies/size.hpp"
#include "study/studies/sweep.hpp"

namespace aph::study {
namespace {

Case one(const std::string& json, const ReadOptions& options = {}) {
  return parseCases(json, "case.json", options).at(0);
}

const std::string kDesign = R"({"arrangement": "counterflow", "flow_mode": "volume"})";

std::vector<std::string> csvLines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Grid points outside the ranges are rows of their own: not rated, with the reason.
TEST(Sweep, DesignsOutOfRangeAreInvalidRowsWithTheReason) {
  SweepPlan plan{one(kDesign),
                 {parseVary("plate.pairs=-1,0,110"), parseVary("air.channel_gap=0,9")}};
  std::ostringstream csv;
  SweepCounts counts;
  SweepOptions options;
  options.counts = &counts;
  const auto values = runSweep(plan, &csv, options);
  const auto rows = csvLines(csv.str());
  ASSERT_EQ(rows.size(), 7u);
  const auto commas = [](const std::string& row) {
    return std::count(row.begin(), row.end(), ',');
  };
  EXPECT_EQ(commas(rows[1]), commas(rows[0]));  // every column there, the results empty
  EXPECT_EQ(commas(rows[6]), commas(rows[0]));
  EXPECT_TRUE(rows[1].starts_with("-1,0,invalid,,")) << rows[1];
  // The reason, then the empty note.
  EXPECT_TRUE(rows[1].ends_with(",plate.pairs: -1 is out of range; allowed: a whole number ≥ 1,"))
      << rows[1];
  EXPECT_TRUE(
      rows[5].ends_with(",\"air.channel_gap: 0 is out of range; allowed: > 0 mm, or \"\"\"\" "
                        "to give the equivalent diameter instead\","))
      << rows[5];
  EXPECT_TRUE(rows[6].starts_with("110,9,ok,")) << rows[6];
  EXPECT_EQ(counts.invalid, 5u);
  EXPECT_EQ(counts.completed, 1u);
  EXPECT_TRUE(values[0].invalid);
  EXPECT_TRUE(std::isnan(values[0].margin));
  EXPECT_EQ(values[0].rule, valueFault(*findKey("plate.pairs"), "-1")->rule);
  EXPECT_FALSE(values[5].invalid);

  // As typed, every point is rated as the window would rate it.
  options.asTyped = true;
  std::ostringstream typed;
  runSweep(plan, &typed, options);
  EXPECT_EQ(counts.invalid, 0u);
  EXPECT_EQ(csvLines(typed.str())[1].find("invalid"), std::string::npos);

  // A base that breaks a range the sweep does not touch makes every point invalid.
  SweepPlan broken{
      one(R"({"arrangement": "counterflow", "plate": {"pairs": 0}})", {.asTyped = true}),
      {parseVary("air.channel_gap=8,9")}};
  options.asTyped = false;
  runSweep(broken, nullptr, options);
  EXPECT_EQ(counts.invalid, 2u);
}

TEST(Sweep, GridSizeIsKnownBeforeAnythingIsBuilt) {
  const VaryArgument big = parseVaryArgument("plate.pairs=1:20000000:1");
  EXPECT_EQ(big.count(), 20'000'000u);
  EXPECT_NO_THROW(checkGridSize({big}));
  EXPECT_THROW(checkGridSize({big, parseVaryArgument("air.channel_gap=1:20000000:1")}), SweepError);
  EXPECT_THROW(checkGridSize({big, parseVaryArgument("air.channel_gap=7,8")}), SweepError);
  for (const char* bad : {"plate.pairs=1:1e9:1", "plate.pairs=-1e308:1e308:1e-300",
                          "plate.pairs=1:2:1e-300", "plate.pairs=1e999:2:1", "plate.pairs=1,nan"})
    EXPECT_THROW(parseVaryArgument(bad), SweepError) << bad;
  EXPECT_EQ(parseVaryArgument("air.channel_gap=7,8,9").count(), 3u);
}

TEST(Sweep, ThreadsAreAtMostTheCores) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  EXPECT_EQ(sweepThreads(0), cores);
  EXPECT_EQ(sweepThreads(100000), cores);
  EXPECT_EQ(sweepThreads(1), 1u);
  SweepPlan plan{one(kDesign), {parseVary("plate.pairs=100:110:5")}};
  SweepOptions options;
  options.threads = 100000;
  EXPECT_EQ(runSweep(plan, nullptr, options).size(), 3u);
}

// A stream that fails stops the sweep: the workers never run more than a few chunks ahead of
// the writer, so little is rated after the failure.
TEST(Sweep, AFailedStreamStopsTheSweep) {
  class Failing : public std::streambuf {
   protected:
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
    int_type overflow(int_type) override { return traits_type::eof(); }
  } failing;
  std::ostream csv(&failing);
  SweepPlan plan{
      one(kDesign),
      {parseVary("plate.pairs=50:549:1"), parseVary("flue_gas.channel_length=4:5.99:0.01")}};
  SweepCounts counts;
  SweepOptions options;
  options.counts = &counts;
  options.keepValues = false;
  runSweep(plan, &csv, options);
  EXPECT_TRUE(csv.fail());
  const std::size_t rated = counts.completed + counts.stopped + counts.invalid;
  EXPECT_LT(rated, 20'000u) << "of " << designCount(plan);
}

// Whatever the pace of the reader, the rows arrive complete and in grid order.
TEST(Sweep, ASlowReaderGetsEveryRowInOrder) {
  class Slow : public std::stringbuf {
   protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      return std::stringbuf::xsputn(s, n);
    }
  } slow;
  std::ostream csv(&slow);
  SweepPlan plan{one(kDesign),
                 {parseVary("plate.pairs=60:259:1"), parseVary("air.channel_gap=8,9,10,11,12")}};
  SweepOptions options;
  options.threads = 2;
  runSweep(plan, &csv, options);
  std::ostringstream direct;
  options.threads = 1;
  runSweep(plan, &direct, options);
  EXPECT_EQ(slow.str(), direct.str());
}

TEST(Size, CandidatesOutOfRangeAreSkippedAndCounted) {
  const Case base = one(kDesign);
  const Limits limits{0, 60, 5000, {}};
  const Axis axis = parseVary("plate.pairs=-5:200:1");
  const SizeResult result = sizeDesign(base, axis, limits);
  ASSERT_TRUE(result.found);
  EXPECT_EQ(axis.texts[*result.found], "113");
  const std::string words = describeSizing(base, axis, limits, result);
  EXPECT_NE(words.find("skipped 6 of 206 candidates outside the allowed ranges:\n"
                       "  plate.pairs: a whole number ≥ 1 (6 candidates)\n"),
            std::string::npos)
      << words;
  const Axis none = parseVary("plate.pairs=-5:0:0.5");
  const SizeResult nothing = sizeDesign(base, none, limits);
  const std::string told = describeSizing(base, none, limits, nothing);
  EXPECT_FALSE(nothing.found);
  EXPECT_NE(told.find("every candidate lies outside the allowed ranges"), std::string::npos)
      << told;
  // The candidate just below the value found, when out of range, is the binding one.
  const Axis edge = parseVary("plate.pairs=0,113");
  const std::string binding = describeSizing(base, edge, limits, sizeDesign(base, edge, limits));
  EXPECT_NE(binding.find("binding: at 0, outside the allowed range (plate.pairs: a whole number"),
            std::string::npos)
      << binding;
}

}  // namespace
}  // namespace aph::study
