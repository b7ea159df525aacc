// The console text of the analysis, in Portuguese without accented letters.
// No figure has a fixed field: each is written in full (with an exponent
// where it is large), and the columns of a table are as wide as their
// widest entry.
#pragma once

#include "analysis/analysis.hpp"
#include "analysis/summary.hpp"
#include "base/text.hpp"

#include <string>
#include <vector>

namespace resection {

// The figures of the summary, from the analyses (zenith and height null
// without a height section).
SummaryFigures summaryFigures(const Survey& survey, const PlanimetricAnalysis& a,
                              const ZenithSection* zenith, const HeightAnalysis* height);

// The lines of the planimetric analysis, without line ends: the data, the
// global test, the station the analysis stands on with its error ellipses
// and orientation, the table of the direction readings with their
// reliability and the closing line on a suspect reading, and the geometry.
std::vector<std::string> planimetryText(const Survey& survey, const PlanimetricAnalysis& a);

// The lines of the height analysis in the same manner.
std::vector<std::string> heightText(const SurveyHeader& header, const ZenithSection& zenith,
                                    const HeightAnalysis& h);

// Why the zenith readings are not judged, in words ("" where they are).
std::string notJudgedText(const HeightAnalysis& h);

// A free station: the figures of its summary, and the lines of its
// analysis (the data, the global test of the variance factor, the station
// with its height, orientation and scale, the table of the observations
// with their reliability and the closing line on a suspect observation).
SummaryFigures freeStationSummaryFigures(const StationSurvey& survey, const FreeStationAnalysis& a);
std::vector<std::string> freeStationText(const StationSurvey& survey, const FreeStationAnalysis& a);

// "os desvios padrao a priori x 1.45": a free station's precision as a
// factor of its observations' own.
std::string precisionFactor(double factor);

} // namespace resection
