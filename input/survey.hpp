// The survey as read from the input file: built once by the readers of this
// folder and never changed after. Every stage of a run takes it as a const
// value; what a stage computes it returns.
#pragma once

#include "angles/units.hpp"
#include "matrix/matrix.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace resection {

// The header and station records.
struct SurveyHeader {
    std::string unitCode;                // as read: "gd", "gs" or "gr"
    AngleUnit unit = AngleUnit::Unknown; // from the unit code
    double tolerance = 0.0;              // metres
    // The a priori precision of one reading, radians, as read: where the
    // searches of the position and of the height start.
    double aprioriPrecision = 0.0;
    std::string stationName; // 12 characters, blank-filled
};

// The planimetric section.
struct Survey {
    SurveyHeader header;
    std::int32_t pointCount = 0;        // N, at least 3
    std::int32_t redundancy = 0;        // N - 3
    std::vector<std::string> pointName; // [i - 1] for point i, 12 characters
    Matrix pointCoords;                 // N x 2: M, P in metres
    Matrix directionReading;            // N x 1, radians
};

// The altimetric section, read after the planimetric results when the
// height is asked for.
struct ZenithSection {
    std::int32_t count = 0; // n, at least 1
    double instrumentHeight = 0.0;
    std::vector<std::string> pointName; // [i - 1] for observation i
    // n x 1 each: the sighted point's M, P and height (metres), the zenith
    // reading (radians) and the height of the signal (metres).
    Matrix pointM, pointP, pointHeight, reading, signalHeight;
};

} // namespace resection
