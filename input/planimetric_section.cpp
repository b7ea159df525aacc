#include "input/planimetric_section.hpp"

#include "angles/units.hpp"
#include "base/constants.hpp"
#include "base/run_stop.hpp"
#include "input/record_reader.hpp"

namespace resection {

void sizeWorkArrays(RunContext& ctx) {
    const int n = ctx.pointCount;
    ctx.observedAngle = Matrix(n - 1, 1);
    ctx.misclosure = Matrix(n - 1, 1);
    ctx.designMatrix = Matrix(n - 1, 2);
    ctx.designMatrixT = Matrix(2, n - 1);
    ctx.designTWeight = Matrix(2, n - 1);
    ctx.normalMatrix = Matrix(2, 2);
    ctx.normalVector = Matrix(2, 1);
    ctx.coordCofactor = Matrix(2, 2);
    ctx.correction = Matrix(2, 1);
    ctx.designTimesCorrection = Matrix(n - 1, 1);
    ctx.residual = Matrix(n - 1, 1);
    ctx.residualT = Matrix(1, n - 1);
    ctx.residualTWeight = Matrix(1, n - 1);
}

void readHeaderRecords(RunContext& ctx) {
    RecordReader& in = *ctx.input;

    in.beginRecord();
    ctx.unitCode = in.readText(2, "codigo das unidades");
    ctx.unit = unitFromCode(ctx.unitCode);
    ctx.tolerance = in.readReal("tolerancia");
    ctx.directionPrecision = in.readReal("precisao a priori");
    ctx.directionPrecision = precisionToRadians(ctx.unit, ctx.directionPrecision);
    ctx.zenithPrecision = ctx.directionPrecision;
    ctx.aprioriPrecision = ctx.directionPrecision;

    in.beginRecord();
    ctx.stationName = in.readText(12, "nome da estacao");
}

void readPointCount(RunContext& ctx) {
    RecordReader& in = *ctx.input;
    // An unknown code would read no point record; refuse it rather than
    // compute with readings that were never converted.
    if (ctx.unit == AngleUnit::Unknown) {
        throw RunStop::badInput("Codigo de unidades desconhecido \"" + ctx.unitCode +
                                "\" no ficheiro " + ctx.inputFileName + ": use gd, gs ou gr.");
    }

    in.beginRecord();
    ctx.pointCount = in.readInteger("numero de pontos visados");
    if (ctx.pointCount < 3) {
        throw RunStop::message(
            "Numero insuficiente de dados para o calculo da interseccao inversa...");
    }
    if (ctx.pointCount > maxPointCount) {
        throw RunStop::badInput("Numero de pontos visados " + std::to_string(ctx.pointCount) +
                                " no ficheiro " + ctx.inputFileName + ", linha " +
                                std::to_string(in.lineNumber()) + ": o maximo e " +
                                std::to_string(maxPointCount) + ".");
    }
    ctx.redundancy = ctx.pointCount - 3;
}

std::vector<std::string> readPointRecords(RunContext& ctx) {
    RecordReader& in = *ctx.input;
    const int n = ctx.pointCount;
    ctx.pointName.assign(static_cast<std::size_t>(n) + 1, std::string(12, ' '));
    ctx.pointCoords = Matrix(n, 2);
    ctx.directionReading = Matrix(n, 1);
    sizeWorkArrays(ctx);

    const bool sexagesimal = ctx.unit == AngleUnit::Sexagesimal;
    for (int i = 1; i <= n; ++i) {
        const std::string of = " do ponto " + std::to_string(i);
        in.beginRecord();
        ctx.pointName[static_cast<std::size_t>(i)] = in.readText(12, "nome" + of);
        ctx.pointCoords(i, 1) = in.readReal("coordenada M" + of);
        ctx.pointCoords(i, 2) = in.readReal("coordenada P" + of);
        if (sexagesimal) {
            const double readingDegrees = in.readReal("graus da leitura" + of);
            const double readingMinutes = in.readReal("minutos da leitura" + of);
            const double readingSeconds = in.readReal("segundos da leitura" + of);
            ctx.directionReading(i) =
                toRadians(ctx.unit, readingDegrees, readingMinutes, readingSeconds);
        } else {
            ctx.directionReading(i) = toRadians(ctx.unit, in.readReal("leitura" + of));
        }
    }
    in.endRecord();

    // The echo: the last N lines again, as text.
    in.stepBackLines(n);
    std::vector<std::string> echo;
    echo.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i) {
        echo.push_back(in.readLineText(72));
    }
    return echo;
}

std::vector<std::string> readPlanimetricSection(RunContext& ctx) {
    readHeaderRecords(ctx);
    readPointCount(ctx);
    return readPointRecords(ctx);
}

} // namespace resection
