#include "analysis/analysis_text.hpp"

#include "analysis/figures_text.hpp"
#include "angles/units.hpp"
#include "base/constants.hpp"

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

std::vector<std::string> pointNames(const RunContext& ctx) {
    std::vector<std::string> names;
    for (int i = 1; i <= ctx.pointCount; ++i) {
        names.push_back(trimmedName(ctx.pointName[static_cast<std::size_t>(i)]));
    }
    return names;
}

std::vector<std::string> zenithNames(const RunContext& ctx) {
    std::vector<std::string> names;
    for (int i = 1; i <= ctx.zenithCount; ++i) {
        names.push_back(trimmedName(ctx.zenithPointName[static_cast<std::size_t>(i)]));
    }
    return names;
}

void globalTestLines(std::vector<std::string>& out, const char* title, const GlobalTest& t,
                     AngleUnit unit) {
    out.push_back(title);
    for (const std::string& line :
         alignedRows({{"Forma quadratica vT P v:", figure(t.quadraticForm, 3)},
                      {"Graus de liberdade:", std::to_string(t.degreesOfFreedom)},
                      {"Valor critico a 95 %:", figure(t.criticalValue, 3)}},
                     2, 8)) {
        out.push_back(line);
    }
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

// The closing lines of a reading named: why, the station without it, and its
// error. w is its w-test among all readings, where that adjustment stands.
void flaggedLines(std::vector<std::string>& out, AngleUnit unit, const std::string& name,
                  const ReadingTest* w, const Readjustment& r, const std::string& station,
                  double sigma, const char* closing) {
    if (w != nullptr && w->tested) {
        out.push_back("  Maior |w| acima do valor critico: " + name + ", w = " + figure(w->w, 2) +
                      ".");
    } else {
        out.push_back("  A leitura " + name +
                      " contra o valor que as outras lhe dao: w = " + figure(leftOutW(r), 2) + ".");
    }
    out.push_back("  Sem a leitura " + name + ": " + station);
    out.push_back("  e vT P v = " + figure(r.test.quadraticForm, 3) + " com " +
                  degreesOfFreedom(r.test.degreesOfFreedom) + " (valor critico " +
                  figure(r.test.criticalValue, 3) +
                  "): " + (r.test.accepted ? "aceite." : "rejeitado."));
    if (!r.test.accepted) {
        const double factor = std::sqrt(std::max(1.0, r.test.quadraticForm / r.test.criticalValue));
        out.push_back("  Sem ela o teste ainda rejeita; mas com a precisao com que as outras "
                      "passam (" +
                      smallAngle(unit, factor * std::fabs(sigma), 2) + ")");
        out.push_back("  ela ainda se destaca (w = " + figure(leftOutW(r) / factor, 2) +
                      "): ha mais leituras erradas, ou a precisao a priori e optimista.");
    }
    out.push_back("  A leitura menos o valor calculado sem ela: " + errorSize(unit, r.discrepancy) +
                  ".");
    out.push_back(closing + name + ", erro estimado " + errorSize(unit, r.discrepancy));
}

// Candidates that each explain the residuals alone: their estimates, why the
// measurements cannot tell them apart and what would. sep is for directions
// only.
void tiedLines(std::vector<std::string>& out, AngleUnit unit, const std::vector<std::string>& names,
               const std::vector<ReadingTest>& tests, const Suspect& suspect,
               const std::vector<Readjustment>& leftOut, const Separation* sep,
               const char* closing) {
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
    out.push_back(passing ? "  Sem qualquer uma destas leituras o teste global aceita:"
                          : "  Sem nenhuma leitura o teste global aceita; as que mais o reduzem, "
                            "por igual:");
    std::vector<std::vector<std::string>> rows;
    for (const int k : suspect.sharing) {
        const Readjustment& r = leftOut[static_cast<std::size_t>(k - 1)];
        rows.push_back({"sem " + names[static_cast<std::size_t>(k - 1)],
                        "vT P v = " + figure(r.test.quadraticForm, 3),
                        "(valor critico " + figure(r.test.criticalValue, 3) + "),",
                        "erro estimado " + errorSize(unit, r.discrepancy)});
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
                          largeAngle(unit, sep->bearing, 0) + " a partir da estacao");
            out.push_back("  (a correlacao desce para " + figure(sep->correlationAfter, 2) +
                          "), ou repita as leituras " + pair + ".");
        } else {
            out.push_back("  Nenhum ponto a mais numa so direccao as separa bem: repita as "
                          "leituras " +
                          pair + ".");
        }
    } else {
        out.push_back("  Para as separar: repita essas leituras, ou junte mais observacoes.");
    }
    out.push_back(closing + nameList(listed, " ou "));
}

