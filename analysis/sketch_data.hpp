// What the sketch draws, from an analysis: the station it stands on with
// its ellipse, the points and their rays, and what the legend says of them.
#pragma once

#include "analysis/analysis.hpp"
#include "analysis/sketch.hpp"
#include "analysis/station_analysis.hpp"
#include "input/station_survey.hpp"
#include "input/survey.hpp"

namespace resection {

// The sketch of the direction readings of the program's input file.
SketchData planimetrySketch(const Survey& survey, const PlanimetricAnalysis& a);

// The sketch of a free station: the targets with distances marked.
SketchData freeStationSketch(const StationSurvey& survey, const FreeStationAnalysis& a);

} // namespace resection
