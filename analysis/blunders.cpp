#include "analysis/blunders.hpp"

#include "analysis/directions.hpp"
#include "base/constants.hpp"
#include "planimetry/position.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

namespace resection {

namespace {

// The triples to try: all of them for a few points; beyond, the triples
// spread a third of the points apart and a fixed pseudo-random selection,
// a few hundred in all, so that the cost grows only linearly with N.
std::vector<std::tuple<int, int, int>> triplesToTry(int n) {
    std::vector<std::tuple<int, int, int>> triples;
    if (n <= 12) {
        for (int i = 1; i <= n; ++i) {
            for (int j = i + 1; j <= n; ++j) {
                for (int k = j + 1; k <= n; ++k) {
                    triples.emplace_back(i, j, k);
                }
            }
        }
        return triples;
    }
    const int third = n / 3;
    const int spreadStep = std::max(1, third / 100);
    for (int i = 1; i + 2 * third <= n; i += spreadStep) {
        triples.emplace_back(i, i + third, i + 2 * third);
    }
    std::uint64_t state = 0x9e3779b97f4a7c15ULL;
    const auto next = [&state, n]() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return 1 + static_cast<int>((state >> 33) % static_cast<std::uint64_t>(n));
    };
    for (int t = 0; t < 300; ++t) {
        int idx[3] = {next(), next(), next()};
        std::sort(idx, idx + 3);
        if (idx[0] != idx[1] && idx[1] != idx[2]) {
            triples.emplace_back(idx[0], idx[1], idx[2]);
        }
    }
    return triples;
}

} // namespace

ConsensusStation consensusStation(const Matrix& pointCoords, const Matrix& directionReading,
                                  double sigma) {
    const int n = pointCoords.rows();
    const Matrix& c = pointCoords;
    const Matrix& r = directionReading;
    const double tolerance = std::max(20.0 * std::fabs(sigma), pi / 648000.0);
    const double cap = tolerance * tolerance;
    ConsensusStation best;
    double bestScore = 0.0;
    for (const auto& [i, j, k] : triplesToTry(n)) {
        const auto angle = [&r](int from, int to) {
            double a = r(to) - r(from);
            return a < 0.0 ? a + 2.0 * pi : a;
        };
        const ThreePointSolution s = threePointResection(
            c(i, 1), c(i, 2), c(j, 1), c(j, 2), c(k, 1), c(k, 2), angle(i, j), angle(j, k));
        if (!s.finite()) {
            continue;
        }
        const double orientation = std::atan2(c(i, 1) - s.stationM, c(i, 2) - s.stationP) - r(i);
        double score = 0.0;
        int agreeing = 0;
        bool usable = true;
        // Every reading adds to the score: a triple is given up as soon as
        // it can no longer beat the best so far.
        for (int m = 1; m <= n && usable && !(best.found && score >= bestScore); ++m) {
            const double dm = c(m, 1) - s.stationM;
            const double dp = c(m, 2) - s.stationP;
            usable = dm * dm + dp * dp >= 1e-12;
            const double misfit = foldedAngle(r(m) - (std::atan2(dm, dp) - orientation));
            // A reading that is no number (one beyond the range of the
            // arithmetic) disagrees, as far as the cap allows.
            const double square = misfit * misfit;
            score += square < cap ? square : cap;
            agreeing += square < cap ? 1 : 0;
        }
        if (usable && std::isfinite(score) && (!best.found || score < bestScore)) {
            best.found = true;
            best.stationM = s.stationM;
            best.stationP = s.stationP;
            best.orientation = orientation;
            best.agreeing = agreeing;
            bestScore = score;
        }
    }
    return best;
}

Separation separatingSight(const Matrix& pointCoords, double stationM, double stationP,
                           const Matrix& unitCofactor, int i, int j, double sightLength) {
    // Rows of the design of readings i and j (derivatives by M, P and the
    // orientation), as the direction adjustment forms them.
    const auto row = [&](int k, double out[3]) {
        const double dm = pointCoords(k, 1) - stationM;
        const double dp = pointCoords(k, 2) - stationP;
        const double s = dm * dm + dp * dp;
        out[0] = -dp / s;
        out[1] = dm / s;
        out[2] = -1.0;
    };
    double ai[3], aj[3];
    row(i, ai);
    row(j, aj);
    // The correlation of the residuals of i and j for a cofactor q of the
    // unknowns: Qvv = I - A q A^T for readings of unit weight.
    const auto correlation = [&](const double q[3][3]) {
        double qij = 0.0, qii = 0.0, qjj = 0.0;
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 3; ++b) {
                qij += ai[a] * q[a][b] * aj[b];
                qii += ai[a] * q[a][b] * ai[b];
                qjj += aj[a] * q[a][b] * aj[b];
            }
        }
        return -qij / std::sqrt((1.0 - qii) * (1.0 - qjj));
    };
    double q[3][3];
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) {
            q[a][b] = unitCofactor(a + 1, b + 1);
        }
    }
    Separation s;
    s.correlation = correlation(q);
    s.correlationAfter = s.correlation;
    // One more reading of unit weight with design row g updates the cofactor
    // by Sherman-Morrison: q' = q - (q g)(q g)^T / (1 + g^T q g).
    for (int degrees = 0; degrees < 360; degrees += 5) {
        const double bearing = degrees * pi / 180.0;
        const double g[3] = {-std::cos(bearing) / sightLength, std::sin(bearing) / sightLength,
                             -1.0};
        double qg[3] = {0.0, 0.0, 0.0};
        double gqg = 0.0;
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 3; ++b) {
                qg[a] += q[a][b] * g[b];
            }
            gqg += g[a] * qg[a];
        }
        double updated[3][3];
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 3; ++b) {
                updated[a][b] = q[a][b] - qg[a] * qg[b] / (1.0 + gqg);
            }
        }
        const double after = correlation(updated);
        if (std::isfinite(after) && std::fabs(after) < std::fabs(s.correlationAfter)) {
            s.correlationAfter = after;
            s.bearing = bearing;
        }
    }
    return s;
}

} // namespace resection
