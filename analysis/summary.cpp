#include "analysis/summary.hpp"

#include "analysis/figures_text.hpp"

namespace resection {

namespace {

using Basis = SummaryFigures::Basis;
using Test = SummaryFigures::Test;
using Verdict = SummaryFigures::Verdict;

std::string stationLine(const SummaryFigures& f) {
    std::string line = "  Estacao " + f.stationName;
    switch (f.basis) {
    case Basis::None:
        return line + ": nao determinada pelas leituras.";
    case Basis::Without:
        line += " (sem a leitura " + f.without + ")";
        break;
    case Basis::All:
        if (f.redundancy == 0) {
            line += " (solucao directa dos tres pontos)";
        }
        break;
    }
    return line + ": M = " + metres(f.m, 3) + ", P = " + metres(f.p, 3);
}

std::string ellipseLine(const SummaryFigures& f) {
    const ErrorEllipse& e = f.ellipse95;
    return std::string("  Elipse de erro a 95 % (") +
           (f.posteriori ? f.testable ? "a posteriori" : "da dispersao das leituras" : "a priori") +
           "): semi-eixos " + metres(e.major, 4) + " e " + metres(e.minor, 4) +
           ", eixo maior no rumo " + largeAngle(f.unit, e.bearing, 2);
}

// The global test and what the readings' tests make of it.
void verdictLines(const SummaryFigures& f, std::vector<std::string>& out) {
    const std::string changeAt = smallAngle(f.unit, f.changeSigma, 2);
    const std::string prior = precisionText(f.unit, f.sigma);
    if (f.test == Test::NotApplicable) {
        out.push_back(f.redundancy == 0
                          ? "  Teste global: nao aplicavel: com 3 pontos nao ha redundancia, e "
                            "nenhum erro de leitura se ve."
                          : "  Teste global: nao ha: a precisao a priori (" + prior +
                                ") nao permite teste nenhum.");
        return;
    }
    const std::string allSaid =
        f.allRanAway ? "o ajustamento de todas as leituras nao assenta perto dos pontos"
                     : "rejeitado com todas as leituras";
    switch (f.verdict) {
    case Verdict::Clean:
        out.push_back("  Teste global: aceite.");
        out.push_back("  Nenhuma leitura suspeita.");
        break;
    case Verdict::One:
        out.push_back("  Teste global: " + allSaid + "; sem " + f.suspects[0] +
                      (f.withoutAccepted ? " aceite." : " ainda rejeitado."));
        out.push_back("  Leitura suspeita: " + f.suspects[0] + ", erro estimado " +
                      errorSize(f.unit, f.errors[0]) +
                      (f.withoutAccepted ? "."
                                         : "; ha mais leituras erradas, ou a precisao a priori "
                                           "e optimista."));
        break;
    case Verdict::Several:
        out.push_back("  Teste global: " + allSaid + "; sem qualquer uma de " +
                      nameList(f.suspects, " ou ") +
                      (f.withoutAccepted ? " aceite." : " ainda rejeitado."));
        out.push_back("  Leitura suspeita: " + nameList(f.suspects, " ou ") +
                      " (as medicoes nao dizem qual).");
        break;
    case Verdict::FourPoints:
        if (f.allRanAway) {
            out.push_back("  Teste global: " + allSaid + ": uma leitura esta muito errada.");
        } else if (f.basis == Basis::None) {
            out.push_back("  Teste global: rejeitado: uma leitura esta errada (o teste so aceita "
                          "a partir de " +
                          changeAt + ",");
            out.push_back("  mais de tres vezes a precisao a priori de " + prior + ").");
        } else {
            out.push_back("  Teste global: rejeitado: uma leitura esta errada, ou a precisao a "
                          "priori (" +
                          prior + ") e optimista;");
            out.push_back("  o teste aceita a partir de " + changeAt + ".");
        }
        out.push_back(f.threePointStations >= 2
                          ? "  Com 4 pontos nao se sabe qual: as estacoes de cada tres leituras "
                            "distam ate " +
                                metres(f.threePointSpread, 3) + " entre si."
                          : "  Com 4 pontos nada o confirma, mesmo que so sem uma leitura as "
                            "outras concordem.");
        out.push_back("  Leitura suspeita: uma de " + nameList(f.suspects, " ou ") +
                      (f.basis == Basis::All ? ", ou nenhuma." : "."));
        break;
    case Verdict::NoneStandsOut:
        if (f.allRanAway) {
            out.push_back("  Teste global: " + allSaid +
                          ", e nenhuma leitura sozinha o explica: ha varias leituras erradas.");
        } else if (f.manyWrong) {
            out.push_back("  Teste global: rejeitado sem que uma leitura se destaque: ha varias "
                          "leituras erradas;");
            out.push_back("  o teste so aceita a partir de " + changeAt +
                          ", mais de tres vezes a precisao a priori.");
        } else {
            out.push_back("  Teste global: rejeitado sem que uma leitura se destaque: a precisao "
                          "a priori (" +
                          prior + ") e optimista,");
            out.push_back("  ou ha erros pequenos em varias leituras; o teste aceita a partir "
                          "de " +
                          changeAt + ".");
        }
        out.push_back("  Nenhuma leitura suspeita.");
        break;
    }
    if (!f.weak.empty()) {
        // A few by name; many by their number, the table marking them.
        const std::string which =
            f.weak.size() <= 6
                ? nameList(f.weak, " ou ")
                : "qualquer de " + std::to_string(f.weak.size()) + " leituras (fraco na tabela)";
        out.push_back("  Controlo fraco (redundancia abaixo de 0.1): um erro em " + which +
                      " pode passar despercebido.");
    }
}

void heightLines(const SummaryFigures& f, std::vector<std::string>& out) {
    if (!f.heightKnown) {
        out.push_back("  Cota: nao calculada (" +
                      (f.heightNotJudged.empty() ? std::string("uma so observacao zenital")
                                                 : f.heightNotJudged) +
                      ").");
        return;
    }
    out.push_back("  Cota" +
                  (f.heightWithout.empty() ? std::string()
                                           : " (sem a leitura zenital " + f.heightWithout + ")") +
                  ": C = " + metres(f.h, 3) + ", desvio padrao a posteriori " +
                  metres(f.hSigma, 4));
    if (!f.heightTestable) {
        out.push_back("  Leituras zenitais: nenhum teste com a precisao a priori dada.");
    } else if (!f.heightNotJudged.empty()) {
        out.push_back("  Leituras zenitais nao julgadas: " + f.heightNotJudged + ".");
    } else if (f.heightSuspects.size() == 1) {
        out.push_back("  Leitura zenital suspeita: " + f.heightSuspects[0] + ", erro estimado " +
                      errorSize(f.unit, f.heightErrors[0]) + ".");
    } else if (!f.heightSuspects.empty()) {
        out.push_back("  Leitura zenital suspeita: " + nameList(f.heightSuspects, " ou ") +
                      " (as medicoes nao dizem qual).");
    } else if (f.heightRejected) {
        out.push_back("  Nenhuma leitura zenital suspeita; a precisao a priori das leituras "
                      "zenitais e optimista");
        out.push_back("  (o teste aceita a partir de " +
                      smallAngle(f.unit, f.heightChangeSigma, 2) + ").");
    } else {
        out.push_back("  Nenhuma leitura zenital suspeita.");
    }
}

std::string nextStep(const SummaryFigures& f) {
    std::string step;
    if (f.test == Test::NotApplicable) {
        step = f.redundancy == 0 ? "Vise mais um ponto, para que as leituras se controlem umas "
                                   "as outras"
                                 : "Indique no ficheiro a precisao a priori de uma leitura, "
                                   "maior do que 0";
    } else {
        switch (f.verdict) {
        case Verdict::Clean:
            step = "";
            break;
        case Verdict::One:
            step = "Repita a leitura " + f.suspects[0] +
                   (f.withoutAccepted ? "" : " e reveja as outras");
            break;
        case Verdict::Several:
            step = "Repita as leituras " + nameList(f.suspects);
            if (f.separatingSight) {
                step += ", ou vise mais um ponto no rumo de cerca de " +
                        largeAngle(f.unit, f.separatingBearing, 0);
            }
            break;
        case Verdict::FourPoints:
            step = f.basis == Basis::All ? "Vise mais um ponto, ou repita as quatro leituras, "
                                           "para saber se alguma esta errada"
                                         : "Vise mais um ponto, ou repita as quatro leituras, "
                                           "para saber qual esta errada";
            break;
        case Verdict::NoneStandsOut:
            step = f.allRanAway || f.manyWrong
                       ? "Verifique as leituras e as coordenadas dos pontos"
                       : "Reveja a precisao a priori das leituras, ou repita-as";
            break;
        }
    }
    std::string height;
    if (f.height && f.heightKnown && f.heightNotJudged.empty()) {
        if (f.heightSuspects.size() == 1) {
            height = "a leitura zenital " + f.heightSuspects[0];
        } else if (!f.heightSuspects.empty()) {
            height = "as leituras zenitais " + nameList(f.heightSuspects);
        }
    }
    if (!height.empty()) {
        step = step.empty() ? "Repita " + height : step + "; repita tambem " + height;
    }
    return step.empty() ? "Nada a fazer: as leituras concordam com a sua precisao." : step + ".";
}

} // namespace

Summary summarize(const SummaryFigures& f) {
    Summary s;
    s.test = f.test == Test::Accepted   ? "accepted"
             : f.test == Test::Rejected ? "rejected"
                                        : "notApplicable";
    s.basis = f.basis == Basis::All ? "all" : f.basis == Basis::Without ? "without" : "none";
    if (f.verdict != Verdict::Clean && f.verdict != Verdict::NoneStandsOut) {
        s.suspects = f.suspects;
    }
    if (f.heightNotJudged.empty()) {
        s.heightSuspects = f.heightSuspects;
    }
    s.nextStep = nextStep(f);
    std::vector<std::string>& out = s.lines;
    out.push_back("Resumo:");
    out.push_back(stationLine(f));
    if (f.basis != Basis::None && f.ellipseKnown) {
        out.push_back(ellipseLine(f));
    }
    verdictLines(f, out);
    if (f.height) {
        heightLines(f, out);
    }
    out.push_back("  Proximo passo: " + s.nextStep);
    return s;
}

} // namespace resection
