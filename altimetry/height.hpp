// The station's height from zenith readings to points of known height.
#pragma once

#include "driver/console.hpp"
#include "input/run_context.hpp"

namespace resection {

// The console question; true for an answer beginning with S or s.
bool askForHeight(RunContext& ctx, Console& console);

// The altimetric section: count and instrument height, then one record per
// observation (name, M, P, point height, zenith reading, signal height, the
// reading as degrees, minutes and seconds for "gs"). Readings in radians.
void readZenithSection(RunContext& ctx);

// Weights 1 / sigma^2 of n uncorrelated zenith readings: the inverse of the
// diagonal cofactor matrix, exactly as the general inversion gives it (1.0
// divided by the diagonal element, exact zeros elsewhere) at a cost of order
// n instead of n^3. A precision of exactly 0 ends the run with
// "Matriz singular!".
void buildZenithWeights(RunContext& ctx, double sigma);

// One adjustment pass of the height for the zenith precision sigma; returns
// the verdict of its variance test, or 0 when the run is to end after the
// starting value (a single observation).
char adjustHeight(RunContext& ctx, double sigma);

// The search of the zenith precision at which the verdict changes.
void searchZenithPrecision(RunContext& ctx);

// The results section of the height.
void writeHeightResults(RunContext& ctx);

// Everything after a yes to the height question.
void computeHeight(RunContext& ctx);

// Earth curvature and refraction together, per metre, in the starting value
// only: 6.82e-8 as a single-precision constant widened to double.
inline constexpr double curvatureRefractionFactor = 6.819999958551649e-08;

} // namespace resection
