#include "analysis/analysis_text.hpp"

#include "analysis/figures_text.hpp"
#include "angles/units.hpp"
#include "base/constants.hpp"
#include "report/messages.hpp"

#include <algorithm>
#include <cmath>

namespace resection {

namespace {

// The first line of a stop's console text, without the blank it may begin
// with.
std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\r'));
    line.erase(0, line.find_first_not_of(' '));
    return line;
}

std::string degreesOfFreedom(int r) {
    return std::to_string(r) + (r == 1 ? " grau" : " graus") + " de liberdade";
}

std::vector<std::string> trimmedNames(const std::vector<std::string>& names) {
    std::vector<std::string> trimmed;
    trimmed.reserve(names.size());
    for (const std::string& name : names) {
        trimmed.push_back(trimmedName(name));
    }
    return trimmed;
}

// "O ajustamento ... parou: TEXT": the first line of the program's stop.
std::string programFailure(const ProgramPass& program, AngleUnit unit) {
    if (program.stop) {
        return firstLine(stopMessage(*program.stop, unit));
    }
    return "a estacao afastou-se dos pontos visados sem parar num lugar";
}

// The figures of a global test: v^T P v, its degrees of freedom and the
// critical value, in one aligned table.
void testFigureLines(std::vector<std::string>& out, const GlobalTest& t) {
    for (const std::string& line :
         alignedRows({{"Forma quadratica vT P v:", figure(t.quadraticForm, 3)},
                      {"Graus de liberdade:", std::to_string(t.degreesOfFreedom)},
                      {"Valor critico a 95 %:", figure(t.criticalValue, 3)}},
                     2, 8)) {
        out.push_back(line);
    }
}

void globalTestLines(std::vector<std::string>& out, const char* title, const GlobalTest& t,
                     AngleUnit unit) {
    out.push_back(title);
    testFigureLines(out, t);
    out.push_back(t.accepted ? "  Resultado: aceite"
                             : "  Resultado: rejeitado: os residuos sao maiores do que a "
                               "precisao a priori permite");
    out.push_back("  Desvio padrao a posteriori de uma leitura: " +
                  smallAngle(unit, t.posterioriSigma, 2));
    out.push_back("  Precisao com que o teste muda de resultado: " +
                  smallAngle(unit, t.changeSigma, 2));
}

// The table of the readings with their tests and reliability, and the notes
// on it. names[i - 1] names reading i; a row with a redundancy of exactly 0
// and nothing tested is a reading outside the adjustment ('outside').
void readingTable(std::vector<std::string>& out, AngleUnit unit,
                  const std::vector<std::string>& names, const std::vector<ReadingTest>& tests,
                  int outside, const char* shiftTitle, const char* shiftMeaning,
                  const char* shiftUnit) {
    std::vector<std::vector<std::string>> rows = {{"Ponto", "Residuo", "Redundancia", "w",
                                                   "Erro estimado", "Erro detectavel", shiftTitle,
                                                   ""}};
    bool uncontrolled = false;
    bool weak = false;
    for (std::size_t i = 0; i < tests.size(); ++i) {
        const ReadingTest& t = tests[i];
        if (static_cast<int>(i) + 1 == outside) {
            rows.push_back({names[i], "-", "-", "-", "-", "-", "-", "(fora)"});
            continue;
        }
        std::vector<std::string> row = {names[i], smallAngle(unit, t.residual, 2),
                                        figure(t.redundancy, 3)};
        row.push_back(t.tested ? figure(t.w, 2) : "-");
        row.push_back(t.controlled ? smallAngle(unit, t.estimatedError, 1) : "-");
        row.push_back(t.tested ? smallAngle(unit, t.detectableBias, 1) : "-");
        row.push_back(t.tested ? figure(t.stationShift, 4) + shiftUnit : "-");
        row.push_back(!t.controlled ? "(-)" : t.weak() ? "fraco" : "");
        uncontrolled = uncontrolled || !t.controlled;
        weak = weak || (t.controlled && t.weak());
        rows.push_back(row);
    }
    for (const std::string& line : alignedRows(rows, 2, 3, "lrrrrrrl")) {
        out.push_back(line);
    }
    if (std::any_of(tests.begin(), tests.end(), [](const ReadingTest& t) { return t.tested; })) {
        out.push_back("  Teste w de cada leitura com a precisao a priori: valor critico " +
                      figure(wTestCritical, 2) + " (alfa = 0.1 %).");
        out.push_back("  Erro detectavel: o menor erro que o teste w encontra com 80 % de "
                      "probabilidade,");
        out.push_back(std::string("  4.13 sigma / raiz(redundancia). ") + shiftTitle + ": quanto " +
                      shiftMeaning);
        out.push_back("  um erro desse tamanho que passe sem ser detectado.");
    }
    if (weak) {
        out.push_back("  fraco: redundancia abaixo de 0.1; os residuos mostram menos de um decimo "
                      "de um erro");
        out.push_back("  nessa leitura, e um erro de varias vezes a precisao passa "
                      "despercebido.");
    }
    if (uncontrolled) {
        out.push_back("  (-) Leitura sem controlo (redundancia 0): um erro nela nao aparece nos "
                      "residuos.");
    }
}

// How the closing lines speak of the observations: the readings of one
// precision of the program's input file, or a free station's observations
// of any kind, each with its own.
struct Wording {
    AngleUnit unit = AngleUnit::DecimalDegrees;
    // The readings' a priori precision (radians); for a free station the
    // kinds of its observations instead, and precisions are factors of the
    // a priori standard deviations.
    double sigma = 0.0;
    const std::vector<ObservationKind>* kinds = nullptr;
    bool free() const { return kinds != nullptr; }
    // "leitura P3", or "distancia horizontal a P2": observation i after an
    // article; 'name' how lists name it.
    std::string label(const std::string& name) const { return free() ? name : "leitura " + name; }
    std::string error(std::size_t i, double value) const {
        return free() ? observationError((*kinds)[i], unit, value) : errorSize(unit, value);
    }
    // The precision with which the rest pass, 'factor' times the a priori.
    std::string precisionAt(double factor) const {
        return free() ? "os desvios padrao a priori x " + figure(factor, 2)
                      : smallAngle(unit, factor * std::fabs(sigma), 2);
    }
    // The precision at which the test of all changes its verdict (the
    // factor itself for a free station).
    std::string changeAt(double changeSigma) const {
        return free() ? precisionAt(changeSigma) : smallAngle(unit, changeSigma, 2);
    }
    bool manyWrong(double changeSigma) const {
        return changeSigma > precisionOrError * (free() ? 1.0 : std::fabs(sigma));
    }
    const char* many() const { return free() ? "observacoes" : "leituras"; }
    const char* optimistic() const {
        return free() ? "os desvios padrao a priori sao optimistas"
                      : "a precisao a priori e optimista";
    }
};

// The closing lines of an observation named: why, the station without it,
// and its error. w is its w-test among all observations, where that
// adjustment stands; k the observation (from 0).
void flaggedLines(std::vector<std::string>& out, const Wording& say, std::size_t k,
                  const std::string& name, const ReadingTest* w, const Readjustment& r,
                  const std::string& station, const char* closing) {
    const std::string label = say.label(name);
    if (w != nullptr && w->tested) {
        out.push_back("  Maior |w| acima do valor critico: " + name + ", w = " + figure(w->w, 2) +
                      ".");
    } else {
        out.push_back("  A " + label +
                      " contra o valor que as outras lhe dao: w = " + figure(leftOutW(r), 2) + ".");
    }
    out.push_back("  Sem a " + label + ": " + station);
    out.push_back("  e vT P v = " + figure(r.test.quadraticForm, 3) + " com " +
                  degreesOfFreedom(r.test.degreesOfFreedom) + " (valor critico " +
                  figure(r.test.criticalValue, 3) +
                  "): " + (r.test.accepted ? "aceite." : "rejeitado."));
    if (!r.test.accepted) {
        const double factor = std::sqrt(std::max(1.0, r.test.quadraticForm / r.test.criticalValue));
        out.push_back(std::string("  Sem ela o teste ainda rejeita; mas com ") +
                      (say.free() ? "os desvios padrao" : "a precisao") +
                      " com que as outras passam (" + say.precisionAt(factor) + ")");
        out.push_back("  ela ainda se destaca (w = " + figure(leftOutW(r) / factor, 2) +
                      "): ha mais " + say.many() + " erradas, ou " + say.optimistic() + ".");
    }
    out.push_back(std::string("  A ") + (say.free() ? "observacao" : "leitura") +
                  " menos o valor calculado sem ela: " + say.error(k, r.discrepancy) + ".");
    out.push_back(closing + name + ", erro estimado " + say.error(k, r.discrepancy));
}

// Candidates that each explain the residuals alone: their estimates, why the
// measurements cannot tell them apart and what would. sep is for directions
// only.
void tiedLines(std::vector<std::string>& out, const Wording& say,
               const std::vector<std::string>& names, const std::vector<ReadingTest>& tests,
               const Suspect& suspect, const std::vector<Readjustment>& leftOut,
               const Separation* sep, const char* closing) {
    std::vector<std::string> listed;
    bool passing = true;
    for (const int k : suspect.sharing) {
        listed.push_back(names[static_cast<std::size_t>(k - 1)]);
        passing = passing && leftOut[static_cast<std::size_t>(k - 1)].test.accepted;
    }
    const std::size_t first = static_cast<std::size_t>(suspect.reading - 1);
    if (first < tests.size() && tests[first].tested) {
        out.push_back("  Maior |w| acima do valor critico entre elas: " + listed.front() +
                      ", w = " + figure(tests[first].w, 2) + ".");
    }
    out.push_back(
        passing ? std::string("  Sem qualquer uma destas ") + say.many() + " o teste global aceita:"
                : std::string("  Sem nenhuma ") + (say.free() ? "observacao" : "leitura") +
                      " o teste global aceita; as que mais o reduzem, por igual:");
    std::vector<std::vector<std::string>> rows;
    for (const int k : suspect.sharing) {
        const std::size_t i = static_cast<std::size_t>(k - 1);
        const Readjustment& r = leftOut[i];
        rows.push_back({"sem " + names[i], "vT P v = " + figure(r.test.quadraticForm, 3),
                        "(valor critico " + figure(r.test.criticalValue, 3) + "),",
                        "erro estimado " + say.error(i, r.discrepancy)});
    }
    for (const std::string& line : alignedRows(rows, 4, 1, "lrrl")) {
        out.push_back(line);
    }
    out.push_back("  As medicoes nao dizem qual delas esta errada.");
    if (sep != nullptr) {
        const std::string pair = listed[0] + " e " + listed[1];
        out.push_back("  Os testes w de " + pair + " tem correlacao " +
                      figure(sep->correlation, 2) + ".");
        if (!(std::fabs(sep->correlation) >= 0.7)) {
            out.push_back("  Nao e a geometria que as confunde: os seus |w| sao parecidos. Repita "
                          "as leituras " +
                          pair + ".");
        } else if (std::fabs(sep->correlationAfter) < 0.8 * std::fabs(sep->correlation)) {
            out.push_back("  Para as separar: vise mais um ponto no rumo de cerca de " +
                          largeAngle(say.unit, sep->bearing, 0) + " a partir da estacao");
            out.push_back("  (a correlacao desce para " + figure(sep->correlationAfter, 2) +
                          "), ou repita as leituras " + pair + ".");
        } else {
            out.push_back("  Nenhum ponto a mais numa so direccao as separa bem: repita as "
                          "leituras " +
                          pair + ".");
        }
    } else {
        out.push_back(std::string("  Para as separar: repita essas ") +
                      (say.free() ? "observacoes" : "leituras") + ", ou junte mais observacoes.");
    }
    out.push_back(closing + nameList(listed, " ou "));
}

// A |w| above the critical value while the global test accepts: the chance
// of testing many observations at once.
void chanceLines(std::vector<std::string>& out, const Wording& say,
                 const std::vector<ReadingTest>& tests) {
    if (std::any_of(tests.begin(), tests.end(), [](const ReadingTest& t) {
            return t.tested && std::fabs(t.w) > wTestCritical;
        })) {
        out.push_back(std::string("  Um |w| passa o valor critico, mas o teste global aceita: com "
                                  "tantas ") +
                      say.many() + " testadas");
        out.push_back(std::string("  isso acontece por acaso, e nenhuma ") +
                      (say.free() ? "observacao" : "leitura") + " e apontada.");
    }
}

// A rejection that no single observation explains: the candidate that comes
// closest, and why it is not named.
void noneStandsOutLines(std::vector<std::string>& out, const Wording& say,
                        const std::vector<std::string>& names,
                        const std::vector<Readjustment>& leftOut, const GlobalTest& test) {
    const char* one = say.free() ? "observacao" : "leitura";
    int best = 0;
    for (std::size_t i = 0; i < leftOut.size(); ++i) {
        if (leftOut[i].done &&
            (best == 0 || leftOut[i].test.quadraticForm <
                              leftOut[static_cast<std::size_t>(best - 1)].test.quadraticForm)) {
            best = static_cast<int>(i) + 1;
        }
    }
    if (best > 0) {
        const Readjustment& r = leftOut[static_cast<std::size_t>(best - 1)];
        const double factor = std::sqrt(std::max(1.0, r.test.quadraticForm / r.test.criticalValue));
        out.push_back(std::string("  Sem qualquer uma das ") + say.many() +
                      ", o teste continua a rejeitar. A que mais o reduz e " +
                      names[static_cast<std::size_t>(best - 1)] + ":");
        out.push_back("  sem ela vT P v = " + figure(r.test.quadraticForm, 3) + " (valor critico " +
                      figure(r.test.criticalValue, 3) + "); com " +
                      (say.free() ? "os desvios padrao" : "a precisao") + " com que as outras");
        out.push_back("  passam o teste (" + say.precisionAt(factor) + ") o seu w seria " +
                      figure(leftOutW(r) / factor, 2) + ", abaixo do valor critico.");
    }
    if (say.manyWrong(test.changeSigma)) {
        out.push_back(std::string("  O teste global rejeita sem que uma ") + one +
                      " se destaque, e so aceita com " + (say.free() ? "" : "uma precisao de ") +
                      say.changeAt(test.changeSigma) + ",");
        out.push_back(std::string("  mais de tres vezes ") +
                      (say.free() ? "os a priori" : "a a priori") + ": ha varias " + say.many() +
                      " erradas.");
        return;
    }
    out.push_back(std::string("  O teste global rejeita sem que uma ") + one +
                  " se destaque: " + say.optimistic());
    out.push_back("  (o teste aceita a partir de " + say.changeAt(test.changeSigma) +
                  "), ou ha erros pequenos em varias " + say.many() + ".");
}

// The closing lines where no observation is named: a |w| above the
// critical value by chance, an adjustment of all that settled nowhere, or a
// rejection no single observation explains.
void noSuspectLines(std::vector<std::string>& out, const Wording& say,
                    const std::vector<std::string>& names, const std::vector<ReadingTest>& tests,
                    const std::vector<Readjustment>& leftOut, bool allSound,
                    const GlobalTest& test) {
    const char* one = say.free() ? "observacao" : "leitura";
    if (allSound && test.accepted) {
        chanceLines(out, say, tests);
    } else if (!allSound) {
        out.push_back(std::string("  Nenhuma ") + one + " sozinha explica as " + say.many() +
                      ": sem cada uma, as outras ainda nao");
        out.push_back(std::string("  concordam. Ha varias ") + say.many() +
                      " erradas, ou coordenadas erradas.");
    } else {
        noneStandsOutLines(out, say, names, leftOut, test);
    }
    out.push_back(std::string("Nenhuma ") + one + " suspeita");
}

// The ellipses of a station, the factors of the 95 % ones and the
// orientation of the circle, where its adjustment gave the covariance;
// 'what' names the observations ("leituras").
void estimateLines(std::vector<std::string>& out, AngleUnit unit, const StationEstimate& e,
                   const char* what) {
    std::vector<std::vector<std::string>> rows = {{"", "semi-eixo maior", "semi-eixo menor"}};
    const double factor = e.redundancy >= 1 ? posteriori95Factor(e.redundancy) : 0.0;
    if (e.redundancy >= 1) {
        const std::string kind =
            e.testable ? std::string("a posteriori") : std::string("da dispersao das ") + what;
        rows.push_back(
            {"padrao, " + kind, metres(e.posteriori.major, 4), metres(e.posteriori.minor, 4)});
        const ErrorEllipse p95 = scaled(e.posteriori, factor);
        rows.push_back({"95 %, " + kind + " (x " + figure(factor, 4) + ")", metres(p95.major, 4),
                        metres(p95.minor, 4)});
    }
    if (e.testable) {
        rows.push_back({"padrao, a priori", metres(e.priori.major, 4), metres(e.priori.minor, 4)});
        const ErrorEllipse p95 = scaled(e.priori, confidence95Factor());
        rows.push_back({"95 %, a priori (x " + figure(confidence95Factor(), 4) + ")",
                        metres(p95.major, 4), metres(p95.minor, 4)});
    }
    if (rows.size() > 1) {
        const ErrorEllipse& shown = e.testable ? e.priori : e.posteriori;
        out.push_back("  Elipses de erro (rumo do eixo maior " +
                      largeAngle(unit, shown.bearing, 4) + "):");
        for (const std::string& line : alignedRows(rows, 4, 3)) {
            out.push_back(line);
        }
    }
    if (e.redundancy >= 1) {
        out.push_back("  Factor a 95 %: a posteriori sqrt(2 F(2, " + std::to_string(e.redundancy) +
                      "; 0.95)), com a variancia estimada de redundancia " +
                      std::to_string(e.redundancy) + ";");
        if (e.testable) {
            out.push_back(
                std::string("  a priori sqrt(qui-quadrado(2; 0.95)), com a precisao das ") + what +
                " conhecida.");
        }
    }
    if (e.oriented) {
        std::string line =
            "  Orientacao do circulo (rumo do seu zero): " + largeAngle(unit, e.orientation, 5) +
            "; desvio padrao ";
        if (e.testable) {
            line += "a priori " + smallAngle(unit, e.orientationPriori, 2);
            if (e.redundancy >= 1) {
                line += ", a posteriori " + smallAngle(unit, e.orientationPosteriori, 2);
            }
        } else {
            line += e.redundancy >= 1 ? std::string("da dispersao das ") + what + " " +
                                            smallAngle(unit, e.orientationPosteriori, 2)
                                      : "sem precisao conhecida";
        }
        out.push_back(line);
    }
}

void stationLines(std::vector<std::string>& out, const Survey& survey,
                  const PlanimetricAnalysis& a) {
    const AngleUnit unit = survey.header.unit;
    const std::string station = trimmedName(survey.header.stationName);
    const StationEstimate& e = a.station;
    const std::vector<std::string> names = trimmedNames(survey.pointName);
    switch (a.basis) {
    case Basis::None:
        out.push_back("Estacao: nao determinada.");
        if (a.redundancy == 1) {
            out.push_back("  Com 4 pontos e uma leitura muito errada, as leituras nao dizem onde "
                          "a estacao esta:");
            out.push_back("  cada tres delas dao uma estacao diferente (abaixo), e nao se sabe "
                          "qual.");
        } else {
            out.push_back("  Nenhum ajustamento assenta perto dos pontos, nem sem uma so "
                          "leitura.");
        }
        return;
    case Basis::Without:
        out.push_back("Estacao sem a leitura " +
                      names[static_cast<std::size_t>(a.basisReading - 1)] +
                      " (a analise assenta nela):");
        break;
    case Basis::All:
        out.push_back(a.redundancy == 0 ? "Estacao (solucao directa):" : "Estacao ajustada:");
        break;
    }
    for (const std::string& line : alignedRows(
             {{"M(" + station + ") =", metres(e.m, 3)}, {"P(" + station + ") =", metres(e.p, 3)}},
             2, 4)) {
        out.push_back(line);
    }
    if (e.unitCofactor.rows() < 2) {
        return;
    }
    estimateLines(out, unit, e, "leituras");
}

// Four points: the station of each three readings and what the fourth would
// be wrong by.
void fourPointLines(std::vector<std::string>& out, const Survey& survey,
                    const PlanimetricAnalysis& a) {
    const AngleUnit unit = survey.header.unit;
    const std::vector<std::string> names = trimmedNames(survey.pointName);
    out.push_back("  Com redundancia 1 os testes w de todas as leituras tem o mesmo valor "
                  "absoluto: um erro");
    out.push_back("  pode ser detectado, mas nao atribuido a uma leitura.");
    if (a.threePoint.empty()) {
        return;
    }
    const std::string changeAt = smallAngle(unit, a.test.changeSigma, 2);
    if (!a.allSound) {
        out.push_back("  O ajustamento das quatro leituras nao assenta perto dos pontos: uma "
                      "delas esta muito errada.");
    } else if (a.basis == Basis::All) {
        out.push_back("  O teste rejeita: ou uma leitura esta errada, ou a precisao a priori e "
                      "optimista (o teste");
        out.push_back("  aceita a partir de " + changeAt + ").");
    } else {
        out.push_back("  O teste rejeita, e so uma precisao mais de tres vezes a a priori o "
                      "faria aceitar (a partir");
        out.push_back("  de " + changeAt + "): uma leitura esta errada.");
    }
    out.push_back("  Sem cada leitura, as outras tres dao a estacao exactamente:");
    std::vector<std::vector<std::string>> rows;
    int found = 0;
    for (std::size_t i = 0; i < a.threePoint.size(); ++i) {
        const ThreePointStation& s = a.threePoint[i];
        if (s.found) {
            ++found;
            rows.push_back({"sem " + names[i] + ":", "M = " + metres(s.m, 3) + ",",
                            "P = " + metres(s.p, 3) + ";",
                            names[i] + " estaria errada de " + errorSize(unit, s.discrepancy)});
        } else {
            rows.push_back({"sem " + names[i] + ":",
                            "as outras tres nao se cruzam, no sentido em que foram lidas, perto "
                            "dos pontos"});
        }
    }
    for (const std::string& line : alignedRows(rows, 4, 1, "llll")) {
        out.push_back(line);
    }
    if (found >= 2) {
        out.push_back("  Estas estacoes distam ate " + metres(a.threePointSpread, 3) +
                      " entre si. As leituras nao dizem qual esta certa:");
    } else {
        out.push_back("  So uma leitura deixada de fora deixa as outras concordar, mas com quatro "
                      "pontos nada o confirma:");
    }
    out.push_back("  para o saber, vise mais um ponto, ou repita as quatro leituras.");
}

// What an undetected error in each of the other readings could still do to
// the station without the suspect.
void basisReliabilityLines(std::vector<std::string>& out, AngleUnit unit,
                           const std::vector<std::string>& names, const PlanimetricAnalysis& a) {
    out.push_back("");
    out.push_back("Fiabilidade das outras leituras, na estacao sem " +
                  names[static_cast<std::size_t>(a.basisReading - 1)] + ":");
    std::vector<std::vector<std::string>> rows = {
        {"Ponto", "Redundancia", "Erro detectavel", "Desvio da estacao", ""}};
    for (std::size_t i = 0; i < a.basisReadings.size(); ++i) {
        const ReadingTest& t = a.basisReadings[i];
        if (static_cast<int>(i) + 1 == a.basisReading || !t.tested) {
            continue;
        }
        rows.push_back({names[i], figure(t.redundancy, 3), smallAngle(unit, t.detectableBias, 1),
                        metres(t.stationShift, 4), t.weak() ? "fraco" : ""});
    }
    for (const std::string& line : alignedRows(rows, 2, 3, "lrrrl")) {
        out.push_back(line);
    }
}

void readingsSection(std::vector<std::string>& out, const Survey& survey,
                     const PlanimetricAnalysis& a) {
    const AngleUnit unit = survey.header.unit;
    const std::vector<std::string> names = trimmedNames(survey.pointName);
    const Wording say{unit, a.sigma};
    const char* closing = "Leitura suspeita: ";
    out.push_back("Leituras azimutais (direccoes com uma orientacao desconhecida):");
    if (a.redundancy == 0) {
        out.push_back("  Sem redundancia nenhum erro de leitura pode ser detectado.");
        out.push_back("Nenhuma leitura pode ser testada (redundancia 0)");
        return;
    }
    if (a.readings.empty()) {
        out.push_back("  Nenhum ajustamento das leituras assenta perto dos pontos: sem testes por "
                      "leitura.");
    } else {
        if (a.readingsWithout) {
            out.push_back("  (do ajustamento sem a leitura " +
                          names[static_cast<std::size_t>(a.basisReading - 1)] +
                          ", que fica fora dele)");
        }
        readingTable(out, unit, names, a.readings, a.readingsWithout ? a.basisReading : 0,
                     "Desvio da estacao", "a desloca", " m");
    }
    if (!a.testable) {
        out.push_back("  Com a precisao a priori de " + precisionText(unit, a.sigma) +
                      " nenhum teste pode ser feito: indique a precisao");
        out.push_back("  de uma leitura (maior do que 0, e menor do que meia volta).");
        out.push_back("Nenhuma leitura pode ser testada (precisao a priori sem teste)");
        return;
    }
    if (a.redundancy == 1) {
        fourPointLines(out, survey, a);
        if (a.suspect.kind == Suspect::Kind::Unidentifiable) {
            out.push_back(
                std::string(closing) + "nao identificavel entre " +
                nameList(std::vector<std::string>(names.begin(), names.end())) +
                (a.basis == Basis::All ? ", ou nenhuma (precisao a priori optimista)" : ""));
        } else {
            out.push_back("Nenhuma leitura suspeita");
        }
        return;
    }
    switch (a.suspect.kind) {
    case Suspect::Kind::Flagged: {
        const std::size_t k = static_cast<std::size_t>(a.suspect.reading - 1);
        const Readjustment& r = a.without;
        std::string station = "M = " + metres(r.stationM, 3) + ", P = " + metres(r.stationP, 3);
        station += a.allSound ? "; a estacao desloca-se " + metres(r.shift, 3) + "," : ",";
        flaggedLines(out, say, k, names[k],
                     a.readingsWithout || a.readings.empty() ? nullptr : &a.readings[k], r, station,
                     closing);
        if (!a.readingsWithout) {
            basisReliabilityLines(out, unit, names, a);
        }
        return;
    }
    case Suspect::Kind::Tied:
        tiedLines(out, say, names, a.readings, a.suspect, a.leftOut,
                  a.readings.empty() ? nullptr : &a.separation, closing);
        return;
    case Suspect::Kind::Unidentifiable:
    case Suspect::Kind::None:
        break;
    }
    noSuspectLines(out, say, names, a.readings, a.leftOut, a.allSound, a.test);
}

void geometryLines(std::vector<std::string>& out, const Survey& survey,
                   const PlanimetricAnalysis& a) {
    out.push_back("Geometria:");
    const DangerCircle& c = a.circle;
    const std::string first3 =
        nameList({trimmedName(survey.pointName[0]), trimmedName(survey.pointName[1]),
                  trimmedName(survey.pointName[2])});
    const bool figuresDefined =
        std::isfinite(c.radius) && std::isfinite(c.centreM) && std::isfinite(c.centreP);
    if (!figuresDefined) {
        out.push_back("  Circunferencia pelos tres primeiros pontos (" + first3 +
                      "): nao calculavel, as coordenadas");
        out.push_back("  excedem o alcance do calculo.");
    } else if (c.exists) {
        out.push_back("  Circunferencia pelos tres primeiros pontos (" + first3 + "): raio " +
                      metres(c.radius, 3));
    } else {
        out.push_back("  Os tres primeiros pontos (" + first3 +
                      ") estao alinhados: nao ha circunferencia perigosa.");
    }
    if (!a.station.known) {
        out.push_back("  Sem estacao determinada nao ha distancias nem figura de robustez.");
        return;
    }
    if (figuresDefined && std::isfinite(c.distance)) {
        out.push_back(
            c.exists ? "  Distancia da estacao a essa circunferencia: " + metres(c.distance, 3) +
                           " (" + figure(100.0 * c.relative, 2) + " % do raio)"
                     : "  Distancia da estacao a essa recta: " + metres(c.distance, 3));
    }
    out.push_back("  Comprimento medio das visadas: " + metres(a.meanSight, 3) + ", mediano " +
                  metres(a.medianSight, 3));
    if (!a.strengthDefined) {
        out.push_back("  Sem figura de robustez: o ajustamento das direccoes nao convergiu.");
        return;
    }
    out.push_back("  Figura de robustez G = " + figure(a.strength, 2));
    out.push_back("  (G = erro padrao a priori da posicao / (precisao de uma leitura x "
                  "comprimento mediano");
    out.push_back("  das visadas); cerca de 1 com quatro pontos bem distribuidos a volta da "
                  "estacao;");
    out.push_back("  um ponto muito mais longe do que os outros nao a melhora.)");
    if (a.firstThreeConverged) {
        out.push_back("  So com os tres primeiros pontos, que dao a primeira posicao: G = " +
                      figure(a.firstThreeStrength, 2));
    } else {
        out.push_back("  So com os tres primeiros pontos: sem figura, o ajustamento das tres "
                      "leituras sozinhas");
        out.push_back("  nao convergiu (uma delas errada, ou a estacao sobre a circunferencia).");
    }
    // The danger circle matters where the station is near it and the first
    // three then fix it poorly; far from it a weak first triple is the
    // triple's shape. It is a warning only where the whole network's
    // precision suffers too (G weak); else the other points make up for it.
    const bool nearCircle = c.exists && figuresDefined && c.relative < nearDangerCircle &&
                            a.firstThreeConverged && a.firstThreeStrength >= weakGeometry;
    if (nearCircle && a.strength < weakGeometry) {
        out.push_back("  A estacao esta perto da circunferencia perigosa dos tres primeiros "
                      "pontos, a " +
                      figure(100.0 * c.relative, 2) + " % do raio,");
        out.push_back("  mas os outros pontos visados compensam: a geometria do conjunto e "
                      "boa.");
        return;
    }
    if (nearCircle) {
        out.push_back("  AVISO: a estacao esta perto da circunferencia perigosa, a " +
                      figure(100.0 * c.relative, 2) + " % do raio.");
        out.push_back("  Sobre a circunferencia que passa pelos pontos visados os angulos "
                      "medidos sao os mesmos");
        out.push_back("  em todos os pontos dela: a posicao nao fica determinada. Perto dela "
                      "pequenos erros");
        out.push_back("  de leitura deslocam muito a estacao, e a primeira posicao dos tres "
                      "primeiros pontos");
        out.push_back("  pode falhar.");
    }
    if (a.strength >= weakGeometry) {
        out.push_back(std::string("  AVISO: geometria ") +
                      (a.strength >= veryWeakGeometry ? "muito " : "") +
                      "fraca (G = " + figure(a.strength, 1) + "): a posicao fica cerca de " +
                      figure(a.strength, 0) + " vezes");
        out.push_back("  mais incerta do que o erro lateral de uma visada de comprimento mediano. "
                      "Um erro de");
        out.push_back("  leitura pequeno desloca muito a estacao, as precisoes sao grandes e o "
                      "ajustamento");
        out.push_back("  pode nao convergir ou terminar em \"Matriz singular!\". Vise pontos "
                      "noutras direccoes,");
        out.push_back("  longe da circunferencia que passa pela estacao e pelos pontos "
                      "visados.");
    } else {
        out.push_back("  Geometria boa.");
    }
}

std::vector<std::string> weakNames(const std::vector<std::string>& names,
                                   const std::vector<ReadingTest>& tests, int outside) {
    std::vector<std::string> weak;
    for (std::size_t i = 0; i < tests.size() && i < names.size(); ++i) {
        if (static_cast<int>(i) + 1 != outside && tests[i].tested && tests[i].weak()) {
            weak.push_back(names[i]);
        }
    }
    return weak;
}

} // namespace

