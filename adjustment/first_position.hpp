// Where a free station's adjustment starts: a plane position from the
// closed forms of the fewest observations that fix one, the orientation of
// the circle and the height there.
//
// Each closed form is exact for its own observations and knows nothing of
// the others: three directions give the classical three-point resection
// (directions and angles chained into readings of one circle), two
// distances the two points where their circles meet, a distance and the
// angle between two directions the points where the distance's circle meets
// the circle on which that angle is seen. Every such position is scored
// against all the observations that bear on the plane, each misfit counting
// at most as much as its tolerance (20 standard deviations, and never less
// than 1" or 5 mm), so that a gross error in one observation cannot outweigh
// the others: the position most observations agree with comes first, and
// positions that fit equally well (the mirror images of two circles that
// nothing tells apart) all come out. The sets tried are all of them for a
// few points and, for many, well-spread sets first and then a fixed
// pseudo-random sequence, until the agreement found says that a set free of
// gross errors has been met with 99 % probability.
#pragma once

#include "input/station_survey.hpp"

#include <vector>

namespace resection {

struct PlanePosition {
    double m = 0.0, p = 0.0; // metres
    double score = 0.0;      // the sum of the capped squared misfits, in tolerances
    int agreeing = 0;        // observations within their tolerance
};

// Distinct positions, best first (at most a few); empty where no closed
// form applies or none gives a finite position.
std::vector<PlanePosition> firstPositions(const StationSurvey& survey);

// The orientation of the circle (radians, [0, 2 pi)) at a plane position: the
// mean, taken on the circle, of azimuth minus reading over the largest
// cluster of directions that agree within their tolerance, so that neither a
// gross error nor the seam at half a circle moves it. 0 without directions.
double approximateOrientation(const StationSurvey& survey, double m, double p);

// The station's height at a plane position: the median of the heights that
// each zenith angle (with its slope distance, where there is one) gives.
double approximateHeight(const StationSurvey& survey, double m, double p, double scale);

// Earth curvature less refraction as one factor: a target d metres away
// appears lower by this times d^2 (6.82e-8 per metre, from a refraction
// coefficient of 0.13).
double curvatureFactor(const SurveyOptions& options);

} // namespace resection
