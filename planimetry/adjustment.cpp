#include "planimetry/adjustment.hpp"

#include "angles/units.hpp"
#include "base/constants.hpp"
#include "base/run_stop.hpp"
#include "base/text.hpp"
#include "matrix/band.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace resection {

namespace {

// A station closer than 1 micrometre (squared: 1e-12 m^2) to a sighted point
// coincides with it: nobody sights a point from on top of it.
constexpr double coincidenceSquared = 1e-12;

void ensureSize(Matrix& m, int rows, int cols) {
    if (m.rows() != rows || m.cols() != cols) {
        m = Matrix(rows, cols);
    }
}

// Qll and P by the dense products and the general inversion, as the
// definitions read: F Qdd F^T with every term of every sum.
void buildAngleWeightsDense(RunContext& ctx) {
    const int n = ctx.pointCount;
    ensureSize(ctx.directionCovariance, n, n);
    ensureSize(ctx.directionCofactor, n, n);
    ensureSize(ctx.differenceOperator, n - 1, n);
    ensureSize(ctx.differenceOperatorT, n, n - 1);
    ensureSize(ctx.differenceTimesCofactor, n - 1, n);
    const double variance = ctx.directionPrecision * ctx.directionPrecision;
    Matrix& cov = ctx.directionCovariance;
    cov.fill(0.0);
    for (int i = 1; i <= n; ++i) {
        cov(i, i) = variance;
    }
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) {
            ctx.directionCofactor(i, j) = cov(i, j) / varianceFactorApriori;
        }
    }
    Matrix& f = ctx.differenceOperator;
    f.fill(0.0);
    for (int i = 1; i <= n - 1; ++i) {
        f(i, i) = -1.0;
        f(i, i + 1) = 1.0;
    }
    matrixTranspose(n - 1, n, f, ctx.differenceOperatorT);
    matrixProduct(n - 1, n, n, f, ctx.directionCofactor, ctx.differenceTimesCofactor);
    ensureSize(ctx.angleCofactor, n - 1, n - 1);
    matrixProduct(n - 1, n, n - 1, ctx.differenceTimesCofactor, ctx.differenceOperatorT,
                  ctx.angleCofactor);
    ctx.angleVariance = ctx.angleCofactor(1, 1);
    ctx.angleWeight = ctx.angleCofactor;
    invertMatrix(n - 1, n - 1, ctx.angleWeight);
    ctx.angleWeightStored = true;
}

// The tridiagonal Qll with the band values of buildAngleWeights, inverted by
// the general routine.
void storeAngleWeight(RunContext& ctx, double diagonal, double above, double below) {
    const int m = ctx.pointCount - 1;
    Matrix qll(m, m);
    for (int i = 1; i <= m; ++i) {
        qll(i, i) = diagonal;
        if (i < m) {
            qll(i, i + 1) = above;
            qll(i + 1, i) = below;
        }
    }
    ctx.angleWeight = std::move(qll);
    invertMatrix(m, m, ctx.angleWeight);
    ctx.angleWeightStored = true;
}

} // namespace

void buildAngleWeights(RunContext& ctx) {
    const int n = ctx.pointCount;
    const double variance = ctx.directionPrecision * ctx.directionPrecision;
    const double q = variance / varianceFactorApriori; // diagonal of Qdd
    // With a finite q every term of the dense products that involves a zero
    // of F or of Qdd is an exact zero; an infinite one would make them NaN.
    if (ctx.denseReference || !std::isfinite(q)) {
        buildAngleWeightsDense(ctx);
        return;
    }
    // The non-zero terms of F Qdd: row i holds 0 + F(i,i) q at (i, i) and
    // 0 + F(i,i+1) q at (i, i+1). Of (F Qdd) F^T the diagonal takes the two
    // terms k = i, i+1 in that order, each neighbour one term. Every other
    // term is an exact zero added to a running sum that starts at +0 and so
    // never holds -0: leaving it out changes no bit.
    const double fqDiagonal = 0.0 + (-1.0) * q;
    const double fqNext = 0.0 + 1.0 * q;
    const double diagonal = (0.0 + fqDiagonal * (-1.0)) + fqNext * 1.0;
    const double above = 0.0 + fqNext * (-1.0);  // Qll(i, i+1)
    const double below = 0.0 + fqDiagonal * 1.0; // Qll(i+1, i)
    const int m = n - 1;
    ctx.angleVariance = diagonal;
    ctx.angleAbove = above;
    ctx.angleBelow = below;
    std::vector<double> d(static_cast<std::size_t>(m) + 1, diagonal);
    std::vector<double> up(static_cast<std::size_t>(m), above);
    std::vector<double> down(static_cast<std::size_t>(m), below);
    ctx.angleWeightStored = false;
    if (!ctx.angleWeightFactors.factor(m, down, d, up)) {
        // Rows to interchange or values that are not finite: the general
        // inversion of the full matrix.
        storeAngleWeight(ctx, diagonal, above, below);
    }
}