std::string notJudgedText(const HeightAnalysis& h) {
    switch (h.notJudged) {
    case NotJudged::None:
        break;
    case NotJudged::NoStation:
        return "a estacao nao ficou determinada pelas leituras azimutais";
    case NotJudged::ReadingOutOfRange:
        return "a leitura zenital " + h.notJudgedName + " excede o alcance do calculo; corrija-a";
    case NotJudged::NotConverging:
        return "o ajustamento das leituras zenitais nao convergiu";
    case NotJudged::TiedDirections:
        return "nao se sabe qual leitura azimutal esta errada";
    case NotJudged::WithoutDirection:
        return "sem a leitura azimutal " + h.notJudgedName + " a posicao da estacao fica incerta";
    case NotJudged::ManyWrongDirections:
        return "varias leituras azimutais erradas deixam a posicao da estacao incerta";
    }
    return "";
}

SummaryFigures summaryFigures(const Survey& survey, const PlanimetricAnalysis& a,
                              const ZenithSection* zenith, const HeightAnalysis* height) {
    using F = SummaryFigures;
    F f;
    const std::vector<std::string> names = trimmedNames(survey.pointName);
    f.stationName = trimmedName(survey.header.stationName);
    f.unit = survey.header.unit;
    f.points = survey.pointCount;
    f.redundancy = a.redundancy;
    f.sigma = a.sigma;
    f.testable = a.testable;
    f.basis = a.basis;
    if (a.basis == Basis::Without) {
        f.without = names[static_cast<std::size_t>(a.basisReading - 1)];
    }
    f.m = a.station.m;
    f.p = a.station.p;
    f.ellipseKnown = a.station.known && (a.station.testable || a.station.redundancy >= 1);
    if (f.ellipseKnown) {
        f.ellipse95 = a.station.ellipse95();
        f.posteriori = a.station.posterioriShown();
    }
    f.allRanAway = !a.allSound;
    f.changeSigma = a.test.changeSigma;
    f.manyWrong = a.test.changeSigma > precisionOrError * std::fabs(a.sigma);
    if (!a.tested) {
        f.test = F::Test::NotApplicable;
    } else {
        f.test = a.allSound && a.test.accepted ? F::Test::Accepted : F::Test::Rejected;
        if (a.redundancy == 1 && f.test == F::Test::Rejected) {
            f.verdict = F::Verdict::FourPoints;
            f.suspects = names;
            f.threePointSpread = a.threePointSpread;
            f.threePointStations =
                static_cast<int>(std::count_if(a.threePoint.begin(), a.threePoint.end(),
                                               [](const ThreePointStation& t) { return t.found; }));
        } else if (a.suspect.kind == Suspect::Kind::Flagged) {
            f.verdict = F::Verdict::One;
            f.suspects = {names[static_cast<std::size_t>(a.suspect.reading - 1)]};
            f.errors = {errorSize(f.unit, a.without.discrepancy)};
            f.withoutAccepted = a.without.test.accepted;
        } else if (a.suspect.kind == Suspect::Kind::Tied) {
            f.verdict = F::Verdict::Several;
            f.withoutAccepted = true;
            for (const int k : a.suspect.sharing) {
                const Readjustment& r = a.leftOut[static_cast<std::size_t>(k - 1)];
                f.suspects.push_back(names[static_cast<std::size_t>(k - 1)]);
                f.errors.push_back(errorSize(f.unit, r.discrepancy));
                f.withoutAccepted = f.withoutAccepted && r.test.accepted;
            }
            const Separation& sep = a.separation;
            f.separatingSight = !a.readings.empty() && std::fabs(sep.correlation) >= 0.7 &&
                                std::fabs(sep.correlationAfter) < 0.8 * std::fabs(sep.correlation);
            f.separatingBearing = sep.bearing;
        } else if (f.test == F::Test::Rejected) {
            f.verdict = F::Verdict::NoneStandsOut;
        }
        f.weak = weakNames(names, a.basisReadings, a.basisReading);
        std::erase_if(f.weak, [&f](const std::string& name) {
            return std::find(f.suspects.begin(), f.suspects.end(), name) != f.suspects.end();
        });
    }
    if (height != nullptr) {
        const HeightAnalysis& h = *height;
        f.height = true;
        f.heightKnown = h.computed && h.adjusted;
        f.heightNotJudged = notJudgedText(h);
        f.h = h.analysedHeight();
        const bool without = h.suspect.kind == Suspect::Kind::Flagged && h.without.done;
        f.hSigma = without ? h.without.positionSigma *
                                 std::sqrt(h.without.test.quadraticForm /
                                           std::max(1, h.without.test.degreesOfFreedom))
                           : h.posterioriSigmaH;
        if (without) {
            f.heightWithout =
                trimmedName(zenith->pointName[static_cast<std::size_t>(h.suspect.reading - 1)]);
        }
        f.heightTestable = h.testable;
        f.heightRejected = h.testable && h.adjusted && !h.test.accepted;
        f.heightChangeSigma = h.test.changeSigma;
        const std::vector<std::string> zn =
            h.computed ? trimmedNames(zenith->pointName) : std::vector<std::string>{};
        if (h.suspect.kind == Suspect::Kind::Flagged) {
            f.heightSuspects = {zn[static_cast<std::size_t>(h.suspect.reading - 1)]};
            f.heightErrors = {errorSize(f.unit, h.without.discrepancy)};
        } else if (h.suspect.kind == Suspect::Kind::Tied ||
                   h.suspect.kind == Suspect::Kind::Unidentifiable) {
            for (const int k : h.suspect.sharing) {
                f.heightSuspects.push_back(zn[static_cast<std::size_t>(k - 1)]);
            }
        }
    }
    return f;
}

