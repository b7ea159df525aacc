#include "analysis/station_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace resection {

namespace {

// Up to this many observations every one is left out in turn when a gross
// error is sought; beyond, only those with the largest scores, since one
// gross error among so many observations leaves the adjustment of all of
// them sound enough for the w-tests to point at it.
constexpr int everyObservationUpTo = 40;
constexpr int largestScoreCandidates = 10;

// A rest this small is given its own first positions where the starts
// given fail it: with little redundancy left its closed forms find it.
constexpr std::size_t ownStartUpTo = 12;

// The observations to leave out in turn (1-based): all of them for a few,
// else those with the largest scores.
std::vector<int> candidatesOf(const std::vector<double>& scores, int count) {
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 1);
    if (count <= everyObservationUpTo || scores.size() != order.size()) {
        return order;
    }
    std::partial_sort(order.begin(), order.begin() + largestScoreCandidates, order.end(),
                      [&scores](int a, int b) {
                          return scores[static_cast<std::size_t>(a - 1)] >
                                 scores[static_cast<std::size_t>(b - 1)];
                      });
    order.resize(largestScoreCandidates);
    return order;
}

// The test of an adjustment without redundancy: nothing to test, nothing
// rejected.
GlobalTest untestable() {
    GlobalTest t;
    t.accepted = true;
    return t;
}

} // namespace

bool StationEstimate::posterioriShown() const {
    return redundancy >= 1 && (!testable || (tested && !test.accepted));
}

ErrorEllipse StationEstimate::ellipse95() const {
    return posterioriShown() ? scaled(posteriori, posteriori95Factor(redundancy))
                             : scaled(priori, confidence95Factor());
}

bool soundAdjustment(const StationSurvey& survey, const FreeStation& adjustment) {
    if (!adjustment.adjusted()) {
        return false;
    }
    if (adjustment.mIndex == 0) {
        return std::isfinite(adjustment.stationHeight);
    }
    return plausibleStation(survey.points, adjustment.stationM, adjustment.stationP);
}

FreeStation adjustFromStart(const StationSurvey& survey, const Start& start) {
    return start.planeKnown ? adjustWithPlaneKnown(survey, start.m, start.p)
                            : adjustFreeStation(survey, start.m, start.p);
}

const std::optional<PlanePosition>& Consensus::best() {
    if (!computed_) {
        computed_ = true;
        const std::vector<PlanePosition> found = firstPositions(survey_);
        if (!found.empty()) {
            best_ = found.front();
        }
    }
    return best_;
}

Readjustment leaveOut(const StationSurvey& survey, std::size_t k, const LeaveOut& how) {
    Readjustment r;
    // Every adjustment here leaves observation k out of the survey as it
    // is; the points are the same, and so is what counts as sound.
    const auto sound = [&survey](const FreeStation& x) { return soundAdjustment(survey, x); };
    const auto passes = [&](const FreeStation& x) {
        return sound(x) && (x.degreesOfFreedom == 0 ||
                            globalTest(x.quadraticForm, x.degreesOfFreedom, how.sigma).accepted);
    };
    FreeStation d =
        adjustWithout(survey, k, how.start.m, how.start.p, how.start.planeKnown, how.near);
    if (!how.start.planeKnown && (!sound(d) || (how.untilPassing && !passes(d)))) {
        if (how.consensus != nullptr) {
            const std::optional<PlanePosition>& c = how.consensus->best();
            if (c && (c->m != how.start.m || c->p != how.start.p)) {
                FreeStation e = adjustWithout(survey, k, c->m, c->p, false, nullptr);
                if (sound(e) && (!sound(d) || e.quadraticForm < d.quadraticForm)) {
                    d = std::move(e);
                }
            }
        }
        if (!sound(d) && survey.observations.size() <= ownStartUpTo + 1) {
            // The others' own first positions: the rest in order, so that
            // its rows are those of the survey without observation k.
            FreeStation e = adjustFreeStation(withoutObservation(survey, k));
            e.leftOut = k;
            if (sound(e)) {
                d = std::move(e);
            }
        }
    }
    if (!sound(d)) {
        r.fault = d.adjusted() ? AdjustmentFault::RanAway : d.fault;
        return r;
    }
    // The observation left out against the value the others give it: with
    // the others free of error this is its error exactly, where -v / r is
    // exact only for a linear model (it strays by a per cent or more for a
    // direction several degrees off).
    const Observation& o = survey.observations[k];
    const Prediction predicted = predictObservation(survey, o, d);
    if (!predicted.known) {
        // The others have no unknown it needs (the only direction left out
        // takes the orientation with it): it is not controlled by them.
        r.fault = AdjustmentFault::Undetermined;
        return r;
    }
    r.done = true;
    r.discrepancy = o.value - predicted.value;
    if (!isDistance(o.kind)) {
        r.discrepancy = foldedAngle(r.discrepancy);
    }
    r.discrepancySigma = discrepancyDeviation(predicted.row, d.cofactor, o.sigma);
    r.stationM = d.stationM;
    r.stationP = d.stationP;
    r.stationHeight = d.stationHeight;
    const Matrix& q = d.cofactor;
    if (how.start.planeKnown) {
        r.shift = std::fabs(d.stationHeight - how.fromH);
        r.positionSigma = std::sqrt(std::max(0.0, q(d.heightIndex, d.heightIndex)));
    } else {
        r.shift = std::hypot(d.stationM - how.fromM, d.stationP - how.fromP);
        r.positionSigma =
            std::sqrt(std::max(0.0, q(d.mIndex, d.mIndex)) + std::max(0.0, q(d.pIndex, d.pIndex)));
    }
    r.test = d.degreesOfFreedom > 0 ? globalTest(d.quadraticForm, d.degreesOfFreedom, how.sigma)
                                    : untestable();
    r.adjustment = std::move(d);
    return r;
}

