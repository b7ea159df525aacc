// The a posteriori variance test and the search for the reading precision at
// which its verdict changes.
#pragma once

#include "input/run_context.hpp"

#include <string>

namespace resection {

// One tenth of a second of arc ("gd", "gs") or of a milligon (other codes),
// in radians.
double precisionStep(const std::string& unitCode);

// Verdict of the chi-square test at 95 %: 'r' when the statistic exceeds the
// critical value for r degrees of freedom, 'a' otherwise (equality accepts).
char chiSquareVerdict(double statistic, int degreesOfFreedom);

// Residuals v = w - A x, the quadratic form v^T P v and the variance factor;
// the verdict; one step of directionPrecision against the verdict. Returns
// true when the verdict differs from that of the pass before.
bool testVariance(RunContext& ctx);

// How the walk of a precision search goes on after a step.
enum class WalkState { Continue, ReachedZero, PastCeiling };
// A walk ends at the last positive precision before it would reach zero (less
// than half a step, that is zero to within rounding, or negative), and is
// abandoned when the precision passes 1000 seconds or mgon above its start.
WalkState checkWalk(double precision, double start, const std::string& unitCode);
// The console text when the walk passes its ceiling.
std::string ceilingMessage(const std::string& unitCode, const char* readings);

// Records the verdict of a pass in the two letters and steps the precision by
// 0.1" (0.1 mgon) against it: down when accepted, up when rejected. True when
// the verdict differs from that of the pass before, which ends the search.
bool stepAgainstVerdict(RunContext& ctx, char verdict, double& precision);

// After a step that did not end the search: true when the walk has reached
// zero, the precision being set back to that of the last pass; ends the run
// with a message when it has passed its ceiling.
bool walkEndsAtFloor(double& precision, double precisionOfPass, double start,
                     const std::string& unitCode, const char* readings);

// Adjustment passes until the verdict changes, then the a posteriori line.
void runPlanimetricSearch(RunContext& ctx);

} // namespace resection