void timesAngleWeight(RunContext& ctx, int m, const Matrix& left, Matrix& result) {
    const int n = ctx.pointCount - 1;
    if (!ctx.angleWeightStored) {
        if (ctx.angleWeightFactors.multiplyLeft(m, left, result)) {
            return;
        }
        // An element of the inverse is not finite: the band routine declines
        // there, and the general inversion decides.
        storeAngleWeight(ctx, ctx.angleVariance, ctx.angleAbove, ctx.angleBelow);
    }
    matrixProduct(m, n, n, left, ctx.angleWeight, result);
}

IterationTrace iterateStation(RunContext& ctx) {
    const int n = ctx.pointCount;
    Matrix& a = ctx.designMatrix;
    Matrix& w = ctx.misclosure;
    IterationTrace trace;
    trace.closestDecision = std::numeric_limits<double>::infinity();
    ctx.iterationCount = 1;
    while (true) {
        if (ctx.iterationCount > maxIterations) {
            throw RunStop::withPlainLine(" Processo nao convergente...");
        }
        for (int i = 1; i <= n - 1; ++i) {
            double dM[2], dP[2], s[2];
            for (int t = 0; t < 2; ++t) {
                const int k = i + t;
                dM[t] = ctx.pointCoords(k, 1) - ctx.stationM;
                dP[t] = ctx.pointCoords(k, 2) - ctx.stationP;
                s[t] = dP[t] * dP[t] + dM[t] * dM[t];
                if (s[t] < coincidenceSquared) {
                    // No usable direction from a point to itself: within a
                    // micrometre the coefficients below exceed 1e6 per metre
                    // and the iteration runs away.
                    throw RunStop::message("A estacao coincide com o ponto visado " +
                                           trimmedName(ctx.pointName[static_cast<std::size_t>(k)]) +
                                           " (ponto " + std::to_string(k) +
                                           "): o calculo nao pode continuar.");
                }
            }
            // Computed minus observed angle, in exactly this order.
            double misclosure =
                -(azimuth(dM[0], dP[0]) + (ctx.observedAngle(i) - azimuth(dM[1], dP[1])));
            if (misclosure >= pi) {
                misclosure = misclosure - 2.0 * pi;
            }
            if (misclosure < -pi) {
                misclosure = misclosure + 2.0 * pi;
            }
            w(i) = misclosure;
            a(i, 1) = dP[1] / s[1] - dP[0] / s[0];
            a(i, 2) = -(dM[1] / s[1]) + dM[0] / s[0];
        }
        matrixTranspose(n - 1, 2, a, ctx.designMatrixT);
        timesAngleWeight(ctx, 2, ctx.designMatrixT, ctx.designTWeight);
        matrixProduct(2, n - 1, 2, ctx.designTWeight, a, ctx.normalMatrix);
        matrixProduct(2, n - 1, 1, ctx.designTWeight, w, ctx.normalVector);
        ctx.coordCofactor = ctx.normalMatrix;
        invertMatrix(2, 2, ctx.coordCofactor);
        matrixProduct(2, 2, 1, ctx.coordCofactor, ctx.normalVector, ctx.correction);

        const double dm = ctx.correction(1);
        const double dp = ctx.correction(2);
        // Both corrections are below the tolerance exactly when the larger
        // is: that one decides, and its distance from the tolerance says how
        // close the decision came to going the other way.
        const double larger =
            std::isnan(dm) || std::isnan(dp) ? dm + dp : std::max(std::fabs(dm), std::fabs(dp));
        trace.corrections.push_back(larger);
        trace.closestDecision = std::min(trace.closestDecision, std::fabs(larger - ctx.tolerance));
        if (std::fabs(dm) < ctx.tolerance && std::fabs(dp) < ctx.tolerance) {
            ctx.adjustedM = dm + ctx.stationM;
            ctx.adjustedP = dp + ctx.stationP;
            return trace;
        }
        const double nextM = dm + ctx.stationM;
        const double nextP = dp + ctx.stationP;
        if (nextM == ctx.stationM && nextP == ctx.stationP) {
            throw RunStop::withPlainLine(" Processo nao convergente..."); // a fixed point
        }
        ctx.stationM = nextM;
        ctx.stationP = nextP;
        ctx.iterationCount = ctx.iterationCount + 1;
    }
}

} // namespace resection
