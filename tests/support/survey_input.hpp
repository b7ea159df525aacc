// Made-up input files: a station with sighted points around it, readings
// computed from the azimuths (zenith readings from the heights) with noise,
// and on request one gross error or a station near the danger circle.
#pragma once

#include <random>
#include <string>

namespace resection::testing {

struct MadeUpSurvey {
    int points = 8;
    std::string code = "gd";
    double apriori = 2.0; // as written in the header: seconds or mgon
    double tolerance = 0.001;
    int zenithCount = 4;
    double noiseSeconds = 2.0;
    // One reading off by this much (seconds of arc), the direction to point
    // grossDirection or the zenith reading of observation grossZenith (from
    // 1; 0 for none).
    int grossDirection = 0;
    int grossZenith = 0;
    double grossSeconds = 0.0;
    // The sighted points on a circle, the station this far inside it
    // (metres): near the circle the position is nearly undetermined.
    bool onCircle = false;
    double insideCircle = 0.0;
};

// The whole input file. The draws from rng are the same whatever the gross
// error, so that a survey with and without it differ in that reading only.
std::string surveyInput(std::mt19937_64& rng, const MadeUpSurvey& survey);

} // namespace resection::testing
