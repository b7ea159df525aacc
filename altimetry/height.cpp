#include "altimetry/height.hpp"

#include "base/constants.hpp"
#include "base/stop.hpp"
#include "precision/chi_square.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace resection {

namespace {

// row (1 x n) times the diagonal weight matrix w I. Of the running sum
// 0 + row(1) p(1, j) + ... + row(n) p(n, j) only the term k = j is not an
// exact zero, and adding exact zeros changes no sum: the result is that of
// the full product at a cost of order n instead of n^2.
void timesWeight(const Matrix& row, double weight, Matrix& result) {
    for (int j = 1; j <= row.cols(); ++j) {
        result(1, j) = 0.0 + row(1, j) * weight;
    }
}

// The cost of a height pass in seconds, calibrated as that of the position
// (the least costs times 1.4): each solution and the residuals of order n.
double heightPassWork(int n, std::size_t solutions) {
    const double count = n;
    return static_cast<double>(solutions + 1) * (0.21e-6 + 2.94e-8 * count);
}

} // namespace

HeightAdjustment::HeightAdjustment(const ZenithSection& section, double tolerance, double stationM,
                                   double stationP)
    : section_(section), tolerance_(tolerance), stationM_(stationM), stationP_(stationP),
      critical_(section.count >= 2 ? chiSquare95(section.count - 1) : 0.0) {}

double HeightAdjustment::weight(double sigma) {
    const double variance = sigma * sigma;
    const double cofactor = variance / varianceFactorApriori;
    if (cofactor == 0.0) { // every row of the cofactor matrix is zero
        throw SingularMatrix();
    }
    return 1.0 / cofactor;
}

double HeightAdjustment::startingHeight() const {
    const ZenithSection& z = section_;
    const double dm1 = z.pointM(1) - stationM_;
    const double dp1 = z.pointP(1) - stationP_;
    const double d1 = std::sqrt(dm1 * dm1 + dp1 * dp1);
    return (((z.pointHeight(1) - z.instrumentHeight) + z.signalHeight(1)) -
            d1 / std::tan(z.reading(1))) -
           curvatureRefractionFactor * (d1 * d1);
}

HeightPass HeightAdjustment::pass(double sigma) {
    const ZenithSection& z = section_;
    const int n = z.count;
    const double p = weight(sigma);
    double h = startingHeight();

    HeightPass result;
    Matrix& a = result.design;
    a = Matrix(n, 1);
    Matrix l(n, 1);
    Matrix designT(1, n);
    Matrix designTWeight(1, n);
    Matrix normal(1, 1);
    Matrix u(1, 1);
    Matrix cofactor(1, 1);
    Matrix x(1, 1);
    PassOutcome& outcome = result.search;
    outcome.closestDecision = std::numeric_limits<double>::infinity();
    int iterations = 1;
    while (true) {
        bool anyDistance = false;
        for (int i = 1; i <= n; ++i) {
            const double dm = z.pointM(i) - stationM_;
            const double dp = z.pointP(i) - stationP_;
            const double d = std::sqrt(dm * dm + dp * dp);
            anyDistance = anyDistance || d != 0.0;
            const double delta = ((z.pointHeight(i) + z.signalHeight(i)) - h) - z.instrumentHeight;
            // Derivative of the computed zenith angle atan2(d, delta) by H.
            a(i) = d / (delta * delta + d * d);
            l(i) = z.reading(i) - std::atan2(d, delta);
        }
        matrixTranspose(n, 1, a, designT);
        timesWeight(designT, p, designTWeight);
        matrixProduct(1, n, 1, designTWeight, a, normal);
        matrixProduct(1, n, 1, designTWeight, l, u);
        if (normal(1, 1) == 0.0) {
            // Either no sight has a horizontal distance, or the height has run
            // so far from the points (a first reading far off, whose starting
            // value the iteration overshoots from, or one of 1e-300 whose
            // tangent puts the start some 1e300 m away) that every
            // derivative d / (delta^2 + d^2) has vanished.
            throw Stop(anyDistance ? StopReason::HeightDiverged : StopReason::NoHorizontalDistance);
        }
        cofactor(1, 1) = 1.0 / normal(1, 1);
        matrixProduct(1, 1, 1, cofactor, u, x);
        // A correction that does not converge and is too small to move the
        // height is a fixed point: every later solution repeats it, up to the
        // eleventh, which ends the run; so it ends here.
        const bool fixedPoint = h + x(1, 1) == h && !(std::fabs(x(1, 1)) <= tolerance_);
        h = h + x(1, 1);
        if (fixedPoint) {
            throw Stop(StopReason::HeightNotConverging);
        }
        // The counter is raised before the convergence test, so it ends one
        // above the number of corrections; an eleventh correction ends the
        // run.
        if (iterations > maxIterations) {
            throw Stop(StopReason::HeightNotConverging);
        }
        iterations = iterations + 1;
        outcome.corrections.push_back(std::fabs(x(1, 1)));
        outcome.closestDecision =
            std::min(outcome.closestDecision, std::fabs(std::fabs(x(1, 1)) - tolerance_));
        // Not strict, unlike the planimetric test: a correction equal to the
        // tolerance has converged.
        if (std::fabs(x(1, 1)) <= tolerance_) {
            break;
        }
    }
    result.iterations = iterations;
    result.stationHeight = h;
    result.cofactor = cofactor(1, 1);

    Matrix ax(n, 1);
    matrixProduct(n, 1, 1, a, x, ax);
    Matrix& v = result.residual;
    v = Matrix(n, 1);
    Matrix vt(1, n);
    for (int i = 1; i <= n; ++i) {
        v(i) = ax(i) - l(i);
        vt(1, i) = v(i);
    }
    Matrix vtp(1, n);
    timesWeight(vt, p, vtp);
    Matrix vtpv(1, 1);
    matrixProduct(1, n, 1, vtp, v, vtpv);
    result.posterioriVariance = vtpv(1, 1) / (n - 1);
    outcome.statistic = result.posterioriVariance * (n - 1) / varianceFactorApriori;
    outcome.verdict = verdictAgainst(outcome.statistic, critical_);
    // How far rounding alone can move a height correction: a unit in the last
    // place of the height, and the misclosures' rounding carried into the
    // height by sqrt(Q_H) / sigma metres per radian.
    outcome.rounding = correctionRounding(unitInLastPlace(h),
                                          std::sqrt(std::fabs(result.cofactor)) / std::fabs(sigma));
    outcome.work = heightPassWork(n, outcome.corrections.size());
    return result;
}