std::vector<std::string> planimetryText(const Survey& survey, const PlanimetricAnalysis& a) {
    std::vector<std::string> out;
    const AngleUnit unit = survey.header.unit;
    out.push_back("Estacao " + trimmedName(survey.header.stationName) + ": " +
                  std::to_string(survey.pointCount) +
                  " pontos visados, redundancia (planimetria) " +
                  std::to_string(survey.redundancy));
    out.push_back("Precisao a priori de uma leitura: " + precisionText(unit, a.sigma));
    if (a.tested) {
        out.push_back("Um so ajustamento com esta precisao, sem a pesquisa da precisao.");
    } else if (!a.testable) {
        out.push_back("Com esta precisao nenhum teste pode ser feito: a estacao vem do "
                      "ajustamento das direccoes");
        out.push_back("com pesos iguais, e a precisao das leituras estima-se pelos seus "
                      "residuos.");
    }
    if (a.program.failed()) {
        out.push_back("O ajustamento de todas as leituras, como o programa o faz, parou: " +
                      programFailure(a.program, unit));
        if (a.allSound) {
            out.push_back(a.fromConsensus
                              ? "As leituras de todos os pontos ajustam-se a partir da posicao "
                                "com que mais leituras concordam."
                              : "As leituras de todos os pontos ajustam-se como direccoes.");
        } else {
            out.push_back("Nenhum ajustamento de todas as leituras assenta perto dos pontos: "
                          "nenhuma estacao dele serve.");
        }
    } else if (a.fromConsensus) {
        out.push_back("O ajustamento das direccoes parte da posicao com que mais leituras "
                      "concordam.");
    }
    out.push_back("");
    if (a.tested && a.allSound) {
        globalTestLines(out, "Teste global (planimetria):", a.test, unit);
    } else if (a.tested) {
        out.push_back("Sem teste global de todas as leituras: nenhum ajustamento delas assenta "
                      "perto dos pontos.");
    } else if (a.redundancy == 0) {
        out.push_back("Sem redundancia: a posicao e a solucao directa dos tres pontos, sem teste "
                      "global.");
    } else {
        out.push_back("Sem teste global: a precisao a priori nao o permite.");
    }
    out.push_back("");
    stationLines(out, survey, a);
    out.push_back("");
    readingsSection(out, survey, a);
    out.push_back("");
    geometryLines(out, survey, a);
    return out;
}

