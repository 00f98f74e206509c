// The one-page rating datasheet (PDF, in Chinese): inputs, every result with its unit, flagged
// values in red, the arrangement, the margin verdict, and the plate-count sweep around the design.
#pragma once

#include <optional>
#include <string>

#include "render/chart.hpp"
#include "study/case_input/case_file.hpp"
#include "study/checks/design_checks.hpp"

namespace aph::render {

// The datasheet as the bytes of a PDF file; nothing when it cannot be drawn. `asTyped`: the
// plate-count chart rates every count, in range or not. `checks`: what the dew-point and
// heat-balance verdicts hold the design to.
std::optional<std::string> reportPdf(const study::Case& c, bool asTyped = false,
                                     const study::CheckSettings& checks = {});
// Writes the datasheet; empty on success, otherwise what went wrong.
std::string writeReport(const study::Case& c, const std::string& pdfPath, bool asTyped = false,
                        const study::CheckSettings& checks = {});

}  // namespace aph::render
