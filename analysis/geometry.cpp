#include "analysis/geometry.hpp"

#include "base/constants.hpp"
#include "precision/chi_square.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace resection {

ErrorEllipse errorEllipse(double varianceM, double varianceP, double covarianceMP) {
    const double mean = 0.5 * (varianceM + varianceP);
    const double spread = std::hypot(0.5 * (varianceP - varianceM), covarianceMP);
    ErrorEllipse e;
    e.major = std::sqrt(std::max(0.0, mean + spread));
    e.minor = std::sqrt(std::max(0.0, mean - spread));
    // The major axis (sin t, cos t) in (M, P) is an eigenvector exactly when
    // tan 2t = 2 cov / (varP - varM); atan2 picks the larger eigenvalue.
    double bearing = 0.5 * std::atan2(2.0 * covarianceMP, varianceP - varianceM);
    if (bearing < 0.0) {
        bearing += pi;
    }
    e.bearing = bearing >= pi ? bearing - pi : bearing;
    return e;
}

ErrorEllipse scaled(const ErrorEllipse& e, double factor) {
    return {e.major * factor, e.minor * factor, e.bearing};
}

double confidence95Factor() {
    return std::sqrt(chiSquare95(2));
}

double posteriori95Factor(int redundancy) {
    const double r = redundancy;
    return std::sqrt(r * (std::pow(0.05, -2.0 / r) - 1.0));
}

DangerCircle dangerCircle(double m1, double p1, double m2, double p2, double m3, double p3,
                          double stationM, double stationP) {
    DangerCircle c;
    // Relative to point 1: the centre solves |u - b| = |u| = |u - d|.
    const double bm = m2 - m1, bp = p2 - p1;
    const double dm = m3 - m1, dp = p3 - p1;
    const double cross = bm * dp - bp * dm;
    const double b2 = bm * bm + bp * bp;
    const double d2 = dm * dm + dp * dp;
    // In line within rounding: the cross product vanishes against the sides.
    if (std::fabs(cross) <= 1e-12 * (b2 + d2)) {
        // The line through the two points farthest apart of the three.
        double am = m1, ap = p1, em = m2, ep = p2;
        if (d2 > b2) {
            em = m3;
            ep = p3;
        }
        const double e2 = (m3 - m2) * (m3 - m2) + (p3 - p2) * (p3 - p2);
        if (e2 > std::max(b2, d2)) {
            am = m2;
            ap = p2;
            em = m3;
            ep = p3;
        }
        const double length = std::hypot(em - am, ep - ap);
        c.distance =
            length > 0.0
                ? std::fabs((em - am) * (stationP - ap) - (ep - ap) * (stationM - am)) / length
                : std::hypot(stationM - am, stationP - ap);
        return c;
    }
    const double um = (dp * b2 - bp * d2) / (2.0 * cross);
    const double up = (bm * d2 - dm * b2) / (2.0 * cross);
    c.exists = true;
    c.centreM = m1 + um;
    c.centreP = p1 + up;
    c.radius = std::hypot(um, up);
    c.distance = std::fabs(std::hypot(stationM - c.centreM, stationP - c.centreP) - c.radius);
    c.relative = c.distance / c.radius;
    return c;
}

double strengthFigure(const Matrix& unitCofactor, double sightLength) {
    const double trace = unitCofactor(1, 1) + unitCofactor(2, 2);
    return std::sqrt(std::max(0.0, trace)) / sightLength;
}

double medianSight(const Matrix& pointCoords, double stationM, double stationP) {
    std::vector<double> sights;
    for (int i = 1; i <= pointCoords.rows(); ++i) {
        sights.push_back(std::hypot(pointCoords(i, 1) - stationM, pointCoords(i, 2) - stationP));
    }
    if (sights.empty()) {
        return 0.0;
    }
    const std::size_t half = sights.size() / 2;
    std::nth_element(sights.begin(), sights.begin() + static_cast<long>(half), sights.end());
    double median = sights[half];
    if (sights.size() % 2 == 0) {
        median = 0.5 * (median + *std::max_element(sights.begin(),
                                                   sights.begin() + static_cast<long>(half)));
    }
    return median;
}

} // namespace resection
