#include "analysis/analysis.hpp"

#include "altimetry/height.hpp"
#include "base/run_stop.hpp"
#include "planimetry/planimetric_pass.hpp"
#include "planimetry/position.hpp"
#include "precision/chi_square.hpp"

#include <cmath>
#include <limits>

namespace resection {

namespace {

GlobalTest globalTest(const PassOutcome& outcome, int degreesOfFreedom, double sigma) {
    GlobalTest t;
    t.quadraticForm = outcome.statistic;
    t.degreesOfFreedom = degreesOfFreedom;
    t.criticalValue = chiSquare95(degreesOfFreedom);
    t.accepted = outcome.verdict == Verdict::Accepted;
    t.posterioriSigma = std::fabs(sigma) * std::sqrt(outcome.statistic / degreesOfFreedom);
    t.changeSigma = std::fabs(sigma) * std::sqrt(outcome.statistic / t.criticalValue);
    return t;
}

// The directions without reading 'left', from the station of all of them.
// The reading left out is then compared with the direction that station and
// orientation give it: with the other readings free of error this is its
// error exactly, where -v / r is exact only for a linear model (it strays by
// a per cent or more for errors of several degrees).
Readjustment withoutDirection(const RunContext& ctx, const PlanimetricAnalysis& a, int left) {
    const int n = ctx.pointCount - 1;
    Matrix coords(n, 2);
    Matrix readings(n, 1);
    for (int i = 1, k = 1; i <= ctx.pointCount; ++i) {
        if (i != left) {
            coords(k, 1) = ctx.pointCoords(i, 1);
            coords(k, 2) = ctx.pointCoords(i, 2);
            readings(k) = ctx.directionReading(i);
            ++k;
        }
    }
    Readjustment r;
    const DirectionAdjustment d =
        adjustDirections(coords, readings, a.sigma, a.stationM, a.stationP);
    if (!d.converged) {
        r.failure = "o ajustamento das outras leituras nao convergiu.";
        return r;
    }
    r.done = true;
    r.stationM = d.stationM;
    r.stationP = d.stationP;
    r.shift = std::hypot(d.stationM - a.stationM, d.stationP - a.stationP);
    PassOutcome outcome;
    outcome.statistic = d.sumOfSquares / (a.sigma * a.sigma);
    outcome.verdict = chiSquareVerdict(outcome.statistic, n - 3);
    r.test = globalTest(outcome, n - 3, a.sigma);
    const double dm = ctx.pointCoords(left, 1) - d.stationM;
    const double dp = ctx.pointCoords(left, 2) - d.stationP;
    r.discrepancy = foldedAngle(ctx.directionReading(left) - (std::atan2(dm, dp) - d.orientation));
    return r;
}

Readjustment withoutZenith(const RunContext& ctx, int left) {
    RunContext reduced;
    reduced.unit = ctx.unit;
    reduced.tolerance = ctx.tolerance;
    reduced.stationM = ctx.stationM;
    reduced.stationP = ctx.stationP;
    reduced.instrumentHeight = ctx.instrumentHeight;
    reduced.zenithCount = ctx.zenithCount - 1;
    sizeZenithArrays(reduced);
    for (int i = 1, k = 1; i <= ctx.zenithCount; ++i) {
        if (i == left) {
            continue;
        }
        reduced.zenithPointName[static_cast<std::size_t>(k)] =
            ctx.zenithPointName[static_cast<std::size_t>(i)];
        reduced.zenithPointM(k) = ctx.zenithPointM(i);
        reduced.zenithPointP(k) = ctx.zenithPointP(i);
        reduced.zenithPointHeight(k) = ctx.zenithPointHeight(i);
        reduced.zenithReading(k) = ctx.zenithReading(i);
        reduced.signalHeight(k) = ctx.signalHeight(i);
        ++k;
    }
    Readjustment r;
    try {
        const PassOutcome outcome = heightPass(reduced, ctx.zenithPrecision);
        r.done = true;
        r.stationHeight = reduced.stationHeight;
        r.shift = std::fabs(r.stationHeight - ctx.stationHeight);
        r.test = globalTest(outcome, reduced.zenithCount - 1, ctx.zenithPrecision);
        // The zenith angle that height gives the observation left out.
        const double delta =
            ((ctx.zenithPointHeight(left) + ctx.signalHeight(left)) - r.stationHeight) -
            ctx.instrumentHeight;
        r.discrepancy = ctx.zenithReading(left) - std::atan2(ctx.horizontalDistance(left), delta);
    } catch (const RunStop& stop) {
        r.failure = stop.consoleText();
    } catch (const SingularMatrix& singular) {
        r.failure = singular.what();
    }
    return r;
}

} // namespace

PlanimetricAnalysis analysePlanimetry(RunContext& ctx) {
    PlanimetricAnalysis a;
    const int n = ctx.pointCount;
    a.sigma = ctx.aprioriPrecision;
    a.tested = ctx.redundancy >= 1;
    findFirstPosition(ctx);
    if (a.tested) {
        // The program's adjustment at the a priori precision, in one pass.
        const PassOutcome outcome = planimetricPass(ctx, a.sigma);
        a.stationM = ctx.adjustedM;
        a.stationP = ctx.adjustedP;
        a.test = globalTest(outcome, ctx.redundancy, a.sigma);
    } else {
        // Three points: the closed-form position is the solution.
        a.stationM = ctx.stationM;
        a.stationP = ctx.stationP;
    }

    a.directions = adjustDirections(ctx.pointCoords, ctx.directionReading, a.sigma,
                                    ctx.approximateM, ctx.approximateP);
    if (a.tested) {
        // The covariance of the program's adjustment: its weights hold sigma,
        // so Qxx is the a priori covariance of M and P.
        const Matrix& q = ctx.coordCofactor;
        a.prioriMM = q(1, 1);
        a.prioriPP = q(2, 2);
        a.prioriMP = q(1, 2);
    } else if (a.directions.converged) {
        const Matrix& q = a.directions.unitCofactor;
        const double s2 = a.sigma * a.sigma;
        a.prioriMM = s2 * q(1, 1);
        a.prioriPP = s2 * q(2, 2);
        a.prioriMP = s2 * q(1, 2);
    }
    a.priori = errorEllipse(a.prioriMM, a.prioriPP, a.prioriMP);
    if (a.tested) {
        a.posteriori = scaled(a.priori, std::sqrt(ctx.varianceFactor));
        if (a.directions.converged) {
            a.suspect = findSuspect(a.directions.readings, wTestCritical);
        }
    }
    // With one redundancy left out there is nothing to test the rest with,
    // and a flagged reading is never the only one of its |w| anyway.
    if (a.suspect.kind == Suspect::Kind::Flagged && ctx.redundancy >= 2) {
        a.without = withoutDirection(ctx, a, a.suspect.reading);
    }

    const Matrix& c = ctx.pointCoords;
    a.circle =
        dangerCircle(c(1, 1), c(1, 2), c(2, 1), c(2, 2), c(3, 1), c(3, 2), a.stationM, a.stationP);
    for (int i = 1; i <= n; ++i) {
        a.meanSight += std::hypot(c(i, 1) - a.stationM, c(i, 2) - a.stationP) / n;
    }
    if (a.directions.converged) {
        a.strength = strengthFigure(a.directions.unitCofactor, a.meanSight);
    }
    // Three readings fix the station and the orientation without residuals:
    // the adjustment of the first three alone lands on their closed-form
    // solution, and its cofactor tells how well they fix it.
    Matrix three(3, 2);
    Matrix threeReadings(3, 1);
    double threeSight = 0.0;
    for (int i = 1; i <= 3; ++i) {
        three(i, 1) = c(i, 1);
        three(i, 2) = c(i, 2);
        threeReadings(i) = ctx.directionReading(i);
        threeSight += std::hypot(c(i, 1) - a.stationM, c(i, 2) - a.stationP) / 3.0;
    }
    const DirectionAdjustment firstThree =
        adjustDirections(three, threeReadings, a.sigma, a.stationM, a.stationP);
    a.firstThreeStrength = firstThree.converged
                               ? strengthFigure(firstThree.unitCofactor, threeSight)
                               : std::numeric_limits<double>::infinity();
    return a;
}

HeightAnalysis analyseHeight(RunContext& ctx) {
    HeightAnalysis h;
    const int n = ctx.zenithCount;
    h.sigma = ctx.zenithPrecision;
    h.adjusted = n >= 2;
    if (!h.adjusted) {
        return h;
    }
    const PassOutcome outcome = heightPass(ctx, h.sigma);
    h.stationHeight = ctx.stationHeight;
    h.test = globalTest(outcome, n - 1, h.sigma);
    const double qh = ctx.heightCofactor(1, 1);
    h.prioriSigmaH = std::sqrt(qh);
    h.posterioriSigmaH = std::sqrt(qh * ctx.heightPosterioriVariance);

    // With weights all 1 / sigma^2 the redundancy numbers are
    // 1 - a_i^2 / sum a_j^2.
    double sumA2 = 0.0;
    for (int i = 1; i <= n; ++i) {
        sumA2 += ctx.heightDesign(i) * ctx.heightDesign(i);
    }
    for (int i = 1; i <= n; ++i) {
        const double a = ctx.heightDesign(i);
        h.readings.push_back(testReading(ctx.zenithResidual(i), 1.0 - a * a / sumA2, h.sigma));
    }
    h.suspect = findSuspect(h.readings, wTestCritical);
    if (h.suspect.kind == Suspect::Kind::Flagged && n >= 3) {
        h.without = withoutZenith(ctx, h.suspect.reading);
    }
    return h;
}

} // namespace resection
