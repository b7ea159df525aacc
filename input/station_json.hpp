// One free station in JSON, as other programs write it:
//
//   {"station": {"name": "E1", "instrument_height": 1.6},
//    "angle_unit": "deg" or "gon",
//    "points": [{"name": "P1", "M": 1000.0, "P": 2000.0, "H": 100.0}, ...],
//    "observations": [{"kind": "direction", "to": "P1", "value": 12.3456, "sigma": 1.5},
//                     {"kind": "angle", "from": "P1", "to": "P2", ...},
//                     {"kind": "slope_distance", "to": "P1", "value": 223.6428,
//                      "sigma": 0.005, "target_height": 1.572}, ...],
//    "options": {"scale": 1.0, "estimate_scale": false, "curvature_refraction": false}}
//
// The kinds are direction, angle, horizontal_distance, slope_distance and
// zenith. Angles are decimal degrees or gon as angle_unit says; their
// standard deviations are seconds of arc (deg) or mgon (gon); lengths and
// their standard deviations are metres. "H" is needed on the points sighted
// with slope distances or zenith angles, "instrument_height" and
// "target_height" with those kinds; "options" may be left out. Members the
// reader does not know are passed over.
#pragma once

#include "input/json.hpp"
#include "input/station_survey.hpp"

#include <string>
#include <string_view>

namespace resection {

// The station of one record (an object as above), checked (checkSurvey).
StationSurvey stationFromJson(const JsonValue& record, const std::string& fileName);

// The station of a whole JSON text that holds one record.
StationSurvey readStationJson(std::string_view text, const std::string& fileName);

} // namespace resection
