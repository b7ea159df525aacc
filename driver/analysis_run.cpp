#include "driver/analysis_run.hpp"

#include "altimetry/height.hpp"
#include "analysis/analysis.hpp"
#include "analysis/analysis_json.hpp"
#include "analysis/analysis_text.hpp"
#include "analysis/sketch.hpp"
#include "driver/console.hpp"
#include "driver/run_stop.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "input/run_context.hpp"
#include "matrix/matrix.hpp"

#include <memory>
#include <sstream>

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

SketchData sketchOf(const RunContext& ctx, const PlanimetricAnalysis& a) {
    SketchData s;
    s.stationName = trimmedName(ctx.stationName);
    s.stationM = a.stationM;
    s.stationP = a.stationP;
    for (int i = 1; i <= ctx.pointCount; ++i) {
        SketchPoint pt;
        pt.name = trimmedName(ctx.pointName[static_cast<std::size_t>(i)]);
        pt.m = ctx.pointCoords(i, 1);
        pt.p = ctx.pointCoords(i, 2);
        pt.suspect = a.suspect.kind == Suspect::Kind::Flagged && a.suspect.reading == i;
        s.points.push_back(pt);
    }
    // The a posteriori ellipse where the test rejects the a priori
    // precision; where it accepts, the a priori one, which the test has
    // found consistent with the residuals (and which does not shrink to a
    // point for readings that happen to agree exactly).
    // The factor of each is its own: a posteriori the variance factor is
    // estimated, and the 95 % ellipse widens as its redundancy shrinks.
    const bool posteriori = a.tested && !a.test.accepted;
    s.ellipse = posteriori ? scaled(a.posteriori, posteriori95Factor(ctx.redundancy))
                           : scaled(a.priori, confidence95Factor());
    s.ellipseLabel = posteriori ? "95 % a posteriori" : "95 % a priori";
    s.circle = a.circle;
    s.readjusted = a.without.done;
    s.readjustedM = a.without.stationM;
    s.readjustedP = a.without.stationP;
    return s;
}

// Writes the sketch; a file that cannot be created or written is a stop of
// a file fault, after which the analysis goes on.
int writeSketchFile(FileSystem& files, const std::string& name, const SketchData& data,
                    Console& console) {
    std::string error;
    auto out = files.createReport(name, error);
    if (!out) {
        console.direct("Nao foi possivel criar o ficheiro do esboco \"" + name + "\": " + error +
                       ".");
        return exitFileFault;
    }
    writeSketch(*out, data);
    if (!files.closeReport(*out, error)) {
        console.direct("Erro no ficheiro do esboco: " + error + ".");
        return exitFileFault;
    }
    console.direct("Esboco escrito em " + name);
    return exitOrderly;
}

// "--json FILE" anywhere among the arguments: taken out, and the name of the
// JSON file returned ("-": standard output, in place of the console text).
// A "--json" without a name leaves the name empty, which the run refuses.
struct JsonOption {
    bool wanted = false;
    std::string name;
};
JsonOption takeJsonOption(std::vector<std::string>& arguments) {
    JsonOption option;
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "--json") {
            option.wanted = true;
            option.name = arguments[i + 1];
            arguments.erase(arguments.begin() + static_cast<long>(i),
                            arguments.begin() + static_cast<long>(i) + 2);
            return option;
        }
    }
    if (!arguments.empty() && arguments.back() == "--json") {
        option.wanted = true;
        arguments.pop_back();
    }
    return option;
}

// Writes the JSON record to its file or standard output; a file that cannot
// be created or written is a file fault, as for the sketch.
int writeJson(const JsonOption& option, const AnalysisRecord& record, FileSystem& files,
              std::ostream& standardOutput, Console& console) {
    if (option.name == "-") {
        writeAnalysisJson(standardOutput, record);
        return exitOrderly;
    }
    std::string error;
    auto out = files.createReport(option.name, error);
    if (!out) {
        console.direct("Nao foi possivel criar o ficheiro JSON \"" + option.name + "\": " + error +
                       ".");
        return exitFileFault;
    }
    writeAnalysisJson(*out, record);
    if (!files.closeReport(*out, error)) {
        console.direct("Erro no ficheiro JSON: " + error + ".");
        return exitFileFault;
    }
    console.direct("Resultado em JSON escrito em " + option.name);
    return exitOrderly;
}

} // namespace

