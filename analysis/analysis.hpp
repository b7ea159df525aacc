// The analysis of a resection: what the fixed report leaves out when
// something is wrong. One adjustment at the a priori precision of the file
// (no precision search), its global test, the tests of single readings with
// their reliability, the reading a gross error is in and the station
// adjusted without it, the station's error ellipse and the strength of the
// sighting geometry; the same for the height from the zenith readings.
//
// The adjustments are the free station's (analysis/station_analysis.hpp):
// the direction readings are its directions-only case, the zenith readings
// its zenith-only case with the plane position known. The program's own
// pass is repeated beside them only to say where it stops.
//
// Every figure after the verdict stands on one station: that of all
// readings where its adjustment is sound, that without the suspect reading
// where one is named, and none where the readings leave it undetermined
// (four points and a gross error). An adjustment that stops or runs away
// from the points is never the answer.
#pragma once

#include "analysis/blunders.hpp"
#include "analysis/geometry.hpp"
#include "analysis/reading_tests.hpp"
#include "analysis/station_analysis.hpp"
#include "analysis/verdict.hpp"
#include "base/stop.hpp"
#include "input/survey.hpp"

#include <optional>
#include <string>
#include <vector>

namespace resection {

// What the program's own adjustment came to at the a priori precision,
// where the analysis repeats it: completed, stopped (the stop it ends the
// program with), or settled on a station that ran away from the points.
struct ProgramPass {
    enum class Outcome { NotRun, Completed, Stopped, RanAway } outcome = Outcome::NotRun;
    std::optional<Stop> stop;
    bool failed() const { return outcome == Outcome::Stopped || outcome == Outcome::RanAway; }
};

// The station of three readings alone: with four points, the station
// without each reading (the adjustment of the other three, which has no
// redundancy: their closed form).
struct ThreePointStation {
    bool found = false;      // the three give a position near the points
    double m = 0.0, p = 0.0; // metres
    // The reading left out minus the direction this station gives it.
    double discrepancy = 0.0;
};

struct PlanimetricAnalysis {
    double sigma = 0.0;    // a priori precision of one reading, radians, as read
    bool testable = false; // that precision allows the tests
    int redundancy = 0;    // N - 3
    bool tested = false;   // a redundancy of at least 1 and a testable precision
    ProgramPass program;   // the program's adjustment of all readings
    // The adjustment of all readings started from the station most readings
    // agree with, the program's station and first position having failed it.
    bool fromConsensus = false;
    // An adjustment of all readings converged to a station near the points;
    // not so when every one stopped or ran away.
    bool allSound = false;
    double allM = 0.0, allP = 0.0; // its station
    GlobalTest test;               // of all readings, where allSound and tested
    // The adjustment of all readings (the free station's, directions only),
    // and whether it is sound; the program's station stands in for it where
    // only the program's converged.
    FreeStation directions;
    bool directionsSound = false;
    Suspect suspect;
    Readjustment without; // the station without the single suspect reading
    // [i - 1]: the adjustment without reading i, where it was computed (the
    // candidates of a gross error).
    std::vector<Readjustment> leftOut;
    // For tied candidates: the correlation of the first two's tests and the
    // sight that would tell them apart.
    Separation separation;
    // Four points: [i - 1] the station of the other three readings, and how
    // far apart those found lie.
    std::vector<ThreePointStation> threePoint;
    double threePointSpread = 0.0;
    // The station the analysis stands on; basisReading is the suspect left
    // out (1-based) for Basis::Without.
    Basis basis = Basis::None;
    int basisReading = 0;
    StationEstimate station;
    // The readings' tests shown: those of all readings where that
    // adjustment is sound, else those of the station without the suspect
    // ([i - 1] for reading i, its own row empty).
    std::vector<ReadingTest> readings;
    bool readingsWithout = false;
    // The tests and reliability of the readings at the station the analysis
    // stands on ([i - 1] for reading i; the suspect left out has an empty
    // row): what an undetected error could still do to it.
    std::vector<ReadingTest> basisReadings;
    // The geometry, from the station the analysis stands on.
    DangerCircle circle;
    double meanSight = 0.0;   // metres
    double medianSight = 0.0; // metres: the sight length of the strength figure
    bool strengthDefined = false;
    double strength = 0.0; // G, see strengthFigure
    // G of the first three points alone, which give the first position: it
    // grows without bound as the station nears their circle. Not defined
    // where their adjustment does not converge.
    bool firstThreeConverged = false;
    double firstThreeStrength = 0.0;
};

// The analysis of the planimetric section. Ends the run as the program does
// (a Stop) where no first position can be found.
PlanimetricAnalysis analysePlanimetry(const Survey& survey);

// Why the zenith readings are not judged, or the height not computed.
enum class NotJudged {
    None,
    NoStation,          // the direction readings leave the station undetermined
    ReadingOutOfRange,  // a zenith reading beyond the range of the arithmetic ('name')
    NotConverging,      // no adjustment of the zenith readings converged
    TiedDirections,     // which direction reading is wrong is not known
    WithoutDirection,   // without the suspect direction reading ('name') the position is uncertain
    ManyWrongDirections // several wrong direction readings leave the position uncertain
};

struct HeightAnalysis {
    // The height was computed: the planimetric analysis gave a station, and
    // every zenith reading is a number. Where not, notJudged says why and
    // nothing below is computed.
    bool computed = true;
    bool adjusted = false; // at least two observations
    double sigma = 0.0;    // a priori precision of one zenith reading, radians
    bool testable = false; // that precision allows the tests
    // The plane position the heights are judged from: the station the
    // planimetric analysis stands on (without a suspect direction reading:
    // its name here).
    double stationM = 0.0, stationP = 0.0;
    std::string withoutDirection;
    // Where the direction readings leave the station in doubt (candidates
    // that cannot be told apart, or no station at all), or the height
    // cannot be computed: why no zenith reading is named, and the name the
    // reason speaks of.
    NotJudged notJudged = NotJudged::None;
    std::string notJudgedName;
    ProgramPass program; // the program's height pass
    // The adjustment of the zenith readings (the free station's, the plane
    // position known).
    FreeStation adjustment;
    double stationHeight = 0.0;
    double prioriSigmaH = 0.0, posterioriSigmaH = 0.0; // metres
    GlobalTest test;                                   // where testable
    std::vector<ReadingTest> readings;                 // [i - 1] for observation i
    Suspect suspect;
    Readjustment without;
    std::vector<Readjustment> leftOut; // as in PlanimetricAnalysis
    // The height with earth curvature and refraction in the observation
    // equations (the program's uses them in its starting value only).
    bool curvatureAdjusted = false;
    double curvatureHeight = 0.0;     // metres
    double curvatureDifference = 0.0; // curvatureHeight - stationHeight
    // The height the analysis stands on: without the suspect zenith reading
    // where one is named, else the adjusted one.
    double analysedHeight() const;
};

// The analysis of the altimetric section from the plane position (m, p),
// with the a priori precision and tolerance of the header.
HeightAnalysis analyseHeight(const SurveyHeader& header, const ZenithSection& zenith, double m,
                             double p);

// The same from the station the planimetric analysis stands on; where it
// cannot tell which direction reading is wrong, or has no station, the
// height is given but no zenith reading is named.
HeightAnalysis analyseHeight(const Survey& survey, const ZenithSection& zenith,
                             const PlanimetricAnalysis& plan);

} // namespace resection
