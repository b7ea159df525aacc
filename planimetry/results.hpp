// The planimetric results of the last adjustment pass, as the report prints
// them: computed here, written by the report.
#pragma once

#include "state/run_context.hpp"

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

// The results of the last pass left in ctx.
PlanimetricResults planimetricResults(const RunContext& ctx);

// The cofactor matrix of the residuals, Qvv = Qll - A Qxx A^T, and of the
// adjusted angles, Qll - Qvv, from the last pass (dense routines only: Qll
// stored in full).
void residualCofactors(const RunContext& ctx, Matrix& residualCofactor,
                       Matrix& adjustedAngleCofactor);

// Square root of a variance; a diagonal element a rounding error has taken
// just below zero stands for a zero variance.
double standardDeviation(double variance);

} // namespace resection
