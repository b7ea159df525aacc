// The lines that state a precision of the readings or of the angles.
#pragma once

#include "angles/units.hpp"

#include <ostream>
#include <string_view>

namespace resection {

// The label, the precision in seconds of arc (decimal and sexagesimal
// degrees) or mgon (grads) in an F<width>.1 field, " segundos" or " mgon";
// then a blank line.
void writePrecisionLine(std::ostream& out, std::string_view label, AngleUnit unit, double radians,
                        int width = 5);

// "Precisao a priori dos angulos azimutais:", the standard deviation of one
// angle at the a priori precision of the readings, sqrt(Qll(1,1)).
void writeAprioriAngleLine(std::ostream& out, AngleUnit unit, double angleDeviation);

// "Precisao a posteriori dos angulos azimutais:", the precision of the
// readings the search ended at.
void writePosterioriAngleLine(std::ostream& out, AngleUnit unit, double precision);

} // namespace resection
