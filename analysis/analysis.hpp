// The analysis of a resection: what the fixed report leaves out when
// something is wrong. One adjustment at the a priori precision of the file
// (no precision search), its global test, the tests of single readings with
// their reliability, the reading a gross error is in and the station
// adjusted without it, the station's error ellipse and the strength of the
// sighting geometry; the same for the height from the zenith readings.
//
// Every figure after the verdict stands on one station: that of all
// readings where its adjustment is sound, that without the suspect reading
// where one is named, and none where the readings leave it undetermined
// (four points and a gross error). An adjustment that stops or runs away
// from the points is never the answer.
#pragma once

#include "analysis/blunders.hpp"
#include "analysis/directions.hpp"
#include "analysis/geometry.hpp"
#include "analysis/reading_tests.hpp"
#include "analysis/run_state.hpp"
#include "analysis/verdict.hpp"

#include <string>
#include <vector>

namespace resection {

// A rejection that a precision up to this many times the a priori one would
// turn into acceptance is as likely the precision (a little optimistic) as
// an error; beyond, errors are far likelier. With four points the station
// of all readings stands up to it (with the a posteriori ellipse), and
// beyond it there is none.
inline constexpr double precisionOrError = 3.0;

// Which station the analysis stands on: that of all readings, that of all
// but the suspect reading, or none (the readings leave it undetermined).
enum class Basis { All, Without, None };

// A station as the analysis gives it, with what stands on it.
struct StationEstimate {
    bool known = false;
    double m = 0.0, p = 0.0; // metres
    // The a priori covariance of M and P (m^2) and its ellipse (one sigma);
    // the a posteriori one where the readings have a redundancy.
    double prioriMM = 0.0, prioriPP = 0.0, prioriMP = 0.0;
    ErrorEllipse priori, posteriori;
    int redundancy = 0;
    bool testable = false; // the a priori precision allows a test
    bool tested = false;   // a global test of its readings (redundancy and precision)
    GlobalTest test;
    // The orientation of the circle (the azimuth of its zero), radians in
    // [0, 2 pi), and its standard deviation a priori and a posteriori.
    bool oriented = false;
    double orientation = 0.0, orientationPriori = 0.0, orientationPosteriori = 0.0;
    // (A^T A)^-1 of M, P, o for readings of unit weight: the strength figure.
    Matrix unitCofactor;
    // The 95 % ellipse shown: a posteriori where the test rejects the a
    // priori precision or the precision allows no test, else a priori.
    bool posterioriShown() const;
    ErrorEllipse ellipse95() const;
};

// The station of three readings alone, in closed form: with four points,
// the station without each reading.
struct ThreePointStation {
    bool found = false;      // the three give a position near the points
    double m = 0.0, p = 0.0; // metres
    // The reading left out minus the direction this station gives it.
    double discrepancy = 0.0;
};

struct PlanimetricAnalysis {
    double sigma = 0.0;    // a priori precision of one reading, radians, as read
    bool testable = false; // that precision allows the tests
    int redundancy = 0;    // N - 3
    bool tested = false;   // a redundancy of at least 1 and a testable precision
    // The console text with which the program's adjustment of all readings
    // stops, or why its station is none ("" when it ends normally).
    std::string adjustmentFailure;
    // The direction adjustment of all readings started from the station most
    // readings agree with, the program's first position having failed it.
    bool fromConsensus = false;
    // An adjustment of all readings converged to a station near the points;
    // not so when every one stopped or ran away.
    bool allSound = false;
    double allM = 0.0, allP = 0.0; // its station: the program's, where it ended normally
    GlobalTest test;               // of all readings, where allSound and tested
    DirectionAdjustment directions;
    Suspect suspect;
    Readjustment without; // the station without the single suspect reading
    // [i - 1]: the adjustment without reading i, where it was computed (the
    // candidates of a gross error).
    std::vector<Readjustment> leftOut;
    // For tied candidates: the correlation of the first two's tests and the
    // sight that would tell them apart.
    Separation separation;
    // Four points: [i - 1] the station of the other three readings, and how
    // far apart those found lie.
    std::vector<ThreePointStation> threePoint;
    double threePointSpread = 0.0;
    // The station the analysis stands on; basisReading is the suspect left
    // out (1-based) for Basis::Without.
    Basis basis = Basis::None;
    int basisReading = 0;
    StationEstimate station;
    // The readings' tests shown: those of all readings where that
    // adjustment is sound, else those of the station without the suspect
    // ([i - 1] for reading i, its own row empty).
    std::vector<ReadingTest> readings;
    bool readingsWithout = false;
    // The tests and reliability of the readings at the station the analysis
    // stands on ([i - 1] for reading i; the suspect left out has an empty
    // row): what an undetected error could still do to it.
    std::vector<ReadingTest> basisReadings;
    // The geometry, from the station the analysis stands on.
    DangerCircle circle;
    double meanSight = 0.0;   // metres
    double medianSight = 0.0; // metres: the sight length of the strength figure
    bool strengthDefined = false;
    double strength = 0.0; // G, see strengthFigure
    // G of the first three points alone, which give the first position: it
    // grows without bound as the station nears their circle. Not defined
    // where their adjustment does not converge.
    bool firstThreeConverged = false;
    double firstThreeStrength = 0.0;
};

// The analysis of the planimetric section read into ctx (readPlanimetricSection).
// Leaves the state of the adjustment in ctx as a pass of the program does
// (stationM, stationP the last point of linearisation). Ends the run as the
// program does where no first position can be found.
PlanimetricAnalysis analysePlanimetry(RunContext& ctx);

struct HeightAnalysis {
    // The height was computed: the planimetric analysis gave a station, and
    // every zenith reading is a number. Where not, notJudged says why and
    // nothing below is computed.
    bool computed = true;
    bool adjusted = false; // at least two observations
    double sigma = 0.0;    // a priori precision of one zenith reading, radians
    bool testable = false; // that precision allows the tests
    // The plane position the heights are judged from: the station the
    // planimetric analysis stands on (without a suspect direction reading:
    // its name here).
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
    GlobalTest test;                                   // where testable
    std::vector<ReadingTest> readings;                 // [i - 1] for observation i
    Suspect suspect;
    Readjustment without;
    std::vector<Readjustment> leftOut; // as in PlanimetricAnalysis
    // The height with earth curvature and refraction in the observation
    // equations (the program's uses them in its starting value only).
    bool curvatureAdjusted = false;
    double curvatureHeight = 0.0;     // metres
    double curvatureDifference = 0.0; // curvatureHeight - stationHeight
    // The height the analysis stands on: without the suspect zenith reading
    // where one is named, else the adjusted one.
    double analysedHeight() const;
};

// The analysis of the altimetric section read into ctx (readZenithSection),
// from the station's plane position in ctx (stationM, stationP), with the
// starting value and the iteration of the program's height pass.
HeightAnalysis analyseHeight(RunContext& ctx);

// The same from the station the planimetric analysis stands on; where it
// cannot tell which direction reading is wrong, or has no station, the
// height is given but no zenith reading is named.
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