void completeFigures(const StationSurvey& survey, Readjustment& r, bool testable) {
    if (r.done && r.readings.empty()) {
        r.figures = figuresOf(survey, r.adjustment, testable);
        r.readings = observationTests(r.figures);
    }
}

std::vector<double> absoluteW(const std::vector<ReadingTest>& tests) {
    std::vector<double> scores;
    scores.reserve(tests.size());
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

std::vector<double> misfitsAt(const StationSurvey& survey, double m, double p) {
    const FreeStation at = approximateAt(survey, m, p);
    std::vector<double> scores;
    scores.reserve(survey.observations.size());
    for (const Observation& o : survey.observations) {
        const Prediction predicted = predictObservation(survey, o, at);
        double misfit = o.value - predicted.value;
        if (!isDistance(o.kind)) {
            misfit = foldedAngle(misfit);
        }
        scores.push_back(predicted.known ? std::fabs(misfit) / o.sigma : 0.0);
    }
    return scores;
}

GrossErrorSearch seekGrossError(const StationSurvey& survey, const std::vector<double>& scores,
                                LeaveOut how, bool allSound, double allQuadraticForm) {
    GrossErrorSearch search;
    const int n = static_cast<int>(survey.observations.size());
    search.leftOut.resize(static_cast<std::size_t>(n));
    const std::vector<int> candidates = candidatesOf(scores, n);
    // From the station of all observations first. Where no observation
    // left out lets the rest pass, but one of them takes away most of
    // v^T P v, that station may have led the adjustment into a minimum of
    // its own: from the consensus again. (Where none takes away much, many
    // observations are wrong, and no start would let the rest pass.)
    const auto worthRetrying = [&] {
        return allSound && how.consensus != nullptr &&
               std::any_of(search.leftOut.begin(), search.leftOut.end(),
                           [allQuadraticForm](const Readjustment& r) {
                               return r.done && r.test.quadraticForm < 0.5 * allQuadraticForm;
                           });
    };
    for (const bool untilPassing : {false, true}) {
        if (untilPassing && !worthRetrying()) {
            break;
        }
        how.untilPassing = untilPassing;
        for (const int k : candidates) {
            Readjustment& r = search.leftOut[static_cast<std::size_t>(k - 1)];
            if (!untilPassing || !r.test.accepted) {
                r = leaveOut(survey, static_cast<std::size_t>(k - 1), how);
            }
        }
        search.suspect = decideSuspect(search.leftOut);
        if (std::any_of(search.leftOut.begin(), search.leftOut.end(), [](const Readjustment& r) {
                return r.done && r.test.accepted && std::fabs(leftOutW(r)) > wTestCritical;
            })) {
            break;
        }
    }
    return search;
}

StationEstimate estimateOf(const FreeStation& f, const AdjustmentFigures& figures, double sigma) {
    StationEstimate e;
    e.known = true;
    e.m = f.stationM;
    e.p = f.stationP;
    e.redundancy = f.degreesOfFreedom;
    e.testable = figures.testable;
    const Matrix& q = f.cofactor;
    e.covariance = q.rows() == f.unknowns && f.unknowns > 0;
    const double qf = quadraticForm(figures);
    e.tested = e.testable && e.redundancy >= 1;
    if (e.tested) {
        e.test = globalTest(qf, e.redundancy, sigma);
    }
    if (!e.covariance) {
        return e;
    }
    // A posteriori the covariance is scaled by v^T P v / r; for unit weights
    // (no usable precision) that is the variance of one observation itself.
    const double factor = e.redundancy >= 1 ? std::sqrt(qf / e.redundancy) : 0.0;
    const auto deviation = [&q](int i) { return std::sqrt(std::max(0.0, q(i, i))); };
    if (f.mIndex > 0) {
        const ErrorEllipse unit =
            errorEllipse(q(f.mIndex, f.mIndex), q(f.pIndex, f.pIndex), q(f.mIndex, f.pIndex));
        if (e.testable) {
            e.prioriMM = q(f.mIndex, f.mIndex);
            e.prioriPP = q(f.pIndex, f.pIndex);
            e.prioriMP = q(f.mIndex, f.pIndex);
            e.priori = unit;
        }
        if (e.redundancy >= 1) {
            e.posteriori = scaled(unit, factor);
        }
    }
    if (f.orientationIndex > 0) {
        e.oriented = true;
        e.orientation = f.orientation;
        e.orientationPriori = e.testable ? deviation(f.orientationIndex) : 0.0;
        e.orientationPosteriori = deviation(f.orientationIndex) * factor;
    }
    if (f.heightIndex > 0) {
        e.hasHeight = true;
        e.h = f.stationHeight;
        e.heightPriori = e.testable ? deviation(f.heightIndex) : 0.0;
        e.heightPosteriori = deviation(f.heightIndex) * factor;
    }
    if (f.scaleIndex > 0) {
        e.scaleEstimated = true;
        e.scale = f.scale;
        e.scalePriori = e.testable ? deviation(f.scaleIndex) : 0.0;
        e.scalePosteriori = deviation(f.scaleIndex) * factor;
    }
    return e;
}

FreeStationAnalysis analyseFreeStation(const StationSurvey& survey) {
    FreeStationAnalysis a;
    const int n = static_cast<int>(survey.observations.size());
    a.all = adjustFreeStation(survey);
    a.allSound = soundAdjustment(survey, a.all);
    a.redundancy = n - a.all.unknowns;
    a.tested = a.redundancy >= 1;
    AdjustmentFigures figures;
    if (a.allSound) {
        figures = figuresOf(survey, a.all);
        a.tests = observationTests(figures);
        if (a.tested) {
            a.test = globalTest(a.all.quadraticForm, a.redundancy, 1.0);
        }
    }
    Consensus consensus(survey);
    LeaveOut how;
    how.consensus = &consensus;
    if (a.allSound) {
        how.start = {a.all.stationM, a.all.stationP, false};
        how.near = &a.all;
        how.fromM = a.all.stationM;
        how.fromP = a.all.stationP;
    } else if (const std::optional<PlanePosition>& c = consensus.best(); c) {
        how.start = {c->m, c->p, false};
        how.fromM = c->m;
        how.fromP = c->p;
    }
    const bool startKnown = a.allSound || consensus.best().has_value();

    // Which observation is wrong, if any.
    if (a.tested && startKnown && (!a.allSound || !a.test.accepted)) {
        if (a.redundancy == 1) {
            // Every |w| of a controlled observation is the same: an error,
            // if it is one, cannot be placed. The stations without each
            // show what each would have to be wrong by.
            a.leftOut.resize(static_cast<std::size_t>(n));
            for (int k = 1; k <= n; ++k) {
                const std::size_t i = static_cast<std::size_t>(k - 1);
                if (!a.allSound || a.tests[i].controlled) {
                    a.leftOut[i] = leaveOut(survey, i, how);
                    a.suspect.sharing.push_back(k);
                }
            }
            for (const Readjustment& s : a.leftOut) {
                for (const Readjustment& t : a.leftOut) {
                    if (s.done && t.done) {
                        a.withoutSpread =
                            std::max(a.withoutSpread,
                                     std::hypot(s.stationM - t.stationM, s.stationP - t.stationP));
                    }
                }
            }
            a.suspect.kind = Suspect::Kind::Unidentifiable;
            a.suspect.reading = a.suspect.sharing.empty() ? 0 : a.suspect.sharing.front();
        } else if (!a.allSound || anyStandsOut(a.tests)) {
            const std::vector<double> scores =
                a.allSound ? absoluteW(a.tests) : misfitsAt(survey, how.start.m, how.start.p);
            GrossErrorSearch search = seekGrossError(survey, scores, how, a.allSound,
                                                     a.allSound ? a.all.quadraticForm : 0.0);
            a.leftOut = std::move(search.leftOut);
            a.suspect = search.suspect;
        }
    }
    if (a.suspect.kind == Suspect::Kind::Flagged) {
        a.without = a.leftOut[static_cast<std::size_t>(a.suspect.reading - 1)];
        completeFigures(survey, a.without, true);
    }

    // The station the analysis stands on.
    if (a.suspect.kind == Suspect::Kind::Flagged && a.without.done) {
        a.basis = Basis::Without;
        a.basisObservation = a.suspect.reading;
    } else if (a.allSound && a.redundancy == 1 && !a.test.accepted) {
        a.basis = a.test.changeSigma <= precisionOrError ? Basis::All : Basis::None;
    } else {
        a.basis = a.allSound ? Basis::All : Basis::None;
    }
    if (a.basis == Basis::Without) {
        const Readjustment& w = a.without;
        a.station = estimateOf(w.adjustment, w.figures, 1.0);
        a.basisTests.assign(static_cast<std::size_t>(n), ReadingTest{});
        for (int i = 1, k = 0; i <= n; ++i) {
            if (i != a.basisObservation) {
                a.basisTests[static_cast<std::size_t>(i - 1)] =
                    w.readings[static_cast<std::size_t>(k++)];
            }
        }
    } else if (a.basis == Basis::All) {
        a.station = estimateOf(a.all, figures, 1.0);
        a.basisTests = a.tests;
    }
    return a;
}

} // namespace resection
