#include "angles/units.hpp"

#include "driver/constants.hpp"

namespace resection {

AngleUnit unitFromCode(const std::string& unitCode) {
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

bool precisionInSeconds(const std::string& unitCode) {
    return unitCode == "gs" || unitCode == "gd";
}

const char* precisionUnitText(const std::string& unitCode) {
    return precisionInSeconds(unitCode) ? " segundos" : " mgon";
}

double sexagesimalToDegrees(double degrees, double minutes, double seconds) {
    return (seconds / 3600.0 + minutes / 60.0) + degrees;
}

double toRadians(const std::string& unitCode, double reading, double minutes, double seconds) {
    // Each product is formed before the division that follows it.
    switch (unitFromCode(unitCode)) {
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

double precisionToRadians(const std::string& unitCode, double precision) {
    if (precisionInSeconds(unitCode)) {
        return (precision * pi) / 648000.0; // seconds of arc in 180 degrees
    }
    return (precision * pi) / 200000.0; // mgon in 200 grads
}

double precisionFromRadians(const std::string& unitCode, double radians) {
    if (precisionInSeconds(unitCode)) {
        return ((radians * 180.0) / pi) * 3600.0;
    }
    return ((radians * 200.0) / pi) * 1000.0;
}

} // namespace resection
