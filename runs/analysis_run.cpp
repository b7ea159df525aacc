#include "runs/analysis_run.hpp"

#include "analysis/analysis.hpp"
#include "analysis/analysis_json.hpp"
#include "analysis/analysis_text.hpp"
#include "analysis/sketch.hpp"
#include "analysis/sketch_data.hpp"
#include "base/text.hpp"
#include "console/console.hpp"
#include "input/input_form.hpp"
#include "input/json.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "input/station_json.hpp"
#include "input/station_text.hpp"
#include "input/zenith_section.hpp"
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

using ErrorSink = std::function<void(const std::string&)>;

// The outputs as the file-fault stops count them.
constexpr long long sketchOutput = 0;
constexpr long long jsonOutput = 1;

// Writes one output file of the analysis (the sketch, the JSON) through
// 'write'; a file that cannot be created or written is a file fault, said
// through 'error', after which the analysis goes on. 'which' is the output
// the messages name, 'done' the console line after it.
int writeOutputFile(FileSystem& files, const std::string& name, long long which,
                    const std::function<void(std::ostream&)>& write, const std::string& done,
                    Console& console, const ErrorSink& error) {
    std::string reason;
    auto out = files.createReport(name, reason);
    if (!out) {
        error(stopMessage(
            Stop(StopReason::CannotCreateOutput).withName(name).withText(reason).withCount(which)));
        return exitFileFault;
    }
    write(*out);
    if (!files.closeReport(*out, reason)) {
        error(stopMessage(Stop(StopReason::OutputWriteFault).withText(reason).withCount(which)));
        return exitFileFault;
    }
    console.direct(done + name);
    return exitOrderly;
}

// What one run analysed, for its text, sketch and JSON: the program's input
// file (its survey, and the height section where there is one) or a free
// station.
struct Analysed {
    std::unique_ptr<Survey> survey;
    std::unique_ptr<PlanimetricAnalysis> plan;
    std::unique_ptr<ZenithSection> zenith;
    std::unique_ptr<HeightAnalysis> height;
    std::unique_ptr<StationSurvey> station;
    std::unique_ptr<FreeStationAnalysis> freeStation;
    std::unique_ptr<SummaryFigures> figures;
    std::unique_ptr<Summary> summary;
    std::unique_ptr<Stop> stop; // the stop the run ended with
    AngleUnit unit = AngleUnit::Unknown;
};

