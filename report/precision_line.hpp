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

} // namespace resection
