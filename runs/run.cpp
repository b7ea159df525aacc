#include "runs/run.hpp"

#include "altimetry/height.hpp"
#include "base/run_stop.hpp"
#include "base/text.hpp"
#include "console/console.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "matrix/matrix.hpp"
#include "planimetry/planimetric_pass.hpp"
#include "planimetry/results.hpp"
#include "report/heading.hpp"
#include "report/height_lines.hpp"
#include "report/planimetric_results.hpp"
#include "report/precision_line.hpp"
#include "state/run_context.hpp"

#include <memory>

namespace resection {

namespace {

// A file name from an answer: the answer without its trailing blanks; for a
// blank answer the next command-line argument not yet used, or else the name
// asked for again until one is given.
std::string resolveFileName(const std::string& answer, int unit,
                            const std::vector<std::string>& arguments, std::size_t& nextArgument,
                            Console& console) {
    std::string name = trimmedName(answer);
    if (!name.empty()) {
        return name;
    }
    if (nextArgument < arguments.size()) {
        return arguments[nextArgument++];
    }
    while (name.empty()) {
        console.direct("File name missing or blank - please enter file name");
        console.prompt(" UNIT " + std::to_string(unit) + "? ");
        auto line = console.readLine();
        if (!line) {
            throw RunStop::fileFault("Nenhum nome de ficheiro foi dado: a entrada da consola "
                                     "terminou.");
        }
        if (line->size() > 260) {
            line->resize(260);
        }
        name = trimmedName(*line);
    }
    return name;
}

// The height question; true for an answer beginning with S or s.
bool askForHeight(Console& console) {
    console.plainLine("");
    console.prompt(" Quer calcular a cota do ponto visado (S/N)? ");
    const std::string answer = console.readAnswer(1);
    console.plainLine("");
    return answer[0] == 'S' || answer[0] == 's';
}

// The run: each stage computed, then its section of the report written. A
// stage that meets a stop throws, and the report keeps the sections written
// before it; a normal end returns.
void runStages(RunContext& ctx, std::ostream& report, Console& console) {
    readHeaderRecords(ctx);
    writeHeading(report, ctx);
    readPointCount(ctx);
    writeRedundancy(report, ctx.redundancy);
    writeEcho(report, readPointRecords(ctx));

    const StationPosition first = findFirstPosition(ctx);
    if (ctx.pointCount == 3) {
        // Nothing to adjust: the position is the solution.
        writeThreePointSolution(report, first.m, first.p);
        throw RunStop::terminated();
    }
    writeAprioriAngleLine(report, ctx.unit, aprioriAngleDeviation(ctx));
    writePosterioriAngleLine(report, ctx.unit, searchDirectionPrecision(ctx));
    writePlanimetricResults(report, ctx.stationName, ctx.unit, planimetricResults(ctx));

    if (!askForHeight(console)) {
        return;
    }
    readZenithSection(ctx);
    writeHeightAprioriLines(report, ctx.unit, ctx.zenithPrecision, ctx.zenithCount - 1);
    if (!searchZenithPrecision(ctx)) {
        return; // a single observation: no height
    }
    writeHeightPosterioriLine(report, ctx.unit, ctx.zenithPrecision);
    writeHeightResults(report, ctx.stationName, ctx.unit, heightResults(ctx));
}

} // namespace

int runResection(const std::vector<std::string>& arguments, std::istream& consoleIn,
                 std::ostream& consoleOut, FileSystem& files, const RunOptions& options) {
    Console console(consoleIn, consoleOut);
    std::size_t nextArgument = 0;
    std::unique_ptr<std::ostream> report;
    int status = exitOrderly;
    try {
        const std::string stars(52, '*');
        console.plainLine(stars);
        console.plainLine("              Interseccao inversa");
        console.plainLine(stars);
        console.plainLine("");

        console.prompt(" Nome do ficheiro de input: ");
        const std::string inputAnswer = console.readAnswer(72);
        console.plainLine("");
        const std::string inputName =
            resolveFileName(inputAnswer, 100, arguments, nextArgument, console);
        std::string error;
        auto input = files.openInput(inputName, error);
        if (!input) {
            throw RunStop::fileFault("Nao foi possivel abrir o ficheiro de input \"" + inputName +
                                     "\": " + error + ".");
        }

        console.prompt(" Nome do ficheiro de output: ");
        const std::string reportAnswer = console.readAnswer(72);
        const std::string reportName =
            resolveFileName(reportAnswer, 200, arguments, nextArgument, console);
        // Opening the report replaces its file: never let it be the input.
        if (files.sameFile(inputName, reportName)) {
            throw RunStop::fileFault("O ficheiro de output \"" + reportName +
                                     "\" e o proprio ficheiro de input: escolha outro nome.");
        }
        report = files.createReport(reportName, error);
        if (!report) {
            throw RunStop::fileFault("Nao foi possivel criar o ficheiro de output \"" + reportName +
                                     "\": " + error + ".");
        }

        RecordReader reader(*input, inputName,
                            [&console](const std::string& text) { console.warning(text); });
        RunContext ctx;
        ctx.input = &reader;
        ctx.inputFileName = inputName;
        ctx.denseReference = options.denseReference;
        ctx.passByPassSearch = options.passByPassSearch;
        ctx.passBudget = options.passBudget;
        try {
            runStages(ctx, *report, console);
        } catch (const RunStop& stop) {
            console.direct(stop.consoleText());
            status = stop.exitStatus();
        } catch (const SingularMatrix& singular) {
            // A weight or normal matrix with a row of zeros: a precision of
            // exactly 0, or an iteration that has run away until a row is no
            // longer finite.
            console.direct(singular.what());
            status = exitOrderly;
        }
        if (options.positionSearch != nullptr) {
            *options.positionSearch = ctx.positionSearch;
        }
        if (options.heightSearch != nullptr) {
            *options.heightSearch = ctx.heightSearch;
        }
    } catch (const RunStop& stop) {
        console.direct(stop.consoleText());
        status = stop.exitStatus();
    }
    if (report) {
        std::string error;
        if (!files.closeReport(*report, error)) {
            console.direct("Erro no ficheiro de output: " + error + ".");
            status = exitFileFault;
        }
    }
    consoleOut.flush();
    return status;
}

} // namespace resection
