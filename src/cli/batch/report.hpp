// The one-page rating datasheet (PDF, in Chinese): inputs, every result with its unit, flagged
// values in red, the arrangement, the margin verdict, and the plate-count sweep around the design.
#pragma once

#include <string>

#include "cli/batch/case_file.hpp"
#include "cli/batch/chart.hpp"

namespace aph::batch {

// The sweep of the plate-pair count around the case's own count (half to one and a half times).
// Empty when the case's count is not a positive number.
std::optional<SweepPlan> plateCountSweep(const Case& c);

// Writes the datasheet; empty on success, otherwise what went wrong.
std::string writeReport(const Case& c, const std::string& pdfPath);

}  // namespace aph::batch
