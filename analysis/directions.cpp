#include "analysis/directions.hpp"

#include "base/constants.hpp"

#include <algorithm>
#include <cmath>

namespace resection {

double foldedAngle(double angle) {
    if (!(std::fabs(angle) <= 4.0 * pi)) {
        angle = std::remainder(angle, 2.0 * pi);
    }
    if (angle >= pi) {
        angle -= 2.0 * pi;
    }
    if (angle < -pi) {
        angle += 2.0 * pi;
    }
    return angle;
}

std::vector<double> directionRow(double m, double p, double stationM, double stationP) {
    const double dm = m - stationM;
    const double dp = p - stationP;
    const double s = dm * dm + dp * dp;
    return {-dp / s, dm / s, -1.0};
}

DirectionAdjustment adjustDirections(const Matrix& pointCoords, const Matrix& directionReading,
                                     double sigma, double startM, double startP) {
    const int n = pointCoords.rows();
    DirectionAdjustment result;
    double m = startM;
    double p = startP;

    // The orientation to start from: the mean of azimuth minus reading, taken
    // on the circle so that values either side of 0 do not average to pi.
    double sumSin = 0.0;
    double sumCos = 0.0;
    for (int i = 1; i <= n; ++i) {
        const double a =
            std::atan2(pointCoords(i, 1) - m, pointCoords(i, 2) - p) - directionReading(i);
        sumSin += std::sin(a);
        sumCos += std::cos(a);
    }
    double o = std::atan2(sumSin, sumCos);

    Matrix design(n, 3);
    Matrix misclosure(n, 1);
    Matrix designT(3, n);
    Matrix normal(3, 3);
    Matrix right(3, 1);
    Matrix correction(3, 1);
    for (int iteration = 1; iteration <= maxDirectionIterations; ++iteration) {
        double meanSight = 0.0;
        for (int i = 1; i <= n; ++i) {
            const double dm = pointCoords(i, 1) - m;
            const double dp = pointCoords(i, 2) - p;
            const double s = dm * dm + dp * dp;
            // The same micrometre as the program's own iteration.
            if (!(s >= 1e-12)) {
                return result;
            }
            meanSight += std::sqrt(s) / n;
            // Observed minus computed direction; the computed one is the
            // azimuth less the orientation.
            misclosure(i) = foldedAngle(directionReading(i) - (std::atan2(dm, dp) - o));
            // Derivatives of the computed direction by M, P and o.
            design(i, 1) = -dp / s;
            design(i, 2) = dm / s;
            design(i, 3) = -1.0;
        }
        matrixTranspose(n, 3, design, designT);
        matrixProduct(3, n, 3, designT, design, normal);
        matrixProduct(3, n, 1, designT, misclosure, right);
        result.unitCofactor = normal;
        // A normal matrix without an inverse (the station run off to where
        // the sights no longer fix it) ends the iteration unconverged.
        try {
            invertMatrix(3, 3, result.unitCofactor);
        } catch (const SingularMatrix&) {
            return result;
        }
        matrixProduct(3, 3, 1, result.unitCofactor, right, correction);
        m += correction(1);
        p += correction(2);
        o += correction(3);
        result.iterations = iteration;
        if (!std::isfinite(m) || !std::isfinite(p)) {
            return result;
        }
        // Settled when the corrections are down to the rounding of the
        // coordinates, or to a millionth of a micrometre per kilometre of
        // sight.
        const double settled =
            std::max({1e-10, 1e-14 * (std::fabs(m) + std::fabs(p)), 1e-12 * meanSight});
        if (std::fabs(correction(1)) <= settled && std::fabs(correction(2)) <= settled) {
            result.converged = true;
            break;
        }
    }
    if (!result.converged) {
        return result;
    }
    result.stationM = m;
    result.stationP = p;
    result.orientation = o;

    // v = A x - l of the last solution, and the tests of the readings.
    AdjustmentFigures& f = result.figures;
    f.testable = testablePrecision(sigma);
    const double s = f.testable ? std::fabs(sigma) : 1.0;
    f.design = design;
    f.sigma.assign(static_cast<std::size_t>(n), s);
    f.residual.reserve(static_cast<std::size_t>(n));
    f.covariance = Matrix(3, 3);
    for (int j = 1; j <= 3; ++j) {
        for (int k = 1; k <= 3; ++k) {
            f.covariance(j, k) = s * s * result.unitCofactor(j, k);
        }
    }
    f.station = {1, 2};
    for (int i = 1; i <= n; ++i) {
        double ax = 0.0;
        for (int j = 1; j <= 3; ++j) {
            ax += design(i, j) * correction(j);
        }
        const double v = ax - misclosure(i);
        result.sumOfSquares += v * v;
        f.residual.push_back(v);
    }
    result.readings = observationTests(f);
    return result;
}

} // namespace resection
