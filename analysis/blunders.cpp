#include "analysis/blunders.hpp"

#include "base/constants.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace resection {

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
