#include "analysis/analysis.hpp"

#include "altimetry/height.hpp"
#include "base/run_stop.hpp"
#include "matrix/matrix.hpp"
#include "planimetry/position.hpp"
#include "precision/chi_square.hpp"
#include "report/messages.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

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

// The global test of readings of one precision sigma from v^T v.
GlobalTest testOfSquares(double sumOfSquares, int degreesOfFreedom, double sigma) {
    PassOutcome outcome;
    outcome.statistic = sumOfSquares / (sigma * sigma);
    outcome.verdict = chiSquareVerdict(outcome.statistic, degreesOfFreedom);
    return globalTest(outcome, degreesOfFreedom, sigma);
}

// Up to this many readings every one is left out in turn when a gross error
// is sought; beyond, only those with the largest |w|, since one gross error
// among so many readings leaves the adjustment of all of them sound enough
// for the w-tests to point at it.
constexpr int everyReadingUpTo = 40;
constexpr int largestWCandidates = 10;

// The readings to leave out in turn (1-based): all of them for a few
// points, else those with the largest scores (|w|, or the misfit at the
// consensus station where no adjustment of all readings converged).
std::vector<int> candidatesOf(const std::vector<double>& scores, int count) {
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 1);
    if (count <= everyReadingUpTo || scores.size() != order.size()) {
        return order;
    }
    std::partial_sort(order.begin(), order.begin() + largestWCandidates, order.end(),
                      [&scores](int a, int b) {
                          return scores[static_cast<std::size_t>(a - 1)] >
                                 scores[static_cast<std::size_t>(b - 1)];
                      });
    order.resize(largestWCandidates);
    return order;
}

std::vector<double> absoluteW(const std::vector<ReadingTest>& tests) {
    std::vector<double> scores;
    for (const ReadingTest& t : tests) {
        scores.push_back(std::fabs(t.w));
    }
    return scores;
}

// How far each reading is from what the consensus station and orientation
// give it, radians.
std::vector<double> misfitsAt(const RunContext& ctx, const ConsensusStation& s) {
    std::vector<double> scores;
    for (int i = 1; i <= ctx.pointCount; ++i) {
        const double az =
            std::atan2(ctx.pointCoords(i, 1) - s.stationM, ctx.pointCoords(i, 2) - s.stationP);
        scores.push_back(std::fabs(foldedAngle(ctx.directionReading(i) - (az - s.orientation))));
    }
    return scores;
}

// Which reading holds the gross error, from the adjustments without each
// candidate. One whose absence makes the rest pass the global test, and only
// one: that reading. Several: each explains the residuals alone, and they
// are listed, the smallest v^T P v without it first. None (more errors, or a
// precision too optimistic): those whose v^T P v without them lies within
// the 95 % point of one degree of freedom of the smallest, the likelihood
// ratio that no single test can beat.
Suspect decideSuspect(const std::vector<Readjustment>& leftOut) {
    std::vector<int> done;
    std::vector<int> passing;
    for (std::size_t i = 0; i < leftOut.size(); ++i) {
        if (leftOut[i].done) {
            done.push_back(static_cast<int>(i) + 1);
            if (leftOut[i].test.accepted) {
                passing.push_back(static_cast<int>(i) + 1);
            }
        }
    }
    const auto form = [&leftOut](int k) {
        return leftOut[static_cast<std::size_t>(k - 1)].test.quadraticForm;
    };
    const auto byForm = [&form](int a, int b) { return form(a) < form(b); };
    Suspect s;
    if (done.empty()) {
        return s;
    }
    std::vector<int> chosen = passing;
    if (chosen.empty()) {
        const int best = *std::min_element(done.begin(), done.end(), byForm);
        const double margin = chiSquare95(1);
        for (int k : done) {
            if (form(k) <= form(best) + margin) {
                chosen.push_back(k);
            }
        }
    }
    std::sort(chosen.begin(), chosen.end(), byForm);
    s.reading = chosen.front();
    if (chosen.size() == 1) {
        s.kind = Suspect::Kind::Flagged;
    } else {
        s.kind = Suspect::Kind::Tied;
        s.sharing = chosen;
    }
    return s;
}

