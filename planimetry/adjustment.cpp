#include "planimetry/adjustment.hpp"

#include "base/constants.hpp"
#include "base/stop.hpp"
#include "base/text.hpp"
#include "precision/chi_square.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace resection {

namespace {

// A station closer than 1 micrometre (squared: 1e-12 m^2) to a sighted point
// coincides with it: nobody sights a point from on top of it.
constexpr double coincidenceSquared = 1e-12;

// The cost of a pass in seconds: each solution and the variance test
// multiply by the weight matrix, whose columns are formed from its band
// factors at a cost of order (N-1)^2, besides the misclosures (order N) and a
// fixed cost of some tenths of a microsecond. The terms are the least of five
// batches of the benchmark's pass-cost table on a 2-core machine, times 1.4:
// whole walks that compute every pass (4 to 50 points) cost 1.3 to 2.8 times
// those least costs, and the model is what a walk takes in a good turn, not
// the best case of a pass.
double passWork(int pointCount, std::size_t solutions) {
    const double m = pointCount - 1;
    return static_cast<double>(solutions + 1) * (0.56e-6 + 5.6e-8 * m + 1.4e-9 * m * m);
}

} // namespace

PlanimetricAdjustment::PlanimetricAdjustment(const Survey& survey, const FirstPosition& first,
                                             bool dense)
    : survey_(survey), first_(first), dense_(dense), n_(survey.pointCount),
      // Above ten degrees of freedom the 95 % point is a quantile found by
      // iteration, which would cost every pass more than the adjustment.
      critical_(survey.redundancy >= 1 ? chiSquare95(survey.redundancy) : 0.0) {
    const int m = n_ - 1;
    misclosure_ = Matrix(m, 1);
    design_ = Matrix(m, 2);
    designT_ = Matrix(2, m);
    designTWeight_ = Matrix(2, m);
    normal_ = Matrix(2, 2);
    normalVector_ = Matrix(2, 1);
    cofactorXX_ = Matrix(2, 2);
    correction_ = Matrix(2, 1);
    designTimesCorrection_ = Matrix(m, 1);
    residual_ = Matrix(m, 1);
    residualT_ = Matrix(1, m);
    residualTWeight_ = Matrix(1, m);
}

// Qll and P by the dense products and the general inversion, as the
// definitions read: F Qdd F^T with every term of every sum.
void PlanimetricAdjustment::buildWeightsDense(double precision) {
    const int n = n_;
    Matrix covariance(n, n);
    Matrix cofactor(n, n);
    Matrix f(n - 1, n);
    Matrix fT(n, n - 1);
    Matrix fTimesCofactor(n - 1, n);
    const double variance = precision * precision;
    for (int i = 1; i <= n; ++i) {
        covariance(i, i) = variance;
    }
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) {
            cofactor(i, j) = covariance(i, j) / varianceFactorApriori;
        }
    }
    for (int i = 1; i <= n - 1; ++i) {
        f(i, i) = -1.0;
        f(i, i + 1) = 1.0;
    }
    matrixTranspose(n - 1, n, f, fT);
    matrixProduct(n - 1, n, n, f, cofactor, fTimesCofactor);
    cofactor_.dense = Matrix(n - 1, n - 1);
    matrixProduct(n - 1, n, n - 1, fTimesCofactor, fT, cofactor_.dense);
    cofactor_.diagonal = cofactor_.dense(1, 1);
    weight_ = cofactor_.dense;
    invertMatrix(n - 1, n - 1, weight_);
    weightStored_ = true;
}

// The tridiagonal Qll with the band values, inverted by the general routine.
void PlanimetricAdjustment::storeWeights() {
    const int m = n_ - 1;
    Matrix qll(m, m);
    for (int i = 1; i <= m; ++i) {
        qll(i, i) = cofactor_.diagonal;
        if (i < m) {
            qll(i, i + 1) = cofactor_.above;
            qll(i + 1, i) = cofactor_.below;
        }
    }
    weight_ = std::move(qll);
    invertMatrix(m, m, weight_);
    weightStored_ = true;
}

void PlanimetricAdjustment::buildWeights(double precision) {
    const double variance = precision * precision;
    const double q = variance / varianceFactorApriori; // diagonal of Qdd
    cofactor_ = AngleCofactor{};
    // With a finite q every term of the dense products that involves a zero
    // of F or of Qdd is an exact zero; an infinite one would make them NaN.
    if (dense_ || !std::isfinite(q)) {
        buildWeightsDense(precision);
        return;
    }
    // The non-zero terms of F Qdd: row i holds 0 + F(i,i) q at (i, i) and
    // 0 + F(i,i+1) q at (i, i+1). Of (F Qdd) F^T the diagonal takes the two
    // terms k = i, i+1 in that order, each neighbour one term. Every other
    // term is an exact zero added to a running sum that starts at +0 and so
    // never holds -0: leaving it out changes no bit.
    const double fqDiagonal = 0.0 + (-1.0) * q;
    const double fqNext = 0.0 + 1.0 * q;
    cofactor_.diagonal = (0.0 + fqDiagonal * (-1.0)) + fqNext * 1.0;
    cofactor_.above = 0.0 + fqNext * (-1.0);  // Qll(i, i+1)
    cofactor_.below = 0.0 + fqDiagonal * 1.0; // Qll(i+1, i)
    const int m = n_ - 1;
    std::vector<double> d(static_cast<std::size_t>(m) + 1, cofactor_.diagonal);
    std::vector<double> up(static_cast<std::size_t>(m), cofactor_.above);
    std::vector<double> down(static_cast<std::size_t>(m), cofactor_.below);
    weightStored_ = false;
    if (!weightFactors_.factor(m, down, d, up)) {
        // Rows to interchange or values that are not finite: the general
        // inversion of the full matrix.
        storeWeights();
    }
}