int runAnalysis(const std::vector<std::string>& givenArguments, std::ostream& standardOutput,
                FileSystem& files) {
    std::vector<std::string> arguments = givenArguments;
    const JsonOption json = takeJsonOption(arguments);
    // With the JSON on standard output the console text goes nowhere.
    std::ostream noConsole(nullptr);
    std::ostream& consoleOut = json.wanted && json.name == "-" ? noConsole : standardOutput;
    std::unique_ptr<PlanimetricAnalysis> plan;
    std::unique_ptr<HeightAnalysis> height;
    std::string stopText;
    std::string inputName;
    RunContext ctx;
    std::istringstream noAnswers;
    Console console(noAnswers, consoleOut);
    const std::string stars(52, '*');
    console.plainLine(stars);
    console.plainLine("          Interseccao inversa: analise");
    console.plainLine(stars);
    console.plainLine("");
    int status = exitOrderly;
    try {
        if (arguments.empty() || arguments.size() > 2) {
            throw RunStop::fileFault("Uso: resection-analise FICHEIRO_DE_INPUT [ESBOCO.svg]");
        }
        inputName = arguments[0];
        std::string error;
        auto input = files.openInput(inputName, error);
        if (!input) {
            throw RunStop::fileFault("Nao foi possivel abrir o ficheiro de input \"" + inputName +
                                     "\": " + error + ".");
        }
        if (json.wanted &&
            (json.name.empty() || (json.name != "-" && files.sameFile(inputName, json.name)))) {
            throw RunStop::fileFault(json.name.empty()
                                         ? "--json sem nome de ficheiro (- para a saida padrao)."
                                         : "O ficheiro JSON \"" + json.name +
                                               "\" e o proprio ficheiro de input: escolha outro "
                                               "nome.");
        }
        const bool sketch = arguments.size() == 2;
        // The analysis reads its input and never writes over it.
        if (sketch && files.sameFile(inputName, arguments[1])) {
            throw RunStop::fileFault("O ficheiro do esboco \"" + arguments[1] +
                                     "\" e o proprio ficheiro de input: escolha outro nome.");
        }
        console.direct("Ficheiro de input: " + inputName);

        RecordReader reader(*input, inputName,
                            [&console](const std::string& text) { console.warning(text); });
        // The reading writes the program's report heading as it goes; here
        // there is no report, and a stream without a buffer keeps nothing.
        std::ostream noReport(nullptr);
        ctx.input = &reader;
        ctx.report = &noReport;
        ctx.inputFileName = inputName;
        try {
            readPlanimetricSection(ctx);
            plan = std::make_unique<PlanimetricAnalysis>(analysePlanimetry(ctx));
            writeLines(console, planimetryText(ctx, *plan));
            console.plainLine("");
            if (sketch) {
                status = writeSketchFile(files, arguments[1], sketchOf(ctx, *plan), console);
                console.plainLine("");
            }
            if (valuesAfter(files, inputName, reader.lineNumber() - 1)) {
                readZenithSection(ctx);
                height = std::make_unique<HeightAnalysis>(analyseHeight(ctx, *plan));
                writeLines(console, heightText(ctx, *height));
            }
        } catch (const SingularMatrix&) {
            stopText = "Matriz singular!";
            console.direct(stopText);
        }
    } catch (const RunStop& stop) {
        stopText = stop.consoleText();
        console.direct(stop.consoleText());
        status = stop.exitStatus();
    }
    // Never without a name, and never over the input file.
    if (json.wanted && !json.name.empty() &&
        (json.name == "-" || inputName.empty() || !files.sameFile(inputName, json.name))) {
        AnalysisRecord record;
        record.inputName = inputName;
        record.status = status;
        record.stop = stopText;
        record.ctx = &ctx;
        record.planimetry = plan.get();
        record.height = height.get();
        const int written = writeJson(json, record, files, standardOutput, console);
        status = status == exitOrderly ? written : status;
    }
    consoleOut.flush();
    standardOutput.flush();
    return status;
}

} // namespace resection