// A |w| above the critical value while the global test accepts: the chance
// of testing many readings at once.
void chanceLines(std::vector<std::string>& out, const std::vector<ReadingTest>& tests) {
    if (std::any_of(tests.begin(), tests.end(), [](const ReadingTest& t) {
            return t.tested && std::fabs(t.w) > wTestCritical;
        })) {
        out.push_back("  Um |w| passa o valor critico, mas o teste global aceita: com tantas "
                      "leituras testadas");
        out.push_back("  isso acontece por acaso, e nenhuma leitura e apontada.");
    }
}

// A rejection that no single reading explains: the candidate that comes
// closest, and why it is not named.
void noneStandsOutLines(std::vector<std::string>& out, AngleUnit unit,
                        const std::vector<std::string>& names,
                        const std::vector<Readjustment>& leftOut, const GlobalTest& test,
                        double sigma) {
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
        out.push_back("  Sem qualquer uma das leituras, o teste continua a rejeitar. A que mais o "
                      "reduz e " +
                      names[static_cast<std::size_t>(best - 1)] + ":");
        out.push_back("  sem ela vT P v = " + figure(r.test.quadraticForm, 3) + " (valor critico " +
                      figure(r.test.criticalValue, 3) + "); com a precisao com que as outras");
        out.push_back("  passam o teste (" + smallAngle(unit, factor * std::fabs(sigma), 2) +
                      ") o seu w seria " + figure(leftOutW(r) / factor, 2) +
                      ", abaixo do valor critico.");
    }
    if (test.changeSigma > precisionOrError * std::fabs(sigma)) {
        out.push_back("  O teste global rejeita sem que uma leitura se destaque, e so aceita com "
                      "uma precisao de " +
                      smallAngle(unit, test.changeSigma, 2) + ",");
        out.push_back("  mais de tres vezes a a priori: ha varias leituras erradas.");
        return;
    }
    out.push_back("  O teste global rejeita sem que uma leitura se destaque: a precisao a "
                  "priori e optimista");
    out.push_back("  (o teste aceita a partir de " + smallAngle(unit, test.changeSigma, 2) +
                  "), ou ha erros pequenos em varias leituras.");
}

void stationLines(std::vector<std::string>& out, const RunContext& ctx,
                  const PlanimetricAnalysis& a) {
    const AngleUnit unit = ctx.unit;
    const std::string station = trimmedName(ctx.stationName);
    const StationEstimate& e = a.station;
    const std::vector<std::string> names = pointNames(ctx);
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
    std::vector<std::vector<std::string>> rows = {{"", "semi-eixo maior", "semi-eixo menor"}};
    const double factor = e.redundancy >= 1 ? posteriori95Factor(e.redundancy) : 0.0;
    if (e.redundancy >= 1) {
        const char* kind = e.testable ? "a posteriori" : "da dispersao das leituras";
        rows.push_back({std::string("padrao, ") + kind, metres(e.posteriori.major, 4),
                        metres(e.posteriori.minor, 4)});
        const ErrorEllipse p95 = scaled(e.posteriori, factor);
        rows.push_back({std::string("95 %, ") + kind + " (x " + figure(factor, 4) + ")",
                        metres(p95.major, 4), metres(p95.minor, 4)});
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
            out.push_back("  a priori sqrt(qui-quadrado(2; 0.95)), com a precisao das leituras "
                          "conhecida.");
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
            line += e.redundancy >= 1 ? "da dispersao das leituras " +
                                            smallAngle(unit, e.orientationPosteriori, 2)
                                      : "sem precisao conhecida";
        }
        out.push_back(line);
    }
}

