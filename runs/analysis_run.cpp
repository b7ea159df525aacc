#include "runs/analysis_run.hpp"

#include "altimetry/height.hpp"
#include "analysis/analysis.hpp"
#include "analysis/analysis_json.hpp"
#include "analysis/analysis_text.hpp"
#include "analysis/run_state.hpp"
#include "analysis/sketch.hpp"
#include "base/run_stop.hpp"
#include "console/console.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "matrix/matrix.hpp"
#include "report/messages.hpp"

#include <algorithm>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <tuple>

namespace resection {

namespace {

// True when the file holds a value after its first 'lines' lines: the
// altimetric section follows the planimetric one.
bool valuesAfter(FileSystem& files, const std::string& name, long long lines) {
    std::string error;
    auto in = files.openInput(name, error);
    if (!in) {
        return false;
    }
    std::streambuf* buf = in->rdbuf();
    constexpr int eof = std::char_traits<char>::eof();
    long long line = 1;
    for (int c = buf->sbumpc(); c != eof; c = buf->sbumpc()) {
        if (c == '\n') {
            ++line;
        } else if (line > lines && c != ' ' && c != '\t' && c != '\r' && c != '\f' && c != '\v' &&
                   c != ',') {
            return true;
        }
    }
    return false;
}

void writeLines(Console& console, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        console.direct(line);
    }
}

// The sketch of the station the analysis stands on.
SketchData sketchOf(const RunContext& ctx, const PlanimetricAnalysis& a) {
    SketchData s;
    s.stationName = trimmedName(ctx.stationName);
    const StationEstimate& e = a.station;
    s.stationKnown = e.known;
    std::vector<std::string> names;
    for (int i = 1; i <= ctx.pointCount; ++i) {
        SketchPoint pt;
        pt.name = trimmedName(ctx.pointName[static_cast<std::size_t>(i)]);
        names.push_back(pt.name);
        pt.m = ctx.pointCoords(i, 1);
        pt.p = ctx.pointCoords(i, 2);
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
        const auto centre = [](const std::vector<std::pair<double, double>>& at) {
            double m = 0.0, p = 0.0;
            for (const auto& [x, y] : at) {
                m += x / static_cast<double>(at.size());
                p += y / static_cast<double>(at.size());
            }
            return std::make_pair(m, p);
        };
        std::vector<std::pair<double, double>> at;
        for (const SketchMark& mark : s.marks) {
            at.emplace_back(mark.m, mark.p);
        }
        if (at.empty()) {
            for (const SketchPoint& pt : s.points) {
                at.emplace_back(pt.m, pt.p);
            }
        }
        std::tie(s.stationM, s.stationP) = centre(at);
        s.stationNote = a.redundancy == 1 ? "com 4 pontos, uma leitura errada nao se localiza"
                                          : "nenhum ajustamento assenta perto dos pontos";
        return s;
    }
    s.stationM = e.m;
    s.stationP = e.p;
    // The a posteriori ellipse where the test rejects the a priori
    // precision (or there is none to test); where it accepts, the a priori
    // one, which the test has found consistent with the residuals (and
    // which does not shrink to a point for readings that happen to agree
    // exactly). The factor of each is its own: a posteriori the variance
    // factor is estimated, and the 95 % ellipse widens as its redundancy
    // shrinks.
    if (e.testable || e.redundancy >= 1) {
        s.ellipse = e.ellipse95();
        s.ellipseLabel = !e.posterioriShown() ? "95 % a priori"
                         : e.testable         ? "95 % a posteriori"
                                              : "95 % da dispersao das leituras";
    } else {
        s.ellipse.major = std::numeric_limits<double>::quiet_NaN();
        s.ellipseLabel = "sem precisao conhecida";
    }
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

using ErrorSink = std::function<void(const std::string&)>;

// Writes one output file of the analysis (the sketch, the JSON) through
// 'write'; a file that cannot be created or written is a file fault, said
// through 'error', after which the analysis goes on. 'what' names the file
// in the messages ("do esboco", "JSON"), 'done' is the console line after it.
int writeOutputFile(FileSystem& files, const std::string& name, const std::string& what,
                    const std::function<void(std::ostream&)>& write, const std::string& done,
                    Console& console, const ErrorSink& error) {
    std::string reason;
    auto out = files.createReport(name, reason);
    if (!out) {
        error("Nao foi possivel criar o ficheiro " + what + " \"" + name + "\": " + reason + ".");
        return exitFileFault;
    }
    write(*out);
    if (!files.closeReport(*out, reason)) {
        error("Erro no ficheiro " + what + ": " + reason + ".");
        return exitFileFault;
    }
    console.direct(done + name);
    return exitOrderly;
}

const char* const usage =
    "Uso: resection-analise [OPCOES] FICHEIRO_DE_INPUT [ESBOCO.svg]\r\n"
    "Analise de uma interseccao inversa: a leitura errada, a elipse de erro da estacao,\r\n"
    "a robustez da geometria e, com ESBOCO.svg, o esboco da estacao em SVG.\r\n"
    "Opcoes:\r\n"
    "  -h, --help       mostra esta ajuda e termina\r\n"
    "  --version        mostra a versao e termina\r\n"
    "  --json FICHEIRO  o resultado tambem em JSON (- para a saida padrao, em vez do texto)\r\n"
    "  --               o que se segue sao nomes de ficheiros, mesmo que comecem por -\r\n";

// The command line: options anywhere before "--", then the names. A new
// option is one more branch of the loop.
struct AnalysisArguments {
    bool help = false;
    bool version = false;
    bool json = false;
    std::string jsonName;           // "-": standard output
    std::vector<std::string> names; // the input file, then the sketch
    std::string refusal;            // why the arguments cannot be used
};

AnalysisArguments parseArguments(const std::vector<std::string>& arguments) {
    AnalysisArguments parsed;
    bool options = true;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (options && argument == "--") {
            options = false;
        } else if (options && argument == "--json") {
            if (i + 1 == arguments.size()) {
                parsed.refusal = "--json sem nome de ficheiro (- para a saida padrao)";
            } else {
                parsed.json = true;
                parsed.jsonName = arguments[++i];
            }
        } else if (options && (argument == "-h" || argument == "--help")) {
            parsed.help = true;
        } else if (options && argument == "--version") {
            parsed.version = true;
        } else if (argument == "-") {
            // Standard output carries the analysis, and the input is read
            // more than once: both are files with a name.
            parsed.refusal = "o nome \"-\" nao serve: a entrada e o esboco sao ficheiros com "
                             "nome (um ficheiro chamado - escreve-se ./-)";
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            parsed.refusal = "opcao desconhecida: " + argument;
        } else {
            parsed.names.push_back(argument);
        }
    }
    if (parsed.refusal.empty() && parsed.names.empty()) {
        parsed.refusal = "falta o nome do ficheiro de input";
    } else if (parsed.refusal.empty() && parsed.names.size() > 2) {
        parsed.refusal = "demasiados nomes de ficheiros";
    }
    return parsed;
}

} // namespace