// The directions without reading 'left', from (startM, startP) and, where
// that fails or leaves the test rejecting, from the consensus station too;
// the better of the two. The reading left out is then compared with the
// direction that station and orientation give it: with the other readings
// free of error this is its error exactly, where -v / r is exact only for a
// linear model (it strays by a per cent or more for errors of several
// degrees).
Readjustment withoutDirection(const RunContext& ctx, const PlanimetricAnalysis& a, int left,
                              double startM, double startP, const ConsensusStation& consensus) {
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
    DirectionAdjustment d = adjustDirections(coords, readings, a.sigma, startM, startP);
    const auto passes = [&a, n](const DirectionAdjustment& x) {
        return x.converged &&
               chiSquareVerdict(x.sumOfSquares / (a.sigma * a.sigma), n - 3) == Verdict::Accepted;
    };
    if (!passes(d) && consensus.found &&
        (consensus.stationM != startM || consensus.stationP != startP)) {
        DirectionAdjustment e =
            adjustDirections(coords, readings, a.sigma, consensus.stationM, consensus.stationP);
        if (e.converged && (!d.converged || e.sumOfSquares < d.sumOfSquares)) {
            d = std::move(e);
        }
    }
    if (!d.converged) {
        r.failure = "o ajustamento das outras leituras nao convergiu.";
        return r;
    }
    r.done = true;
    r.stationM = d.stationM;
    r.stationP = d.stationP;
    r.shift = std::hypot(d.stationM - a.stationM, d.stationP - a.stationP);
    r.positionSigma =
        std::fabs(a.sigma) * std::sqrt(std::max(0.0, d.unitCofactor(1, 1) + d.unitCofactor(2, 2)));
    r.test = testOfSquares(d.sumOfSquares, n - 3, a.sigma);
    const double dm = ctx.pointCoords(left, 1) - d.stationM;
    const double dp = ctx.pointCoords(left, 2) - d.stationP;
    r.discrepancy = foldedAngle(ctx.directionReading(left) - (std::atan2(dm, dp) - d.orientation));
    return r;
}

// The zenith angle that a height gives observation i, with the curvature
// term: the sighted point appears lower by curvature x d^2.
double zenithAngle(const RunContext& ctx, int i, double height, double curvature, double d) {
    const double delta =
        ((ctx.zenithPointHeight(i) + ctx.signalHeight(i)) - height) - ctx.instrumentHeight;
    return std::atan2(d, delta - curvature * d * d);
}

Readjustment withoutZenith(const RunContext& ctx, const HeightAnalysis& h, int left) {
    Readjustment r;
    const HeightFit fit = fitHeight(ctx, left, 0.0, h.stationHeight);
    if (!fit.converged) {
        r.failure = "o ajustamento das outras leituras nao convergiu.";
        return r;
    }
    r.done = true;
    r.stationHeight = fit.height;
    r.shift = std::fabs(fit.height - h.stationHeight);
    r.test = testOfSquares(fit.sumOfSquares, ctx.zenithCount - 2, h.sigma);
    const double d =
        std::hypot(ctx.zenithPointM(left) - ctx.stationM, ctx.zenithPointP(left) - ctx.stationP);
    r.discrepancy = ctx.zenithReading(left) - zenithAngle(ctx, left, fit.height, 0.0, d);
    return r;
}

} // namespace

