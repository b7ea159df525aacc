// Made-up free stations: a station at (1000, 2000), mark at 100 m,
// instrument 1.5 m high, circle orientation 0.7 rad, and observations
// computed exactly from it (signals 1.3 m high), one of them off by
// 'error' where asked; and any free station written in the text form.
#pragma once

#include "input/station_survey.hpp"

#include <string>

namespace resection::testing {

struct StationNetwork {
    StationSurvey s;
    double m0 = 1000.0, p0 = 2000.0, h0 = 100.0, o0 = 0.7, scale = 1.0, curvature = 0.0;

    StationNetwork();
    // A point at a bearing (degrees) and distance from the station; its
    // index among the points.
    int point(double bearing, double distance, double height = 120.0);
    void add(ObservationKind kind, int target, double sigma, double error = 0.0, int from = -1);
};

// The station in the text form (angles in decimal degrees, each
// observation with its own standard deviation, each target's signal
// height on a line of its own).
std::string stationText(const StationSurvey& s);

} // namespace resection::testing
