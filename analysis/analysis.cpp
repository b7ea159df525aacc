#include "analysis/analysis.hpp"

#include "altimetry/height.hpp"
#include "base/constants.hpp"
#include "base/text.hpp"
#include "input/station_survey.hpp"
#include "matrix/matrix.hpp"
#include "planimetry/adjustment.hpp"
#include "planimetry/position.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace resection {

double HeightAnalysis::analysedHeight() const {
    return suspect.kind == Suspect::Kind::Flagged && without.done ? without.stationHeight
                                                                  : stationHeight;
}

namespace {

// The precision the adjustments weight the readings with: the file's, or
// (where it allows no test) 1, for the figures of equally weighted readings.
double weightingSigma(double sigma) {
    return testablePrecision(sigma) ? std::fabs(sigma) : 1.0;
}

// The points' coordinates as an N x 2 matrix, for the geometry.
Matrix coordinatesOf(const StationSurvey& s) {
    Matrix c(static_cast<int>(s.points.size()), 2);
    for (std::size_t i = 0; i < s.points.size(); ++i) {
        c(static_cast<int>(i) + 1, 1) = s.points[i].m;
        c(static_cast<int>(i) + 1, 2) = s.points[i].p;
    }
    return c;
}

// (A^T A)^-1 of the unknowns for readings of unit weight, from the
// covariance of readings of the precision sigma.
Matrix unitCofactorOf(const FreeStation& f, double sigma) {
    Matrix unit = f.cofactor;
    for (int j = 1; j <= unit.rows(); ++j) {
        for (int k = 1; k <= unit.cols(); ++k) {
            unit(j, k) /= sigma * sigma;
        }
    }
    return unit;
}

// With four points: the station of each three readings, the adjustment of
// the three alone, which has no redundancy and lands on their closed form.
void threePointStations(const StationSurvey& dirs, const LeaveOut& how, PlanimetricAnalysis& a) {
    for (std::size_t k = 0; k < dirs.observations.size(); ++k) {
        const Readjustment r = leaveOut(dirs, k, how);
        ThreePointStation t;
        t.found = r.done;
        if (t.found) {
            t.m = r.stationM;
            t.p = r.stationP;
            t.discrepancy = r.discrepancy;
        }
        a.threePoint.push_back(t);
    }
    for (std::size_t i = 0; i < a.threePoint.size(); ++i) {
        for (std::size_t j = i + 1; j < a.threePoint.size(); ++j) {
            const ThreePointStation& s = a.threePoint[i];
            const ThreePointStation& t = a.threePoint[j];
            if (s.found && t.found) {
                a.threePointSpread = std::max(a.threePointSpread, std::hypot(s.m - t.m, s.p - t.p));
            }
        }
    }
}

// The geometry of the station the analysis stands on: the danger circle of
// the first three points, the sights, the strength of the whole and of the
// first three alone.
void geometryOf(const StationSurvey& dirs, double sigma, PlanimetricAnalysis& a) {
    const Matrix c = coordinatesOf(dirs);
    const int n = c.rows();
    a.circle = dangerCircle(c(1, 1), c(1, 2), c(2, 1), c(2, 2), c(3, 1), c(3, 2), a.station.m,
                            a.station.p);
    if (!a.station.known) {
        return;
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
    StationSurvey three;
    three.points.assign(dirs.points.begin(), dirs.points.begin() + 3);
    three.observations.assign(dirs.observations.begin(), dirs.observations.begin() + 3);
    const FreeStation firstThree = adjustFreeStation(three, a.station.m, a.station.p);
    if (soundAdjustment(dirs, firstThree) &&
        plausibleStation(dirs.points, firstThree.stationM, firstThree.stationP)) {
        Matrix m3(3, 2);
        for (int i = 1; i <= 3; ++i) {
            m3(i, 1) = c(i, 1);
            m3(i, 2) = c(i, 2);
        }
        a.firstThreeStrength =
            strengthFigure(unitCofactorOf(firstThree, sigma),
                           medianSight(m3, firstThree.stationM, firstThree.stationP));
        a.firstThreeConverged = std::isfinite(a.firstThreeStrength);
    }
}

} // namespace

PlanimetricAnalysis analysePlanimetry(const Survey& survey) {
    PlanimetricAnalysis a;
    const int n = survey.pointCount;
    a.sigma = survey.header.aprioriPrecision;
    a.testable = testablePrecision(a.sigma);
    a.redundancy = survey.redundancy;
    a.tested = a.redundancy >= 1 && a.testable;
    const double weighting = weightingSigma(a.sigma);
    const StationSurvey dirs = surveyOfDirections(survey, weighting);
    const FirstPosition first = findFirstPosition(survey);

    // The program's adjustment at the a priori precision, in one pass: only
    // to say where it stops. Where a gross error makes it stop or run away,
    // the analysis goes on without it.
    bool programDone = false;
    double programM = first.m, programP = first.p;
    if (a.redundancy == 0) {
        // Three points: the closed-form position is the solution.
        programDone = true;
    } else if (a.tested) {
        try {
            PlanimetricAdjustment adjustment(survey, first);
            const PlanimetricPass pass = adjustment.pass(a.sigma);
            programDone = std::isfinite(pass.search.statistic) &&
                          plausibleStation(dirs.points, pass.adjustedM, pass.adjustedP);
            a.program.outcome =
                programDone ? ProgramPass::Outcome::Completed : ProgramPass::Outcome::RanAway;
            programM = pass.adjustedM;
            programP = pass.adjustedP;
        } catch (const Stop& stop) {
            a.program.outcome = ProgramPass::Outcome::Stopped;
            a.program.stop = stop;
        }
    }

    // The adjustment of all readings as directions, from the program's
    // station where it has one, else from the first position; where that
    // fails, or the program failed, from the station most readings agree
    // with too, and the better of the two.
    Consensus consensus(dirs);
    a.directions =
        adjustFreeStation(dirs, programDone ? programM : first.m, programDone ? programP : first.p);
    a.directionsSound = soundAdjustment(dirs, a.directions);
    if (!a.directionsSound || (a.tested && !programDone)) {
        const std::optional<PlanePosition>& from = consensus.best();
        if (from) {
            FreeStation d = adjustFreeStation(dirs, from->m, from->p);
            if (soundAdjustment(dirs, d) &&
                (!a.directionsSound || d.quadraticForm < a.directions.quadraticForm)) {
                a.directions = std::move(d);
                a.directionsSound = true;
                a.fromConsensus = true;
            }
        }
    }
    a.allSound = programDone || a.directionsSound;
    AdjustmentFigures figures;
    if (a.directionsSound) {
        a.allM = a.directions.stationM;
        a.allP = a.directions.stationP;
        figures = figuresOf(dirs, a.directions, a.testable);
        a.readings = observationTests(figures);
        if (a.tested) {
            a.test = globalTest(a.directions.quadraticForm, a.redundancy, a.sigma);
        }
    } else if (programDone) {
        a.allM = programM;
        a.allP = programP;
    }

    // Which reading is wrong, if any.
    LeaveOut how;
    how.sigma = a.sigma;
    how.testable = a.testable;
    how.consensus = &consensus;
    const std::optional<PlanePosition>& agreed =
        a.tested && !a.allSound ? consensus.best() : std::optional<PlanePosition>{};
    how.start = a.allSound ? Start{a.allM, a.allP, false}
                : agreed   ? Start{agreed->m, agreed->p, false}
                           : Start{first.m, first.p, false};
    how.near = a.directionsSound ? &a.directions : nullptr;
    how.fromM = a.allSound ? a.allM : how.start.m;
    how.fromP = a.allSound ? a.allP : how.start.p;
    if (a.tested && (!a.allSound || !a.test.accepted)) {
        if (a.redundancy == 1) {
            // Every |w| is the same: the error, if it is one, cannot be
            // placed. The four stations of three readings show what each
            // reading would have to be wrong by.
            threePointStations(dirs, how, a);
            a.suspect.kind = Suspect::Kind::Unidentifiable;
            a.suspect.sharing.resize(static_cast<std::size_t>(n));
            std::iota(a.suspect.sharing.begin(), a.suspect.sharing.end(), 1);
            a.suspect.reading = 1;
        } else if (!a.allSound || anyStandsOut(a.readings)) {
            const std::vector<double> scores = a.directionsSound ? absoluteW(a.readings)
                                               : agreed ? misfitsAt(dirs, agreed->m, agreed->p)
                                                        : std::vector<double>{};
            GrossErrorSearch search =
                seekGrossError(dirs, scores, how, a.allSound, a.test.quadraticForm);
            a.leftOut = std::move(search.leftOut);
            a.suspect = search.suspect;
        }
    }
    if (a.suspect.kind == Suspect::Kind::Flagged) {
        a.without = a.leftOut[static_cast<std::size_t>(a.suspect.reading - 1)];
        completeFigures(dirs, a.without, a.testable);
    }
    if (a.suspect.kind == Suspect::Kind::Tied && a.directionsSound) {
        const Matrix c = coordinatesOf(dirs);
        a.separation = separatingSight(c, a.allM, a.allP, unitCofactorOf(a.directions, weighting),
                                       a.suspect.sharing[0], a.suspect.sharing[1],
                                       medianSight(c, a.allM, a.allP));
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
        a.station = estimateOf(w.adjustment, w.figures, a.sigma);
        a.station.unitCofactor = unitCofactorOf(w.adjustment, weighting);
        // The readings of that station, its own reading apart.
        a.basisReadings.assign(static_cast<std::size_t>(n), ReadingTest{});
        for (int i = 1, k = 0; i <= n; ++i) {
            if (i != a.basisReading) {
                a.basisReadings[static_cast<std::size_t>(i - 1)] =
                    w.readings[static_cast<std::size_t>(k++)];
            }
        }
        if (!a.directionsSound) {
            a.readings = a.basisReadings;
            a.readingsWithout = true;
        }
    } else if (a.basis == Basis::All && a.directionsSound) {
        a.station = estimateOf(a.directions, figures, a.sigma);
        a.station.unitCofactor = unitCofactorOf(a.directions, weighting);
    } else if (a.basis == Basis::All) {
        // The program's station, the directions' adjustment not converging.
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
    geometryOf(dirs, weighting, a);
    return a;
}

HeightAnalysis analyseHeight(const SurveyHeader& header, const ZenithSection& zenith, double m,
                             double p) {
    HeightAnalysis h;
    const int n = zenith.count;
    h.sigma = header.aprioriPrecision;
    h.testable = testablePrecision(h.sigma);
    h.stationM = m;
    h.stationP = p;
    h.adjusted = n >= 2;
    if (!h.adjusted) {
        return h;
    }
    if (h.testable) {
        // The program's height pass at the a priori precision: only to say
        // where it stops (it starts from observation 1 alone, and a gross
        // error in it can make its iteration run away).
        try {
            HeightAdjustment adjustment(zenith, header.tolerance, m, p);
            const HeightPass pass = adjustment.pass(h.sigma);
            h.program.outcome =
                std::isfinite(pass.search.statistic) && std::isfinite(pass.stationHeight)
                    ? ProgramPass::Outcome::Completed
                    : ProgramPass::Outcome::RanAway;
        } catch (const Stop& stop) {
            h.program.outcome = ProgramPass::Outcome::Stopped;
            h.program.stop = stop;
        }
    }
    // The adjustment starts from the median of the heights each observation
    // gives alone: a start no single wrong reading moves far.
    const StationSurvey zeniths = surveyOfZeniths(zenith, header, weightingSigma(h.sigma));
    h.adjustment = adjustWithPlaneKnown(zeniths, m, p);
    if (!soundAdjustment(zeniths, h.adjustment)) {
        h.computed = false;
        h.notJudged = NotJudged::NotConverging;
        return h;
    }
    h.stationHeight = h.adjustment.stationHeight;
    const AdjustmentFigures figures = figuresOf(zeniths, h.adjustment, h.testable);
    h.readings = observationTests(figures);
    const double cofactor = h.adjustment.cofactor(1, 1);
    const double qf = h.adjustment.quadraticForm;
    if (h.testable) {
        h.test = globalTest(qf, n - 1, h.sigma);
        h.prioriSigmaH = std::sqrt(cofactor);
    }
    h.posterioriSigmaH = std::sqrt(cofactor) * std::sqrt(qf / (n - 1));

    if (h.testable && !h.test.accepted && n == 2) {
        h.suspect = findSuspect(h.readings, wTestCritical);
    } else if (h.testable && !h.test.accepted && anyStandsOut(h.readings)) {
        LeaveOut how;
        how.start = {m, p, true};
        how.near = &h.adjustment;
        how.fromH = h.stationHeight;
        how.sigma = h.sigma;
        how.testable = h.testable;
        GrossErrorSearch search = seekGrossError(zeniths, absoluteW(h.readings), how, true, qf);
        h.leftOut = std::move(search.leftOut);
        h.suspect = search.suspect;
        if (h.suspect.kind == Suspect::Kind::Flagged) {
            h.without = h.leftOut[static_cast<std::size_t>(h.suspect.reading - 1)];
        }
    }
    StationSurvey curved = zeniths;
    curved.options.curvatureRefraction = true;
    const FreeStation withCurvature = adjustWithPlaneKnown(curved, m, p);
    h.curvatureAdjusted = soundAdjustment(curved, withCurvature);
    h.curvatureHeight = withCurvature.stationHeight;
    h.curvatureDifference = withCurvature.stationHeight - h.stationHeight;
    return h;
}

HeightAnalysis analyseHeight(const Survey& survey, const ZenithSection& zenith,
                             const PlanimetricAnalysis& plan) {
    const auto notComputed = [&](NotJudged why, const std::string& name) {
        HeightAnalysis h;
        h.sigma = survey.header.aprioriPrecision;
        h.testable = testablePrecision(h.sigma);
        h.computed = false;
        h.notJudged = why;
        h.notJudgedName = name;
        return h;
    };
    if (!plan.station.known) {
        // No plane position: no distances, no height.
        return notComputed(NotJudged::NoStation, "");
    }
    for (int i = 1; i <= zenith.count; ++i) {
        if (!std::isfinite(zenith.reading(i))) {
            // No adjustment can take it, and no height is given without
            // saying which reading is left out and why.
            return notComputed(NotJudged::ReadingOutOfRange,
                               trimmedName(zenith.pointName[static_cast<std::size_t>(i - 1)]));
        }
    }
    // How uncertain the plane position of the heights is, metres: the
    // standard error of the station without the suspect, and for tied
    // candidates how far apart their stations lie.
    double uncertainty = 0.0;
    std::string withoutDirection;
    if (plan.basis == Basis::Without) {
        withoutDirection =
            trimmedName(survey.pointName[static_cast<std::size_t>(plan.basisReading - 1)]);
        // A posteriori where the rest still reject.
        const GlobalTest& t = plan.without.test;
        uncertainty = plan.without.positionSigma *
                      std::sqrt(std::max(1.0, t.quadraticForm / std::max(1, t.degreesOfFreedom)));
    } else if (plan.suspect.kind == Suspect::Kind::Tied) {
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
    HeightAnalysis h = analyseHeight(survey.header, zenith, plan.station.m, plan.station.p);
    h.withoutDirection = withoutDirection;
    if (!h.computed) {
        return h;
    }
    // A move s of the station across a sight of length d and height
    // difference D turns its zenith angle by s D / (d^2 + D^2). Where the
    // position's uncertainty turns some zenith angle by half the readings'
    // precision or more, a w-test could blame the zenith reading for what the
    // station holds: the zenith readings are not judged.
    if (uncertainty > 0.0 && h.adjusted) {
        double turn = 0.0;
        for (int i = 1; i <= zenith.count; ++i) {
            const double d =
                std::hypot(zenith.pointM(i) - plan.station.m, zenith.pointP(i) - plan.station.p);
            const double delta =
                ((zenith.pointHeight(i) + zenith.signalHeight(i)) - h.stationHeight) -
                zenith.instrumentHeight;
            turn = std::max(turn, uncertainty * std::fabs(delta) / (d * d + delta * delta));
        }
        if (!(turn < 0.5 * std::fabs(h.sigma))) {
            h.notJudged = plan.suspect.kind == Suspect::Kind::Tied ? NotJudged::TiedDirections
                          : plan.basis == Basis::Without           ? NotJudged::WithoutDirection
                                                                   : NotJudged::ManyWrongDirections;
            h.notJudgedName = withoutDirection;
            h.suspect = Suspect{};
            h.without = Readjustment{};
            h.leftOut.clear();
        }
    }
    return h;
}

} // namespace resection
