// The shape of a station's uncertainty and the strength of its sighting
// geometry.
#pragma once

#include "matrix/matrix.hpp"

namespace resection {

// An error ellipse: the semi-axes are the square roots of the eigenvalues of
// the 2 x 2 covariance matrix of M and P, and the bearing of the major axis
// is measured like an azimuth, from the direction of increasing P towards
// increasing M, in [0, pi). A circle has bearing 0.
struct ErrorEllipse {
    double major = 0.0;   // metres
    double minor = 0.0;   // metres
    double bearing = 0.0; // radians
};

// From the variances of M and P (m^2) and their covariance. An eigenvalue a
// rounding error has taken below zero counts as zero.
ErrorEllipse errorEllipse(double varianceM, double varianceP, double covarianceMP);

// The same ellipse with both semi-axes multiplied by a factor.
ErrorEllipse scaled(const ErrorEllipse& e, double factor);

// The factor of the 95 % confidence ellipse a priori, with the precision of
// the readings known: the square root of the 95 % chi-square point for 2
// degrees of freedom (5.991), 2.4477.
double confidence95Factor();

// The factor of the 95 % confidence ellipse a posteriori, where the variance
// factor is itself estimated from a redundancy r: sqrt(2 F(2, r; 0.95)). For
// 2 numerator degrees of freedom the F quantile has the closed form
// F(2, r; p) = (r / 2) ((1 - p)^(-2 / r) - 1), so the factor is
// sqrt(r (0.05^(-2 / r) - 1)): 19.97 for r = 1, 4.37 for r = 2, and down to
// 2.4477 as r grows. r must be at least 1.
double posteriori95Factor(int redundancy);

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