std::vector<std::string> heightText(const SurveyHeader& header, const ZenithSection& zenith,
                                    const HeightAnalysis& h) {
    std::vector<std::string> out;
    const AngleUnit unit = header.unit;
    const int n = zenith.count;
    out.push_back("Altimetria: " + std::to_string(n) +
                  (n == 1 ? " observacao zenital" : " observacoes zenitais") + ", redundancia " +
                  std::to_string(n - 1));
    if (!h.computed) {
        out.push_back("A cota nao e calculada: " + notJudgedText(h) + ".");
        return out;
    }
    if (!h.adjusted) {
        out.push_back("Uma so observacao zenital: a cota nao e ajustada.");
        return out;
    }
    out.push_back("Precisao a priori de uma leitura zenital: " + precisionText(unit, h.sigma));
    if (!h.testable) {
        out.push_back("Com esta precisao nenhum teste pode ser feito: a cota vem do ajustamento "
                      "com pesos iguais.");
    }
    if (h.program.failed()) {
        out.push_back("O ajustamento da cota, como o programa o faz a partir da primeira "
                      "observacao, parou:");
        out.push_back(programFailure(h.program, unit));
        out.push_back("A cota vem do ajustamento a partir da mediana das cotas que cada "
                      "observacao da sozinha.");
    }
    if (!h.withoutDirection.empty()) {
        out.push_back("Distancias da estacao ajustada sem a leitura azimutal " +
                      h.withoutDirection + ": M = " + metres(h.stationM, 3) +
                      ", P = " + metres(h.stationP, 3) + ".");
    }
    out.push_back("");
    if (h.testable) {
        globalTestLines(out, "Teste global (altimetria):", h.test, unit);
        out.push_back("");
    }
    const std::string station = trimmedName(header.stationName);
    out.push_back("Cota ajustada:");
    out.push_back("  C(" + station + ") = " + metres(h.stationHeight, 3));
    out.push_back(h.testable ? "  Desvio padrao a posteriori " + metres(h.posterioriSigmaH, 4) +
                                   ", a priori " + metres(h.prioriSigmaH, 4)
                             : "  Desvio padrao da dispersao das leituras " +
                                   metres(h.posterioriSigmaH, 4));
    if (h.curvatureAdjusted) {
        out.push_back("  Com a curvatura terrestre e a refraccao nas equacoes (k d^2, k = "
                      "6.82e-8 por metro):");
        out.push_back("  C(" + station + ") = " + metres(h.curvatureHeight, 3) + ", diferenca " +
                      metres(h.curvatureDifference, 4));
        if (h.testable && std::fabs(h.curvatureDifference) > h.prioriSigmaH) {
            out.push_back("  AVISO: a diferenca excede o desvio padrao a priori da cota: o "
                          "programa so usa o termo");
            out.push_back("  k d^2 no valor inicial, e nas visadas longas a sua cota fica "
                          "errada de cerca de k d^2.");
        }
    } else {
        out.push_back("  Com a curvatura terrestre e a refraccao nas equacoes: o ajustamento "
                      "nao convergiu.");
    }
    out.push_back("");
    const std::vector<std::string> names = trimmedNames(zenith.pointName);
    const Wording say{unit, h.sigma};
    const char* closing = "Leitura zenital suspeita: ";
    out.push_back("Leituras zenitais:");
    readingTable(out, unit, names, h.readings, 0, "Desvio da cota", "a muda", " m");
    if (!h.testable) {
        out.push_back("Nenhuma leitura zenital pode ser testada (precisao a priori sem teste)");
        return out;
    }
    if (h.notJudged != NotJudged::None) {
        out.push_back("  Nao se julgam as leituras zenitais: " + notJudgedText(h) + ";");
        out.push_back("  os angulos zenitais calculados dependem da posicao da estacao. Corrija "
                      "primeiro as leituras");
        out.push_back("  azimutais, ou junte pontos que fixem a estacao.");
        out.push_back("Leitura zenital suspeita: nao julgada enquanto a posicao da estacao for "
                      "incerta");
        return out;
    }
    switch (h.suspect.kind) {
    case Suspect::Kind::Flagged: {
        const std::size_t k = static_cast<std::size_t>(h.suspect.reading - 1);
        flaggedLines(out, say, k, names[k], &h.readings[k], h.without,
                     "C = " + metres(h.without.stationHeight, 3) + "; a cota muda " +
                         metres(h.without.shift, 4) + ",",
                     closing);
        return out;
    }
    case Suspect::Kind::Tied:
        tiedLines(out, say, names, h.readings, h.suspect, h.leftOut, nullptr, closing);
        return out;
    case Suspect::Kind::Unidentifiable: {
        std::vector<std::string> sharing;
        for (const int k : h.suspect.sharing) {
            sharing.push_back(names[static_cast<std::size_t>(k - 1)]);
        }
        out.push_back("  Com redundancia 1 os testes w das duas leituras tem o mesmo valor "
                      "absoluto: um erro pode");
        out.push_back("  ser detectado, mas nao atribuido a uma delas; ou a precisao a priori e "
                      "optimista.");
        out.push_back(std::string(closing) + "nao identificavel entre " + nameList(sharing));
        return out;
    }
    case Suspect::Kind::None:
        break;
    }
    if (h.test.accepted) {
        chanceLines(out, say, h.readings);
    } else {
        noneStandsOutLines(out, say, names, h.leftOut, h.test);
    }
    out.push_back("Nenhuma leitura zenital suspeita");
    return out;
}

