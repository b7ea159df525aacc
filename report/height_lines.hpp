// The height's lines of the report.
#pragma once

#include "altimetry/height.hpp"
#include "angles/units.hpp"

#include <ostream>
#include <string>

namespace resection {

// The a priori precision of the zenith readings (the header's) and the
// redundancy n - 1, each between blank lines.
void writeHeightAprioriLines(std::ostream& out, AngleUnit unit, double precision, int redundancy);

// "Precisao a posteriori das leituras zenitais: " and the blank line after it.
void writeHeightPosterioriLine(std::ostream& out, AngleUnit unit, double precision);

// The results section of the height.
void writeHeightResults(std::ostream& out, const std::string& stationName, AngleUnit unit,
                        const HeightResults& results);

} // namespace resection
