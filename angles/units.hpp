// Angle units and the conversions of readings and precisions.
//
// Readings come in decimal degrees ("gd"), sexagesimal degrees ("gs": degrees,
// minutes, seconds) or grads ("gr"); precisions in seconds of arc ("gd",
// "gs") or mgon (anything else). Inside every computation angles are radians.
//
// The report prints some quantities through one order of operations and some
// through another (v * 180 / pi * 3600 against v / pi * 648000, say). The two
// can differ in the last bit and so in a printed digit, so each order has its
// own named conversion here and every writer uses the one that belongs to its
// line. Products and quotients are formed left to right as the names read.
#pragma once

#include <cstdint>
#include <string_view>

namespace resection {

// The unit of the readings, fixed once the header of the input file is read.
enum class AngleUnit { DecimalDegrees, Sexagesimal, Grads, Unknown };

// The code is compared exactly: two lower-case letters, no case folding.
AngleUnit unitFromCode(std::string_view unitCode);

// True for decimal and sexagesimal degrees, whose precisions are in seconds
// of arc; every other unit counts as mgon.
bool precisionInSeconds(AngleUnit unit);

// A direction reading in radians: degrees x pi / 180 for "gd"; for "gs" the
// decimal degrees (seconds / 3600 + minutes / 60) + degrees, added in this
// order and without sign handling, then x pi / 180; for "gr" (reading x 360 /
// 400) degrees, then x pi / 180. No reduction to one circle. An unknown unit
// leaves the value as it is.
double toRadians(AngleUnit unit, double reading, double minutes = 0.0, double seconds = 0.0);

// A zenith reading in radians: z pi / 200 for grads, z pi / 180 otherwise
// (the sexagesimal reading already combined into degrees).
double zenithToRadians(AngleUnit unit, double reading);

// Decimal degrees of a sexagesimal reading, minutes and seconds always added.
double sexagesimalToDegrees(double degrees, double minutes, double seconds);

// An a priori precision as read (seconds of arc or mgon) in radians, and back.
double precisionToRadians(AngleUnit unit, double precision);
double precisionFromRadians(AngleUnit unit, double radians);

// One tenth of a second of arc (degrees) or of a milligon (other units), in
// radians: the step of the precision searches.
double precisionStep(AngleUnit unit);

// The named conversions of the report.
double radiansToDegrees(double radians);        // r * 180 / pi
double radiansToSeconds(double radians);        // r * 180 / pi * 3600
double radiansToSecondsByArc(double radians);   // r / pi * 648000
double radiansToGon(double radians);            // r * 200 / pi
double radiansToGonViaDegrees(double radians);  // r * 180 / pi * 400 / 360
double radiansToMgon(double radians);           // r * 200 / pi * 1000
double radiansToMgonViaDegrees(double radians); // r * 180 / pi * 400 / 360 * 1000
double radiansToMgonByArc(double radians);      // r / pi * 200000
double degreesToSeconds(double degrees);        // d * 3600
double degreesToGon(double degrees);            // d * 400 / 360

// Whole degrees, whole minutes and the seconds of an angle in decimal
// degrees: each part truncated toward zero, without carry, so that seconds
// that round to 60 print as 60 with the minutes unchanged; a negative angle
// gives parts that are each zero or negative. Degrees beyond the 32-bit range
// keep the field's overflow (asterisks).
// A value truncated toward zero for an integer field; values beyond the
// 32-bit range keep the field's overflow (asterisks) instead of wrapping, and
// a value that is not a number gives 0.
std::int32_t truncateToInt32(double value);

struct Sexagesimal {
    std::int32_t degrees;
    std::int32_t minutes;
    double seconds;
};
Sexagesimal splitSexagesimal(double degrees);

} // namespace resection
