// The planimetric results of the last adjustment pass, as the report prints
// them: computed here, written by the report.
#pragma once

#include "planimetry/adjustment.hpp"
#include "planimetry/position.hpp"

#include <vector>

namespace resection {

struct PlanimetricResults {
    int iterationCount = 0;
    double adjustedM = 0.0; // metres
    double adjustedP = 0.0;
    // Per angle i = 1..N-1, at index i - 1; radians.
    std::vector<double> residual;      // v
    std::vector<double> adjustedAngle; // observed angle + v
    // Standard deviations of the coordinates with the a posteriori variance
    // factor, metres.
    double sigmaM = 0.0;
    double sigmaP = 0.0;
    // Standard deviations (a priori, from the direction precision of the last
    // pass) of the residuals and of the adjusted angles, radians.
    std::vector<double> residualDeviation;
    std::vector<double> adjustedAngleDeviation;
};

// The results of the last pass of the search, from the first position's
// observed angles. dense: the residual cofactors by the dense products (the
// pass was computed with the dense routines, Qll stored in full).
PlanimetricResults planimetricResults(const FirstPosition& first, const PlanimetricPass& last,
                                      bool dense = false);

} // namespace resection
