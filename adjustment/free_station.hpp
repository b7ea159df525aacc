// The free station: one adjustment by observation equations for a station
// of unknown position and unknown circle orientation, with observations of
// any kind, each with its own standard deviation. It is the one adjustment
// of the analysis: the direction readings of the program's input file are
// its directions-only case, and the zenith readings its zenith-only case
// with the plane position known.
//
// Unknowns: the station's M and P (unless the plane position is given); the
// orientation o of the horizontal circle (the azimuth of its zero) when
// there are directions; the height H of the station mark when there are
// slope distances or zenith angles; and, on request and where the
// observations leave room for it, the scale q of the distances (map = q x
// ground), otherwise the given factor.
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
// The adjustment gives the figures every test is made from (the design at
// the solution, the residuals, the cofactor of the unknowns); the tests of
// single observations and their reliability are the analysis's.
#pragma once

#include "adjustment/error_ellipse.hpp"
#include "input/station_survey.hpp"
#include "matrix/matrix.hpp"

#include <cstddef>
#include <vector>

namespace resection {

// Gauss-Newton steps at the most.
inline constexpr int maxFreeStationIterations = 500;

// Why an adjustment gives no station.
enum class AdjustmentFault {
    None,
    TooFewObservations, // fewer observations than unknowns
    NoFirstPosition,    // no closed form of the observations gives a plane position
    Undetermined,       // the normal matrix has no inverse: the geometry leaves unknowns free
    OnPoint,            // the station fell on the point 'faultPoint'
    NotFinite,          // values of the iteration stopped being finite numbers
    RanAway,            // the station went far from everything the observations can mean
    NotConverging,      // maxFreeStationIterations steps without settling
};

struct FreeStation {
    static constexpr std::size_t none = static_cast<std::size_t>(-1);

    AdjustmentFault fault = AdjustmentFault::NotConverging;
    int faultPoint = -1; // index into the survey's points (OnPoint)
    int iterations = 0;

    // Positions of the unknowns in the cofactor matrix and the design, from
    // 1; 0 for an unknown this adjustment does not have.
    int mIndex = 0, pIndex = 0, orientationIndex = 0, heightIndex = 0, scaleIndex = 0;
    int unknowns = 0;
    int observations = 0; // that it took
    // The survey's observation it leaves out (from 0), none where it takes
    // them all: its design and residuals skip that one.
    std::size_t leftOut = none;
    double stationM = 0.0, stationP = 0.0, stationHeight = 0.0; // metres
    double orientation = 0.0; // radians in [0, 2 pi): the azimuth of the circle's zero
    double scale = 1.0;       // estimated, or the factor given
    // Asked for but not estimated: no distances, or no redundancy for it.
    bool scaleNotEstimable = false;

    // Q = (A^T P A)^-1: the a priori covariance of the unknowns (sigma0 = 1),
    // in m^2, m rad, rad^2 and the like. A posteriori: sigma0^2 Q.
    Matrix cofactor;
    // A at the solution (observations x unknowns), and v = adjusted minus
    // observed (radians or metres), in the order of the observations.
    Matrix design;
    std::vector<double> residual;
    int degreesOfFreedom = 0;
    double quadraticForm = 0.0; // v^T P v
    double sigma0 = 0.0;        // sqrt(v^T P v / dof); 0 without redundancy

    // Standard ellipses (one sigma) a priori and a posteriori (sigma0 x),
    // where the plane position is an unknown.
    ErrorEllipse priori, posteriori;

    // Where two stations fit the observations equally well (the two points
    // where two circles meet, with nothing to tell them apart), the other.
    bool ambiguous = false;
    double otherM = 0.0, otherP = 0.0, otherHeight = 0.0;

    bool adjusted() const { return fault == AdjustmentFault::None; }
    // Standard deviation of unknown i (1-based), a priori or with sigma0.
    double prioriSigma(int i) const;
    double posterioriSigma(int i) const;
};

// The adjustment of a checked survey (checkSurvey), from the first position
// that its observations give (firstPositions): the position most
// observations agree with.
FreeStation adjustFreeStation(const StationSurvey& survey);

// The same from a plane position the caller already has (the orientation and
// the height from the observations at it).
FreeStation adjustFreeStation(const StationSurvey& survey, double startM, double startP);

// The plane position known: the station's M and P are not unknowns (the
// heights from zenith readings at a station whose position is fixed).
FreeStation adjustWithPlaneKnown(const StationSurvey& survey, double m, double p);

// The adjustment of the survey without its observation k (from 0), from
// the plane position (m, p) (known, with planeKnown), or from the unknowns
// of 'near' (an adjustment of nearly the same observations, such as that
// of all of them) where it has the same ones.
FreeStation adjustWithout(const StationSurvey& survey, std::size_t k, double m, double p,
                          bool planeKnown, const FreeStation* near);

// The unknowns at a plane position, not adjusted: the orientation and the
// height there from the observations (as an adjustment starts), without
// figures. For what they give the observations (predictObservation).
FreeStation approximateAt(const StationSurvey& survey, double m, double p);

// What the adjustment's unknowns give an observation (one of the survey's,
// or one left out of it): its computed value (radians or metres) and the
// derivatives of that value by the adjustment's unknowns, in their order.
// Not known where the observation needs an unknown the adjustment lacks (a
// direction without an orientation) or the station lies on its target.
struct Prediction {
    bool known = false;
    double value = 0.0;
    std::vector<double> row;
};
Prediction predictObservation(const StationSurvey& survey, const Observation& observation,
                              const FreeStation& adjustment);

// The survey without observation k (from 0).
StationSurvey withoutObservation(const StationSurvey& survey, std::size_t k);

// An angle brought into [-pi, pi): a difference of two directions.
double foldedAngle(double angle);

} // namespace resection
