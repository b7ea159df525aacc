#include "planimetry/position.hpp"

#include "base/constants.hpp"
#include "base/run_stop.hpp"

#include <cmath>

namespace resection {

namespace {

double angleBetween(double fromReading, double toReading) {
    double angle = toReading - fromReading;
    if (angle < 0.0) {
        angle = angle + 2.0 * pi;
    }
    return angle;
}

} // namespace

void formAngles(RunContext& ctx) {
    for (int i = 1; i <= ctx.pointCount - 1; ++i) {
        ctx.observedAngle(i) = angleBetween(ctx.directionReading(i), ctx.directionReading(i + 1));
    }
}

bool ThreePointSolution::finite() const {
    return determined && std::isfinite(stationM) && std::isfinite(stationP);
}

namespace {

// Below this a quantity counts as zero within rounding: an angle within
// 1e-10 rad (2e-5") of 0 or 180 degrees, or a sum that cancels to 1e-10 of its
// terms. A reading of exactly 180 degrees gives tan = -1.2e-16, not 0, and a
// station exactly on the circle through the points leaves a and b at the
// size of their rounding errors; neither gives a usable position.
constexpr double vanishing = 1e-10;

bool cancels(double sum, double scale) {
    return std::fabs(sum) <= vanishing * scale;
}

} // namespace

ThreePointSolution threePointResection(double m1, double p1, double m2, double p2, double m3,
                                       double p3, double alpha1, double alpha2) {
    // The printed digits depend on the order of every operation below; the
    // parentheses give it exactly.
    const double t1 = std::tan(alpha1);
    const double t2 = std::tan(alpha2);
    const double a = ((m2 - m1) / t1 + (m2 - m3) / t2) + (p3 - p1);
    const double b = ((p2 - p3) / t2 + (p2 - p1) / t1) + (m1 - m3);
    ThreePointSolution s{};
    // In line with two of the points, or on the circle through all three.
    const double scaleA =
        std::fabs((m2 - m1) / t1) + std::fabs((m2 - m3) / t2) + std::fabs(p3 - p1);
    const double scaleB =
        std::fabs((p2 - p3) / t2) + std::fabs((p2 - p1) / t1) + std::fabs(m1 - m3);
    s.determined = std::fabs(t1) > vanishing && std::fabs(t2) > vanishing &&
                   !(cancels(a, scaleA) && cancels(b, scaleB));
    s.tanAzimuth2 = a / b;
    s.tanAzimuth1 = (s.tanAzimuth2 - t1) / (t1 * s.tanAzimuth2 + 1.0);
    // Intersection of the lines through points 1 and 2 with those azimuths.
    s.stationP =
        (((m2 - m1) - p2 * s.tanAzimuth2) + p1 * s.tanAzimuth1) / (s.tanAzimuth1 - s.tanAzimuth2);
    s.stationM = m1 - (p1 - s.stationP) * s.tanAzimuth1;
    return s;
}

void findApproximatePosition(RunContext& ctx) {
    const Matrix& c = ctx.pointCoords;
    const int n = ctx.pointCount;
    ThreePointSolution s = threePointResection(c(1, 1), c(1, 2), c(2, 1), c(2, 2), c(3, 1), c(3, 2),
                                               ctx.observedAngle(1), ctx.observedAngle(2));
    // Another set of three points when the first three give no position.
    for (int i = 1; i <= n && !s.finite(); ++i) {
        for (int j = i + 1; j <= n && !s.finite(); ++j) {
            for (int k = j + 1; k <= n && !s.finite(); ++k) {
                if (i == 1 && j == 2 && k == 3) {
                    continue;
                }
                const Matrix& r = ctx.directionReading;
                s = threePointResection(c(i, 1), c(i, 2), c(j, 1), c(j, 2), c(k, 1), c(k, 2),
                                        angleBetween(r(i), r(j)), angleBetween(r(j), r(k)));
            }
        }
    }
    if (!s.finite()) {
        throw RunStop::message("Nao foi possivel calcular uma posicao aproximada da estacao: "
                               "a estacao esta alinhada com os pontos visados ou sobre a "
                               "circunferencia que os contem.");
    }
    ctx.stationM = s.stationM;
    ctx.stationP = s.stationP;
}

} // namespace resection
