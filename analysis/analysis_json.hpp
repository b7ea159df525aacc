// The analysis as a JSON document, for scripts and GIS tools: everything the
// console text shows, lengths in metres, angles in radians, numbers as JSON
// numbers (null where a figure is not defined).
#pragma once

#include "analysis/analysis.hpp"
#include "analysis/summary.hpp"
#include "base/stop.hpp"
#include "input/station_survey.hpp"
#include "input/survey.hpp"

#include <ostream>
#include <string>

namespace resection {

struct AnalysisRecord {
    std::string inputName;
    int status = 0;
    // The stop the run ended with (null when none), worded in the unit of
    // the survey's precisions.
    const Stop* stop = nullptr;
    AngleUnit unit = AngleUnit::Unknown;
    const Survey* survey = nullptr;
    const PlanimetricAnalysis* planimetry = nullptr; // null when the run stopped before
    const ZenithSection* zenith = nullptr;           // null without a height section
    const HeightAnalysis* height = nullptr;
    // A free station, in place of the survey and its sections.
    const StationSurvey* station = nullptr;
    const FreeStationAnalysis* freeStation = nullptr;
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
