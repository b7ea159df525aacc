#include "analysis/analysis.hpp"

#include "altimetry/height.hpp"
#include "base/constants.hpp"
#include "base/run_stop.hpp"
#include "base/text.hpp"
#include "matrix/matrix.hpp"
#include "planimetry/position.hpp"
#include "precision/chi_square.hpp"
#include "report/messages.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <optional>

namespace resection {

bool StationEstimate::posterioriShown() const {
    return redundancy >= 1 && (!testable || (tested && !test.accepted));
}

ErrorEllipse StationEstimate::ellipse95() const {
    return posterioriShown() ? scaled(posteriori, posteriori95Factor(redundancy))
                             : scaled(priori, confidence95Factor());
}

double HeightAnalysis::analysedHeight() const {
    return suspect.kind == Suspect::Kind::Flagged && without.done ? without.stationHeight
                                                                  : stationHeight;
}

namespace {

// Up to this many readings every one is left out in turn when a gross error
// is sought; beyond, only those with the largest |w|, since one gross error
// among so many readings leaves the adjustment of all of them sound enough
// for the w-tests to point at it.
constexpr int everyReadingUpTo = 40;
constexpr int largestWCandidates = 10;

// The readings to leave out in turn (1-based): all of them for a few
// points, else those with the largest scores (|w|, or the misfit at the
// consensus station where no adjustment of all readings is sound).
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

bool anyStandsOut(const std::vector<ReadingTest>& tests) {
    return std::any_of(tests.begin(), tests.end(), [](const ReadingTest& t) {
        return t.tested && std::fabs(t.w) > wTestCritical;
    });
}

// How far each reading is from what the consensus station and orientation
// give it, radians.
std::vector<double> misfitsAt(const Matrix& coords, const Matrix& readings,
                              const ConsensusStation& s) {
    std::vector<double> scores;
    for (int i = 1; i <= coords.rows(); ++i) {
        const double az = std::atan2(coords(i, 1) - s.stationM, coords(i, 2) - s.stationP);
        scores.push_back(std::fabs(foldedAngle(readings(i) - (az - s.orientation))));
    }
    return scores;
}

bool sound(const DirectionAdjustment& d, const Matrix& coords) {
    return d.converged && plausibleStation(coords, d.stationM, d.stationP);
}

// A station and what stands on it, from the figures of its adjustment.
StationEstimate estimateOf(const AdjustmentFigures& f, const Matrix& unitCofactor, double m,
                           double p, double orientation, int redundancy, double sigma) {
    StationEstimate e;
    e.known = true;
    e.m = m;
    e.p = p;
    e.redundancy = redundancy;
    e.testable = f.testable;
    e.unitCofactor = unitCofactor;
    const Matrix& q = f.covariance;
    const double qf = quadraticForm(f);
    if (f.testable) {
        e.prioriMM = q(1, 1);
        e.prioriPP = q(2, 2);
        e.prioriMP = q(1, 2);
        e.priori = errorEllipse(q(1, 1), q(2, 2), q(1, 2));
        e.tested = redundancy >= 1;
        if (e.tested) {
            e.test = globalTest(qf, redundancy, sigma);
        }
    }
    // A posteriori the covariance is scaled by v^T P v / r; for unit weights
    // (no usable precision) that is the variance of one reading itself.
    const double factor = redundancy >= 1 ? std::sqrt(qf / redundancy) : 0.0;
    if (redundancy >= 1) {
        e.posteriori = scaled(errorEllipse(q(1, 1), q(2, 2), q(1, 2)), factor);
    }
    if (q.rows() >= 3) {
        e.oriented = true;
        // In [0, 2 pi), as an azimuth.
        e.orientation = std::fmod(orientation, 2.0 * pi);
        e.orientation += e.orientation < 0.0 ? 2.0 * pi : 0.0;
        e.orientationPriori = f.testable ? std::sqrt(std::max(0.0, q(3, 3))) : 0.0;
        e.orientationPosteriori = std::sqrt(std::max(0.0, q(3, 3))) * factor;
    }
    return e;
}

// The readings of the file without reading 'left' (0: all of them).
struct Readings {
    Matrix coords, readings;
};
Readings without(const RunContext& ctx, int left) {
    const int n = ctx.pointCount - (left > 0 ? 1 : 0);
    Readings r{Matrix(n, 2), Matrix(n, 1)};
    for (int i = 1, k = 1; i <= ctx.pointCount; ++i) {
        if (i != left) {
            r.coords(k, 1) = ctx.pointCoords(i, 1);
            r.coords(k, 2) = ctx.pointCoords(i, 2);
            r.readings(k) = ctx.directionReading(i);
            ++k;
        }
    }
    return r;
}

// The directions without reading 'left', from (startM, startP) and, where
// that runs away (or, with 'untilPassing', leaves the test rejecting), from
// the consensus station too; the better of the two. The reading left out is
// then compared with the direction that station and orientation give it:
// with the other readings free of error this is its error exactly, where
// -v / r is exact only for a linear model (it strays by a per cent or more
// for errors of several degrees).
Readjustment withoutDirection(const RunContext& ctx, double sigma, int left, double fromM,
                              double fromP, double startM, double startP,
                              const std::function<const ConsensusStation&()>& consensus,
                              bool untilPassing) {
    const Readings rest = without(ctx, left);
    const int n = ctx.pointCount - 1;
    Readjustment r;
    DirectionAdjustment d = adjustDirections(rest.coords, rest.readings, sigma, startM, startP);
    const auto passes = [&rest, sigma, n](const DirectionAdjustment& x) {
        return sound(x, rest.coords) &&
               globalTest(x.sumOfSquares / (sigma * sigma), n - 3, sigma).accepted;
    };
    if (!sound(d, rest.coords) || (untilPassing && !passes(d))) {
        const ConsensusStation& c = consensus();
        if (c.found && (c.stationM != startM || c.stationP != startP)) {
            DirectionAdjustment e =
                adjustDirections(rest.coords, rest.readings, sigma, c.stationM, c.stationP);
            if (sound(e, rest.coords) &&
                (!sound(d, rest.coords) || e.sumOfSquares < d.sumOfSquares)) {
                d = std::move(e);
            }
        }
    }
    if (!sound(d, rest.coords)) {
        r.failure = d.converged ? "o ajustamento das outras leituras afastou-se dos pontos."
                                : "o ajustamento das outras leituras nao convergiu.";
        return r;
    }
    r.done = true;
    r.stationM = d.stationM;
    r.stationP = d.stationP;
    r.shift = std::hypot(d.stationM - fromM, d.stationP - fromP);
    const Matrix& q = d.figures.covariance;
    r.positionSigma = std::sqrt(std::max(0.0, q(1, 1) + q(2, 2)));
    r.test = globalTest(quadraticForm(d.figures), n - 3, sigma);
    const double m = ctx.pointCoords(left, 1);
    const double p = ctx.pointCoords(left, 2);
    r.discrepancy = foldedAngle(ctx.directionReading(left) -
                                (std::atan2(m - d.stationM, p - d.stationP) - d.orientation));
    r.discrepancySigma = discrepancyDeviation(directionRow(m, p, d.stationM, d.stationP), q,
                                              d.figures.sigma.front());
    r.orientation = d.orientation;
    r.readings = std::move(d.readings);
    r.figures = std::move(d.figures);
    return r;
}

// With four points, the station of each three readings in closed form.
std::vector<ThreePointStation> threePointStations(const RunContext& ctx) {
    std::vector<ThreePointStation> stations;
    for (int left = 1; left <= ctx.pointCount; ++left) {
        const Readings r = without(ctx, left);
        const auto angle = [&r](int from, int to) {
            double a = r.readings(to) - r.readings(from);
            return a < 0.0 ? a + 2.0 * pi : a;
        };
        const Matrix& c = r.coords;
        const ThreePointSolution s = threePointResection(
            c(1, 1), c(1, 2), c(2, 1), c(2, 2), c(3, 1), c(3, 2), angle(1, 2), angle(2, 3));
        ThreePointStation t;
        t.found = s.finite() && plausibleStation(ctx.pointCoords, s.stationM, s.stationP);
        if (t.found) {
            t.m = s.stationM;
            t.p = s.stationP;
            const double o = std::atan2(c(1, 1) - t.m, c(1, 2) - t.p) - r.readings(1);
            // The closed form sees lines, not directions: a reading half a
            // circle off gives the same lines. The three must also point the
            // way they were read.
            for (int k = 2; k <= 3; ++k) {
                const double misfit =
                    foldedAngle(r.readings(k) - (std::atan2(c(k, 1) - t.m, c(k, 2) - t.p) - o));
                t.found = t.found && std::fabs(misfit) < 0.5 * pi;
            }
            t.discrepancy = foldedAngle(
                ctx.directionReading(left) -
                (std::atan2(ctx.pointCoords(left, 1) - t.m, ctx.pointCoords(left, 2) - t.p) - o));
        }
        stations.push_back(t);
    }
    return stations;
}

// The zenith angle that a height gives observation i, with the curvature
// term: the sighted point appears lower by curvature x d^2.
double zenithAngle(const RunContext& ctx, int i, double height, double curvature, double d) {
    const double delta =
        ((ctx.zenithPointHeight(i) + ctx.signalHeight(i)) - height) - ctx.instrumentHeight;
    return std::atan2(d, delta - curvature * d * d);
}

// The derivative of the zenith angle of observation i by the height.
double zenithDerivative(const RunContext& ctx, int i, double height, double d) {
    const double delta =
        ((ctx.zenithPointHeight(i) + ctx.signalHeight(i)) - height) - ctx.instrumentHeight;
    return d / (delta * delta + d * d);
}

Readjustment withoutZenith(const RunContext& ctx, const HeightAnalysis& h, int left) {
    Readjustment r;
    const HeightFit fit = fitHeight(ctx, left, 0.0, h.stationHeight);
    if (!fit.converged) {
        r.failure = "o ajustamento das outras leituras nao convergiu.";
        return r;
    }
    const double s = std::fabs(h.sigma);
    r.done = true;
    r.stationHeight = fit.height;
    r.shift = std::fabs(fit.height - h.stationHeight);
    r.test = globalTest(fit.sumOfSquares / (s * s), ctx.zenithCount - 2, h.sigma);
    const double d =
        std::hypot(ctx.zenithPointM(left) - ctx.stationM, ctx.zenithPointP(left) - ctx.stationP);
    r.discrepancy = ctx.zenithReading(left) - zenithAngle(ctx, left, fit.height, 0.0, d);
    Matrix covariance(1, 1);
    covariance(1, 1) = s * s * fit.cofactor;
    r.discrepancySigma =
        discrepancyDeviation({zenithDerivative(ctx, left, fit.height, d)}, covariance, s);
    r.positionSigma = std::sqrt(covariance(1, 1));
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
            const double l = foldedAngle(ctx.zenithReading(i) - std::atan2(d, delta));
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
            const double v = foldedAngle(
                zenithAngle(ctx, i, height, curvature, sight[static_cast<std::size_t>(i)]) -
                ctx.zenithReading(i));
            fit.sumOfSquares += v * v;
        }
    }
    if (!std::isfinite(fit.sumOfSquares) || !std::isfinite(fit.cofactor)) {
        fit.converged = false;
    }
    return fit;
}

