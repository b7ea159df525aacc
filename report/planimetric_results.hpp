// The planimetric results section of the report.
#pragma once

#include "angles/units.hpp"
#include "planimetry/results.hpp"

#include <ostream>
#include <string>

namespace resection {

// With exactly three points: "Redundancia=0" and the closed-form position.
void writeThreePointSolution(std::ostream& out, double stationM, double stationP);

// Iterations, adjusted coordinates, residuals and adjusted angles, and the
// standard deviations of coordinates, residuals and adjusted angles, each in
// the unit of the readings.
void writePlanimetricResults(std::ostream& out, const std::string& stationName, AngleUnit unit,
                             const PlanimetricResults& results);

} // namespace resection
