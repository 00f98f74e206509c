// The one-page rating datasheet (PDF, in Chinese): inputs, every result with its unit, flagged
// values in red, the arrangement, the margin verdict, and the plate-count sweep around the design.
#pragma once

#include <string>

#include "render/chart.hpp"
#include "study/case_file.hpp"

namespace aph::render {

// Writes the datasheet; empty on success, otherwise what went wrong.
std::string writeReport(const study::Case& c, const std::string& pdfPath);

}  // namespace aph::render
