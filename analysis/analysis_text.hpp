// The console text of the analysis, in Portuguese without accented letters.
#pragma once

#include "analysis/analysis.hpp"
#include "analysis/run_state.hpp"
#include "base/text.hpp"

#include <string>
#include <vector>

namespace resection {

// The lines of the planimetric analysis, without line ends: the data, the
// global test, the station with its error ellipses, the table of the
// direction readings with the closing line on a suspect reading, and the
// geometry.
std::vector<std::string> planimetryText(const RunContext& ctx, const PlanimetricAnalysis& a);

// The lines of the height analysis in the same manner.
std::vector<std::string> heightText(const RunContext& ctx, const HeightAnalysis& h);

// A value with the given decimals, a zero before the point below 1, right
// in 'width' columns (asterisks when it does not fit; 0: as long as it is).
std::string fixed(double value, int width, int decimals);

} // namespace resection