// The whole of a JSON file, at most a byte beyond what the reader takes (it
// refuses more).
std::string wholeText(std::istream& in) {
    std::string text;
    std::streambuf* buf = in.rdbuf();
    constexpr int eof = std::char_traits<char>::eof();
    for (int c = buf->sbumpc(); c != eof && text.size() <= maxJsonSize; c = buf->sbumpc()) {
        text += static_cast<char>(c);
    }
    return text;
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

    Analysed run;
    const std::string& inputName = parsed.names[0];
    const bool sketch = parsed.names.size() == 2;
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
            throw Stop(StopReason::CannotOpenInput).withName(inputName).withText(reason);
        }
        // The analysis reads its input and never writes over it.
        if (parsed.json && parsed.jsonName != "-" && files.sameFile(inputName, parsed.jsonName)) {
            jsonRefused = true;
            throw Stop(StopReason::OutputIsInput).withName(parsed.jsonName).withCount(jsonOutput);
        }
        if (sketch && files.sameFile(inputName, parsed.names[1])) {
            throw Stop(StopReason::OutputIsInput).withName(parsed.names[1]).withCount(sketchOutput);
        }
        // Nor does one output replace the other.
        if (sketch && parsed.json && parsed.jsonName != "-" &&
            (parsed.jsonName == parsed.names[1] ||
             files.sameFile(parsed.names[1], parsed.jsonName))) {
            jsonRefused = true;
            throw Stop(StopReason::JsonIsSketch)
                .withName(parsed.jsonName)
                .withText(parsed.names[1]);
        }
        console.direct("Ficheiro de input: " + inputName);

        std::exception_ptr heightStop;
        const InputForm form = inputFormOf(*input);
        if (form == InputForm::ProgramFile) {
            RecordReader reader(*input, inputName,
                                [&console, &inputName](long long line, const std::string& text) {
                                    console.warning(decimalCommaWarning(inputName, line, text));
                                });
            run.survey = std::make_unique<Survey>(readPlanimetricSection(reader).survey);
            run.unit = run.survey->header.unit;
            run.plan = std::make_unique<PlanimetricAnalysis>(analysePlanimetry(*run.survey));
            // The height before any text, for the summary that opens it;
            // where its section is refused, the planimetry is still shown.
            if (valuesAfter(files, inputName, reader.lineNumber() - 1)) {
                try {
                    run.zenith = std::make_unique<ZenithSection>(
                        readZenithSection(reader, run.survey->header));
                    run.height = std::make_unique<HeightAnalysis>(
                        analyseHeight(*run.survey, *run.zenith, *run.plan));
                } catch (...) {
                    run.zenith.reset();
                    heightStop = std::current_exception();
                }
            }
            run.figures = std::make_unique<SummaryFigures>(
                summaryFigures(*run.survey, *run.plan, run.zenith.get(), run.height.get()));
        } else {
            run.station = std::make_unique<StationSurvey>(
                form == InputForm::StationText ? readStationText(*input, inputName)
                                               : readStationJson(wholeText(*input), inputName));
            run.unit = run.station->unit;
            run.freeStation =
                std::make_unique<FreeStationAnalysis>(analyseFreeStation(*run.station));
            run.figures = std::make_unique<SummaryFigures>(
                freeStationSummaryFigures(*run.station, *run.freeStation));
        }
        run.summary = std::make_unique<Summary>(summarize(*run.figures));
        writeLines(console, run.summary->lines);
        console.plainLine("");
        writeLines(console, run.survey ? planimetryText(*run.survey, *run.plan)
                                       : freeStationText(*run.station, *run.freeStation));
        console.plainLine("");
        if (sketch) {
            const SketchData data = run.survey ? planimetrySketch(*run.survey, *run.plan)
                                               : freeStationSketch(*run.station, *run.freeStation);
            status = writeOutputFile(
                files, parsed.names[1], sketchOutput,
                [&data](std::ostream& out) { writeSketch(out, data); }, "Esboco escrito em ",
                console, error);
            console.plainLine("");
        }
        if (run.height) {
            writeLines(console, heightText(run.survey->header, *run.zenith, *run.height));
        }
        if (heightStop) {
            std::rethrow_exception(heightStop);
        }
    } catch (const Stop& stop) {
        run.stop = std::make_unique<Stop>(stop);
        const std::string text = stopMessage(stop, run.unit);
        // Orderly stops are part of the analysis; faults are errors.
        if (exitStatus(stop.reason()) == exitOrderly) {
            console.direct(text);
        } else {
            error(text);
        }
        status = exitStatus(stop.reason());
    }
    // Never over the input file.
    if (parsed.json && !jsonRefused) {
        AnalysisRecord record;
        record.inputName = inputName;
        record.status = status;
        record.stop = run.stop.get();
        record.unit = run.unit;
        record.survey = run.survey.get();
        record.planimetry = run.plan.get();
        record.zenith = run.zenith.get();
        record.height = run.height.get();
        record.station = run.station.get();
        record.freeStation = run.freeStation.get();
        record.summary = run.summary.get();
        record.summaryFigures = run.figures.get();
        const auto write = [&record](std::ostream& out) { writeAnalysisJson(out, record); };
        int written = exitOrderly;
        // A name that only now leads to the sketch (a link made to it
        // before it existed) is refused as well.
        if (sketch && parsed.jsonName != "-" && files.sameFile(parsed.names[1], parsed.jsonName)) {
            error(stopMessage(Stop(StopReason::JsonIsSketch)
                                  .withName(parsed.jsonName)
                                  .withText(parsed.names[1])));
            written = exitFileFault;
        } else if (parsed.jsonName == "-") {
            write(standardOutput); // in place of the console text
        } else {
            written = writeOutputFile(files, parsed.jsonName, jsonOutput, write,
                                      "Resultado em JSON escrito em ", console, error);
        }
        status = status == exitOrderly ? written : status;
    }
    consoleOut.flush();
    standardOutput.flush();
    return status;
}

} // namespace resection