namespace {

// A free station's observations: their kinds, and how the text names each.
std::vector<ObservationKind> kindsOf(const StationSurvey& survey) {
    std::vector<ObservationKind> kinds;
    kinds.reserve(survey.observations.size());
    for (const Observation& o : survey.observations) {
        kinds.push_back(o.kind);
    }
    return kinds;
}

// "distancia horizontal a P2"; an angle "angulo horizontal de P1 a P2".
std::string observationLabel(const StationSurvey& survey, std::size_t i) {
    const Observation& o = survey.observations[i];
    const std::string& to = survey.points[static_cast<std::size_t>(o.target)].name;
    if (o.kind == ObservationKind::Angle) {
        return std::string(observationName(o.kind)) + " de " +
               survey.points[static_cast<std::size_t>(o.from)].name + " a " + to;
    }
    return std::string(observationName(o.kind)) + " a " + to;
}

std::vector<std::string> observationLabels(const StationSurvey& survey) {
    std::vector<std::string> labels;
    labels.reserve(survey.observations.size());
    for (std::size_t i = 0; i < survey.observations.size(); ++i) {
        labels.push_back(observationLabel(survey, i));
    }
    return labels;
}

// Why an adjustment gave no station, in words.
std::string faultText(const StationSurvey& survey, const FreeStation& f) {
    switch (f.fault) {
    case AdjustmentFault::None:
        break;
    case AdjustmentFault::TooFewObservations:
        return "observacoes insuficientes: " + std::to_string(f.observations) +
               " observacoes para " + std::to_string(f.unknowns) + " incognitas";
    case AdjustmentFault::NoFirstPosition:
        return "nenhuma combinacao das observacoes da uma primeira posicao: sao precisas "
               "direccoes a tres pontos, distancias a dois, ou uma distancia e direccoes a dois "
               "pontos";
    case AdjustmentFault::Undetermined:
        return "a geometria deixa incognitas por fixar (a estacao alinhada com os pontos ou "
               "sobre a circunferencia que os contem, ou observacoes de menos de um tipo)";
    case AdjustmentFault::OnPoint:
        return "a estacao caiu sobre o ponto " +
               (f.faultPoint >= 0 ? survey.points[static_cast<std::size_t>(f.faultPoint)].name
                                  : std::string("visado"));
    case AdjustmentFault::NotFinite:
        return "os valores do ajustamento deixaram de ser numeros finitos";
    case AdjustmentFault::RanAway:
        return "a estacao afastou-se para longe dos pontos";
    case AdjustmentFault::NotConverging:
        return "o ajustamento nao convergiu em " + std::to_string(maxFreeStationIterations) +
               " iteracoes";
    }
    return "";
}

// The unknowns of a free station's adjustment, in words.
std::string unknownsText(const FreeStation& f) {
    std::vector<std::string> names = {"M", "P"};
    if (f.orientationIndex > 0) {
        names.emplace_back("orientacao do circulo");
    }
    if (f.heightIndex > 0) {
        names.emplace_back("cota");
    }
    if (f.scaleIndex > 0) {
        names.emplace_back("escala");
    }
    return nameList(names);
}

// How many observations of each kind: "3 direccoes e 2 distancias
// horizontais".
std::string kindCounts(const StationSurvey& survey) {
    static const ObservationKind order[] = {
        ObservationKind::Direction, ObservationKind::Angle, ObservationKind::HorizontalDistance,
        ObservationKind::SlopeDistance, ObservationKind::Zenith};
    static const char* const plural[] = {"direccoes", "angulos horizontais",
                                         "distancias horizontais", "distancias inclinadas",
                                         "angulos zenitais"};
    std::vector<std::string> parts;
    for (std::size_t k = 0; k < 5; ++k) {
        const auto count = std::count_if(survey.observations.begin(), survey.observations.end(),
                                         [&](const Observation& o) { return o.kind == order[k]; });
        if (count > 0) {
            parts.push_back(std::to_string(count) + " " +
                            (count == 1 ? observationName(order[k]) : plural[k]));
        }
    }
    return nameList(parts);
}

// A free station's observations with their standard deviations, tests and
// reliability.
void observationTable(std::vector<std::string>& out, const StationSurvey& survey,
                      const std::vector<ReadingTest>& tests, int outside, bool height) {
    const AngleUnit unit = survey.unit;
    std::vector<std::vector<std::string>> rows = {{"Alvo", "Tipo", "Desvio padrao", "Residuo",
                                                   "Redundancia", "w", "Erro estimado",
                                                   "Erro detectavel", "Desvio da estacao"}};
    if (height) {
        rows.front().emplace_back("Desvio da cota");
    }
    rows.front().emplace_back("");
    bool uncontrolled = false;
    bool weak = false;
    for (std::size_t i = 0; i < survey.observations.size(); ++i) {
        const Observation& o = survey.observations[i];
        std::string target = survey.points[static_cast<std::size_t>(o.target)].name;
        if (o.kind == ObservationKind::Angle) {
            target.insert(0, survey.points[static_cast<std::size_t>(o.from)].name + "-");
        }
        std::vector<std::string> row = {target, observationWord(o.kind),
                                        observationSmall(o.kind, unit, o.sigma, 2)};
        if (static_cast<int>(i) + 1 == outside || i >= tests.size()) {
            row.insert(row.end(), {"-", "-", "-", "-", "-", "-"});
            if (height) {
                row.emplace_back("-");
            }
            row.emplace_back("(fora)");
            rows.push_back(row);
            continue;
        }
        const ReadingTest& t = tests[i];
        row.push_back(observationSmall(o.kind, unit, t.residual, 2));
        row.push_back(figure(t.redundancy, 3));
        row.push_back(t.tested ? figure(t.w, 2) : "-");
        row.push_back(t.controlled ? observationSmall(o.kind, unit, t.estimatedError, 1) : "-");
        row.push_back(t.tested ? observationSmall(o.kind, unit, t.detectableBias, 1) : "-");
        row.push_back(t.tested ? metres(t.stationShift, 4) : "-");
        if (height) {
            row.push_back(t.tested ? metres(t.heightShift, 4) : "-");
        }
        row.push_back(!t.controlled ? "(-)" : t.weak() ? "fraco" : "");
        uncontrolled = uncontrolled || !t.controlled;
        weak = weak || (t.controlled && t.weak());
        rows.push_back(row);
    }
    for (const std::string& line : alignedRows(rows, 2, 3, height ? "llrrrrrrrrl" : "llrrrrrrrl")) {
        out.push_back(line);
    }
    if (std::any_of(tests.begin(), tests.end(), [](const ReadingTest& t) { return t.tested; })) {
        out.push_back("  Teste w de cada observacao com o seu desvio padrao a priori: valor "
                      "critico " +
                      figure(wTestCritical, 2) + " (alfa = 0.1 %).");
        out.push_back("  Erro detectavel: o menor erro que o teste w encontra com 80 % de "
                      "probabilidade,");
        out.push_back(std::string("  4.13 sigma / raiz(redundancia). Desvio da estacao") +
                      (height ? " (e da cota)" : "") + ": quanto a desloca um erro");
        out.push_back("  desse tamanho que passe sem ser detectado. Distancias em mm; angulos "
                      "em " +
                      std::string(precisionInSeconds(unit) ? "segundos." : "mgon."));
    }
    if (weak) {
        out.push_back("  fraco: redundancia abaixo de 0.1; os residuos mostram menos de um decimo "
                      "de um erro");
        out.push_back("  nessa observacao, e um erro de varias vezes o seu desvio padrao passa "
                      "despercebido.");
    }
    if (uncontrolled) {
        out.push_back("  (-) Observacao sem controlo (redundancia 0): um erro nela nao aparece "
                      "nos residuos.");
    }
}

// With a redundancy of 1: the station without each observation, and what
// the one left out would be wrong by.
void redundancyOneLines(std::vector<std::string>& out, const StationSurvey& survey,
                        const FreeStationAnalysis& a, const std::vector<std::string>& labels) {
    out.push_back("  Com redundancia 1 os testes w de todas as observacoes controladas tem o "
                  "mesmo valor absoluto:");
    out.push_back("  um erro pode ser detectado, mas nao atribuido a uma observacao.");
    if (!a.allSound) {
        out.push_back("  O ajustamento de todas as observacoes nao assenta perto dos pontos: "
                      "uma delas esta muito errada.");
    } else if (a.basis == Basis::All) {
        out.push_back("  O teste rejeita: ou uma observacao esta errada, ou os desvios padrao a "
                      "priori sao optimistas");
        out.push_back("  (o teste aceita com " + precisionFactor(a.test.changeSigma) + ").");
    } else {
        out.push_back("  O teste rejeita, e so desvios padrao mais de tres vezes os a priori o "
                      "fariam aceitar");
        out.push_back("  (" + precisionFactor(a.test.changeSigma) +
                      "): uma observacao esta errada.");
    }
    out.push_back("  Sem cada observacao, as outras dao a estacao exactamente:");
    std::vector<std::vector<std::string>> rows;
    int found = 0;
    for (const int k : a.suspect.sharing) {
        const std::size_t i = static_cast<std::size_t>(k - 1);
        const Readjustment& r = a.leftOut[i];
        if (r.done) {
            ++found;
            rows.push_back({"sem a " + labels[i] + ":", "M = " + metres(r.stationM, 3) + ",",
                            "P = " + metres(r.stationP, 3) + ";",
                            "estaria errada de " + observationError(survey.observations[i].kind,
                                                                    survey.unit, r.discrepancy)});
        } else {
            rows.push_back({"sem a " + labels[i] + ":", "as outras nao dao uma estacao perto "
                                                        "dos pontos"});
        }
    }
    for (const std::string& line : alignedRows(rows, 4, 1, "llll")) {
        out.push_back(line);
    }
    out.push_back(found >= 2 ? "  Estas estacoes distam ate " + metres(a.withoutSpread, 3) +
                                   " entre si. As observacoes nao dizem qual esta certa:"
                             : std::string("  So uma observacao deixada de fora deixa as outras "
                                           "concordar, mas nada o confirma:"));
    out.push_back("  para o saber, meca mais uma observacao, ou repita-as.");
}

} // namespace

