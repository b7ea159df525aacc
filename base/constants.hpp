// Program-wide constants.
#pragma once

#include <cmath>

namespace resection {

// 4 atan(1) in double precision, the value every angle computation uses.
inline const double pi = 4.0 * std::atan(1.0);

// Largest number of least-squares iterations in one pass of either
// adjustment (the height counts its iterations from one more).
inline constexpr int maxIterations = 10;

// The largest number of sighted points: the angle weight matrix has order
// N - 1 and the inversion supports order 1000.
inline constexpr int maxPointCount = 1001;

// The a priori variance factor sigma0^2 of both adjustments: the cofactor
// matrices are the covariance matrices divided by it.
inline constexpr double varianceFactorApriori = 1.0;

// The largest number of zenith observations (the weight matrix has order n).
inline constexpr int maxZenithCount = 1000;

} // namespace resection
