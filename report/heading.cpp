#include "report/heading.hpp"

#include "angles/units.hpp"
#include "report/format.hpp"
#include "report/precision_line.hpp"

namespace resection {

void writeHeading(std::ostream& out, const SurveyHeader& header) {
    const std::string stars(56, '*');
    writeRecord(out, {fieldA(stars, 56)});
    writeRecord(out, {lit("Calculo por interseccao inversa das coordenadas do ponto "),
                      fieldA(header.stationName, 12)});
    writeRecord(out, {fieldA(stars, 56)});
    writeBlankLine(out);
    if (header.unit == AngleUnit::DecimalDegrees) {
        writeRecord(out, {fieldA("Leituras de direccao em: graus decimais", 39)});
    } else if (header.unit == AngleUnit::Sexagesimal) {
        writeRecord(out, {fieldA("Leituras de direccao em: graus sexagesimais", 43)});
    } else {
        writeRecord(out, {fieldA("Leituras de direccao em: grados", 31)});
    }
    writeBlankLine(out);
    writeRecord(out, {lit("Tolerancia entre iteracoes consecutivas das coordenadas:"),
                      fieldF(header.tolerance, 5, 3), lit(" m")});
    writeBlankLine(out);
    writePrecisionLine(out, "Precisao a priori das leituras azimutais:", header.unit,
                       header.aprioriPrecision);
}

void writeRedundancy(std::ostream& out, int redundancy) {
    writeRecord(out, {lit("Redundancia (planimetria): "), fieldI(redundancy, 2)});
}

void writeEcho(std::ostream& out, const std::vector<std::string>& echo) {
    writeBlankLine(out);
    writeRecord(out, {fieldA("Pontos visados do ponto estacao:", 32)});
    writeBlankLine(out);
    writeRecord(out, {fieldA("   Nome             M           P            Az", 47)});
    writeBlankLine(out);
    for (const std::string& line : echo) {
        writeRecord(out, {fieldA(line, 72)});
    }
    writeBlankLine(out);
}

} // namespace resection