void PlanimetricAdjustment::timesWeight(int m, const Matrix& left, Matrix& result) {
    const int n = n_ - 1;
    if (!weightStored_) {
        if (weightFactors_.multiplyLeft(m, left, result)) {
            return;
        }
        // An element of the inverse is not finite: the band routine declines
        // there, and the general inversion decides.
        storeWeights();
    }
    matrixProduct(m, n, n, left, weight_, result);
}

AngleCofactor PlanimetricAdjustment::angleCofactor(double precision) {
    buildWeights(precision);
    return cofactor_;
}

PlanimetricPass PlanimetricAdjustment::pass(double precision) {
    const int n = n_;
    const Matrix& coords = survey_.pointCoords;
    const double tolerance = survey_.header.tolerance;
    buildWeights(precision);
    double stationM = first_.m;
    double stationP = first_.p;
    Matrix& a = design_;
    Matrix& w = misclosure_;
    PlanimetricPass result;
    PassOutcome& outcome = result.search;
    outcome.closestDecision = std::numeric_limits<double>::infinity();
    int iteration = 1;
    while (true) {
        if (iteration > maxIterations) {
            throw Stop(StopReason::PositionNotConverging);
        }
        for (int i = 1; i <= n - 1; ++i) {
            double dM[2], dP[2], s[2];
            for (int t = 0; t < 2; ++t) {
                const int k = i + t;
                dM[t] = coords(k, 1) - stationM;
                dP[t] = coords(k, 2) - stationP;
                s[t] = dP[t] * dP[t] + dM[t] * dM[t];
                if (s[t] < coincidenceSquared) {
                    // No usable direction from a point to itself: within a
                    // micrometre the coefficients below exceed 1e6 per metre
                    // and the iteration runs away.
                    throw Stop(StopReason::StationOnPoint)
                        .withName(trimmedName(survey_.pointName[static_cast<std::size_t>(k - 1)]))
                        .withCount(k);
                }
            }
            // Computed minus observed angle, in exactly this order.
            double misclosure =
                -(azimuth(dM[0], dP[0]) + (first_.observedAngle(i) - azimuth(dM[1], dP[1])));
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
        matrixTranspose(n - 1, 2, a, designT_);
        timesWeight(2, designT_, designTWeight_);
        matrixProduct(2, n - 1, 2, designTWeight_, a, normal_);
        matrixProduct(2, n - 1, 1, designTWeight_, w, normalVector_);
        cofactorXX_ = normal_;
        invertMatrix(2, 2, cofactorXX_);
        matrixProduct(2, 2, 1, cofactorXX_, normalVector_, correction_);

        const double dm = correction_(1);
        const double dp = correction_(2);
        // Both corrections are below the tolerance exactly when the larger
        // is: that one decides, and its distance from the tolerance says how
        // close the decision came to going the other way.
        const double larger =
            std::isnan(dm) || std::isnan(dp) ? dm + dp : std::max(std::fabs(dm), std::fabs(dp));
        outcome.corrections.push_back(larger);
        outcome.closestDecision = std::min(outcome.closestDecision, std::fabs(larger - tolerance));
        if (std::fabs(dm) < tolerance && std::fabs(dp) < tolerance) {
            result.adjustedM = dm + stationM;
            result.adjustedP = dp + stationP;
            break;
        }
        const double nextM = dm + stationM;
        const double nextP = dp + stationP;
        if (nextM == stationM && nextP == stationP) {
            throw Stop(StopReason::PositionNotConverging); // a fixed point
        }
        stationM = nextM;
        stationP = nextP;
        iteration = iteration + 1;
    }
    result.iterationCount = iteration;
    result.stationM = stationM;
    result.stationP = stationP;

    // Residuals v = w - A x of the converged pass, the quadratic form
    // v^T P v, the variance factor v^T P v / r and the verdict of the
    // chi-square test at 95 % on the statistic v^T P v / sigma0^2.
    matrixProduct(n - 1, 2, 1, a, correction_, designTimesCorrection_);
    for (int i = 1; i <= n - 1; ++i) {
        residual_(i) = w(i) - designTimesCorrection_(i);
    }
    for (int j = 1; j <= n - 1; ++j) {
        residualT_(1, j) = residual_(j);
    }
    timesWeight(1, residualT_, residualTWeight_);
    Matrix quadraticForm(1, 1);
    matrixProduct(1, n - 1, 1, residualTWeight_, residual_, quadraticForm);
    const int r = survey_.redundancy;
    result.varianceFactor = quadraticForm(1, 1) / r;
    outcome.statistic = result.varianceFactor * r / varianceFactorApriori;
    outcome.verdict = verdictAgainst(outcome.statistic, critical_);

    // How far rounding alone can move a correction of the converged pass,
    // metres. Two sources: the station itself is held to a unit in the last
    // place of its coordinates, so a correction near convergence is known
    // only to a few such units; and every misclosure is an azimuth
    // difference rounded to some units in the last place of 2 pi, which the
    // normal equations carry into the position by at most sqrt(trace Qxx) /
    // sigma metres per radian (Qxx scales with sigma^2, so this does not
    // depend on the precision of the pass).
    const double metresPerRadian =
        std::sqrt(std::fabs(cofactorXX_(1, 1)) + std::fabs(cofactorXX_(2, 2))) /
        std::fabs(precision);
    outcome.rounding =
        correctionRounding(unitInLastPlace(stationM) + unitInLastPlace(stationP), metresPerRadian);
    outcome.work = passWork(n, outcome.corrections.size());

    result.designMatrix = a;
    result.coordCofactor = cofactorXX_;
    result.residual = residual_;
    result.angleCofactor = cofactor_;
    return result;
}

} // namespace resection
