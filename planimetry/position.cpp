#include "planimetry/position.hpp"

#include "base/constants.hpp"
#include "base/stop.hpp"

#include <cmath>
#include <vector>

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

Matrix formAngles(const Survey& survey) {
    Matrix angles(survey.pointCount - 1, 1);
    for (int i = 1; i <= survey.pointCount - 1; ++i) {
        angles(i) = angleBetween(survey.directionReading(i), survey.directionReading(i + 1));
    }
    return angles;
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

UsableTriple firstUsableTriple(const Matrix& coords, const Matrix& readings, int pointCount,
                               bool skipFirst) {
    const int n = pointCount;
    // A pair (i, j) can be the first or the second pair of a triple only when
    // the tangent of the angle between their readings does not vanish: the
    // very test the solution makes of t1 and t2. Equal readings, readings
    // 180 degrees apart, all readings 0 fail here, a pair at a time.
    // A triple of three coincident points leaves a and b both exactly 0
    // (every difference of coordinates is 0) and fails too. For each point j
    // the pairs (j, k) that pass are kept in ascending k, split into the k at
    // the coordinates of j and the others, so that the walk below meets
    // exactly the triples worth solving, in the order of the plain loop over
    // (i, j, k), and a coincident pair (i, j) passes over the points at the
    // same place at no cost.
    std::vector<std::vector<int>> samePlace(static_cast<std::size_t>(n) + 1);
    std::vector<std::vector<int>> otherPlace(static_cast<std::size_t>(n) + 1);
    const auto coincide = [&coords](int i, int j) {
        return coords(i, 1) == coords(j, 1) && coords(i, 2) == coords(j, 2);
    };
    // Built when first needed, so that a set found early costs order N.
    std::vector<bool> built(static_cast<std::size_t>(n) + 1, false);
    const auto buildPairs = [&](int j) {
        if (built[static_cast<std::size_t>(j)]) {
            return;
        }
        built[static_cast<std::size_t>(j)] = true;
        for (int k = j + 1; k <= n; ++k) {
            if (std::fabs(std::tan(angleBetween(readings(j), readings(k)))) > vanishing) {
                (coincide(j, k) ? samePlace : otherPlace)[static_cast<std::size_t>(j)].push_back(k);
            }
        }
    };
    for (int i = 1; i <= n; ++i) {
        // The j with a usable pair (i, j): the union of both lists, in order.
        buildPairs(i);
        const std::vector<int>& sameI = samePlace[static_cast<std::size_t>(i)];
        const std::vector<int>& otherI = otherPlace[static_cast<std::size_t>(i)];
        std::size_t a = 0, b = 0;
        while (a < sameI.size() || b < otherI.size()) {
            const bool fromSame = b == otherI.size() || (a < sameI.size() && sameI[a] < otherI[b]);
            const int j = fromSame ? sameI[a++] : otherI[b++];
            buildPairs(j);
            const std::vector<int>& sameJ = samePlace[static_cast<std::size_t>(j)];
            const std::vector<int>& otherJ = otherPlace[static_cast<std::size_t>(j)];
            // With i and j at one place, the k at that place too are skipped.
            std::size_t c = fromSame ? sameJ.size() : 0, d = 0;
            while (c < sameJ.size() || d < otherJ.size()) {
                const bool kSame = d == otherJ.size() || (c < sameJ.size() && sameJ[c] < otherJ[d]);
                const int k = kSame ? sameJ[c++] : otherJ[d++];
                if (skipFirst && i == 1 && j == 2 && k == 3) {
                    continue;
                }
                const ThreePointSolution solution = threePointResection(
                    coords(i, 1), coords(i, 2), coords(j, 1), coords(j, 2), coords(k, 1),
                    coords(k, 2), angleBetween(readings(i), readings(j)),
                    angleBetween(readings(j), readings(k)));
                if (solution.finite()) {
                    return {i, j, k, solution};
                }
            }
        }
    }
    return {0, 0, 0, {}};
}

FirstPosition findFirstPosition(const Survey& survey) {
    FirstPosition first;
    first.observedAngle = formAngles(survey);
    const Matrix& c = survey.pointCoords;
    ThreePointSolution s = threePointResection(c(1, 1), c(1, 2), c(2, 1), c(2, 2), c(3, 1), c(3, 2),
                                               first.observedAngle(1), first.observedAngle(2));
    if (!s.finite()) {
        // Another set of three points when the first three give no position.
        const UsableTriple other =
            firstUsableTriple(c, survey.directionReading, survey.pointCount, true);
        if (other.i == 0) {
            throw Stop(StopReason::NoFirstPosition);
        }
        s = other.solution;
    }
    first.m = s.stationM;
    first.p = s.stationP;
    return first;
}

} // namespace resection