std::string precisionFactor(double factor) {
    return "os desvios padrao a priori x " + figure(factor, 2);
}

SummaryFigures freeStationSummaryFigures(const StationSurvey& survey,
                                         const FreeStationAnalysis& a) {
    using F = SummaryFigures;
    F f;
    f.freeStation = true;
    const std::vector<std::string> labels = observationLabels(survey);
    const auto target = [&survey](int k) {
        const Observation& o = survey.observations[static_cast<std::size_t>(k - 1)];
        return survey.points[static_cast<std::size_t>(o.target)].name;
    };
    f.stationName = survey.stationName;
    f.unit = survey.unit;
    f.points = static_cast<int>(survey.points.size());
    f.redundancy = a.redundancy;
    f.sigma = 1.0;
    f.testable = true;
    f.basis = a.basis;
    if (a.basis == Basis::Without) {
        f.without = target(a.basisObservation);
        f.withoutLabel = labels[static_cast<std::size_t>(a.basisObservation - 1)];
    }
    f.m = a.station.m;
    f.p = a.station.p;
    f.stationHeight = a.station.known && a.station.hasHeight;
    f.stationH = a.station.h;
    f.ellipseKnown = a.station.known && a.station.covariance;
    if (f.ellipseKnown) {
        f.ellipse95 = a.station.ellipse95();
        f.posteriori = a.station.posterioriShown();
    }
    f.allRanAway = !a.allSound;
    f.changeSigma = a.test.changeSigma;
    f.manyWrong = a.test.changeSigma > precisionOrError;
    if (!a.tested) {
        f.test = F::Test::NotApplicable;
        return f;
    }
    f.test = a.allSound && a.test.accepted ? F::Test::Accepted : F::Test::Rejected;
    const auto add = [&](int k) {
        f.suspects.push_back(labels[static_cast<std::size_t>(k - 1)]);
        f.suspectNames.push_back(target(k));
    };
    if (a.redundancy == 1 && f.test == F::Test::Rejected) {
        f.verdict = F::Verdict::FourPoints;
        for (const int k : a.suspect.sharing) {
            add(k);
        }
        f.threePointSpread = a.withoutSpread;
        f.threePointStations = static_cast<int>(std::count_if(
            a.leftOut.begin(), a.leftOut.end(), [](const Readjustment& r) { return r.done; }));
    } else if (a.suspect.kind == Suspect::Kind::Flagged) {
        f.verdict = F::Verdict::One;
        add(a.suspect.reading);
        const Observation& o = survey.observations[static_cast<std::size_t>(a.suspect.reading - 1)];
        f.errors = {observationError(o.kind, survey.unit, a.without.discrepancy)};
        f.withoutAccepted = a.without.test.accepted;
    } else if (a.suspect.kind == Suspect::Kind::Tied) {
        f.verdict = F::Verdict::Several;
        f.withoutAccepted = true;
        for (const int k : a.suspect.sharing) {
            const Readjustment& r = a.leftOut[static_cast<std::size_t>(k - 1)];
            add(k);
            f.errors.push_back(
                observationError(survey.observations[static_cast<std::size_t>(k - 1)].kind,
                                 survey.unit, r.discrepancy));
            f.withoutAccepted = f.withoutAccepted && r.test.accepted;
        }
    } else if (f.test == F::Test::Rejected) {
        f.verdict = F::Verdict::NoneStandsOut;
    }
    f.weak = weakNames(labels, a.basisTests, a.basisObservation);
    std::erase_if(f.weak, [&f](const std::string& name) {
        return std::find(f.suspects.begin(), f.suspects.end(), name) != f.suspects.end();
    });
    return f;
}

