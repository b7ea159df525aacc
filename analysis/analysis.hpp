// The analysis of a resection: what the fixed report leaves out when
// something is wrong. One adjustment at the a priori precision of the file
// (no precision search), its global test, the station's error ellipse, the
// tests of single readings with the reading they point at and the station
// adjusted without it, and the strength of the sighting geometry; the same
// for the height from the zenith readings.
#pragma once

#include "analysis/blunders.hpp"
#include "analysis/directions.hpp"
#include "analysis/geometry.hpp"
#include "analysis/reading_tests.hpp"
#include "analysis/run_state.hpp"

#include <string>
#include <vector>

namespace resection {

// The chi-square test of v^T P v at 95 %, as the program's own passes test it.
struct GlobalTest {
    double quadraticForm = 0.0; // v^T P v
    int degreesOfFreedom = 0;
    double criticalValue = 0.0;
    bool accepted = false;
    double posterioriSigma = 0.0; // of one reading: |sigma| sqrt(v^T P v / r), radians
    // The precision of one reading at which the statistic equals the critical
    // value, |sigma| sqrt(v^T P v / critical): where the program's precision
    // search ends, to within its step of 0.1" (0.1 mgon).
    double changeSigma = 0.0;
};

// The station adjusted again without the suspect reading.
struct Readjustment {
    bool done = false;
    std::string failure; // why not, when the adjustment stopped: its console text
    double stationM = 0.0, stationP = 0.0, stationHeight = 0.0; // metres
    double shift = 0.0;                                         // how far the station moves, metres
    // The a priori standard error of that station's position, metres.
    double positionSigma = 0.0;
    GlobalTest test;
    // The suspect reading minus the reading the re-adjusted station gives it,
    // radians: the size of its error, when the others hold none.
    double discrepancy = 0.0;
};

struct PlanimetricAnalysis {
    double sigma = 0.0; // a priori precision of one reading, radians, as read
    // The program's adjusted station; where the program's adjustment stops,
    // the station of the direction adjustment of all readings, and where that
    // does not converge either, the station most readings agree with.
    double stationM = 0.0, stationP = 0.0;
    bool tested = false; // a redundancy of at least 1: a global test and w-tests
    // The console text with which the program's adjustment of all readings
    // stops ("" when it ends normally).
    std::string adjustmentFailure;
    // The direction adjustment of all readings started from the station most
    // readings agree with, the program's first position having failed it.
    bool fromConsensus = false;
    bool allAdjusted = false; // some adjustment of all readings gave the station
    GlobalTest test;
    // Covariance of M and P a priori (from sigma) and a posteriori (times the
    // variance factor v^T P v / r), m^2; their ellipses (one sigma).
    double prioriMM = 0.0, prioriPP = 0.0, prioriMP = 0.0;
    ErrorEllipse priori, posteriori;
    DirectionAdjustment directions;
    Suspect suspect;
    Readjustment without; // the station without the single suspect reading
    // [i - 1]: the adjustment without reading i, where it was computed (the
    // candidates of a gross error).
    std::vector<Readjustment> leftOut;
    // For tied candidates: the correlation of the first two's tests and the
    // sight that would tell them apart.
    Separation separation;
    DangerCircle circle;
    double meanSight = 0.0;   // metres, from the adjusted station
    double medianSight = 0.0; // metres: the sight length of the strength figure
    double strength = 0.0;    // G, see strengthFigure
    // G of the first three points alone, which give the first position: it
    // grows without bound as the station nears their circle. Not defined
    // where their adjustment does not converge.
    bool firstThreeConverged = false;
    double firstThreeStrength = 0.0;
};

// The analysis of the planimetric section read into ctx (readPlanimetricSection).
// Leaves the state of the adjustment in ctx as a pass of the program does
// (stationM, stationP the last point of linearisation). Ends the run as the
// program does where the adjustment cannot be made.
PlanimetricAnalysis analysePlanimetry(RunContext& ctx);

struct HeightAnalysis {
    bool adjusted = false; // at least two observations
    double sigma = 0.0;    // a priori precision of one zenith reading, radians
    // The plane position the heights are judged from: the program's station,
    // or the station without a suspect direction reading (its name here).
    double stationM = 0.0, stationP = 0.0;
    std::string withoutDirection;
    // Where the direction readings leave the station in doubt (candidates
    // that cannot be told apart, or no station at all): why no zenith reading
    // is named ("" when they are judged).
    std::string notJudged;
    // The console text with which the program's height pass stopped ("" when
    // it ended normally); the height then comes from the median start.
    std::string adjustmentFailure;
    double stationHeight = 0.0;
    double prioriSigmaH = 0.0, posterioriSigmaH = 0.0; // metres
    GlobalTest test;
    std::vector<ReadingTest> readings; // [i - 1] for observation i
    Suspect suspect;
    Readjustment without;
    std::vector<Readjustment> leftOut; // as in PlanimetricAnalysis
    // The height with earth curvature and refraction in the observation
    // equations (the program's uses them in its starting value only).
    bool curvatureAdjusted = false;
    double curvatureHeight = 0.0;     // metres
    double curvatureDifference = 0.0; // curvatureHeight - stationHeight
};

// The analysis of the altimetric section read into ctx (readZenithSection),
// from the station's plane position that the planimetric adjustment left in
// ctx, with the starting value and the iteration of the program's height
// pass.
HeightAnalysis analyseHeight(RunContext& ctx);

// The same judged from a sound station: where the planimetric analysis names
// a direction reading, from the station adjusted without it; where it cannot
// tell which reading is wrong, the height is given but no zenith reading is
// named.
HeightAnalysis analyseHeight(RunContext& ctx, const PlanimetricAnalysis& plan);

// The height of the zenith readings in ctx without observation 'left' (0:
// all of them), from the plane position in ctx and the starting height, with
// the term curvature x d^2 of earth curvature and refraction in the
// observation equations (0: without it, as the program's adjustment).
struct HeightFit {
    bool converged = false;
    double height = 0.0;       // metres
    double sumOfSquares = 0.0; // v^T v, radians^2
    double cofactor = 0.0;     // 1 / sum a_i^2, m^2 per rad^2
};
HeightFit fitHeight(const RunContext& ctx, int left, double curvature, double start);

} // namespace resection