PlanimetricAnalysis analysePlanimetry(RunContext& ctx) {
    PlanimetricAnalysis a;
    const int n = ctx.pointCount;
    const Matrix& c = ctx.pointCoords;
    const Matrix& readings = ctx.directionReading;
    a.sigma = ctx.aprioriPrecision;
    a.testable = testablePrecision(a.sigma);
    a.redundancy = ctx.redundancy;
    a.tested = a.redundancy >= 1 && a.testable;
    findFirstPosition(ctx);
    bool programDone = false;
    if (a.redundancy == 0) {
        // Three points: the closed-form position is the solution.
        a.allM = ctx.stationM;
        a.allP = ctx.stationP;
        programDone = true;
    } else if (a.tested) {
        // The program's adjustment at the a priori precision, in one pass.
        // Where a gross error makes it stop or run away, the analysis goes
        // on without it.
        try {
            const PassOutcome outcome = planimetricPass(ctx, a.sigma);
            programDone = std::isfinite(outcome.statistic) &&
                          plausibleStation(c, ctx.adjustedM, ctx.adjustedP);
            if (programDone) {
                a.allM = ctx.adjustedM;
                a.allP = ctx.adjustedP;
                a.test = globalTest(outcome.statistic, a.redundancy, a.sigma);
            } else {
                a.adjustmentFailure = "a estacao afastou-se dos pontos visados sem parar num lugar";
            }
        } catch (const RunStop& stop) {
            a.adjustmentFailure = stop.consoleText();
        } catch (const SingularMatrix& singular) {
            a.adjustmentFailure = stopMessage(singular);
        }
    }

    // The station most readings agree with, computed where it is needed: a
    // start where the first position fails the adjustment of all readings,
    // and a second start for the adjustments without one reading.
    std::optional<ConsensusStation> consensusMemo;
    const std::function<const ConsensusStation&()> consensus = [&]() -> const ConsensusStation& {
        if (!consensusMemo) {
            consensusMemo = consensusStation(c, readings, a.sigma);
        }
        return *consensusMemo;
    };

    a.directions = adjustDirections(c, readings, a.sigma, programDone ? a.allM : ctx.approximateM,
                                    programDone ? a.allP : ctx.approximateP);
    if (!sound(a.directions, c) || (a.tested && !programDone)) {
        const ConsensusStation& from = consensus();
        if (from.found) {
            DirectionAdjustment d =
                adjustDirections(c, readings, a.sigma, from.stationM, from.stationP);
            if (sound(d, c) &&
                (!sound(a.directions, c) || d.sumOfSquares < a.directions.sumOfSquares)) {
                a.directions = std::move(d);
                a.fromConsensus = true;
            }
        }
    }
    const bool directionsSound = sound(a.directions, c);
    a.allSound = programDone || directionsSound;
    if (!programDone && directionsSound) {
        a.allM = a.directions.stationM;
        a.allP = a.directions.stationP;
        if (a.tested) {
            a.test = globalTest(quadraticForm(a.directions.figures), a.redundancy, a.sigma);
        }
    }
    if (directionsSound) {
        a.readings = a.directions.readings;
    }

    // Which reading is wrong, if any.
    if (a.tested && (!a.allSound || !a.test.accepted)) {
        if (a.redundancy == 1) {
            // Every |w| is the same: the error, if it is one, cannot be
            // placed. The four stations of three readings show what each
            // reading would have to be wrong by.
            a.threePoint = threePointStations(ctx);
            for (std::size_t i = 0; i < a.threePoint.size(); ++i) {
                for (std::size_t j = i + 1; j < a.threePoint.size(); ++j) {
                    const ThreePointStation& s = a.threePoint[i];
                    const ThreePointStation& t = a.threePoint[j];
                    if (s.found && t.found) {
                        a.threePointSpread =
                            std::max(a.threePointSpread, std::hypot(s.m - t.m, s.p - t.p));
                    }
                }
            }
            a.suspect.kind = Suspect::Kind::Unidentifiable;
            a.suspect.sharing.resize(static_cast<std::size_t>(n));
            std::iota(a.suspect.sharing.begin(), a.suspect.sharing.end(), 1);
            a.suspect.reading = 1;
        } else if (!a.allSound || anyStandsOut(a.readings)) {
            a.leftOut.resize(static_cast<std::size_t>(n));
            const double startM = a.allSound ? a.allM : consensus().stationM;
            const double startP = a.allSound ? a.allP : consensus().stationP;
            const std::vector<double> scores = directionsSound ? absoluteW(a.readings)
                                               : consensus().found
                                                   ? misfitsAt(c, readings, consensus())
                                                   : std::vector<double>{};
            // From the station of all readings first. Where no reading left
            // out lets the rest pass, but one of them takes away most of
            // v^T P v, that station may have led the adjustment into a
            // minimum of its own: from the consensus again. (Where none
            // takes away much, many readings are wrong, and no start would
            // let the rest pass.)
            const std::vector<int> candidates = candidatesOf(scores, n);
            const auto worthRetrying = [&a] {
                return a.allSound &&
                       std::any_of(a.leftOut.begin(), a.leftOut.end(), [&a](const Readjustment& r) {
                           return r.done && r.test.quadraticForm < 0.5 * a.test.quadraticForm;
                       });
            };
            for (const bool untilPassing : {false, true}) {
                if (untilPassing && !worthRetrying()) {
                    break;
                }
                for (const int k : candidates) {
                    Readjustment& r = a.leftOut[static_cast<std::size_t>(k - 1)];
                    if (!untilPassing || !r.test.accepted) {
                        r = withoutDirection(ctx, a.sigma, k, a.allSound ? a.allM : startM,
                                             a.allSound ? a.allP : startP, startM, startP,
                                             consensus, untilPassing);
                    }
                }
                a.suspect = decideSuspect(a.leftOut);
                if (std::any_of(a.leftOut.begin(), a.leftOut.end(), [](const Readjustment& r) {
                        return r.done && r.test.accepted && std::fabs(leftOutW(r)) > wTestCritical;
                    })) {
                    break;
                }
            }
        }
    }
    if (a.suspect.kind == Suspect::Kind::Flagged) {
        a.without = a.leftOut[static_cast<std::size_t>(a.suspect.reading - 1)];
    }
    if (a.suspect.kind == Suspect::Kind::Tied && directionsSound) {
        a.separation =
            separatingSight(c, a.allM, a.allP, a.directions.unitCofactor, a.suspect.sharing[0],
                            a.suspect.sharing[1], medianSight(c, a.allM, a.allP));
    }

    // The station the analysis stands on.
    if (a.suspect.kind == Suspect::Kind::Flagged && a.without.done) {
        a.basis = Basis::Without;
        a.basisReading = a.suspect.reading;
    } else if (a.allSound && a.redundancy == 1 && a.tested && !a.test.accepted) {
        a.basis =
            a.test.changeSigma <= precisionOrError * std::fabs(a.sigma) ? Basis::All : Basis::None;
    } else {
        a.basis = a.allSound ? Basis::All : Basis::None;
    }
    if (a.basis == Basis::Without) {
        const Readjustment& w = a.without;
        Matrix unit = w.figures.covariance;
        const double s = w.figures.sigma.front();
        for (int j = 1; j <= 3; ++j) {
            for (int k = 1; k <= 3; ++k) {
                unit(j, k) /= s * s;
            }
        }
        a.station = estimateOf(w.figures, unit, w.stationM, w.stationP, w.orientation,
                               a.redundancy - 1, a.sigma);
        // The readings of that station, its own reading apart.
        a.basisReadings.assign(static_cast<std::size_t>(n), ReadingTest{});
        for (int i = 1, k = 0; i <= n; ++i) {
            if (i != a.basisReading) {
                a.basisReadings[static_cast<std::size_t>(i - 1)] =
                    w.readings[static_cast<std::size_t>(k++)];
            }
        }
        if (!directionsSound) {
            a.readings = a.basisReadings;
            a.readingsWithout = true;
        }
    } else if (a.basis == Basis::All && directionsSound) {
        a.station = estimateOf(a.directions.figures, a.directions.unitCofactor, a.allM, a.allP,
                               a.directions.orientation, a.redundancy, a.sigma);
        if (a.tested) {
            a.station.test = a.test; // the program's, where it ended normally
        }
    } else if (a.basis == Basis::All) {
        // The program's station, its direction model not converging.
        a.station.known = true;
        a.station.m = a.allM;
        a.station.p = a.allP;
        a.station.redundancy = a.redundancy;
        a.station.testable = a.testable;
        a.station.tested = a.tested;
        a.station.test = a.test;
    }

    if (a.basis == Basis::All) {
        a.basisReadings = a.readings;
    }

    // The geometry, from that station.
    a.circle = dangerCircle(c(1, 1), c(1, 2), c(2, 1), c(2, 2), c(3, 1), c(3, 2), a.station.m,
                            a.station.p);
    if (!a.station.known) {
        return a;
    }
    for (int i = 1; i <= n; ++i) {
        a.meanSight += std::hypot(c(i, 1) - a.station.m, c(i, 2) - a.station.p) / n;
    }
    a.medianSight = medianSight(c, a.station.m, a.station.p);
    if (a.station.unitCofactor.rows() >= 2) {
        a.strength = strengthFigure(a.station.unitCofactor, a.medianSight);
        a.strengthDefined = std::isfinite(a.strength);
    }
    // Three readings fix the station and the orientation without residuals:
    // the adjustment of the first three alone lands on their closed-form
    // solution, and its cofactor tells how well they fix it.
    Matrix three(3, 2);
    Matrix threeReadings(3, 1);
    for (int i = 1; i <= 3; ++i) {
        three(i, 1) = c(i, 1);
        three(i, 2) = c(i, 2);
        threeReadings(i) = readings(i);
    }
    const DirectionAdjustment firstThree =
        adjustDirections(three, threeReadings, a.sigma, a.station.m, a.station.p);
    if (sound(firstThree, c)) {
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
    h.testable = testablePrecision(h.sigma);
    h.stationM = ctx.stationM;
    h.stationP = ctx.stationP;
    h.adjusted = n >= 2;
    if (!h.adjusted) {
        return h;
    }
    AdjustmentFigures f;
    f.design = Matrix(n, 1);
    f.residual.assign(static_cast<std::size_t>(n), 0.0);
    f.testable = h.testable;
    const double s = h.testable ? std::fabs(h.sigma) : 1.0;
    f.sigma.assign(static_cast<std::size_t>(n), s);
    f.station = {1};
    double programStatistic = 0.0;
    bool programDone = false;
    if (h.testable) {
        try {
            // The program's height pass at the a priori precision.
            const PassOutcome outcome = heightPass(ctx, h.sigma);
            programDone = std::isfinite(outcome.statistic) && std::isfinite(ctx.stationHeight);
            if (programDone) {
                h.stationHeight = ctx.stationHeight;
                programStatistic = outcome.statistic;
                for (int i = 1; i <= n; ++i) {
                    f.residual[static_cast<std::size_t>(i - 1)] = ctx.zenithResidual(i);
                    f.design(i, 1) = ctx.heightDesign(i);
                }
            } else {
                h.adjustmentFailure = " Processo iterativo nao convergente...";
            }
        } catch (const RunStop& stop) {
            h.adjustmentFailure = stop.consoleText();
        } catch (const SingularMatrix& singular) {
            h.adjustmentFailure = stopMessage(singular);
        }
    }
    if (!programDone) {
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
        for (int i = 1; i <= n; ++i) {
            const double d = ctx.horizontalDistance(i);
            f.design(i, 1) = zenithDerivative(ctx, i, fit.height, d);
            f.residual[static_cast<std::size_t>(i - 1)] =
                foldedAngle(zenithAngle(ctx, i, fit.height, 0.0, d) - ctx.zenithReading(i));
        }
    }
    double sumA2 = 0.0;
    for (int i = 1; i <= n; ++i) {
        sumA2 += f.design(i, 1) * f.design(i, 1);
    }
    f.covariance = Matrix(1, 1);
    f.covariance(1, 1) = s * s / sumA2;
    h.readings = observationTests(f);
    const double qf = programDone ? programStatistic : quadraticForm(f);
    const double factor = std::sqrt(qf / (n - 1));
    if (h.testable) {
        h.test = globalTest(qf, n - 1, h.sigma);
        h.prioriSigmaH = std::sqrt(f.covariance(1, 1));
    }
    h.posterioriSigmaH = std::sqrt(f.covariance(1, 1)) * factor;

    if (h.testable && !h.test.accepted && n == 2) {
        h.suspect = findSuspect(h.readings, wTestCritical);
    } else if (h.testable && !h.test.accepted && anyStandsOut(h.readings)) {
        h.leftOut.resize(static_cast<std::size_t>(n));
        for (const int k : candidatesOf(absoluteW(h.readings), n)) {
            h.leftOut[static_cast<std::size_t>(k - 1)] = withoutZenith(ctx, h, k);
        }
        h.suspect = decideSuspect(h.leftOut);
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
    if (!plan.station.known) {
        // No plane position: no distances, no height.
        HeightAnalysis h;
        h.sigma = ctx.zenithPrecision;
        h.testable = testablePrecision(h.sigma);
        h.computed = false;
        h.notJudged = "a estacao nao ficou determinada pelas leituras azimutais";
        return h;
    }
    ctx.stationM = plan.station.m;
    ctx.stationP = plan.station.p;
    for (int i = 1; i <= ctx.zenithCount; ++i) {
        if (!std::isfinite(ctx.zenithReading(i))) {
            // No adjustment can take it, and no height is given without
            // saying which reading is left out and why.
            HeightAnalysis h;
            h.sigma = ctx.zenithPrecision;
            h.testable = testablePrecision(h.sigma);
            h.computed = false;
            h.notJudged = "a leitura zenital " +
                          trimmedName(ctx.zenithPointName[static_cast<std::size_t>(i)]) +
                          " excede o alcance do calculo; corrija-a";
            return h;
        }
    }
    if (plan.basis == Basis::Without) {
        withoutDirection = ctx.pointName[static_cast<std::size_t>(plan.basisReading)];
        // A posteriori where the rest still reject.
        const GlobalTest& t = plan.without.test;
        uncertainty = plan.without.positionSigma *
                      std::sqrt(std::max(1.0, t.quadraticForm / std::max(1, t.degreesOfFreedom)));
    } else if (plan.suspect.kind == Suspect::Kind::Tied && plan.station.known) {
        const Readjustment& first =
            plan.leftOut[static_cast<std::size_t>(plan.suspect.sharing.front() - 1)];
        for (const int k : plan.suspect.sharing) {
            const Readjustment& r = plan.leftOut[static_cast<std::size_t>(k - 1)];
            uncertainty =
                std::max({uncertainty, r.positionSigma,
                          std::hypot(r.stationM - first.stationM, r.stationP - first.stationP),
                          std::hypot(r.stationM - plan.station.m, r.stationP - plan.station.p)});
        }
    } else if (plan.station.tested && !plan.station.test.accepted &&
               plan.station.test.changeSigma > precisionOrError * std::fabs(plan.sigma)) {
        // A station that several wrong readings have moved: as uncertain as
        // its a posteriori ellipse says.
        uncertainty = std::hypot(plan.station.posteriori.major, plan.station.posteriori.minor);
    }
    HeightAnalysis h = analyseHeight(ctx);
    h.withoutDirection = trimmedName(withoutDirection);
    // A move s of the station across a sight of length d and height
    // difference D turns its zenith angle by s D / (d^2 + D^2). Where the
    // position's uncertainty turns some zenith angle by half the readings'
    // precision or more, a w-test could blame the zenith reading for what the
    // station holds: the zenith readings are not judged.
    if (notJudged.empty() && uncertainty > 0.0 && h.adjusted) {
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
                        : plan.basis == Basis::Without
                            ? "sem a leitura azimutal " + h.withoutDirection +
                                  " a posicao da estacao fica incerta"
                            : "varias leituras azimutais erradas deixam a posicao da estacao "
                              "incerta";
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
