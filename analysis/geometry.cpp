#include "analysis/geometry.hpp"

#include "base/constants.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace resection {

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
