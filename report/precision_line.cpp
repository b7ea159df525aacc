#include "report/precision_line.hpp"

#include "report/format.hpp"

namespace resection {

void writePrecisionLine(std::ostream& out, std::string_view label, AngleUnit unit, double radians,
                        int width) {
    writeRecord(out, {lit(label), fieldF(precisionFromRadians(unit, radians), width, 1),
                      lit(precisionUnitText(unit))});
    writeBlankLine(out);
}

void writeAprioriAngleLine(std::ostream& out, AngleUnit unit, double angleDeviation) {
    writePrecisionLine(out, "Precisao a priori dos angulos azimutais:", unit, angleDeviation);
}

void writePosterioriAngleLine(std::ostream& out, AngleUnit unit, double precision) {
    writePrecisionLine(out, "Precisao a posteriori dos angulos azimutais:", unit, precision);
}

} // namespace resection
