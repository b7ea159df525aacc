// The free station: one adjustment by observation equations for a station
// of unknown position and unknown circle orientation, with observations of
// any kind, each with its own standard deviation.
//
// Unknowns: the station's M and P; the orientation o of the horizontal
// circle (the azimuth of its zero) when there are directions; the height H of
// the station mark when there are slope distances or zenith angles; and, on
// request and where the observations leave room for it, the scale q of the
// distances (map = q x ground), otherwise the given factor.
//
// One row per observation, with g = d_map / q the horizontal distance on the
// ground and dh = (H_target + target height) - (H + instrument height)
// - c g^2 the height difference of the sight (c = 6.82e-8 per metre with
// curvature and refraction, else 0):
//   direction        az - o
//   angle            az(to) - az(from)
//   horizontal       g
//   slope distance   sqrt(g^2 + dh^2)
//   zenith angle     atan2(g, dh)
// Weights are 1 / sigma^2 (a priori variance factor 1). Gauss-Newton with
// the step shortened where it would raise v^T P v, to a tight tolerance:
// with a gross error in the data the residuals are large and the iteration
// converges slowly, and a station it runs away to is never returned.
//
// The statistics are those of the tests of single observations: Baarda's
// w-test with the a priori precision (critical value 3.29, alpha 0.1 %), and
// the minimal detectable bias at that level with a power of 80 %.
#pragma once

#include "adjustment/error_ellipse.hpp"
#include "input/station_survey.hpp"
#include "matrix/matrix.hpp"
#include "state/run_context.hpp"

#include <string>
#include <vector>

namespace resection {

// The critical value of the w-test: the two-sided 0.1 % point of the normal
// distribution.
inline constexpr double wTestLimit = 3.29;
// The non-centrality of the w-test that alpha 0.1 % and a power of 80 % give:
// 3.29 + 0.84. An error of mdbFactor sigma / sqrt(r) in one observation is
// found four times in five.
inline constexpr double mdbFactor = 4.13;
// Below this redundancy number an observation is not controlled by the
// others: its error leaves (almost) no trace in the residuals, and it has no
// w-test and no minimal detectable bias.
inline constexpr double controlledBelow = 1e-6;
// Gauss-Newton steps at the most.
inline constexpr int maxFreeStationIterations = 500;

struct ObservationFit {
    double residual = 0.0;       // v: adjusted minus observed, radians or metres
    double redundancy = 0.0;     // r = 1 - p a Q a^T, between 0 and 1
    bool controlled = false;     // r at least controlledBelow (and some redundancy)
    double w = 0.0;              // v / (sigma sqrt(r)); 0 when not controlled
    double estimatedError = 0.0; // -v / r; 0 when not controlled
    double mdb = 0.0;            // mdbFactor sigma / sqrt(r); 0 when not controlled
    // What an undetected error of the size mdb would do to the station:
    // its move in the plane and in height, metres (external reliability).
    double planShift = 0.0;
    double heightShift = 0.0;
};

enum class FreeStationStatus {
    Adjusted,
    Underdetermined, // fewer observations than unknowns, or a geometry that does not fix them
    NotConverged,    // no first position, or the iteration ran away or did not settle
};

struct FreeStation {
    FreeStationStatus status = FreeStationStatus::NotConverged;
    std::string failure; // why not adjusted, in words for the surveyor
    int iterations = 0;

    // Positions of the unknowns in the cofactor matrix, from 1; 0 for an
    // unknown this station does not have. M and P are always 1 and 2.
    int orientationIndex = 0, heightIndex = 0, scaleIndex = 0;
    int unknowns = 0;
    double stationM = 0.0, stationP = 0.0, stationHeight = 0.0; // metres
    double orientation = 0.0; // radians in [0, 2 pi): the azimuth of the circle's zero
    double scale = 1.0;       // estimated, or the factor given
    // Asked for but not estimated: no distances, or no redundancy for it.
    bool scaleNotEstimable = false;

    // Q = (A^T P A)^-1: the a priori covariance of the unknowns (sigma0 = 1),
    // in m^2, m rad, rad^2 and the like. A posteriori: sigma0^2 Q.
    Matrix cofactor;
    int degreesOfFreedom = 0;
    double quadraticForm = 0.0; // v^T P v
    double sigma0 = 0.0;        // sqrt(v^T P v / dof); 0 without redundancy

    // Standard ellipses (one sigma) a priori and a posteriori (sigma0 x), and
    // the factors of the 95 % ellipses: sqrt(chi2(2; 0.95)) a priori,
    // sqrt(2 F(2, dof; 0.95)) a posteriori (0 without redundancy).
    ErrorEllipse priori, posteriori;
    double priori95 = 0.0, posteriori95 = 0.0;

    std::vector<ObservationFit> fits; // one per observation, in their order

    // Where two stations fit the observations equally well (the two points
    // where two circles meet, with nothing to tell them apart), the other.
    bool ambiguous = false;
    double otherM = 0.0, otherP = 0.0, otherHeight = 0.0;

    bool adjusted() const { return status == FreeStationStatus::Adjusted; }
    bool tested() const { return adjusted() && degreesOfFreedom > 0; }
    // Standard deviation of unknown i (1-based), a priori or with sigma0.
    double prioriSigma(int i) const;
    double posterioriSigma(int i) const;
};

// The adjustment of a checked survey (checkSurvey), from the first position
// that its observations give.
FreeStation adjustFreeStation(const StationSurvey& survey);

// The same from a plane position the caller already has (the height, where
// there is one, from the zenith angles and slope distances at it).
FreeStation adjustFreeStation(const StationSurvey& survey, double startM, double startP);

// The direction readings of the program's input file (readPlanimetricSection)
// as a free station: each point a target of one direction, all of the a
// priori precision of the file (its sign dropped: the weights see only its
// square). The direction model of the analysis is this survey's adjustment.
StationSurvey surveyOfDirections(const RunContext& ctx);

// The observations that the w-tests point at: empty where no |w| exceeds the
// limit; else the one with the largest |w|, followed by those whose w-test
// cannot be told from it (the same |w|: every observation at a redundancy of
// 1, or two whose residuals are fully correlated). Indices from 0.
std::vector<int> largestW(const FreeStation& station, double limit = wTestLimit);

} // namespace resection
