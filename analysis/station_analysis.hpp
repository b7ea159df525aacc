// The analysis of one station's observations, on the free station's
// adjustment: the pieces every analysis of this program shares (the
// adjustment of all observations and where it may start, the adjustments
// without one observation each and the search for a gross error among them,
// the station the analysis stands on), and the analysis of a free station
// itself. The direction readings of the program's input file and its zenith
// readings are analysed with the same pieces (analysis/analysis.hpp).
#pragma once

#include "adjustment/first_position.hpp"
#include "adjustment/free_station.hpp"
#include "analysis/geometry.hpp"
#include "analysis/reliability.hpp"
#include "analysis/verdict.hpp"

#include <optional>
#include <vector>

namespace resection {

// A rejection that a precision up to this many times the a priori one would
// turn into acceptance is as likely the precision (a little optimistic) as
// an error; beyond, errors are far likelier. With a redundancy of 1 the
// station of all observations stands up to it (with the a posteriori
// ellipse), and beyond it there is none.
inline constexpr double precisionOrError = 3.0;

// An adjustment the analysis can stand on: it converged, near the points
// (with the plane position known: to a finite height).
bool soundAdjustment(const StationSurvey& survey, const FreeStation& adjustment);

// Where an adjustment starts: a plane position, or the plane position known
// (the heights of the program's zenith readings).
struct Start {
    double m = 0.0, p = 0.0;
    bool planeKnown = false;
};
FreeStation adjustFromStart(const StationSurvey& survey, const Start& start);

// The plane position most observations agree with (the adjustment's first
// positions), computed where it is first asked for: a start where the
// adjustment of all observations fails from the first one, and a second
// start for the adjustments without one observation.
class Consensus {
  public:
    explicit Consensus(const StationSurvey& survey) : survey_(survey) {}
    // None where no closed form of the observations gives a position.
    const std::optional<PlanePosition>& best();

  private:
    const StationSurvey& survey_;
    bool computed_ = false;
    std::optional<PlanePosition> best_;
};

// How the adjustments without one observation are made.
struct LeaveOut {
    Start start;                       // from where
    const FreeStation* near = nullptr; // the adjustment of all, to start from its unknowns
    double fromM = 0.0, fromP = 0.0;   // the station of all, for the move
    double fromH = 0.0;                // its height (the plane position known)
    double sigma = 1.0;                // the precision the tests are worded in
    bool testable = true;              // the precisions allow tests
    Consensus* consensus = nullptr;    // a second start (none where null)
    bool untilPassing = false;         // try it where the first leaves the test rejecting
};

// The adjustment without observation k (from 0): its station and test, and
// the observation left out against the value the others give it.
Readjustment leaveOut(const StationSurvey& survey, std::size_t k, const LeaveOut& how);

// The figures and the tests of the others, for the station the analysis
// stands on (computed for the one chosen only).
void completeFigures(const StationSurvey& survey, Readjustment& r, bool testable);

// The outcome of the search for one gross error.
struct GrossErrorSearch {
    std::vector<Readjustment> leftOut; // [i - 1] for observation i, done where computed
    Suspect suspect;
};

// Every candidate left out in turn (all observations up to 40, else the ten
// with the largest scores: |w|, or the misfits at the consensus where no
// adjustment of all is sound), and the decision among them (decideSuspect).
// Where none left out lets the rest pass but one takes away most of
// v^T P v, the station of all may have led the adjustments into a minimum of
// its own: from the consensus again. 'allQuadraticForm' is v^T P v of all
// observations, where allSound.
GrossErrorSearch seekGrossError(const StationSurvey& survey, const std::vector<double>& scores,
                                LeaveOut how, bool allSound, double allQuadraticForm);

// The scores of the search: |w| of each observation tested.
std::vector<double> absoluteW(const std::vector<ReadingTest>& tests);
// A |w| above the critical value.
bool anyStandsOut(const std::vector<ReadingTest>& tests);
// How far each observation is from what the plane position (m, p) gives it
// (the orientation and the height there), in its standard deviations.
std::vector<double> misfitsAt(const StationSurvey& survey, double m, double p);

// A station as the analysis gives it, with what stands on it.
struct StationEstimate {
    bool known = false;
    double m = 0.0, p = 0.0; // metres
    // The adjustment gave the covariance of the unknowns: the ellipses and
    // standard deviations below are defined.
    bool covariance = false;
    // The a priori covariance of M and P (m^2) and its ellipse (one sigma);
    // the a posteriori one where the observations have a redundancy.
    double prioriMM = 0.0, prioriPP = 0.0, prioriMP = 0.0;
    ErrorEllipse priori, posteriori;
    int redundancy = 0;
    bool testable = false; // the a priori precisions allow a test
    bool tested = false;   // a global test of its observations (redundancy and precision)
    GlobalTest test;
    // The orientation of the circle (the azimuth of its zero), radians in
    // [0, 2 pi), and its standard deviation a priori and a posteriori.
    bool oriented = false;
    double orientation = 0.0, orientationPriori = 0.0, orientationPosteriori = 0.0;
    // The height of the station mark, where it is an unknown, metres.
    bool hasHeight = false;
    double h = 0.0, heightPriori = 0.0, heightPosteriori = 0.0;
    // The scale of the distances, where it is estimated.
    bool scaleEstimated = false;
    double scale = 1.0, scalePriori = 0.0, scalePosteriori = 0.0;
    // (A^T A)^-1 of M, P, o for readings of unit weight: the strength figure
    // (directions of one precision only).
    Matrix unitCofactor;
    // The 95 % ellipse shown: a posteriori where the test rejects the a
    // priori precision or the precision allows no test, else a priori.
    bool posterioriShown() const;
    ErrorEllipse ellipse95() const;
};

// The estimate of an adjustment: its station, covariance and test.
// 'sigma' is the precision the test is worded in.
StationEstimate estimateOf(const FreeStation& adjustment, const AdjustmentFigures& figures,
                           double sigma);

// The analysis of a free station (its text form or JSON): one adjustment of
// all observations from the position most of them agree with, its global
// test (of the variance factor: the a priori standard deviations are the
// observations' own), the tests and reliability of every observation, the
// observation a gross error is in and the station without it, or the honest
// list; the station the analysis stands on.
struct FreeStationAnalysis {
    int redundancy = 0;  // observations less unknowns
    bool tested = false; // a redundancy of at least 1
    FreeStation all;     // the adjustment of all observations
    bool allSound = false;
    GlobalTest test;                // of all observations, where allSound and tested (sigma 1)
    std::vector<ReadingTest> tests; // [i - 1] for observation i, where allSound
    Suspect suspect;
    std::vector<Readjustment> leftOut; // the candidates of a gross error
    Readjustment without;              // without the single suspect
    // Redundancy 1: the adjustments without each observation, and how far
    // apart their stations lie.
    double withoutSpread = 0.0;
    Basis basis = Basis::None;
    int basisObservation = 0; // 1-based, for Basis::Without
    StationEstimate station;
    // The tests and reliability at the station the analysis stands on ([i -
    // 1] for observation i; the suspect left out has an empty row).
    std::vector<ReadingTest> basisTests;
};

FreeStationAnalysis analyseFreeStation(const StationSurvey& survey);

} // namespace resection