HeightFit fitHeight(const RunContext& ctx, int left, double curvature, double start) {
    HeightFit fit;
    const int n = ctx.zenithCount;
    std::vector<double> sight(static_cast<std::size_t>(n) + 1);
    for (int i = 1; i <= n; ++i) {
        sight[static_cast<std::size_t>(i)] =
            std::hypot(ctx.zenithPointM(i) - ctx.stationM, ctx.zenithPointP(i) - ctx.stationP);
    }
    double height = start;
    // One unknown, readings of one weight: H += sum a_i l_i / sum a_i^2.
    for (int iteration = 1; iteration <= 50; ++iteration) {
        double normal = 0.0, right = 0.0;
        for (int i = 1; i <= n; ++i) {
            if (i == left) {
                continue;
            }
            const double d = sight[static_cast<std::size_t>(i)];
            const double delta = ((ctx.zenithPointHeight(i) + ctx.signalHeight(i)) - height) -
                                 ctx.instrumentHeight - curvature * d * d;
            const double a = d / (delta * delta + d * d);
            const double l = ctx.zenithReading(i) - std::atan2(d, delta);
            normal += a * a;
            right += a * l;
        }
        const double x = right / normal;
        height += x;
        if (!std::isfinite(height)) {
            return fit;
        }
        if (std::fabs(x) <= std::max(1e-10, 1e-15 * std::fabs(height))) {
            fit.converged = true;
            fit.cofactor = 1.0 / normal;
            break;
        }
    }
    if (!fit.converged) {
        return fit;
    }
    fit.height = height;
    for (int i = 1; i <= n; ++i) {
        if (i != left) {
            const double v =
                zenithAngle(ctx, i, height, curvature, sight[static_cast<std::size_t>(i)]) -
                ctx.zenithReading(i);
            fit.sumOfSquares += v * v;
        }
    }
    return fit;
}

