#include "analysis/analysis_text.hpp"

#include "angles/units.hpp"
#include "report/format.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace resection {

std::string fixed(double value, int width, int decimals) {
    std::string text = formatFixed(value, 64, decimals);
    text.erase(0, text.find_first_not_of(' '));
    // The report's fields leave out the zero before the point; here it stays.
    const bool negative = !text.empty() && text[0] == '-';
    const std::size_t digits = negative ? 1 : 0;
    if (text.size() > digits && text[digits] == '.') {
        text = (negative ? std::string("-0") : std::string("0")) + text.substr(digits);
    }
    if (decimals == 0 && !text.empty() && text.back() == '.') {
        text.pop_back();
    }
    if (width <= 0) {
        return text;
    }
    if (static_cast<int>(text.size()) > width) {
        return std::string(static_cast<std::size_t>(width), '*');
    }
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

namespace {

// A small angle (a residual, an error, a precision) in seconds of arc, or in
// mgon for grads, with its unit sign.
std::string smallAngle(AngleUnit unit, double radians, int width, int decimals) {
    return fixed(precisionFromRadians(unit, radians), width, decimals) +
           (precisionInSeconds(unit) ? "\"" : " mgon");
}

// A larger angle in decimal degrees, or in gon for grads.
std::string largeAngle(AngleUnit unit, double radians, int decimals) {
    return unit == AngleUnit::Grads ? fixed(radiansToGon(radians), 0, decimals) + " gon"
                                    : fixed(radiansToDegrees(radians), 0, decimals) + " graus";
}

// An estimated error: the small unit, and the large one when it is a minute
// of arc (a centigon) or more.
std::string errorSize(AngleUnit unit, double radians) {
    std::string text = smallAngle(unit, radians, 0, 1);
    if (std::fabs(precisionFromRadians(unit, radians)) >=
        (precisionInSeconds(unit) ? 60.0 : 10.0)) {
        text += " (" + largeAngle(unit, radians, 5) + ")";
    }
    return text;
}

// A figure that may be undefined (an overflow on the way, a geometry that
// fixes nothing): in words where it is not a number.
// A figure too large for a fixed point (a point sighted at 1e300 m) is
// written with an exponent.
std::string figure(double value, int decimals, const std::string& unit = "") {
    if (!std::isfinite(value)) {
        return "nao calculavel";
    }
    if (std::fabs(value) >= 1e15) {
        // to_chars: the same exponent digits on every platform.
        char text[32];
        const auto end =
            std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 6).ptr;
        return std::string(text, end) + unit;
    }
    return fixed(value, 0, decimals) + unit;
}

// The first line of a stop's console text, without the blank it may begin
// with.
std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\r'));
    line.erase(0, line.find_first_not_of(' '));
    return line;
}

std::string padRight(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// "A, B e C", or with "ou": "A, B ou C".
std::string nameList(const std::vector<std::string>& names, const char* last = " e ") {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            text += i + 1 == names.size() ? last : ", ";
        }
        text += names[i];
    }
    return text;
}

void globalTestLines(std::vector<std::string>& out, const char* title, const GlobalTest& t,
                     AngleUnit unit) {
    out.push_back(title);
    out.push_back("  Forma quadratica vT P v:     " + fixed(t.quadraticForm, 14, 3));
    out.push_back("  Graus de liberdade:          " + formatInteger(t.degreesOfFreedom, 14));
    out.push_back("  Valor critico a 95 %:        " + fixed(t.criticalValue, 14, 3));
    out.push_back(t.accepted ? "  Resultado: aceite"
                             : "  Resultado: rejeitado: os residuos sao maiores do que a "
                               "precisao a priori permite");
    out.push_back("  Desvio padrao a posteriori de uma leitura: " +
                  smallAngle(unit, t.posterioriSigma, 0, 2));
    out.push_back("  Precisao com que o teste muda de resultado: " +
                  smallAngle(unit, t.changeSigma, 0, 2));
}

