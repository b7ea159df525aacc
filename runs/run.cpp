#include "runs/run.hpp"

#include "altimetry/height.hpp"
#include "base/stop.hpp"
#include "base/text.hpp"
#include "console/console.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "input/zenith_section.hpp"
#include "planimetry/planimetric_search.hpp"
#include "planimetry/results.hpp"
#include "report/heading.hpp"
#include "report/height_lines.hpp"
#include "report/messages.hpp"
#include "report/planimetric_results.hpp"
#include "report/precision_line.hpp"

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
            throw Stop(StopReason::NoFileName);
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
// before it; a normal end returns. 'unit' is the unit of the readings once
// the header is read (the stop messages of the searches give precisions in
// it).
void runStages(RecordReader& in, std::ostream& report, Console& console,
               const ComputeOptions& options, const RunOptions& runOptions, AngleUnit& unit) {
    const SurveyHeader header = readHeaderRecords(in);
    unit = header.unit;
    writeHeading(report, header);
    const std::int32_t pointCount = readPointCount(in, header);
    writeRedundancy(report, pointCount - 3);
    const PointRecords records = readPointRecords(in, header, pointCount);
    writeEcho(report, records.echo);
    const Survey& survey = records.survey;

    const FirstPosition first = findFirstPosition(survey);
    if (survey.pointCount == 3) {
        // Nothing to adjust: the position is the solution.
        writeThreePointSolution(report, first.m, first.p);
        throw Stop(StopReason::Terminated);
    }
    writeAprioriAngleLine(report, unit, aprioriAngleDeviation(survey, first, options));
    const PlanimetricSearch position = searchDirectionPrecision(survey, first, options);
    if (runOptions.positionSearch != nullptr) {
        *runOptions.positionSearch = position.counts;
    }
    writePosterioriAngleLine(report, unit, position.precision);
    writePlanimetricResults(report, header.stationName, unit,
                            planimetricResults(first, position.last, options.denseReference));

    if (!askForHeight(console)) {
        return;
    }
    const ZenithSection zenith = readZenithSection(in, header);
    // The zenith readings have the header's a priori precision too.
    writeHeightAprioriLines(report, unit, header.aprioriPrecision, zenith.count - 1);
    const HeightSearch height = searchZenithPrecision(zenith, header, position.last.stationM,
                                                      position.last.stationP, options);
    if (runOptions.heightSearch != nullptr) {
        *runOptions.heightSearch = height.counts;
    }
    if (!height.adjusted) {
        return; // a single observation: no height
    }
    writeHeightPosterioriLine(report, unit, height.precision);
    writeHeightResults(report, header.stationName, unit, heightResults(zenith, height.last));
}

} // namespace

int runResection(const std::vector<std::string>& arguments, std::istream& consoleIn,
                 std::ostream& consoleOut, FileSystem& files, const RunOptions& options) {
    Console console(consoleIn, consoleOut);
    std::size_t nextArgument = 0;
    std::unique_ptr<std::ostream> report;
    int status = exitOrderly;
    AngleUnit unit = AngleUnit::Unknown;
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
            throw Stop(StopReason::CannotOpenInput).withName(inputName).withText(error);
        }

        console.prompt(" Nome do ficheiro de output: ");
        const std::string reportAnswer = console.readAnswer(72);
        const std::string reportName =
            resolveFileName(reportAnswer, 200, arguments, nextArgument, console);
        // Opening the report replaces its file: never let it be the input.
        if (files.sameFile(inputName, reportName)) {
            throw Stop(StopReason::ReportIsInput).withName(reportName);
        }
        report = files.createReport(reportName, error);
        if (!report) {
            throw Stop(StopReason::CannotCreateReport).withName(reportName).withText(error);
        }

        RecordReader reader(*input, inputName,
                            [&console, &inputName](long long line, const std::string& text) {
                                console.warning(decimalCommaWarning(inputName, line, text));
                            });
        ComputeOptions compute;
        compute.denseReference = options.denseReference;
        compute.passByPass = options.passByPassSearch;
        compute.passBudget = options.passBudget;
        runStages(reader, *report, console, compute, options, unit);
    } catch (const Stop& stop) {
        // A weight or normal matrix with a row of zeros ("Matriz singular!")
        // is a precision of exactly 0, or an iteration that has run away
        // until a row is no longer finite: an orderly stop like the others.
        console.direct(stopMessage(stop, unit));
        status = exitStatus(stop.reason());
    }
    if (report) {
        std::string error;
        if (!files.closeReport(*report, error)) {
            console.direct(stopMessage(Stop(StopReason::ReportWriteFault).withText(error)));
            status = exitFileFault;
        }
    }
    consoleOut.flush();
    return status;
}

} // namespace resection
