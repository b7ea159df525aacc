#include "angles/units.hpp"

#include "base/constants.hpp"

#include <cmath>
#include <limits>

namespace resection {

AngleUnit unitFromCode(std::string_view unitCode) {
    if (unitCode == "gd") {
        return AngleUnit::DecimalDegrees;
    }
    if (unitCode == "gs") {
        return AngleUnit::Sexagesimal;
    }
    if (unitCode == "gr") {
        return AngleUnit::Grads;
    }
    return AngleUnit::Unknown;
}

bool precisionInSeconds(AngleUnit unit) {
    return unit == AngleUnit::Sexagesimal || unit == AngleUnit::DecimalDegrees;
}

double sexagesimalToDegrees(double degrees, double minutes, double seconds) {
    return (seconds / 3600.0 + minutes / 60.0) + degrees;
}

double toRadians(AngleUnit unit, double reading, double minutes, double seconds) {
    // Each product is formed before the division that follows it.
    switch (unit) {
    case AngleUnit::DecimalDegrees:
        return (reading * pi) / 180.0;
    case AngleUnit::Sexagesimal:
        return (sexagesimalToDegrees(reading, minutes, seconds) * pi) / 180.0;
    case AngleUnit::Grads:
        return (((reading * 360.0) / 400.0) * pi) / 180.0;
    case AngleUnit::Unknown:
        break;
    }
    return reading;
}

double zenithToRadians(AngleUnit unit, double reading) {
    // Grads by their own rule, not through degrees as the directions are.
    return unit == AngleUnit::Grads ? reading * pi / 200.0 : reading * pi / 180.0;
}

double precisionToRadians(AngleUnit unit, double precision) {
    if (precisionInSeconds(unit)) {
        return (precision * pi) / 648000.0; // seconds of arc in 180 degrees
    }
    return (precision * pi) / 200000.0; // mgon in 200 grads
}

double precisionFromRadians(AngleUnit unit, double radians) {
    return precisionInSeconds(unit) ? radiansToSeconds(radians) : radiansToMgon(radians);
}

double precisionStep(AngleUnit unit) {
    if (precisionInSeconds(unit)) {
        // 2.777777777777778e-05 is the double nearest to 0.1" in degrees.
        return pi * 2.777777777777778e-05 / 180.0;
    }
    // 0.1 mgon with the factor as the single-precision value of 1.0e-4 gon.
    return pi * 1.0000000149011611e-4 / 200.0;
}

double radiansToDegrees(double radians) {
    return radians * 180.0 / pi;
}

double radiansToSeconds(double radians) {
    return degreesToSeconds(radiansToDegrees(radians));
}

double radiansToSecondsByArc(double radians) {
    return radians / pi * 648000.0;
}

double radiansToGon(double radians) {
    return radians * 200.0 / pi;
}

double radiansToGonViaDegrees(double radians) {
    return degreesToGon(radiansToDegrees(radians));
}

double radiansToMgon(double radians) {
    return radiansToGon(radians) * 1000.0;
}

double radiansToMgonViaDegrees(double radians) {
    return radiansToGonViaDegrees(radians) * 1000.0;
}

double radiansToMgonByArc(double radians) {
    return radians / pi * 200000.0;
}

double degreesToSeconds(double degrees) {
    return degrees * 3600.0;
}

double degreesToGon(double degrees) {
    return degrees * 400.0 / 360.0;
}

std::int32_t truncateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= -2147483648.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

Sexagesimal splitSexagesimal(double degrees) {
    const std::int32_t whole = truncateToInt32(degrees);
    const double minutesReal = (degrees - whole) * 60.0;
    const std::int32_t minutes = truncateToInt32(minutesReal);
    return {whole, minutes, (minutesReal - minutes) * 60.0};
}

} // namespace resection
