// The planimetric results section of the report.
#pragma once

#include "state/run_context.hpp"

namespace resection {

// Iterations, adjusted coordinates, residuals and adjusted angles, and the
// standard deviations of coordinates (with the a posteriori variance factor),
// residuals and adjusted angles (a priori, from the direction precision of the
// last pass), from the state of the last adjustment pass.
void writePlanimetricResults(RunContext& ctx);

// The cofactor matrix of the residuals, Qvv = Qll - A Qxx A^T, and of the
// adjusted angles, Qll - Qvv, from the last pass.
void residualCofactors(const RunContext& ctx, Matrix& residualCofactor,
                       Matrix& adjustedAngleCofactor);

// Square root of a variance; a diagonal element a rounding error has taken
// just below zero stands for a zero variance.
double standardDeviation(double variance);

} // namespace resection
