// The variance test of the position and the search for the precision of the
// direction readings at which its verdict changes.
#pragma once

#include "precision/precision_search.hpp"
#include "state/run_context.hpp"

#include <string>

namespace resection {

// Residuals v = w - A x of the converged pass, the quadratic form v^T P v,
// the variance factor v^T P v / r and the verdict of the chi-square test at
// 95 % on the statistic v^T P v / sigma0^2.
PassOutcome testVariance(RunContext& ctx);

// One adjustment pass at a precision of the direction readings (radians): the
// angle weights, the a priori angle line in the first pass only, the
// iteration from the first position, and the variance test. The results stay
// in ctx for the report.
PassOutcome planimetricPass(RunContext& ctx, double precision);

// The angles and the first position (once: they do not depend on the
// precision), then the search from the a priori precision. Leaves
// directionPrecision at the a posteriori precision and the last pass's
// results in ctx.
void searchDirectionPrecision(RunContext& ctx);

// "Precisao a posteriori dos angulos azimutais:", directionPrecision itself.
void writePosterioriAngleLine(RunContext& ctx);

// The search's settings for a run: its start, the unit's step, the run's
// tolerance, and pass by pass when the run asks for the reference.
SearchSettings searchSettings(const RunContext& ctx, double start);

// The console text of a search that cannot end, for the readings named
// ("leituras azimutais", "leituras zenitais").
std::string searchWithoutEndMessage(const SearchWithoutEnd& stop, AngleUnit unit,
                                    const char* readings);

} // namespace resection
