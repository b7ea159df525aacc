// Angle unit codes and the conversions of readings and precisions.
//
// Readings come in decimal degrees ("gd"), sexagesimal degrees ("gs": degrees,
// minutes, seconds) or grads ("gr"); precisions in seconds of arc ("gd",
// "gs") or mgon (anything else). Inside every computation angles are radians.
#pragma once

#include <string>

namespace resection {

enum class AngleUnit { DecimalDegrees, Sexagesimal, Grads, Unknown };

// The code is compared exactly: two lower-case letters, no case folding.
AngleUnit unitFromCode(const std::string& unitCode);

// True for "gs" and "gd", whose precisions are in seconds of arc; every other
// code counts as mgon.
bool precisionInSeconds(const std::string& unitCode);

// A direction reading in radians: degrees x pi / 180 for "gd"; for "gs" the
// decimal degrees (seconds / 3600 + minutes / 60) + degrees, added in this
// order and without sign handling, then x pi / 180; for "gr" (reading x 360 /
// 400) degrees, then x pi / 180. No reduction to one circle.
double toRadians(const std::string& unitCode, double reading, double minutes = 0.0,
                 double seconds = 0.0);

// Decimal degrees of a sexagesimal reading, minutes and seconds always added.
double sexagesimalToDegrees(double degrees, double minutes, double seconds);

// The unit word of the precision lines: " segundos" or " mgon".
const char* precisionUnitText(const std::string& unitCode);

// An a priori precision as read (seconds of arc or mgon) in radians, and back.
double precisionToRadians(const std::string& unitCode, double precision);
double precisionFromRadians(const std::string& unitCode, double radians);

} // namespace resection