int runAnalysis(const std::vector<std::string>& arguments, std::ostream& standardOutput,
                std::ostream& errorOut, FileSystem& files) {
    const AnalysisArguments parsed = parseArguments(arguments);
    // With the JSON on standard output the console text goes nowhere.
    std::ostream noConsole(nullptr);
    std::ostream& consoleOut = parsed.json && parsed.jsonName == "-" ? noConsole : standardOutput;
    std::istringstream noAnswers;
    Console console(noAnswers, consoleOut);
    Console errors(noAnswers, errorOut);
    // An error follows what the analysis has shown so far.
    const auto error = [&](const std::string& text) {
        consoleOut.flush();
        errors.direct(text);
    };

    if (parsed.help || parsed.version) {
        standardOutput << (parsed.help ? usage : "resection-analise " RESECTION_VERSION "\r\n");
        standardOutput.flush();
        return exitOrderly;
    }
    if (!parsed.refusal.empty()) {
        error("resection-analise: " + parsed.refusal);
        errorOut << usage;
        errorOut.flush();
        return exitFileFault;
    }

    std::unique_ptr<PlanimetricAnalysis> plan;
    std::unique_ptr<HeightAnalysis> height;
    std::unique_ptr<SummaryFigures> figures;
    std::unique_ptr<Summary> summary;
    std::string stopText;
    const std::string& inputName = parsed.names[0];
    RunContext ctx;
    const std::string stars(52, '*');
    console.plainLine(stars);
    console.plainLine("          Interseccao inversa: analise");
    console.plainLine(stars);
    console.plainLine("");
    int status = exitOrderly;
    bool jsonRefused = false;
    try {
        std::string reason;
        auto input = files.openInput(inputName, reason);
        if (!input) {
            throw RunStop::fileFault("Nao foi possivel abrir o ficheiro de input \"" + inputName +
                                     "\": " + reason + ".");
        }
        // The analysis reads its input and never writes over it.
        if (parsed.json && parsed.jsonName != "-" && files.sameFile(inputName, parsed.jsonName)) {
            jsonRefused = true;
            throw RunStop::fileFault("O ficheiro JSON \"" + parsed.jsonName +
                                     "\" e o proprio ficheiro de input: escolha outro nome.");
        }
        const bool sketch = parsed.names.size() == 2;
        if (sketch && files.sameFile(inputName, parsed.names[1])) {
            throw RunStop::fileFault("O ficheiro do esboco \"" + parsed.names[1] +
                                     "\" e o proprio ficheiro de input: escolha outro nome.");
        }
        // Nor does one output replace the other.
        if (sketch && parsed.json && parsed.jsonName != "-" &&
            (parsed.jsonName == parsed.names[1] ||
             files.sameFile(parsed.names[1], parsed.jsonName))) {
            jsonRefused = true;
            throw RunStop::fileFault("O ficheiro JSON \"" + parsed.jsonName +
                                     "\" e o proprio ficheiro do esboco \"" + parsed.names[1] +
                                     "\": escolha outro nome.");
        }
        console.direct("Ficheiro de input: " + inputName);

        RecordReader reader(*input, inputName,
                            [&console, &inputName](long long line, const std::string& text) {
                                console.warning(decimalCommaWarning(inputName, line, text));
                            });
        ctx.input = &reader;
        ctx.inputFileName = inputName;
        try {
            readPlanimetricSection(ctx);
            plan = std::make_unique<PlanimetricAnalysis>(analysePlanimetry(ctx));
            // The height before any text, for the summary that opens it;
            // where its section is refused, the planimetry is still shown.
            std::exception_ptr heightStop;
            if (valuesAfter(files, inputName, reader.lineNumber() - 1)) {
                try {
                    readZenithSection(ctx);
                    height = std::make_unique<HeightAnalysis>(analyseHeight(ctx, *plan));
                } catch (...) {
                    heightStop = std::current_exception();
                }
            }
            figures = std::make_unique<SummaryFigures>(summaryFigures(ctx, *plan, height.get()));
            summary = std::make_unique<Summary>(summarize(*figures));
            writeLines(console, summary->lines);
            console.plainLine("");
            writeLines(console, planimetryText(ctx, *plan));
            console.plainLine("");
            if (sketch) {
                status = writeOutputFile(
                    files, parsed.names[1], "do esboco",
                    [&](std::ostream& out) { writeSketch(out, sketchOf(ctx, *plan)); },
                    "Esboco escrito em ", console, error);
                console.plainLine("");
            }
            if (height) {
                writeLines(console, heightText(ctx, *height));
            }
            if (heightStop) {
                std::rethrow_exception(heightStop);
            }
        } catch (const SingularMatrix& singular) {
            stopText = stopMessage(singular);
            console.direct(stopText);
        }
    } catch (const RunStop& stop) {
        stopText = stop.consoleText();
        // Orderly stops are part of the analysis; faults are errors.
        if (stop.exitStatus() == exitOrderly) {
            console.direct(stop.consoleText());
        } else {
            error(stop.consoleText());
        }
        status = stop.exitStatus();
    }
    // Never over the input file.
    if (parsed.json && !jsonRefused) {
        AnalysisRecord record;
        record.inputName = inputName;
        record.status = status;
        record.stop = stopText;
        record.ctx = &ctx;
        record.planimetry = plan.get();
        record.height = height.get();
        record.summary = summary.get();
        record.summaryFigures = figures.get();
        const auto write = [&record](std::ostream& out) { writeAnalysisJson(out, record); };
        int written = exitOrderly;
        // A name that only now leads to the sketch (a link made to it
        // before it existed) is refused as well.
        if (parsed.names.size() == 2 && parsed.jsonName != "-" &&
            files.sameFile(parsed.names[1], parsed.jsonName)) {
            error("O ficheiro JSON \"" + parsed.jsonName + "\" e o proprio ficheiro do esboco \"" +
                  parsed.names[1] + "\": escolha outro nome.");
            written = exitFileFault;
        } else if (parsed.jsonName == "-") {
            write(standardOutput); // in place of the console text
        } else {
            written = writeOutputFile(files, parsed.jsonName, "JSON", write,
                                      "Resultado em JSON escrito em ", console, error);
        }
        status = status == exitOrderly ? written : status;
    }
    consoleOut.flush();
    standardOutput.flush();
    return status;
}

} // namespace resection