PlanimetricAnalysis analysePlanimetry(RunContext& ctx) {
    PlanimetricAnalysis a;
    const int n = ctx.pointCount;
    a.sigma = ctx.aprioriPrecision;
    a.tested = ctx.redundancy >= 1;
    findFirstPosition(ctx);
    bool programDone = false;
    if (a.tested) {
        // The program's adjustment at the a priori precision, in one pass.
        // Where a gross error makes it stop, the analysis goes on without it.
        try {
            const PassOutcome outcome = planimetricPass(ctx, a.sigma);
            a.stationM = ctx.adjustedM;
            a.stationP = ctx.adjustedP;
            a.test = globalTest(outcome, ctx.redundancy, a.sigma);
            // Its weights hold sigma, so Qxx is the a priori covariance.
            const Matrix& q = ctx.coordCofactor;
            a.prioriMM = q(1, 1);
            a.prioriPP = q(2, 2);
            a.prioriMP = q(1, 2);
            programDone = std::isfinite(a.test.quadraticForm);
        } catch (const RunStop& stop) {
            a.adjustmentFailure = stop.consoleText();
        } catch (const SingularMatrix& singular) {
            a.adjustmentFailure = stopMessage(singular);
        }
        if (!programDone && a.adjustmentFailure.empty()) {
            a.adjustmentFailure = stopMessage(SingularMatrix());
        }
    } else {
        // Three points: the closed-form position is the solution.
        a.stationM = ctx.stationM;
        a.stationP = ctx.stationP;
        programDone = true;
    }

    a.directions = adjustDirections(ctx.pointCoords, ctx.directionReading, a.sigma,
                                    ctx.approximateM, ctx.approximateP);
    // The station most readings agree with: the start where the first
    // position has failed, and a second start for the adjustments without
    // one reading.
    ConsensusStation consensus;
    const bool seekError = a.tested && ctx.redundancy >= 2;
    if (seekError || !a.directions.converged) {
        consensus = consensusStation(ctx.pointCoords, ctx.directionReading, a.sigma);
    }
    if ((!a.directions.converged || !programDone) && consensus.found) {
        DirectionAdjustment d = adjustDirections(ctx.pointCoords, ctx.directionReading, a.sigma,
                                                 consensus.stationM, consensus.stationP);
        if (d.converged &&
            (!a.directions.converged || d.sumOfSquares < a.directions.sumOfSquares)) {
            a.directions = std::move(d);
            a.fromConsensus = true;
        }
    }
    const double s2 = a.sigma * a.sigma;
    a.allAdjusted = programDone || a.directions.converged;
    if (!programDone && a.directions.converged) {
        a.stationM = a.directions.stationM;
        a.stationP = a.directions.stationP;
        if (a.tested) {
            a.test = testOfSquares(a.directions.sumOfSquares, ctx.redundancy, a.sigma);
        }
    } else if (!a.allAdjusted && consensus.found) {
        a.stationM = consensus.stationM;
        a.stationP = consensus.stationP;
    }
    if ((!a.tested || !programDone) && a.directions.converged) {
        const Matrix& q = a.directions.unitCofactor;
        a.prioriMM = s2 * q(1, 1);
        a.prioriPP = s2 * q(2, 2);
        a.prioriMP = s2 * q(1, 2);
    }
    a.priori = errorEllipse(a.prioriMM, a.prioriPP, a.prioriMP);
    if (a.tested && a.allAdjusted) {
        a.posteriori = scaled(a.priori, std::sqrt(a.test.quadraticForm / ctx.redundancy));
    }

    if (a.tested && a.directions.converged && !seekError) {
        // One redundancy: every |w| is the same, and leaving a reading out
        // leaves nothing to test the rest with.
        a.suspect = findSuspect(a.directions.readings, wTestCritical);
    } else if (seekError) {
        // A |w| above the critical value while the global test accepts is
        // the chance of testing many readings at once: no reading is named.
        const Suspect byW = !a.directions.converged ? Suspect{Suspect::Kind::Flagged, 0, {}}
                            : a.allAdjusted && a.test.accepted
                                ? Suspect{}
                                : findSuspect(a.directions.readings, wTestCritical);
        if (byW.kind != Suspect::Kind::None) {
            a.leftOut.resize(static_cast<std::size_t>(n));
            const double startM = a.allAdjusted ? a.stationM : consensus.stationM;
            const double startP = a.allAdjusted ? a.stationP : consensus.stationP;
            const std::vector<double> scores = a.directions.converged
                                                   ? absoluteW(a.directions.readings)
                                               : consensus.found ? misfitsAt(ctx, consensus)
                                                                 : std::vector<double>{};
            for (int k : candidatesOf(scores, n)) {
                a.leftOut[static_cast<std::size_t>(k - 1)] =
                    withoutDirection(ctx, a, k, startM, startP, consensus);
            }
            a.suspect = decideSuspect(a.leftOut);
            if (a.suspect.kind == Suspect::Kind::None && a.directions.converged) {
                a.suspect = byW; // no adjustment without one reading converged
            }
        }
    }
    if (a.suspect.kind == Suspect::Kind::Flagged && !a.leftOut.empty()) {
        a.without = a.leftOut[static_cast<std::size_t>(a.suspect.reading - 1)];
    }

    const Matrix& c = ctx.pointCoords;
    a.circle =
        dangerCircle(c(1, 1), c(1, 2), c(2, 1), c(2, 2), c(3, 1), c(3, 2), a.stationM, a.stationP);
    for (int i = 1; i <= n; ++i) {
        a.meanSight += std::hypot(c(i, 1) - a.stationM, c(i, 2) - a.stationP) / n;
    }
    a.medianSight = medianSight(c, a.stationM, a.stationP);
    if (a.directions.converged) {
        a.strength = strengthFigure(a.directions.unitCofactor, a.medianSight);
    }
    if (a.suspect.kind == Suspect::Kind::Tied && a.directions.converged) {
        a.separation = separatingSight(c, a.stationM, a.stationP, a.directions.unitCofactor,
                                       a.suspect.sharing[0], a.suspect.sharing[1], a.medianSight);
    }
    // Three readings fix the station and the orientation without residuals:
    // the adjustment of the first three alone lands on their closed-form
    // solution, and its cofactor tells how well they fix it.
    Matrix three(3, 2);
    Matrix threeReadings(3, 1);
    for (int i = 1; i <= 3; ++i) {
        three(i, 1) = c(i, 1);
        three(i, 2) = c(i, 2);
        threeReadings(i) = ctx.directionReading(i);
    }
    const DirectionAdjustment firstThree =
        adjustDirections(three, threeReadings, a.sigma, a.stationM, a.stationP);
    if (firstThree.converged) {
        a.firstThreeStrength = strengthFigure(
            firstThree.unitCofactor, medianSight(three, firstThree.stationM, firstThree.stationP));
        a.firstThreeConverged = std::isfinite(a.firstThreeStrength);
    }
    return a;
}