// Four points: the station of each three readings and what the fourth would
// be wrong by.
void fourPointLines(std::vector<std::string>& out, const RunContext& ctx,
                    const PlanimetricAnalysis& a) {
    const std::vector<std::string> names = pointNames(ctx);
    out.push_back("  Com redundancia 1 os testes w de todas as leituras tem o mesmo valor "
                  "absoluto: um erro");
    out.push_back("  pode ser detectado, mas nao atribuido a uma leitura.");
    if (a.threePoint.empty()) {
        return;
    }
    const std::string changeAt = smallAngle(ctx.unit, a.test.changeSigma, 2);
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
                            names[i] + " estaria errada de " + errorSize(ctx.unit, s.discrepancy)});
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

void readingsSection(std::vector<std::string>& out, const RunContext& ctx,
                     const PlanimetricAnalysis& a) {
    const AngleUnit unit = ctx.unit;
    const std::vector<std::string> names = pointNames(ctx);
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
        fourPointLines(out, ctx, a);
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
        flaggedLines(out, unit, names[k],
                     a.readingsWithout || a.readings.empty() ? nullptr : &a.readings[k], r, station,
                     a.sigma, closing);
        if (!a.readingsWithout) {
            basisReliabilityLines(out, unit, names, a);
        }
        return;
    }
    case Suspect::Kind::Tied:
        tiedLines(out, unit, names, a.readings, a.suspect, a.leftOut,
                  a.readings.empty() ? nullptr : &a.separation, closing);
        return;
    case Suspect::Kind::Unidentifiable:
    case Suspect::Kind::None:
        break;
    }
    if (a.allSound && a.test.accepted) {
        chanceLines(out, a.readings);
    } else if (!a.allSound) {
        out.push_back("  Nenhuma leitura sozinha explica as leituras: sem cada uma, as outras "
                      "ainda nao");
        out.push_back("  concordam. Ha varias leituras erradas, ou coordenadas erradas.");
    } else {
        noneStandsOutLines(out, unit, names, a.leftOut, a.test, a.sigma);
    }
    out.push_back("Nenhuma leitura suspeita");
}

