// Angles between consecutive directions and the closed-form first position.
#pragma once

#include "state/run_context.hpp"

namespace resection {

// observedAngle(i) = reading(i+1) - reading(i), brought up by 2*pi once when
// negative: N-1 angles in [0, 2*pi) for readings within one circle.
void formAngles(RunContext& ctx);

// Station position from three sighted points p1, p2, p3 and the two angles
// between their directions (the classical three-point resection, solved
// through the tangent of the azimuth from the station to the middle point).
// With exact readings it returns the station whatever the orientation of the
// circle. Results are not finite when the station is in line with two of the
// points or on the circle through all three, and 'determined' is false when
// they are so within rounding.
struct ThreePointSolution {
    double tanAzimuth1, tanAzimuth2, stationM, stationP;
    bool determined;
    // A usable position: determined and finite.
    bool finite() const;
};
ThreePointSolution threePointResection(double m1, double p1, double m2, double p2, double m3,
                                       double p3, double alpha1, double alpha2);

// Sets stationM, stationP from the first three points. When that geometry
// gives no finite position, the other combinations of three points are tried
// in ascending order ((1,2,4), (1,2,5), ..., (1,3,4), ...); when none does,
// the run ends with a message. Writes nothing.
void findApproximatePosition(RunContext& ctx);

} // namespace resection
