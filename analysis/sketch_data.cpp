#include "analysis/sketch_data.hpp"

#include "base/text.hpp"
#include "report/messages.hpp"

#include <algorithm>
#include <limits>
#include <tuple>
#include <utility>

namespace resection {

namespace {

// Where no station is known: centred on the marks, or on the points.
void centreWithoutStation(SketchData& s) {
    std::vector<std::pair<double, double>> at;
    for (const SketchMark& mark : s.marks) {
        at.emplace_back(mark.m, mark.p);
    }
    if (at.empty()) {
        for (const SketchPoint& pt : s.points) {
            at.emplace_back(pt.m, pt.p);
        }
    }
    double m = 0.0, p = 0.0;
    for (const auto& [x, y] : at) {
        m += x / static_cast<double>(at.size());
        p += y / static_cast<double>(at.size());
    }
    s.stationM = m;
    s.stationP = p;
}

// The ellipse of the station drawn: a posteriori where the test rejects the
// a priori precision (or there is none to test); where it accepts, the a
// priori one, which the test has found consistent with the residuals (and
// which does not shrink to a point for readings that happen to agree
// exactly). The factor of each is its own: a posteriori the variance factor
// is estimated, and the 95 % ellipse widens as its redundancy shrinks.
void ellipseOf(const StationEstimate& e, const char* scatter, SketchData& s) {
    if (e.covariance && (e.testable || e.redundancy >= 1)) {
        s.ellipse = e.ellipse95();
        s.ellipseLabel = !e.posterioriShown() ? "95 % a priori"
                         : e.testable         ? "95 % a posteriori"
                                              : scatter;
    } else {
        s.ellipse.major = std::numeric_limits<double>::quiet_NaN();
        s.ellipseLabel = "sem precisao conhecida";
    }
}

} // namespace

SketchData planimetrySketch(const Survey& survey, const PlanimetricAnalysis& a) {
    SketchData s;
    s.stationName = trimmedName(survey.header.stationName);
    const StationEstimate& e = a.station;
    s.stationKnown = e.known;
    std::vector<std::string> names;
    for (int i = 1; i <= survey.pointCount; ++i) {
        SketchPoint pt;
        pt.name = trimmedName(survey.pointName[static_cast<std::size_t>(i - 1)]);
        names.push_back(pt.name);
        pt.m = survey.pointCoords(i, 1);
        pt.p = survey.pointCoords(i, 2);
        const bool listed = a.suspect.kind == Suspect::Kind::Tied &&
                            std::find(a.suspect.sharing.begin(), a.suspect.sharing.end(), i) !=
                                a.suspect.sharing.end();
        pt.suspect = (a.suspect.kind == Suspect::Kind::Flagged && a.suspect.reading == i) || listed;
        const std::size_t k = static_cast<std::size_t>(i - 1);
        pt.weak =
            k < a.basisReadings.size() && a.basisReadings[k].tested && a.basisReadings[k].weak();
        s.points.push_back(pt);
    }
    // The stations of three readings where the readings leave the station
    // undetermined (where it is known, they lie within its ellipse).
    for (std::size_t i = 0; i < a.threePoint.size() && !e.known; ++i) {
        if (a.threePoint[i].found) {
            s.marks.push_back({a.threePoint[i].m, a.threePoint[i].p, "sem " + xmlText(names[i])});
        }
    }
    if (!s.marks.empty()) {
        s.marksLabel = "Cruzes cinzentas: a estacao de cada tres leituras, sem a leitura indicada";
    }
    s.circle = a.circle;
    if (!e.known) {
        // Centred on the stations of three readings, or on the points.
        centreWithoutStation(s);
        s.stationNote = a.redundancy == 1 ? "com 4 pontos, uma leitura errada nao se localiza"
                                          : "nenhum ajustamento assenta perto dos pontos";
        return s;
    }
    s.stationM = e.m;
    s.stationP = e.p;
    ellipseOf(e, "95 % da dispersao das leituras", s);
    if (a.basis == Basis::Without) {
        s.stationNote = "sem a leitura " + names[static_cast<std::size_t>(a.basisReading - 1)];
        if (a.allSound) {
            s.readjusted = true;
            s.readjustedM = a.allM;
            s.readjustedP = a.allP;
            s.readjustedLabel = "a estacao com todas as leituras";
        } else {
            s.notes.push_back(
                "O ajustamento de todas as leituras nao assenta perto dos pontos: a estacao e a "
                "calculada sem a leitura suspeita.");
        }
    } else if (a.redundancy == 0) {
        s.stationNote = "solucao directa dos tres pontos";
    }
    return s;
}

SketchData freeStationSketch(const StationSurvey& survey, const FreeStationAnalysis& a) {
    SketchData s;
    s.stationName = survey.stationName;
    s.dangerCircle = false;
    s.suspectOne = "a observacao suspeita";
    s.suspectMany = "as observacoes suspeitas";
    const StationEstimate& e = a.station;
    s.stationKnown = e.known;
    // The suspect observations: the one named, or the candidates listed.
    std::vector<int> suspects;
    if (a.suspect.kind == Suspect::Kind::Flagged) {
        suspects = {a.suspect.reading};
    } else if (a.suspect.kind == Suspect::Kind::Tied) {
        suspects = a.suspect.sharing;
    }
    // One point drawn for each target sighted.
    std::vector<int> drawn(survey.points.size(), -1);
    for (std::size_t i = 0; i < survey.observations.size(); ++i) {
        const Observation& o = survey.observations[i];
        for (const int target : {o.target, o.from}) {
            if (target < 0) {
                continue;
            }
            int& at = drawn[static_cast<std::size_t>(target)];
            if (at < 0) {
                const KnownPoint& k = survey.points[static_cast<std::size_t>(target)];
                at = static_cast<int>(s.points.size());
                s.points.push_back({k.name, k.m, k.p});
            }
        }
        SketchPoint& pt =
            s.points[static_cast<std::size_t>(drawn[static_cast<std::size_t>(o.target)])];
        pt.distance = pt.distance || isDistance(o.kind);
        const bool suspect =
            std::find(suspects.begin(), suspects.end(), static_cast<int>(i) + 1) != suspects.end();
        if (suspect) {
            pt.suspect = true;
            pt.suspectLabel = std::string(observationName(o.kind)) + " a " + pt.name;
        }
        pt.weak = pt.weak || (i < a.basisTests.size() && a.basisTests[i].tested &&
                              a.basisTests[i].weak() && !suspect);
    }
    if (!e.known) {
        for (std::size_t i = 0; i < a.leftOut.size(); ++i) {
            const Readjustment& r = a.leftOut[i];
            if (r.done) {
                const Observation& o = survey.observations[i];
                s.marks.push_back(
                    {r.stationM, r.stationP,
                     "sem " + xmlText(survey.points[static_cast<std::size_t>(o.target)].name) +
                         " (" + observationWord(o.kind) + ")"});
            }
        }
        if (!s.marks.empty()) {
            s.marksLabel = "Cruzes cinzentas: a estacao sem cada uma das observacoes";
        }
        centreWithoutStation(s);
        s.stationNote = a.redundancy == 1
                            ? "com redundancia 1, uma observacao errada nao se localiza"
                            : "nenhum ajustamento assenta perto dos pontos";
        return s;
    }
    s.stationM = e.m;
    s.stationP = e.p;
    ellipseOf(e, "95 % da dispersao das observacoes", s);
    if (a.basis == Basis::Without) {
        const Observation& o =
            survey.observations[static_cast<std::size_t>(a.basisObservation - 1)];
        s.stationNote = std::string("sem a ") + observationName(o.kind) + " a " +
                        survey.points[static_cast<std::size_t>(o.target)].name;
        if (a.allSound) {
            s.readjusted = true;
            s.readjustedM = a.all.stationM;
            s.readjustedP = a.all.stationP;
            s.readjustedLabel = "a estacao com todas as observacoes";
        } else {
            s.notes.push_back("O ajustamento de todas as observacoes nao assenta perto dos "
                              "pontos: a estacao e a calculada sem a observacao suspeita.");
        }
    } else if (a.redundancy == 0) {
        s.stationNote = "sem redundancia";
    }
    if (a.all.ambiguous && a.basis == Basis::All) {
        s.marks.push_back({a.all.otherM, a.all.otherP, "outra"});
        s.marksLabel = "Cruz cinzenta: a outra estacao que as observacoes admitem por igual";
    }
    return s;
}

} // namespace resection
