// One free station as the surveyor measured it: the known points, and one
// entry per observation of any kind, each with its own standard deviation.
// Both input forms (the text form and JSON) fill it, and the free-station
// adjustment takes it; from here on angles are radians and lengths metres.
#pragma once

#include "angles/units.hpp"
#include "base/observation_kind.hpp"
#include "input/survey.hpp"

#include <string>
#include <vector>

namespace resection {

struct KnownPoint {
    std::string name;
    double m = 0.0, p = 0.0; // metres
    bool hasHeight = false;
    double h = 0.0;     // metres
    long long line = 0; // where it was read; 0 when not from a file
};

struct Observation {
    ObservationKind kind = ObservationKind::Direction;
    int target = 0;            // index into the points
    int from = -1;             // an angle's first target (index into the points); -1 otherwise
    double value = 0.0;        // radians, or metres for distances
    double sigma = 0.0;        // its a priori standard deviation, in the same unit
    double targetHeight = 0.0; // signal above the point, metres (slope distances, zenith angles)
    long long line = 0;
};

struct SurveyOptions {
    // Earth curvature and refraction: the target appears lower by k d^2
    // (curvatureRefractionFactor) in zenith angles and slope distances.
    bool curvatureRefraction = false;
    // The factor from distances on the ground to distances on the map (the
    // projection's and the height's combined): map = scale x ground.
    double scale = 1.0;
    // Estimate the scale as an unknown, starting from the factor above, where
    // the observations leave redundancy for it.
    bool estimateScale = false;
};

struct StationSurvey {
    std::string fileName; // for the messages of its checks
    std::string stationName;
    // The unit the angles were given in: how they are to be shown again.
    AngleUnit unit = AngleUnit::DecimalDegrees;
    bool hasInstrumentHeight = false;
    double instrumentHeight = 0.0; // metres
    std::vector<KnownPoint> points;
    std::vector<Observation> observations;
    SurveyOptions options;
};

// Bounds on what one station may hold.
inline constexpr int maxSurveyPoints = 1001;
inline constexpr int maxSurveyObservations = 10000;
inline constexpr std::size_t maxPointNameLength = 40;

// The checks both forms share, made once the survey is read: a value or a
// standard deviation that is not a finite number, a standard deviation of 0
// or below (or so small that its weight would overflow), a distance of 0
// or below, a zenith angle outside (0, 180)
// degrees, a target that is not a known point, an angle from a target to
// itself, two observations of one kind to one target, a slope distance
// without a zenith angle to its target, a height observation to a point
// without a height, or without the instrument height. Throws a Stop
// (StationRefused) that names the line.
void checkSurvey(const StationSurvey& survey);

// The index of the point of that name, -1 when there is none.
int findPoint(const StationSurvey& survey, const std::string& name);

// The direction readings of the program's input file as a free station: each
// point a target of one direction, all of the standard deviation 'sigma'
// (radians; the analysis gives 1 where the file's precision allows no test,
// for the figures of equally weighted readings). Names without their blank
// fill.
StationSurvey surveyOfDirections(const Survey& survey, double sigma);

// The zenith section of the program's input file as a free station whose
// plane position is known: each observation a target of its own (its point
// and signal height), all of the standard deviation 'sigma'. The station's
// name and unit from the header.
StationSurvey surveyOfZeniths(const ZenithSection& zenith, const SurveyHeader& header,
                              double sigma);

} // namespace resection
