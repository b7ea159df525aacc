// Program-wide constants.
#pragma once

#include <cmath>

namespace resection {

// 4 atan(1) in double precision, the value every angle computation uses.
inline const double pi = 4.0 * std::atan(1.0);

// Largest number of least-squares iterations in one planimetric pass.
inline constexpr int maxIterations = 10;

// The largest number of sighted points: the angle weight matrix has order
// N - 1 and the inversion supports order 1000.
inline constexpr int maxPointCount = 1001;

// The largest magnitude of the a priori precision of a reading, in seconds
// of arc or mgon as read: the precision searches walk from it in steps of 0.1,
// so that a search runs at most about 10000 passes either way.
inline constexpr double maxAprioriPrecision = 1000.0;

// The largest number of zenith observations (the weight matrix has order n).
inline constexpr int maxZenithCount = 1000;

} // namespace resection
