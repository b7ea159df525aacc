#include "report/height_lines.hpp"

#include "base/text.hpp"
#include "report/format.hpp"
#include "report/precision_line.hpp"

namespace resection {

void writeHeightAprioriLines(std::ostream& out, AngleUnit unit, double precision, int redundancy) {
    writeBlankLine(out);
    writePrecisionLine(out, "Precisao a priori das leituras zenitais:", unit, precision);
    writeRecord(out, {lit("Redundancia (altimetria): "), fieldI(redundancy, 3)});
    writeBlankLine(out);
}

void writeHeightPosterioriLine(std::ostream& out, AngleUnit unit, double precision) {
    writePrecisionLine(out, "Precisao a posteriori das leituras zenitais: ", unit, precision, 4);
}

void writeHeightResults(std::ostream& out, const std::string& stationName, AngleUnit unit,
                        const HeightResults& results) {
    writeRecord(out,
                {fieldA("Numero de iteracoes (altimetria):", 33), fieldI(results.iterations, 3)});
    writeBlankLine(out);
    writeRecord(out, {fieldA("Cota ajustada:", 14)});
    writeBlankLine(out);
    const std::string station = trimmedName(stationName);
    if (!station.empty()) {
        writeRecord(out, {lit("     C("), fieldA(station, static_cast<int>(station.size())),
                          lit(") = "), fieldF(results.stationHeight, 12, 3), lit(" m")});
    }
    writeBlankLine(out);

    writeRecord(out, {fieldA("Residuos dos angulos zenitais:", 30)});
    writeBlankLine(out);
    for (const double v : results.residual) {
        if (unit == AngleUnit::Sexagesimal) {
            writeRecord(out, {skip(1), fieldF(radiansToSeconds(v), 7, 2), lit(" \"")});
        } else if (unit == AngleUnit::DecimalDegrees) {
            writeRecord(out, {skip(10), fieldF(radiansToSeconds(v), 10, 2), lit(" \"")});
        } else if (unit == AngleUnit::Grads) {
            writeRecord(out, {skip(1), fieldF(radiansToMgon(v), 15, 6), lit(" mgon")});
        }
    }
    writeBlankLine(out);

    writeRecord(out, {fieldA("Angulos zenitais ajustados:", 27)});
    writeBlankLine(out);
    for (const double z : results.adjustedReading) {
        if (unit == AngleUnit::DecimalDegrees) {
            writeRecord(out, {fieldF(radiansToDegrees(z), 12, 5)});
        } else if (unit == AngleUnit::Sexagesimal) {
            // No signs here, unlike the horizontal angles.
            const Sexagesimal dms = splitSexagesimal(radiansToDegrees(z));
            writeRecord(out, {skip(5), fieldI(dms.degrees, 3), fieldI(dms.minutes, 3),
                              fieldF(dms.seconds, 5, 1)});
        } else if (unit == AngleUnit::Grads) {
            writeRecord(out, {skip(5), fieldF(radiansToGon(z), 10, 5), lit(" gon")});
        }
    }
    writeBlankLine(out);

    writeRecord(out,
                {lit("Precisao da cota = "), fieldF(results.heightDeviation, 5, 3), lit(" m")});
    writeBlankLine(out);

    writeRecord(out, {fieldA("Precisao dos angulos zenitais ajustados:", 40)});
    writeBlankLine(out);
    for (const double deviation : results.adjustedReadingDeviation) {
        if (precisionInSeconds(unit)) {
            writeRecord(out, {fieldF(degreesToSeconds(deviation), 10, 2), lit(" \"")});
        } else if (unit == AngleUnit::Grads) {
            writeRecord(out, {skip(8), fieldF(degreesToGon(deviation), 10, 5), lit(" gon")});
        }
    }
}

} // namespace resection
