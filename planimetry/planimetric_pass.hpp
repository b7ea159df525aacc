// The planimetric pass: the adjustment of the station's coordinates at one
// precision of the direction readings, with the variance test, and the search
// for the precision at which the test's verdict changes.
#pragma once

#include "precision/precision_search.hpp"
#include "state/run_context.hpp"

#include <string>

namespace resection {

// A station position, metres.
struct StationPosition {
    double m = 0.0;
    double p = 0.0;
};

// The angles between consecutive directions and the first position (from
// the first three points, or the next three that give one), where every pass
// starts. They do not depend on the precision.
StationPosition findFirstPosition(RunContext& ctx);

// The standard deviation of one angle at the a priori precision of the
// readings, sqrt(Qll(1,1)) = sqrt(2) sigma_d, from the weights of the first
// pass. Ends the run as the first pass would where those weights cannot be
// formed (a precision of exactly 0: "Matriz singular!").
double aprioriAngleDeviation(RunContext& ctx);

// Residuals v = w - A x of the converged pass, the quadratic form v^T P v,
// the variance factor v^T P v / r and the verdict of the chi-square test at
// 95 % on the statistic v^T P v / sigma0^2.
PassOutcome testVariance(RunContext& ctx);

// One adjustment pass at a precision of the direction readings (radians): the
// angle weights, the iteration from the first position, and the variance
// test. The results stay in ctx.
PassOutcome planimetricPass(RunContext& ctx, double precision);

// The search from the a priori precision, after findFirstPosition. Returns
// the a posteriori precision (also left in directionPrecision); the last
// pass's results stay in ctx.
double searchDirectionPrecision(RunContext& ctx);

// The search's settings for a run: its start, the unit's step, the run's
// tolerance, and pass by pass when the run asks for the reference.
SearchSettings searchSettings(const RunContext& ctx, double start);

// The console text of a search that cannot end, for the readings named
// ("leituras azimutais", "leituras zenitais").
std::string searchWithoutEndMessage(const SearchWithoutEnd& stop, AngleUnit unit,
                                    const char* readings);

} // namespace resection
