// The verdicts of the analysis, from figures any adjustment gives: the
// global test, the adjustments without one observation each, which
// observation (if any) holds a gross error, and whether a station is one
// the readings can have given at all.
#pragma once

#include "analysis/reading_tests.hpp"
#include "analysis/reliability.hpp"
#include "matrix/matrix.hpp"

#include <string>
#include <vector>

namespace resection {

// Which station the analysis stands on: that of all observations, that of
// all but the suspect, or none (the observations leave it undetermined).
enum class Basis { All, Without, None };

// Its name in the JSON: "all", "without" or "none".
const char* basisName(Basis basis);

// The chi-square test of v^T P v at 95 %, as the program's own passes test it.
struct GlobalTest {
    double quadraticForm = 0.0; // v^T P v
    int degreesOfFreedom = 0;
    double criticalValue = 0.0;
    bool accepted = false;
    double posterioriSigma = 0.0; // of one observation: |sigma| sqrt(v^T P v / r)
    // The precision of one observation at which the statistic equals the
    // critical value, |sigma| sqrt(v^T P v / critical): where the program's
    // precision search ends, to within its step of 0.1" (0.1 mgon).
    double changeSigma = 0.0;
};

// The test of v^T P v with r >= 1 degrees of freedom for observations of the
// a priori precision sigma.
GlobalTest globalTest(double quadraticForm, int degreesOfFreedom, double sigma);

// The adjustment again without one observation.
struct Readjustment {
    bool done = false;
    // Why not, where it was tried: the adjustment's fault, or RanAway for
    // one that settled far from the points.
    AdjustmentFault fault = AdjustmentFault::None;
    double stationM = 0.0, stationP = 0.0, stationHeight = 0.0; // metres
    double shift = 0.0; // how far the station moves from that of all observations, metres
    // The a priori standard error of that station's position, metres.
    double positionSigma = 0.0;
    GlobalTest test;
    // The observation left out minus the value the others give it: the size
    // of its error, when the others hold none; and the a priori standard
    // deviation of that difference. Their quotient is the observation's w.
    double discrepancy = 0.0;
    double discrepancySigma = 0.0;
    // The adjustment of the others, and the figures that stand on it.
    FreeStation adjustment;
    AdjustmentFigures figures;
    std::vector<ReadingTest> readings; // [j - 1] for the others in file order
};

// Which observation holds the gross error, from the adjustments without each
// candidate ([i - 1] for observation i; those not computed are not done).
//  - One whose absence lets the rest pass the global test and that stands
//    out itself (its discrepancy over its deviation above wTestCritical):
//    that observation. Several, or others that stand out and whose v^T P v
//    without them lies within the 95 % point of one degree of freedom of
//    the smallest: no test tells them apart, and they are listed, the
//    smallest v^T P v without it first.
//  - None such: the rest still reject, with every candidate left out. A
//    candidate is named only where it still stands out at the precision with
//    which the rest pass the test (the a priori one times
//    sqrt(v^T P v without it / its critical value)): then more than one
//    observation is wrong, one of them grossly. Where none does, the a
//    priori precision is optimistic or several observations are a little
//    off, and no observation is named. Of several that stand out so, those
//    within the 95 % point of one degree of freedom of the smallest v^T P v.
Suspect decideSuspect(const std::vector<Readjustment>& leftOut);

// The w of the observation left out: its discrepancy over its deviation,
// with the sign of a residual (adjusted minus observed), as in the
// adjustment of all observations.
double leftOutW(const Readjustment& r);

// A station the observations of the known points can have given: finite,
// and within a thousand times their extent (at least a metre) of their
// centre. An adjustment that ends beyond has run away: there the sights are
// parallel and fix nothing.
bool plausibleStation(const std::vector<KnownPoint>& points, double m, double p);

} // namespace resection
