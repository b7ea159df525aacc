// The station's height from zenith readings to points of known height.
#pragma once

#include "precision/precision_search.hpp"
#include "state/run_context.hpp"

#include <vector>

namespace resection {

// The altimetric section: count and instrument height, then one record per
// observation (name, M, P, point height, zenith reading, signal height, the
// reading as degrees, minutes and seconds for "gs"). Readings in radians.
void readZenithSection(RunContext& ctx);

// Sizes the arrays of the observations and of the adjustment for n =
// zenithCount (done by readZenithSection).
void sizeZenithArrays(RunContext& ctx);

// Weights 1 / sigma^2 of n uncorrelated zenith readings: the inverse of the
// diagonal cofactor matrix, exactly as the general inversion gives it (1.0
// divided by the diagonal element, exact zeros elsewhere) at a cost of order
// n instead of n^3. A precision of exactly 0 is a matrix of zero rows.
void buildZenithWeights(RunContext& ctx, double sigma);

// One adjustment pass of the height for the zenith precision sigma (radians):
// the weights, the starting value from the first observation, the iteration
// of H with the curvature and refraction term left out, the residuals and
// the variance test. Ends the run when the iteration does not converge.
PassOutcome heightPass(RunContext& ctx, double sigma);

// The search of the zenith precision at which the verdict changes; leaves
// zenithPrecision at the a posteriori precision and the last pass's results
// in ctx. With a single observation there is nothing to adjust: it returns
// false, and the run ends without a height.
bool searchZenithPrecision(RunContext& ctx);

// The results of the height's last pass, as the report prints them.
struct HeightResults {
    int iterations = 0; // one above the number of corrections
    double stationHeight = 0.0;
    // Per observation i = 1..n, at index i - 1.
    std::vector<double> residual;        // radians
    std::vector<double> adjustedReading; // zenith reading + residual, radians
    double heightDeviation = 0.0;        // metres, with the a posteriori variance
    // Standard deviations of the adjusted readings with the a posteriori
    // variance, degrees.
    std::vector<double> adjustedReadingDeviation;
};
HeightResults heightResults(const RunContext& ctx);

// Earth curvature and refraction together, per metre, in the starting value
// only: 6.82e-8 as a single-precision constant widened to double.
inline constexpr double curvatureRefractionFactor = 6.819999958551649e-08;

} // namespace resection