// The table of the readings with their tests, the notes on it, and the
// closing line. names[i - 1] names reading i.
void readingLines(std::vector<std::string>& out, AngleUnit unit,
                  const std::vector<std::string>& names, const std::vector<ReadingTest>& tests,
                  int redundancy, bool globalAccepted, const Suspect& suspect,
                  const char* suspectLabel, const char* noneLine) {
    // The unit follows each angle: the headings stand over the numbers.
    const std::size_t sign = precisionInSeconds(unit) ? 1 : 5;
    out.push_back("  " + padRight("Ponto", 12) + formatText("Residuo", 12) +
                  std::string(sign, ' ') + formatText("Redundancia", 13) + formatText("w", 10) +
                  formatText("Erro estimado", 15));
    bool uncontrolled = false;
    for (std::size_t i = 0; i < tests.size(); ++i) {
        const ReadingTest& t = tests[i];
        std::string line = "  " + padRight(names[i], 12) + smallAngle(unit, t.residual, 12, 2) +
                           fixed(t.redundancy, 13, 3);
        if (t.controlled) {
            line += fixed(t.w, 10, 2) + smallAngle(unit, t.estimatedError, 15, 1);
        } else {
            line += "         -              -";
            uncontrolled = true;
        }
        out.push_back(line);
    }
    out.push_back("  Teste w de cada leitura com a precisao a priori: valor critico " +
                  fixed(wTestCritical, 0, 2) + " (alfa = 0.1 %).");
    if (uncontrolled) {
        out.push_back("  (-) Leitura sem controlo (redundancia 0): um erro nela nao aparece nos "
                      "residuos.");
    }
    if (redundancy == 1) {
        out.push_back("  Com redundancia 1 os testes w de todas as leituras tem o mesmo valor "
                      "absoluto: um erro");
        out.push_back("  grosseiro pode ser detectado, mas nao atribuido a uma leitura. Para o "
                      "identificar e");
        out.push_back("  preciso pelo menos mais uma leitura.");
    }
    switch (suspect.kind) {
    case Suspect::Kind::None:
        if (globalAccepted && std::any_of(tests.begin(), tests.end(), [](const ReadingTest& t) {
                return t.controlled && std::fabs(t.w) > wTestCritical;
            })) {
            out.push_back("  Um |w| passa o valor critico, mas o teste global aceita: com tantas "
                          "leituras testadas");
            out.push_back("  isso acontece por acaso, e nenhuma leitura e apontada.");
        }
        if (!globalAccepted) {
            out.push_back("  O teste global rejeita sem que uma leitura se destaque: a precisao a "
                          "priori e");
            out.push_back("  optimista para todas, ou ha erros pequenos em varias.");
        }
        out.push_back(noneLine);
        break;
    case Suspect::Kind::Unidentifiable: {
        std::vector<std::string> sharing;
        for (int k : suspect.sharing) {
            sharing.push_back(names[static_cast<std::size_t>(k - 1)]);
        }
        out.push_back(
            "  As leituras " + nameList(sharing) + " tem o mesmo |w| = " +
            fixed(std::fabs(tests[static_cast<std::size_t>(suspect.reading - 1)].w), 0, 2) + ",");
        out.push_back("  acima do valor critico: ha uma leitura errada, mas as medicoes nao "
                      "dizem qual.");
        out.push_back(std::string(suspectLabel) + "nao identificavel entre " + nameList(sharing));
        break;
    }
    case Suspect::Kind::Flagged:
    case Suspect::Kind::Tied:
        break;
    }
}

void flaggedLines(std::vector<std::string>& out, AngleUnit unit, const std::string& name,
                  const ReadingTest* t, const Readjustment& r, const std::string& station,
                  const char* closing) {
    if (t != nullptr) {
        out.push_back("  Maior |w| acima do valor critico: " + name + ", w = " + fixed(t->w, 0, 2) +
                      ".");
    } else {
        out.push_back("  Sem a leitura " + name + " as outras concordam.");
    }
    if (!r.done) {
        if (t == nullptr) {
            return;
        }
        if (!r.failure.empty()) {
            out.push_back("  Sem a leitura " + name +
                          " o ajustamento nao foi possivel: " + r.failure);
        }
        out.push_back(closing + name + ", erro estimado (-v/r) " +
                      errorSize(unit, t->estimatedError));
        return;
    }
    out.push_back("  Sem a leitura " + name + ": " + station);
    out.push_back("  e vT P v = " + fixed(r.test.quadraticForm, 0, 3) + " com " +
                  std::to_string(r.test.degreesOfFreedom) +
                  (r.test.degreesOfFreedom == 1 ? " grau" : " graus") +
                  " de liberdade (valor critico " + fixed(r.test.criticalValue, 0, 3) +
                  "): " + (r.test.accepted ? "aceite." : "rejeitado."));
    if (!r.test.accepted) {
        out.push_back("  Sem ela o teste ainda rejeita: ha mais leituras erradas, ou a precisao a "
                      "priori e");
        out.push_back("  optimista.");
    }
    out.push_back("  A leitura menos o valor calculado sem ela: " + errorSize(unit, r.discrepancy) +
                  ".");
    out.push_back(closing + name + ", erro estimado " + errorSize(unit, r.discrepancy));
}