HeightSearch searchZenithPrecision(const ZenithSection& section, const SurveyHeader& header,
                                   double stationM, double stationP,
                                   const ComputeOptions& options) {
    HeightAdjustment adjustment(section, header.tolerance, stationM, stationP);
    HeightSearch search;
    if (section.count <= 1) {
        // Nothing to adjust: the weights (a zero precision still stops the
        // run there) and the starting value, and the run ends without a
        // height.
        HeightAdjustment::weight(header.aprioriPrecision);
        search.last.stationHeight = adjustment.startingHeight();
        return search;
    }
    // The last pass the search computes is the last pass of its walk.
    const SearchResult result = searchReadingPrecision(
        [&](double sigma) {
            search.last = adjustment.pass(sigma);
            return search.last.search;
        },
        searchSettings(header.aprioriPrecision, header.unit, options), adjustment.criticalValue(),
        Readings::Zeniths);
    search.adjusted = true;
    search.precision = result.precision;
    search.counts = result.counts;
    return search;
}

HeightResults heightResults(const ZenithSection& section, const HeightPass& last) {
    HeightResults r;
    const int n = section.count;
    const double s02 = last.posterioriVariance;
    r.iterations = last.iterations;
    r.stationHeight = last.stationHeight;
    for (int i = 1; i <= n; ++i) {
        r.residual.push_back(last.residual(i));
        r.adjustedReading.push_back(section.reading(i) + last.residual(i));
    }
    const double heightVariance = last.cofactor * s02;
    r.heightDeviation = std::sqrt(heightVariance);

    // Only the diagonal of (180/pi)^2 s0^2 A Q_H A^T is printed; each element
    // is formed exactly as in the full product (A^T(1, i) is A(i) copied).
    const double qh = last.cofactor;
    const double toDegrees2 = (180.0 / pi) * (180.0 / pi);
    for (int i = 1; i <= n; ++i) {
        const double aq = 0.0 + last.design(i) * qh;
        const double e = 0.0 + aq * last.design(i);
        const double c = toDegrees2 * (e * s02);
        r.adjustedReadingDeviation.push_back(standardDeviation(c));
    }
    return r;
}

} // namespace resection
