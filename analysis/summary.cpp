#include "analysis/summary.hpp"

#include "analysis/figures_text.hpp"

namespace resection {

namespace {

using Test = SummaryFigures::Test;
using Verdict = SummaryFigures::Verdict;

// The words that differ between the readings of the program's input file and
// a free station's observations.
struct Words {
    bool free;
    const char* one() const { return free ? "observacao" : "leitura"; }
    const char* many() const { return free ? "observacoes" : "leituras"; }
    const char* suspect() const { return free ? "Observacao suspeita" : "Leitura suspeita"; }
};

std::string stationLine(const SummaryFigures& f) {
    std::string line = "  Estacao " + f.stationName;
    switch (f.basis) {
    case Basis::None:
        return line + ": nao determinada pelas " + (f.freeStation ? "observacoes." : "leituras.");
    case Basis::Without:
        line += f.freeStation ? " (sem a " + f.withoutLabel + ")"
                              : " (sem a leitura " + f.without + ")";
        break;
    case Basis::All:
        if (f.redundancy == 0) {
            line += f.freeStation ? " (sem redundancia)" : " (solucao directa dos tres pontos)";
        }
        break;
    }
    line += ": M = " + metres(f.m, 3) + ", P = " + metres(f.p, 3);
    if (f.stationHeight) {
        line += ", C = " + metres(f.stationH, 3);
    }
    return line;
}

std::string ellipseLine(const SummaryFigures& f) {
    const ErrorEllipse& e = f.ellipse95;
    return std::string("  Elipse de erro a 95 % (") +
           (f.posteriori ? f.testable      ? "a posteriori"
                           : f.freeStation ? "da dispersao das observacoes"
                                           : "da dispersao das leituras"
                         : "a priori") +
           "): semi-eixos " + metres(e.major, 4) + " e " + metres(e.minor, 4) +
           ", eixo maior no rumo " + largeAngle(f.unit, e.bearing, 2);
}

// The precision at which the test of all changes its verdict, and the a
// priori one: of one reading, or a free station's factor of its standard
// deviations.
std::string changeAt(const SummaryFigures& f) {
    return f.freeStation ? "os desvios padrao a priori x " + figure(f.changeSigma, 2)
                         : smallAngle(f.unit, f.changeSigma, 2);
}

// The global test and what the readings' tests make of it.
void verdictLines(const SummaryFigures& f, std::vector<std::string>& out) {
    const Words w{f.freeStation};
    const std::string change = changeAt(f);
    const std::string prior = f.freeStation
                                  ? std::string("os desvios padrao a priori")
                                  : "a precisao a priori (" + precisionText(f.unit, f.sigma) + ")";
    const std::string optimistic =
        f.freeStation ? prior + " sao optimistas" : prior + " e optimista";
    if (f.test == Test::NotApplicable) {
        out.push_back(f.redundancy > 0
                          ? "  Teste global: nao ha: " + prior + " nao permite teste nenhum."
                      : f.redundancy < 0 ? "  Teste global: nao aplicavel: as observacoes nao "
                                           "bastam para determinar a estacao."
                      : f.freeStation    ? "  Teste global: nao aplicavel: sem redundancia, as "
                                           "observacoes nao se controlam e nenhum erro se ve."
                                         : "  Teste global: nao aplicavel: com 3 pontos nao ha "
                                           "redundancia, e nenhum erro de leitura se ve.");
        return;
    }
    const std::string allSaid = f.allRanAway ? std::string("o ajustamento de todas as ") +
                                                   w.many() + " nao assenta perto dos pontos"
                                             : std::string("rejeitado com todas as ") + w.many();
    switch (f.verdict) {
    case Verdict::Clean:
        out.push_back("  Teste global: aceite.");
        out.push_back(std::string("  Nenhuma ") + w.one() + " suspeita.");
        break;
    case Verdict::One:
        out.push_back("  Teste global: " + allSaid + "; sem " +
                      (f.freeStation ? "a " + f.suspects[0] : f.suspects[0]) +
                      (f.withoutAccepted ? " aceite." : " ainda rejeitado."));
        out.push_back(std::string("  ") + w.suspect() + ": " + f.suspects[0] + ", erro estimado " +
                      f.errors[0] +
                      (f.withoutAccepted ? "."
                                         : std::string("; ha mais ") + w.many() + " erradas, ou " +
                                               (f.freeStation ? "os desvios padrao a priori sao"
                                                              : "a precisao a priori e") +
                                               " optimista" + (f.freeStation ? "s." : ".")));
        break;
    case Verdict::Several:
        out.push_back("  Teste global: " + allSaid + "; sem qualquer uma de " +
                      nameList(f.suspects, " ou ") +
                      (f.withoutAccepted ? " aceite." : " ainda rejeitado."));
        out.push_back(std::string("  ") + w.suspect() + ": " + nameList(f.suspects, " ou ") +
                      " (as medicoes nao dizem qual).");
        break;
    case Verdict::FourPoints:
        if (f.allRanAway) {
            out.push_back("  Teste global: " + allSaid + ": uma " + w.one() +
                          " esta muito errada.");
        } else if (f.basis == Basis::None) {
            out.push_back(std::string("  Teste global: rejeitado: uma ") + w.one() +
                          " esta errada (o teste so aceita " +
                          (f.freeStation ? "com " : "a partir de ") + change + ",");
            out.push_back("  mais de tres vezes " +
                          (f.freeStation
                               ? std::string("os a priori")
                               : "a precisao a priori de " + precisionText(f.unit, f.sigma)) +
                          ").");
        } else {
            out.push_back(std::string("  Teste global: rejeitado: uma ") + w.one() +
                          " esta errada, ou " + optimistic + ";");
            out.push_back(std::string("  o teste aceita ") +
                          (f.freeStation ? "com " : "a partir de ") + change + ".");
        }
        if (f.freeStation) {
            out.push_back(f.threePointStations >= 2
                              ? "  Com redundancia 1 nao se sabe qual: as estacoes sem cada "
                                "observacao distam ate " +
                                    metres(f.threePointSpread, 3) + " entre si."
                              : "  Com redundancia 1 nada o confirma, mesmo que so sem uma "
                                "observacao as outras concordem.");
        } else {
            out.push_back(f.threePointStations >= 2
                              ? "  Com 4 pontos nao se sabe qual: as estacoes de cada tres "
                                "leituras distam ate " +
                                    metres(f.threePointSpread, 3) + " entre si."
                              : "  Com 4 pontos nada o confirma, mesmo que so sem uma leitura "
                                "as outras concordem.");
        }
        out.push_back(std::string("  ") + w.suspect() + ": uma de " + nameList(f.suspects, " ou ") +
                      (f.basis == Basis::All ? ", ou nenhuma." : "."));
        break;
    case Verdict::NoneStandsOut:
        if (f.allRanAway) {
            out.push_back("  Teste global: " + allSaid + ", e nenhuma " + w.one() +
                          " sozinha o explica: ha varias " + w.many() + " erradas.");
        } else if (f.manyWrong) {
            out.push_back(std::string("  Teste global: rejeitado sem que uma ") + w.one() +
                          " se destaque: ha varias " + w.many() + " erradas;");
            out.push_back(std::string("  o teste so aceita ") +
                          (f.freeStation ? "com " : "a partir de ") + change +
                          ", mais de tres vezes " +
                          (f.freeStation ? "os a priori." : "a precisao a priori."));
        } else {
            out.push_back(std::string("  Teste global: rejeitado sem que uma ") + w.one() +
                          " se destaque: " + optimistic + ",");
            out.push_back(std::string("  ou ha erros pequenos em varias ") + w.many() +
                          "; o teste aceita " + (f.freeStation ? "com " : "a partir de ") + change +
                          ".");
        }
        out.push_back(std::string("  Nenhuma ") + w.one() + " suspeita.");
        break;
    }
    if (!f.weak.empty()) {
        // A few by name; many by their number, the table marking them.
        const std::string which = f.weak.size() <= 6
                                      ? nameList(f.weak, " ou ")
                                      : "qualquer de " + std::to_string(f.weak.size()) + " " +
                                            w.many() + " (fraco na tabela)";
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
                      f.heightErrors[0] + ".");
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
    const Words w{f.freeStation};
    std::string step;
    if (f.test == Test::NotApplicable) {
        step = f.redundancy > 0 ? f.freeStation ? "Indique desvios padrao a priori maiores do que 0"
                                                : "Indique no ficheiro a precisao a priori de uma "
                                                  "leitura, maior do que 0"
               : f.redundancy < 0 ? "Meca mais observacoes: direccoes a tres pontos, distancias "
                                    "a dois, ou direccoes e distancias a dois pontos"
               : f.freeStation    ? "Meca mais uma observacao, para que as observacoes se "
                                    "controlem umas as outras"
                                  : "Vise mais um ponto, para que as leituras se controlem umas as "
                                    "outras";
    } else {
        switch (f.verdict) {
        case Verdict::Clean:
            step = "";
            break;
        case Verdict::One:
            step = (f.freeStation ? "Repita a " : "Repita a leitura ") + f.suspects[0] +
                   (f.withoutAccepted ? "" : " e reveja as outras");
            break;
        case Verdict::Several:
            step = std::string("Repita as ") + w.many() + " " + nameList(f.suspects);
            if (f.separatingSight) {
                step += ", ou vise mais um ponto no rumo de cerca de " +
                        largeAngle(f.unit, f.separatingBearing, 0);
            }
            break;
        case Verdict::FourPoints:
            if (f.freeStation) {
                step = f.basis == Basis::All
                           ? "Meca mais uma observacao, ou repita-as, para saber se alguma esta "
                             "errada"
                           : "Meca mais uma observacao, ou repita-as, para saber qual esta errada";
            } else {
                step = f.basis == Basis::All ? "Vise mais um ponto, ou repita as quatro leituras, "
                                               "para saber se alguma esta errada"
                                             : "Vise mais um ponto, ou repita as quatro leituras, "
                                               "para saber qual esta errada";
            }
            break;
        case Verdict::NoneStandsOut:
            step = f.allRanAway || f.manyWrong
                       ? std::string("Verifique as ") + w.many() + " e as coordenadas dos pontos"
                   : f.freeStation ? "Reveja os desvios padrao a priori das observacoes, ou "
                                     "repita-as"
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
    if (step.empty()) {
        return f.freeStation ? "Nada a fazer: as observacoes concordam com os seus desvios padrao."
                             : "Nada a fazer: as leituras concordam com a sua precisao.";
    }
    return step + ".";
}

} // namespace

Summary summarize(const SummaryFigures& f) {
    Summary s;
    s.test = f.test == Test::Accepted   ? "accepted"
             : f.test == Test::Rejected ? "rejected"
                                        : "notApplicable";
    s.basis = basisName(f.basis);
    if (f.verdict != Verdict::Clean && f.verdict != Verdict::NoneStandsOut) {
        s.suspects = f.suspectNames.empty() ? f.suspects : f.suspectNames;
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
