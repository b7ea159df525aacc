// Angles between consecutive directions and the closed-form first position.
#pragma once

#include "input/survey.hpp"
#include "matrix/matrix.hpp"

namespace resection {

// observedAngle(i) = reading(i+1) - reading(i), brought up by 2*pi once when
// negative: N-1 angles in [0, 2*pi) for readings within one circle.
Matrix formAngles(const Survey& survey);

// Station position from three sighted points p1, p2, p3 and the two angles
// between their directions (the classical three-point resection, solved
// through the tangent of the azimuth from the station to the middle point).
// With exact readings it returns the station whatever the orientation of the
// circle. Results are not finite when the station is in line with two of the
// points or on the circle through all three, and 'determined' is false when
// they are so within rounding.
struct ThreePointSolution {
    double tanAzimuth1, tanAzimuth2, stationM, stationP;
    bool determined;
    // A usable position: determined and finite.
    bool finite() const;
};
ThreePointSolution threePointResection(double m1, double p1, double m2, double p2, double m3,
                                       double p3, double alpha1, double alpha2);

// The first set of three points (i, j, k), i < j < k, in the order (1,2,3),
// (1,2,4), ..., (1,3,4), ..., whose solution is finite, with the angles from
// the direction of i to that of j and from j to k; (1,2,3) is passed over
// when skipFirst. i is 0 when no set gives a position. Sets that cannot give
// one (a vanishing angle, three points at one place) are never solved, so
// that the search costs order N^2 where the plain loop over every triple
// cost order N^3.
struct UsableTriple {
    int i, j, k;
    ThreePointSolution solution;
};
UsableTriple firstUsableTriple(const Matrix& coords, const Matrix& readings, int pointCount,
                               bool skipFirst);

// The angles and the first position, where every pass starts: from the
// first three points, or, where that geometry gives no finite position, from
// the next set of three that does ((1,2,4), (1,2,5), ..., (1,3,4), ...).
// Ends the run when none does. They do not depend on the precision.
struct FirstPosition {
    Matrix observedAngle; // (N-1) x 1, radians
    double m = 0.0, p = 0.0;
};
FirstPosition findFirstPosition(const Survey& survey);

} // namespace resection
