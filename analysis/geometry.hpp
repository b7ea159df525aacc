// The shape of a station's uncertainty and the strength of its sighting
// geometry.
#pragma once

#include "adjustment/error_ellipse.hpp"
#include "matrix/matrix.hpp"

namespace resection {

// The circle through the first three sighted points: a station on it is the
// classical "danger circle" of the resection, where the three directions do
// not fix the position (every point of the circle sees them under the same
// angles).
struct DangerCircle {
    bool exists = false; // false when the three points lie on a straight line
    double centreM = 0.0, centreP = 0.0, radius = 0.0; // metres
    // From the station to the circle (to the line, when there is no circle).
    double distance = 0.0; // metres
    double relative = 0.0; // distance / radius (0 when there is no circle)
};

DangerCircle dangerCircle(double m1, double p1, double m2, double p2, double m3, double p3,
                          double stationM, double stationP);

// The strength of a whole sighting geometry, as a number without unit:
//   G = sqrt(sigma_M^2 + sigma_P^2) / (sigma * D),
// the a priori standard error of the position divided by the lateral error
// sigma * D of one sight of the typical length D. From the unit cofactor of
// the direction adjustment (sigma = 1), G = sqrt(Q(1,1) + Q(2,2)) / D. Points
// evenly around the station give G = 2 / sqrt(N), 1 for four points; G grows
// without bound as the station nears the circle through the points or the
// points gather in one direction. D is the median sight: one point far beyond
// the others lengthens the mean sight much more than it fixes the station,
// and would flatter G.
double strengthFigure(const Matrix& unitCofactor, double sightLength);

// The median of the sight lengths from the station to the points of an N x 2
// matrix of M, P (metres).
double medianSight(const Matrix& pointCoords, double stationM, double stationP);

// Where G counts as weak and as very weak.
inline constexpr double weakGeometry = 3.0;
inline constexpr double veryWeakGeometry = 10.0;
// A station closer to the danger circle than this share of its radius is near
// it.
inline constexpr double nearDangerCircle = 0.1;

} // namespace resection