HeightAnalysis analyseHeight(RunContext& ctx) {
    HeightAnalysis h;
    const int n = ctx.zenithCount;
    h.sigma = ctx.zenithPrecision;
    h.stationM = ctx.stationM;
    h.stationP = ctx.stationP;
    h.adjusted = n >= 2;
    if (!h.adjusted) {
        return h;
    }
    std::vector<double> residual(static_cast<std::size_t>(n) + 1);
    std::vector<double> design(static_cast<std::size_t>(n) + 1);
    try {
        // The program's height pass at the a priori precision.
        const PassOutcome outcome = heightPass(ctx, h.sigma);
        h.stationHeight = ctx.stationHeight;
        h.test = globalTest(outcome, n - 1, h.sigma);
        const double qh = ctx.heightCofactor(1, 1);
        h.prioriSigmaH = std::sqrt(qh);
        h.posterioriSigmaH = std::sqrt(qh * ctx.heightPosterioriVariance);
        for (int i = 1; i <= n; ++i) {
            residual[static_cast<std::size_t>(i)] = ctx.zenithResidual(i);
            design[static_cast<std::size_t>(i)] = ctx.heightDesign(i);
        }
    } catch (const RunStop& stop) {
        h.adjustmentFailure = stop.consoleText();
    } catch (const SingularMatrix& singular) {
        h.adjustmentFailure = stopMessage(singular);
    }
    if (!h.adjustmentFailure.empty()) {
        // The program starts from observation 1 alone, and a gross error in
        // it can make its iteration run away. The median of the heights each
        // observation gives alone is a start no single wrong reading moves
        // far.
        std::vector<double> single;
        for (int i = 1; i <= n; ++i) {
            const double d =
                std::hypot(ctx.zenithPointM(i) - ctx.stationM, ctx.zenithPointP(i) - ctx.stationP);
            ctx.horizontalDistance(i) = d;
            single.push_back(
                ((ctx.zenithPointHeight(i) + ctx.signalHeight(i)) - ctx.instrumentHeight) -
                d / std::tan(ctx.zenithReading(i)));
        }
        std::nth_element(single.begin(), single.begin() + n / 2, single.end());
        const HeightFit fit = fitHeight(ctx, 0, 0.0, single[static_cast<std::size_t>(n / 2)]);
        if (!fit.converged) {
            throw RunStop(stopMessage(Stop(StopReason::HeightNotConverging)), exitOrderly);
        }
        h.stationHeight = fit.height;
        ctx.stationHeight = fit.height;
        h.test = testOfSquares(fit.sumOfSquares, n - 1, h.sigma);
        h.prioriSigmaH = std::fabs(h.sigma) * std::sqrt(fit.cofactor);
        h.posterioriSigmaH = h.prioriSigmaH * std::sqrt(h.test.quadraticForm / (n - 1));
        for (int i = 1; i <= n; ++i) {
            const double d = ctx.horizontalDistance(i);
            const double delta = ((ctx.zenithPointHeight(i) + ctx.signalHeight(i)) - fit.height) -
                                 ctx.instrumentHeight;
            design[static_cast<std::size_t>(i)] = d / (delta * delta + d * d);
            residual[static_cast<std::size_t>(i)] =
                zenithAngle(ctx, i, fit.height, 0.0, d) - ctx.zenithReading(i);
        }
    }

    // With weights all 1 / sigma^2 the redundancy numbers are
    // 1 - a_i^2 / sum a_j^2.
    double sumA2 = 0.0;
    for (int i = 1; i <= n; ++i) {
        sumA2 += design[static_cast<std::size_t>(i)] * design[static_cast<std::size_t>(i)];
    }
    for (int i = 1; i <= n; ++i) {
        const double a = design[static_cast<std::size_t>(i)];
        h.readings.push_back(
            testReading(residual[static_cast<std::size_t>(i)], 1.0 - a * a / sumA2, h.sigma));
    }
    if (!h.test.accepted) {
        h.suspect = findSuspect(h.readings, wTestCritical);
    }
    if (h.suspect.kind != Suspect::Kind::None && n >= 3) {
        h.leftOut.resize(static_cast<std::size_t>(n));
        for (int k : candidatesOf(absoluteW(h.readings), n)) {
            h.leftOut[static_cast<std::size_t>(k - 1)] = withoutZenith(ctx, h, k);
        }
        const Suspect decided = decideSuspect(h.leftOut);
        if (decided.kind != Suspect::Kind::None) {
            h.suspect = decided;
        }
        if (h.suspect.kind == Suspect::Kind::Flagged) {
            h.without = h.leftOut[static_cast<std::size_t>(h.suspect.reading - 1)];
        }
    }
    const HeightFit curved = fitHeight(ctx, 0, curvatureRefractionFactor, h.stationHeight);
    h.curvatureAdjusted = curved.converged;
    h.curvatureHeight = curved.height;
    h.curvatureDifference = curved.height - h.stationHeight;
    return h;
}

