#include "report/heading.hpp"

#include "angles/units.hpp"
#include "report/format.hpp"
#include "report/precision_line.hpp"

namespace resection {

void writeHeading(RunContext& ctx) {
    std::ostream& out = *ctx.report;
    const std::string stars(56, '*');
    writeRecord(out, {fieldA(stars, 56)});
    writeRecord(out, {lit("Calculo por interseccao inversa das coordenadas do ponto "),
                      fieldA(ctx.stationName, 12)});
    writeRecord(out, {fieldA(stars, 56)});
    writeBlankLine(out);
    if (ctx.unit == AngleUnit::DecimalDegrees) {
        writeRecord(out, {fieldA("Leituras de direccao em: graus decimais", 39)});
    } else if (ctx.unit == AngleUnit::Sexagesimal) {
        writeRecord(out, {fieldA("Leituras de direccao em: graus sexagesimais", 43)});
    } else {
        writeRecord(out, {fieldA("Leituras de direccao em: grados", 31)});
    }
    writeBlankLine(out);
    writeRecord(out, {lit("Tolerancia entre iteracoes consecutivas das coordenadas:"),
                      fieldF(ctx.tolerance, 5, 3), lit(" m")});
    writeBlankLine(out);
    writePrecisionLine(out, "Precisao a priori das leituras azimutais:", ctx.unit,
                       ctx.directionPrecision);
}

void writeRedundancy(RunContext& ctx) {
    writeRecord(*ctx.report, {lit("Redundancia (planimetria): "), fieldI(ctx.redundancy, 2)});
}

void writeEchoHeader(RunContext& ctx) {
    std::ostream& out = *ctx.report;
    writeRecord(out, {fieldA("Pontos visados do ponto estacao:", 32)});
    writeBlankLine(out);
    writeRecord(out, {fieldA("   Nome             M           P            Az", 47)});
    writeBlankLine(out);
}

void writeEchoLine(RunContext& ctx, const std::string& echoLine) {
    writeRecord(*ctx.report, {fieldA(echoLine, 72)});
}

void writeEchoEnd(RunContext& ctx) {
    writeBlankLine(*ctx.report);
}

} // namespace resection