// Candidates that each explain the residuals alone: their estimates, why the
// measurements cannot tell them apart and what would. names[i - 1] names
// reading i; sep is for directions only.
void tiedLines(std::vector<std::string>& out, AngleUnit unit, const std::vector<std::string>& names,
               const std::vector<ReadingTest>& tests, const Suspect& suspect,
               const std::vector<Readjustment>& leftOut, const Separation* sep,
               const char* closing) {
    std::vector<std::string> listed;
    bool passing = true;
    for (int k : suspect.sharing) {
        listed.push_back(names[static_cast<std::size_t>(k - 1)]);
        passing = passing && leftOut[static_cast<std::size_t>(k - 1)].test.accepted;
    }
    if (!tests.empty()) {
        const ReadingTest& t = tests[static_cast<std::size_t>(suspect.reading - 1)];
        out.push_back("  Maior |w| acima do valor critico entre elas: " + listed.front() +
                      ", w = " + fixed(t.w, 0, 2) + ".");
    }
    out.push_back(passing ? "  Sem qualquer uma destas leituras o teste global aceita:"
                          : "  Sem nenhuma leitura o teste global aceita; as que mais o reduzem, "
                            "por igual:");
    for (int k : suspect.sharing) {
        const Readjustment& r = leftOut[static_cast<std::size_t>(k - 1)];
        out.push_back("    sem " + padRight(names[static_cast<std::size_t>(k - 1)], 12) +
                      " vT P v = " + fixed(r.test.quadraticForm, 0, 3) + " (valor critico " +
                      fixed(r.test.criticalValue, 0, 3) + "), erro estimado " +
                      errorSize(unit, r.discrepancy));
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
            out.push_back("  (a correlacao desce para " + fixed(sep->correlationAfter, 0, 2) +
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

void geometryLines(std::vector<std::string>& out, const RunContext& ctx,
                   const PlanimetricAnalysis& a) {
    out.push_back("Geometria:");
    const DangerCircle& c = a.circle;
    const std::string first3 =
        nameList({trimmedName(ctx.pointName[1]), trimmedName(ctx.pointName[2]),
                  trimmedName(ctx.pointName[3])});
    const bool figuresDefined = std::isfinite(c.distance) && std::isfinite(c.radius);
    if (!figuresDefined) {
        out.push_back("  Circunferencia pelos tres primeiros pontos (" + first3 +
                      "): nao calculavel, as coordenadas");
        out.push_back("  excedem o alcance do calculo.");
    } else if (c.exists) {
        out.push_back("  Circunferencia pelos tres primeiros pontos (" + first3 + "): raio " +
                      figure(c.radius, 3, " m"));
        out.push_back("  Distancia da estacao a essa circunferencia: " + figure(c.distance, 3) +
                      " m (" + figure(100.0 * c.relative, 2, " % do raio") + ")");
    } else {
        out.push_back("  Os tres primeiros pontos (" + first3 +
                      ") estao alinhados: nao ha circunferencia perigosa;");
        out.push_back("  distancia da estacao a essa recta: " + figure(c.distance, 3, " m"));
    }
    out.push_back("  Comprimento medio das visadas: " + figure(a.meanSight, 3, " m") +
                  ", mediano " + figure(a.medianSight, 3, " m"));
    if (!a.directions.converged || !std::isfinite(a.strength)) {
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

} // namespace

std::vector<std::string> planimetryText(const RunContext& ctx, const PlanimetricAnalysis& a) {
    std::vector<std::string> out;
    const AngleUnit unit = ctx.unit;
    const std::string station = trimmedName(ctx.stationName);
    out.push_back("Estacao " + station + ": " + std::to_string(ctx.pointCount) +
                  " pontos visados, redundancia (planimetria) " + std::to_string(ctx.redundancy));
    out.push_back("Precisao a priori de uma leitura: " + smallAngle(unit, a.sigma, 0, 2));
    if (a.tested) {
        out.push_back("Um so ajustamento com esta precisao, sem a pesquisa da precisao.");
    }
    if (!a.adjustmentFailure.empty()) {
        out.push_back("O ajustamento de todas as leituras, como o programa o faz, parou: " +
                      firstLine(a.adjustmentFailure));
        if (a.allAdjusted) {
            out.push_back(a.fromConsensus
                              ? "A estacao vem do ajustamento das direccoes a partir da posicao "
                                "com que mais leituras concordam."
                              : "A estacao vem do ajustamento das direccoes.");
        } else {
            out.push_back("Nenhum ajustamento de todas as leituras converge: a estacao abaixo e "
                          "a posicao com que");
            out.push_back("mais leituras concordam.");
        }
    } else if (a.fromConsensus) {
        out.push_back("O ajustamento das direccoes parte da posicao com que mais leituras "
                      "concordam.");
    }
    out.push_back("");

    if (a.tested && a.allAdjusted) {
        globalTestLines(out, "Teste global (planimetria):", a.test, unit);
    } else if (a.tested) {
        out.push_back("Sem teste global: nenhum ajustamento de todas as leituras convergiu.");
    } else {
        out.push_back("Sem redundancia: a posicao e a solucao directa dos tres pontos, sem teste "
                      "global.");
    }
    out.push_back("");

    out.push_back(!a.tested       ? "Estacao (solucao directa):"
                  : a.allAdjusted ? "Estacao ajustada:"
                                  : "Estacao (posicao com que mais leituras concordam):");
    out.push_back("  M(" + station + ") = " + fixed(a.stationM, 14, 3) + " m");
    out.push_back("  P(" + station + ") = " + fixed(a.stationP, 14, 3) + " m");
    if (a.allAdjusted) {
        out.push_back("  Elipses de erro (rumo do eixo maior " +
                      largeAngle(unit, a.priori.bearing, 4) + "):");
        out.push_back("                                       semi-eixo maior  semi-eixo menor");
        const auto ellipseLine = [&](const std::string& label, const ErrorEllipse& e) {
            out.push_back("    " + padRight(label, 34) + fixed(e.major, 15, 4) + " m" +
                          fixed(e.minor, 15, 4) + " m");
        };
        if (a.tested) {
            const double factor = posteriori95Factor(ctx.redundancy);
            ellipseLine("padrao, a posteriori", a.posteriori);
            ellipseLine("95 %, a posteriori (x " + fixed(factor, 0, 4) + ")",
                        scaled(a.posteriori, factor));
        }
        ellipseLine("padrao, a priori", a.priori);
        ellipseLine("95 %, a priori (x " + fixed(confidence95Factor(), 0, 4) + ")",
                    scaled(a.priori, confidence95Factor()));
        if (a.tested) {
            out.push_back("  Factor a 95 %: a posteriori sqrt(2 F(2, " +
                          std::to_string(ctx.redundancy) +
                          "; 0.95)), com a variancia estimada de redundancia " +
                          std::to_string(ctx.redundancy) + ";");
            out.push_back("  a priori sqrt(qui-quadrado(2; 0.95)), com a precisao das leituras "
                          "conhecida.");
        }
    }
    out.push_back("");

    std::vector<std::string> names;
    for (int i = 1; i <= ctx.pointCount; ++i) {
        names.push_back(trimmedName(ctx.pointName[static_cast<std::size_t>(i)]));
    }
    out.push_back("Leituras azimutais (direccoes com uma orientacao desconhecida):");
    const std::vector<ReadingTest> none;
    const std::vector<ReadingTest>& tests = a.directions.converged ? a.directions.readings : none;
    if (!a.directions.converged) {
        out.push_back("  O ajustamento das direccoes de todas as leituras nao convergiu: sem "
                      "testes por leitura.");
    } else if (!a.tested) {
        out.push_back("  Sem redundancia nenhum erro de leitura pode ser detectado.");
        out.push_back("Nenhuma leitura pode ser testada (redundancia 0)");
    } else {
        readingLines(out, unit, names, tests, ctx.redundancy, a.test.accepted, a.suspect,
                     "Leitura suspeita: ", "Nenhuma leitura suspeita");
    }
    if (a.tested) {
        if (a.suspect.kind == Suspect::Kind::Flagged) {
            const std::size_t k = static_cast<std::size_t>(a.suspect.reading - 1);
            flaggedLines(out, unit, names[k], tests.empty() ? nullptr : &tests[k], a.without,
                         "M = " + fixed(a.without.stationM, 0, 3) +
                             " m, P = " + fixed(a.without.stationP, 0, 3) +
                             " m; a estacao desloca-se " + figure(a.without.shift, 3, " m,"),
                         "Leitura suspeita: ");
        } else if (a.suspect.kind == Suspect::Kind::Tied) {
            tiedLines(out, unit, names, tests, a.suspect, a.leftOut,
                      a.directions.converged ? &a.separation : nullptr, "Leitura suspeita: ");
        } else if (!a.directions.converged) {
            out.push_back("Leitura suspeita: nenhuma leitura sozinha explica os residuos");
        }
    }
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
    if (!h.adjusted) {
        out.push_back("Uma so observacao zenital: a cota nao e ajustada.");
        return out;
    }
    out.push_back("Precisao a priori de uma leitura zenital: " + smallAngle(unit, h.sigma, 0, 2));
    if (!h.adjustmentFailure.empty()) {
        out.push_back("O ajustamento da cota, como o programa o faz a partir da primeira "
                      "observacao, parou:");
        out.push_back(firstLine(h.adjustmentFailure));
        out.push_back("A cota vem do ajustamento a partir da mediana das cotas que cada "
                      "observacao da sozinha.");
    }
    if (!h.withoutDirection.empty()) {
        out.push_back("Distancias da estacao ajustada sem a leitura azimutal " +
                      h.withoutDirection + ": M = " + fixed(h.stationM, 0, 3) +
                      " m, P = " + fixed(h.stationP, 0, 3) + " m.");
    }
    out.push_back("");
    globalTestLines(out, "Teste global (altimetria):", h.test, unit);
    out.push_back("");
    const std::string station = trimmedName(ctx.stationName);
    out.push_back("Cota ajustada:");
    out.push_back("  C(" + station + ") = " + fixed(h.stationHeight, 14, 3) + " m");
    out.push_back("  Desvio padrao a posteriori " + fixed(h.posterioriSigmaH, 0, 4) +
                  " m, a priori " + fixed(h.prioriSigmaH, 0, 4) + " m");
    if (h.curvatureAdjusted) {
        out.push_back("  Com a curvatura terrestre e a refraccao nas equacoes (k d^2, k = "
                      "6.82e-8 por metro):");
        out.push_back("  C(" + station + ") = " + fixed(h.curvatureHeight, 14, 3) +
                      " m, diferenca " + fixed(h.curvatureDifference, 0, 4) + " m");
        if (std::fabs(h.curvatureDifference) > h.prioriSigmaH) {
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
    std::vector<std::string> names;
    for (int i = 1; i <= n; ++i) {
        names.push_back(trimmedName(ctx.zenithPointName[static_cast<std::size_t>(i)]));
    }
    out.push_back("Leituras zenitais:");
    if (!h.notJudged.empty()) {
        readingLines(out, unit, names, h.readings, n - 1, true, Suspect{}, "", "");
        out.pop_back(); // the verdict line of an unjudged set
        out.push_back("  Nao se julgam as leituras zenitais: " + h.notJudged + ";");
        out.push_back("  os angulos zenitais calculados dependem da posicao da estacao. Corrija "
                      "primeiro a leitura");
        out.push_back("  azimutal, ou junte pontos que a fixem.");
        out.push_back("Leitura zenital suspeita: nao julgada enquanto a leitura azimutal nao for "
                      "corrigida");
        return out;
    }
    readingLines(out, unit, names, h.readings, n - 1, h.test.accepted, h.suspect,
                 "Leitura zenital suspeita: ", "Nenhuma leitura zenital suspeita");
    if (h.suspect.kind == Suspect::Kind::Flagged) {
        const std::size_t k = static_cast<std::size_t>(h.suspect.reading - 1);
        flaggedLines(out, unit, names[k], &h.readings[k], h.without,
                     "C = " + fixed(h.without.stationHeight, 0, 3) + " m; a cota muda " +
                         fixed(h.without.shift, 0, 4) + " m,",
                     "Leitura zenital suspeita: ");
    } else if (h.suspect.kind == Suspect::Kind::Tied) {
        tiedLines(out, unit, names, h.readings, h.suspect, h.leftOut, nullptr,
                  "Leitura zenital suspeita: ");
    }
    return out;
}

} // namespace resection
