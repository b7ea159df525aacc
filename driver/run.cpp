#include "driver/run.hpp"

#include "altimetry/height.hpp"
#include "base/run_stop.hpp"
#include "console/console.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "matrix/matrix.hpp"
#include "planimetry/planimetric_pass.hpp"
#include "report/planimetric_results.hpp"
#include "state/run_context.hpp"

#include <memory>

namespace resection {

namespace {

std::string trimTrailingBlanks(std::string text) {
    const auto last = text.find_last_not_of(' ');
    text.erase(last == std::string::npos ? 0 : last + 1);
    return text;
}

// A file name from an answer: the answer without its trailing blanks; for a
// blank answer the next command-line argument not yet used, or else the name
// asked for again until one is given.
std::string resolveFileName(const std::string& answer, int unit,
                            const std::vector<std::string>& arguments, std::size_t& nextArgument,
                            Console& console) {
    std::string name = trimTrailingBlanks(answer);
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
        name = trimTrailingBlanks(*line);
    }
    return name;
}

// The run: the stages in their fixed order, and the report's sections as
// they fall due. A stage that meets a stop throws; a normal end returns.
void runStages(RunContext& ctx, Console& console) {
    readPlanimetricSection(ctx);   // writes the heading and the echo as it reads
    searchDirectionPrecision(ctx); // writes the a priori angle line in its first pass
    writePosterioriAngleLine(ctx);
    writePlanimetricResults(ctx);

    if (!askForHeight(console)) {
        return;
    }
    readZenithSection(ctx);
    writeHeightAprioriLines(ctx);
    if (!searchZenithPrecision(ctx)) {
        return; // a single observation: no height
    }
    writeHeightPosterioriLine(ctx);
    writeHeightResults(ctx);
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
        ctx.report = report.get();
        ctx.consoleIn = &consoleIn;
        ctx.consoleOut = &consoleOut;
        ctx.inputFileName = inputName;
        ctx.denseReference = options.denseReference;
        ctx.passByPassSearch = options.passByPassSearch;
        ctx.passBudget = options.passBudget;
        try {
            runStages(ctx, console);
        } catch (const RunStop& stop) {
            console.direct(stop.consoleText());
            status = stop.exitStatus();
        } catch (const SingularMatrix&) {
            // A weight or normal matrix with a row of zeros: a precision of
            // exactly 0, or an iteration that has run away until a row is no
            // longer finite.
            console.direct("Matriz singular!");
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
