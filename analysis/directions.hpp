// The resection as a direction adjustment with one orientation unknown.
//
// Each reading r_i is the azimuth from the station to point i less the
// orientation o of the horizontal circle (the azimuth of its zero):
// r_i + v_i = az_i(M, P) - o, with N uncorrelated readings of precision
// sigma and three unknowns M, P, o. Differencing consecutive readings removes
// o and gives the N-1 correlated angles with the cofactor F Qdd F^T that the
// program's adjustment uses: both give the same station and the same v^T P v.
// This form has one residual per reading, which is what the tests of single
// readings need.
#pragma once

#include "analysis/reading_tests.hpp"
#include "analysis/reliability.hpp"
#include "matrix/matrix.hpp"

#include <vector>

namespace resection {

struct DirectionAdjustment {
    bool converged = false;
    int iterations = 0;
    double stationM = 0.0; // metres
    double stationP = 0.0;
    double orientation = 0.0; // radians: the azimuth of the circle's zero
    // (A^T A)^-1 of M, P and o for readings of unit weight: the covariance of
    // the unknowns is sigma^2 times it (m^2, m rad, rad^2).
    Matrix unitCofactor;
    double sumOfSquares = 0.0; // v^T v, radians^2: v^T P v = v^T v / sigma^2
    // The unknowns M, P, o (1, 2, 3) and the readings as any adjustment
    // gives them, for the tests: the design, the residuals, the precision
    // and the covariance sigma^2 unitCofactor.
    AdjustmentFigures figures;
    std::vector<ReadingTest> readings; // [i - 1] for point i
};

// Gauss-Newton from (startM, startP) and the mean orientation there, until
// the corrections reach the rounding of the coordinates (at most
// maxDirectionIterations). pointCoords is N x 2 (M, P), directionReading
// N x 1 in radians, sigma the a priori precision of one reading in radians
// (where it allows no test, the figures are those of unit weights, marked
// so). Not converged when the station falls on a sighted point or the
// iteration does not settle.
DirectionAdjustment adjustDirections(const Matrix& pointCoords, const Matrix& directionReading,
                                     double sigma, double startM, double startP);

inline constexpr int maxDirectionIterations = 50;

// An angle brought into [-pi, pi): a difference of two directions. Within
// two circles of it, by whole circles as the program folds it; beyond (a
// reading of 1e300 degrees), by the remainder of a division by a circle.
double foldedAngle(double angle);

// The derivatives of the direction from (stationM, stationP) to (m, p) by
// M, P and the orientation, radians per metre and 1.
std::vector<double> directionRow(double m, double p, double stationM, double stationP);

} // namespace resection