void geometryLines(std::vector<std::string>& out, const RunContext& ctx,
                   const PlanimetricAnalysis& a) {
    out.push_back("Geometria:");
    const DangerCircle& c = a.circle;
    const std::string first3 =
        nameList({trimmedName(ctx.pointName[1]), trimmedName(ctx.pointName[2]),
                  trimmedName(ctx.pointName[3])});
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

SummaryFigures summaryFigures(const RunContext& ctx, const PlanimetricAnalysis& a,
                              const HeightAnalysis* height) {
    using F = SummaryFigures;
    F f;
    const std::vector<std::string> names = pointNames(ctx);
    f.stationName = trimmedName(ctx.stationName);
    f.unit = ctx.unit;
    f.points = ctx.pointCount;
    f.redundancy = a.redundancy;
    f.sigma = a.sigma;
    f.testable = a.testable;
    f.basis = a.basis == Basis::All       ? F::Basis::All
              : a.basis == Basis::Without ? F::Basis::Without
                                          : F::Basis::None;
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
            f.errors = {a.without.discrepancy};
            f.withoutAccepted = a.without.test.accepted;
        } else if (a.suspect.kind == Suspect::Kind::Tied) {
            f.verdict = F::Verdict::Several;
            f.withoutAccepted = true;
            for (const int k : a.suspect.sharing) {
                const Readjustment& r = a.leftOut[static_cast<std::size_t>(k - 1)];
                f.suspects.push_back(names[static_cast<std::size_t>(k - 1)]);
                f.errors.push_back(r.discrepancy);
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
        f.heightNotJudged = h.notJudged;
        f.h = h.analysedHeight();
        const bool without = h.suspect.kind == Suspect::Kind::Flagged && h.without.done;
        f.hSigma = without ? h.without.positionSigma *
                                 std::sqrt(h.without.test.quadraticForm /
                                           std::max(1, h.without.test.degreesOfFreedom))
                           : h.posterioriSigmaH;
        if (without) {
            f.heightWithout =
                trimmedName(ctx.zenithPointName[static_cast<std::size_t>(h.suspect.reading)]);
        }
        f.heightTestable = h.testable;
        f.heightRejected = h.testable && h.adjusted && !h.test.accepted;
        f.heightChangeSigma = h.test.changeSigma;
        const std::vector<std::string> zn =
            h.computed ? zenithNames(ctx) : std::vector<std::string>{};
        if (h.suspect.kind == Suspect::Kind::Flagged) {
            f.heightSuspects = {zn[static_cast<std::size_t>(h.suspect.reading - 1)]};
            f.heightErrors = {h.without.discrepancy};
        } else if (h.suspect.kind == Suspect::Kind::Tied ||
                   h.suspect.kind == Suspect::Kind::Unidentifiable) {
            for (const int k : h.suspect.sharing) {
                f.heightSuspects.push_back(zn[static_cast<std::size_t>(k - 1)]);
            }
        }
    }
    return f;
}

std::vector<std::string> planimetryText(const RunContext& ctx, const PlanimetricAnalysis& a) {
    std::vector<std::string> out;
    const AngleUnit unit = ctx.unit;
    out.push_back("Estacao " + trimmedName(ctx.stationName) + ": " +
                  std::to_string(ctx.pointCount) + " pontos visados, redundancia (planimetria) " +
                  std::to_string(ctx.redundancy));
    out.push_back("Precisao a priori de uma leitura: " + precisionText(unit, a.sigma));
    if (a.tested) {
        out.push_back("Um so ajustamento com esta precisao, sem a pesquisa da precisao.");
    } else if (!a.testable) {
        out.push_back("Com esta precisao nenhum teste pode ser feito: a estacao vem do "
                      "ajustamento das direccoes");
        out.push_back("com pesos iguais, e a precisao das leituras estima-se pelos seus "
                      "residuos.");
    }
    if (!a.adjustmentFailure.empty()) {
        out.push_back("O ajustamento de todas as leituras, como o programa o faz, parou: " +
                      firstLine(a.adjustmentFailure));
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
    stationLines(out, ctx, a);
    out.push_back("");
    readingsSection(out, ctx, a);
    out.push_back("");
    geometryLines(out, ctx, a);
    return out;
}

std::vector<std::string> heightText(const RunContext& ctx, const HeightAnalysis& h) {
    std::vector<std::string> out;
    const AngleUnit unit = ctx.unit;
    const int n = ctx.zenithCount;
    out.push_back("Altimetria: " + std::to_string(n) +
                  (n == 1 ? " observacao zenital" : " observacoes zenitais") + ", redundancia " +
                  std::to_string(n - 1));
    if (!h.computed) {
        out.push_back("A cota nao e calculada: " + h.notJudged + ".");
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
    if (!h.adjustmentFailure.empty()) {
        out.push_back("O ajustamento da cota, como o programa o faz a partir da primeira "
                      "observacao, parou:");
        out.push_back(firstLine(h.adjustmentFailure));
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
    const std::string station = trimmedName(ctx.stationName);
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
    const std::vector<std::string> names = zenithNames(ctx);
    const char* closing = "Leitura zenital suspeita: ";
    out.push_back("Leituras zenitais:");
    readingTable(out, unit, names, h.readings, 0, "Desvio da cota", "a muda", " m");
    if (!h.testable) {
        out.push_back("Nenhuma leitura zenital pode ser testada (precisao a priori sem teste)");
        return out;
    }
    if (!h.notJudged.empty()) {
        out.push_back("  Nao se julgam as leituras zenitais: " + h.notJudged + ";");
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
        flaggedLines(out, unit, names[k], &h.readings[k], h.without,
                     "C = " + metres(h.without.stationHeight, 3) + "; a cota muda " +
                         metres(h.without.shift, 4) + ",",
                     h.sigma, closing);
        return out;
    }
    case Suspect::Kind::Tied:
        tiedLines(out, unit, names, h.readings, h.suspect, h.leftOut, nullptr, closing);
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
        chanceLines(out, h.readings);
    } else {
        noneStandsOutLines(out, unit, names, h.leftOut, h.test, h.sigma);
    }
    out.push_back("Nenhuma leitura zenital suspeita");
    return out;
}

} // namespace resection
