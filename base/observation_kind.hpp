// The kinds of observation a station can hold: what the free station's
// readers, its adjustment, the messages and the analysis share.
#pragma once

namespace resection {

enum class ObservationKind {
    Direction,          // horizontal circle reading to the target
    Angle,              // horizontal angle at the station, clockwise from 'from' to the target
    HorizontalDistance, // in the horizontal plane, on the ground
    SlopeDistance,      // from the instrument's centre to the target's signal
    Zenith,             // from the upward vertical to the target's signal
};

inline bool isDistance(ObservationKind kind) {
    return kind == ObservationKind::HorizontalDistance || kind == ObservationKind::SlopeDistance;
}

inline bool isPlaneAngle(ObservationKind kind) {
    return kind == ObservationKind::Direction || kind == ObservationKind::Angle;
}

} // namespace resection
