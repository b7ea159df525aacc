// The analysis as a JSON document, for scripts and GIS tools: everything the
// console text shows, lengths in metres, angles in radians, numbers as JSON
// numbers (null where a figure is not defined).
#pragma once

#include "analysis/analysis.hpp"
#include "analysis/run_state.hpp"
#include "analysis/summary.hpp"

#include <ostream>
#include <string>

namespace resection {

struct AnalysisRecord {
    std::string inputName;
    int status = 0;
    std::string stop; // the console text of a stop ("" when none)
    const RunContext* ctx = nullptr;
    const PlanimetricAnalysis* planimetry = nullptr; // null when the run stopped before
    const HeightAnalysis* height = nullptr;          // null without a height section
    // The summary of both, and the figures it was made from (null with the
    // planimetry).
    const Summary* summary = nullptr;
    const SummaryFigures* summaryFigures = nullptr;
};

void writeAnalysisJson(std::ostream& out, const AnalysisRecord& record);

// A text as a JSON string with its quotes: valid UTF-8 kept, any other byte
// above 0x7F read as ISO 8859-1, control characters escaped.
std::string jsonString(const std::string& text);

// A number as JSON: the shortest form that reads back exactly; null when it
// is not finite.
std::string jsonNumber(double value);

} // namespace resection
