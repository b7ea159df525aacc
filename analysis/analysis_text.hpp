// The console text of the analysis, in Portuguese without accented letters.
// No figure has a fixed field: each is written in full (with an exponent
// where it is large), and the columns of a table are as wide as their
// widest entry.
#pragma once

#include "analysis/analysis.hpp"
#include "analysis/run_state.hpp"
#include "analysis/summary.hpp"
#include "base/text.hpp"

#include <string>
#include <vector>

namespace resection {

// The figures of the summary, from the analyses (height null without a
// height section).
SummaryFigures summaryFigures(const RunContext& ctx, const PlanimetricAnalysis& a,
                              const HeightAnalysis* height);

// The lines of the planimetric analysis, without line ends: the data, the
// global test, the station the analysis stands on with its error ellipses
// and orientation, the table of the direction readings with their
// reliability and the closing line on a suspect reading, and the geometry.
std::vector<std::string> planimetryText(const RunContext& ctx, const PlanimetricAnalysis& a);

// The lines of the height analysis in the same manner.
std::vector<std::string> heightText(const RunContext& ctx, const HeightAnalysis& h);

} // namespace resection
