#include "report/planimetric_results.hpp"

#include "base/text.hpp"
#include "report/format.hpp"

namespace resection {

void writeThreePointSolution(std::ostream& out, double stationM, double stationP) {
    writeListText(out, "Redundancia=0");
    writeBlankLine(out);
    writeRecord(out, {lit(" Mp="), fieldF(stationM, 12, 3), lit(" m"), lit(" ;Pp="),
                      fieldF(stationP, 12, 3), lit(" m")});
}

void writePlanimetricResults(std::ostream& out, const std::string& stationName, AngleUnit unit,
                             const PlanimetricResults& results) {
    const bool seconds = precisionInSeconds(unit);
    const bool grads = unit == AngleUnit::Grads;

    writeRecord(out,
                {lit("Numero de iteracoes (planimetria): "), fieldI(results.iterationCount, 3)});
    writeBlankLine(out);
    writeRecord(out, {lit("Coordenadas planimetricas ajustadas:")});
    writeBlankLine(out);
    const std::string station = trimmedName(stationName);
    if (!station.empty()) {
        const int width = static_cast<int>(station.size());
        writeRecord(out, {lit("     M("), fieldA(station, width), lit(") = "),
                          fieldF(results.adjustedM, 12, 3), lit(" m")});
        writeRecord(out, {lit("     P("), fieldA(station, width), lit(") = "),
                          fieldF(results.adjustedP, 12, 3), lit(" m")});
    }
    writeBlankLine(out);

    if (seconds || grads) {
        writeRecord(out, {lit("Residuos dos angulos azimutais:")});
        writeBlankLine(out);
        for (const double v : results.residual) {
            if (seconds) {
                writeRecord(out, {skip(10), fieldF(radiansToSeconds(v), 10, 2), lit(" \"")});
            } else {
                writeRecord(out,
                            {skip(10), fieldF(radiansToMgonViaDegrees(v), 10, 6), lit(" mgon")});
            }
        }
        writeBlankLine(out);

        writeRecord(out, {lit("Angulos azimutais ajustados:")});
        writeBlankLine(out);
        for (const double a : results.adjustedAngle) {
            if (unit == AngleUnit::Sexagesimal) {
                // Sexagesimal readings give decimal degrees here, and decimal
                // readings degrees, minutes and seconds.
                writeRecord(out, {skip(10), fieldF(radiansToDegrees(a), 9, 5), lit(" "),
                                  byteItem(decimalDegreeSign)});
            } else if (unit == AngleUnit::DecimalDegrees) {
                const Sexagesimal dms = splitSexagesimal(radiansToDegrees(a));
                writeRecord(out, {skip(10), fieldI(dms.degrees, 4), byteItem(sexagesimalDegreeSign),
                                  fieldI(dms.minutes, 3), lit("'"), fieldF(dms.seconds, 6, 2),
                                  lit("\"")});
            } else {
                writeRecord(out, {skip(10), fieldF(radiansToGonViaDegrees(a), 10, 6), lit(" gon")});
            }
        }
        writeBlankLine(out);
    }

    writeRecord(out, {lit("Precisao das coordenadas: em M = "), fieldF(results.sigmaM, 5, 3),
                      lit(" m; em P = "), fieldF(results.sigmaP, 5, 3), lit(" m")});
    writeBlankLine(out);

    if (seconds || grads) {
        writeRecord(out, {lit("Precisao dos residuos dos angulos azimutais:")});
        writeBlankLine(out);
        for (const double s : results.residualDeviation) {
            if (seconds) {
                writeRecord(out, {fieldF(radiansToSecondsByArc(s), 10, 2), lit(" \"")});
            } else {
                writeRecord(out, {fieldF(radiansToMgonByArc(s), 10, 5), lit(" mgon")});
            }
        }
        writeBlankLine(out);

        writeRecord(out, {lit("Precisao dos angulos azimutais ajustados:")});
        writeBlankLine(out);
        for (const double s : results.adjustedAngleDeviation) {
            if (seconds) {
                writeRecord(out, {fieldF(radiansToSeconds(s), 10, 2), lit(" \"")});
            } else {
                writeRecord(out, {fieldF(radiansToMgonViaDegrees(s), 10, 3), lit(" mgon")});
            }
        }
    }
}

} // namespace resection