HeightAnalysis analyseHeight(RunContext& ctx, const PlanimetricAnalysis& plan) {
    std::string withoutDirection;
    std::string notJudged;
    // How uncertain the plane position of the heights is, metres: the
    // standard error of the station without the suspect, and for tied
    // candidates how far apart their stations lie.
    double uncertainty = 0.0;
    if (plan.suspect.kind == Suspect::Kind::Flagged && plan.without.done) {
        ctx.stationM = plan.without.stationM;
        ctx.stationP = plan.without.stationP;
        withoutDirection = ctx.pointName[static_cast<std::size_t>(plan.suspect.reading)];
        uncertainty = plan.without.positionSigma;
    } else if (plan.suspect.kind == Suspect::Kind::Tied) {
        const Readjustment& first =
            plan.leftOut[static_cast<std::size_t>(plan.suspect.sharing.front() - 1)];
        ctx.stationM = first.stationM;
        ctx.stationP = first.stationP;
        withoutDirection = ctx.pointName[static_cast<std::size_t>(plan.suspect.sharing.front())];
        for (int k : plan.suspect.sharing) {
            const Readjustment& r = plan.leftOut[static_cast<std::size_t>(k - 1)];
            uncertainty =
                std::max({uncertainty, r.positionSigma,
                          std::hypot(r.stationM - first.stationM, r.stationP - first.stationP)});
        }
    } else if (!plan.allAdjusted) {
        ctx.stationM = plan.stationM;
        ctx.stationP = plan.stationP;
        notJudged = "a estacao nao foi ajustada com as leituras azimutais";
    } else if (!plan.adjustmentFailure.empty()) {
        ctx.stationM = plan.stationM;
        ctx.stationP = plan.stationP;
    }
    HeightAnalysis h = analyseHeight(ctx);
    h.withoutDirection = withoutDirection.substr(0, withoutDirection.find_last_not_of(' ') + 1);
    // A move s of the station across a sight of length d and height
    // difference D turns its zenith angle by s D / (d^2 + D^2). Where the
    // position's uncertainty turns some zenith angle by half the readings'
    // precision or more, a w-test could blame the zenith reading for what the
    // station holds: the zenith readings are not judged.
    if (notJudged.empty() && !withoutDirection.empty() && h.adjusted) {
        double turn = 0.0;
        for (int i = 1; i <= ctx.zenithCount; ++i) {
            const double d = ctx.horizontalDistance(i);
            const double delta =
                ((ctx.zenithPointHeight(i) + ctx.signalHeight(i)) - h.stationHeight) -
                ctx.instrumentHeight;
            turn = std::max(turn, uncertainty * std::fabs(delta) / (d * d + delta * delta));
        }
        if (!(turn < 0.5 * std::fabs(h.sigma))) {
            notJudged = plan.suspect.kind == Suspect::Kind::Tied
                            ? "nao se sabe qual leitura azimutal esta errada"
                            : "sem a leitura azimutal " + h.withoutDirection +
                                  " a posicao da estacao fica incerta";
        }
    }
    h.notJudged = notJudged;
    if (!notJudged.empty()) {
        h.suspect = Suspect{};
        h.without = Readjustment{};
        h.leftOut.clear();
    }
    return h;
}

} // namespace resection