std::vector<std::string> freeStationText(const StationSurvey& survey,
                                         const FreeStationAnalysis& a) {
    std::vector<std::string> out;
    const AngleUnit unit = survey.unit;
    const FreeStation& all = a.all;
    const std::vector<std::string> labels = observationLabels(survey);
    const std::vector<ObservationKind> kinds = kindsOf(survey);
    const Wording say{unit, 1.0, &kinds};
    const std::size_t points = survey.points.size();
    const std::size_t observations = survey.observations.size();
    out.push_back("Estacao livre " + survey.stationName + ": " + std::to_string(points) +
                  (points == 1 ? " ponto, " : " pontos, ") + std::to_string(observations) +
                  (observations == 1 ? " observacao (" : " observacoes (") + kindCounts(survey) +
                  ")");
    const bool tooFew = a.redundancy < 0;
    out.push_back("Incognitas: " + unknownsText(all) +
                  (tooFew ? " (" + std::to_string(all.unknowns) + "), mais do que as observacoes"
                          : "; redundancia " + std::to_string(a.redundancy)));
    out.push_back("Cada observacao com o seu desvio padrao a priori (na tabela abaixo); um so "
                  "ajustamento.");
    const bool distances = std::any_of(kinds.begin(), kinds.end(), isDistance);
    if (all.scaleIndex > 0) {
        out.push_back("Escala das distancias: estimada (abaixo), a partir de " +
                      figure(survey.options.scale, 8) + ".");
    } else if (survey.options.estimateScale) {
        out.push_back("Escala das distancias: pedida como incognita, mas as observacoes nao "
                      "deixam redundancia para ela;");
        out.push_back("fica a dada, " + figure(survey.options.scale, 8) + ".");
    } else if (distances) {
        out.push_back("Escala das distancias (mapa / terreno): " + figure(survey.options.scale, 8) +
                      ", dada.");
    }
    const bool heights = std::any_of(kinds.begin(), kinds.end(), [](ObservationKind k) {
        return k == ObservationKind::SlopeDistance || k == ObservationKind::Zenith;
    });
    if (heights) {
        out.push_back(survey.options.curvatureRefraction
                          ? "Curvatura terrestre e refraccao nas equacoes (k d^2, k = 6.82e-8 por "
                            "metro)."
                          : "Curvatura terrestre e refraccao: nao consideradas.");
    }
    if (tooFew) {
        out.push_back("Observacoes de menos: uma direccao so fixa a orientacao do circulo, uma "
                      "distancia o circulo");
        out.push_back("em que a estacao esta; sao precisas direccoes a tres pontos, distancias a "
                      "dois,");
        out.push_back("ou direccoes e distancias a dois pontos.");
    } else if (!a.allSound) {
        FreeStation why = all;
        if (why.adjusted()) {
            why.fault = AdjustmentFault::RanAway; // converged, but far from the points
        }
        out.push_back("Nenhum ajustamento de todas as observacoes assenta perto dos pontos: " +
                      faultText(survey, why) + ".");
    }
    out.push_back("");
    if (a.tested && a.allSound) {
        const GlobalTest& t = a.test;
        out.push_back("Teste global:");
        testFigureLines(out, t);
        out.push_back(t.accepted ? "  Resultado: aceite"
                                 : "  Resultado: rejeitado: os residuos sao maiores do que os "
                                   "desvios padrao a priori permitem");
        out.push_back("  Desvio padrao a posteriori da unidade de peso (sigma0): " +
                      figure(t.posterioriSigma, 3));
        out.push_back("  O teste muda de resultado com " + precisionFactor(t.changeSigma) + ".");
    } else if (a.tested) {
        out.push_back("Sem teste global de todas as observacoes: nenhum ajustamento delas assenta "
                      "perto dos pontos.");
    } else if (tooFew) {
        out.push_back("Sem teste global: as observacoes nao bastam para as incognitas.");
    } else {
        out.push_back("Sem redundancia: a estacao segue das observacoes, sem teste global; "
                      "nenhum erro se ve.");
    }
    out.push_back("");

    // The station the analysis stands on.
    const StationEstimate& e = a.station;
    const std::string station = survey.stationName;
    switch (a.basis) {
    case Basis::None:
        out.push_back("Estacao: nao determinada.");
        out.push_back(tooFew ? "  As observacoes nao bastam para a fixar."
                      : a.redundancy == 1
                          ? "  Com redundancia 1 e uma observacao muito errada, as observacoes nao "
                            "dizem onde a estacao esta."
                          : "  Nenhum ajustamento assenta perto dos pontos, nem sem uma so "
                            "observacao.");
        break;
    case Basis::Without:
        out.push_back("Estacao sem a " + labels[static_cast<std::size_t>(a.basisObservation - 1)] +
                      " (a analise assenta nela):");
        break;
    case Basis::All:
        out.push_back(a.redundancy == 0 ? "Estacao (sem redundancia):" : "Estacao ajustada:");
        break;
    }
    if (e.known) {
        std::vector<std::vector<std::string>> rows = {{"M(" + station + ") =", metres(e.m, 3)},
                                                      {"P(" + station + ") =", metres(e.p, 3)}};
        if (e.hasHeight) {
            rows.push_back({"C(" + station + ") =", metres(e.h, 3)});
        }
        for (const std::string& line : alignedRows(rows, 2, 4)) {
            out.push_back(line);
        }
        if (e.covariance) {
            estimateLines(out, unit, e, "observacoes");
            if (e.hasHeight) {
                out.push_back("  Desvio padrao da cota: a priori " + metres(e.heightPriori, 4) +
                              (e.redundancy >= 1 ? ", a posteriori " + metres(e.heightPosteriori, 4)
                                                 : std::string()));
            }
            if (e.scaleEstimated) {
                out.push_back("  Escala das distancias: " + figure(e.scale, 8) + " (" +
                              figure((e.scale - 1.0) * 1e6, 1) + " ppm); desvio padrao a priori " +
                              figure(e.scalePriori * 1e6, 1) + " ppm" +
                              (e.redundancy >= 1
                                   ? ", a posteriori " + figure(e.scalePosteriori * 1e6, 1) + " ppm"
                                   : std::string()));
            }
        }
        if (all.ambiguous && a.basis == Basis::All) {
            out.push_back(
                "  As observacoes admitem por igual outra estacao: M = " + metres(all.otherM, 3) +
                ", P = " + metres(all.otherP, 3) +
                (e.hasHeight ? ", C = " + metres(all.otherHeight, 3) : std::string()) + ".");
            out.push_back("  Nada nelas distingue as duas: meca uma direccao, ou uma distancia a "
                          "outro ponto.");
        }
    }
    out.push_back("");

    // The observations.
    const char* closing = "Observacao suspeita: ";
    out.push_back("Observacoes:");
    const bool height = e.hasHeight || all.heightIndex > 0;
    const bool without = !a.allSound && a.basis == Basis::Without;
    if (a.allSound) {
        observationTable(out, survey, a.tests, 0, height);
    } else if (without) {
        out.push_back("  (do ajustamento sem a " +
                      labels[static_cast<std::size_t>(a.basisObservation - 1)] +
                      ", que fica fora dele)");
        observationTable(out, survey, a.basisTests, a.basisObservation, height);
    } else if (!tooFew) {
        out.push_back("  Nenhum ajustamento das observacoes assenta perto dos pontos: sem testes "
                      "por observacao.");
    }
    if (!a.tested) {
        out.push_back("  Sem redundancia nenhum erro pode ser detectado.");
        out.push_back(tooFew ? "Nenhuma observacao pode ser testada (observacoes de menos)"
                             : "Nenhuma observacao pode ser testada (redundancia 0)");
        return out;
    }
    if (a.redundancy == 1 && (!a.allSound || !a.test.accepted)) {
        redundancyOneLines(out, survey, a, labels);
        out.push_back(a.suspect.sharing.empty()
                          ? std::string("Nenhuma observacao suspeita")
                          : std::string(closing) + "nao identificavel entre " + nameList([&] {
                                std::vector<std::string> listed;
                                for (const int k : a.suspect.sharing) {
                                    listed.push_back(labels[static_cast<std::size_t>(k - 1)]);
                                }
                                return listed;
                            }()) +
                                (a.basis == Basis::All ? ", ou nenhuma (desvios padrao a priori "
                                                         "optimistas)"
                                                       : ""));
        return out;
    }
    switch (a.suspect.kind) {
    case Suspect::Kind::Flagged: {
        const std::size_t k = static_cast<std::size_t>(a.suspect.reading - 1);
        const Readjustment& r = a.without;
        std::string where = "M = " + metres(r.stationM, 3) + ", P = " + metres(r.stationP, 3);
        if (height) {
            where += ", C = " + metres(r.stationHeight, 3);
        }
        where += a.allSound ? "; a estacao desloca-se " + metres(r.shift, 3) + "," : ",";
        flaggedLines(out, say, k, labels[k], a.allSound ? &a.tests[k] : nullptr, r, where, closing);
        return out;
    }
    case Suspect::Kind::Tied:
        tiedLines(out, say, labels, a.tests, a.suspect, a.leftOut, nullptr, closing);
        return out;
    case Suspect::Kind::Unidentifiable:
    case Suspect::Kind::None:
        break;
    }
    noSuspectLines(out, say, labels, a.tests, a.leftOut, a.allSound, a.test);
    return out;
}

} // namespace resection
