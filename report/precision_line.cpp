#include "report/precision_line.hpp"

#include "report/format.hpp"
#include "report/messages.hpp"

#include <cmath>
#include <string>

namespace resection {

void writePrecisionLine(std::ostream& out, std::string_view label, AngleUnit unit, double radians,
                        int width) {
    const double value = precisionFromRadians(unit, radians);
    // A precision near the largest double overflows on its way to radians
    // (1e308" times pi) or back (times 180 / pi times 3600): it is too large
    // for the field like any other value that does not fit.
    const bool overflowed = std::isinf(value);
    writeRecord(out, {lit(label),
                      overflowed ? fieldA(std::string(static_cast<std::size_t>(width), '*'), width)
                                 : fieldF(value, width, 1),
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
