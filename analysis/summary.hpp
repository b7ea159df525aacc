// The verdict first: a few lines that open the analysis (and the JSON's
// "summary"): the station the analysis stands on with its 95 % ellipse, the
// verdict of the global test, the suspect reading or the honest list, and the
// next step in words. Built from plain figures, whatever adjustment gave
// them.
#pragma once

#include "analysis/geometry.hpp"
#include "analysis/verdict.hpp"
#include "angles/units.hpp"

#include <string>
#include <vector>

namespace resection {

struct SummaryFigures {
    std::string stationName;
    AngleUnit unit = AngleUnit::DecimalDegrees;
    int points = 0;
    int redundancy = 0;
    double sigma = 0.0;    // a priori precision of one reading, radians
    bool testable = false; // that precision allows the tests

    // A free station: observations of any kind, each with its own standard
    // deviation, where the program's input file has readings of one
    // precision. The test is then of the variance factor: changeSigma is a
    // factor of the a priori standard deviations.
    bool freeStation = false;

    // The station the analysis stands on: that of all readings, that
    // without the reading 'without', or none.
    Basis basis = Basis::None;
    std::string without;      // the name of the reading left out (the target, for a free station)
    std::string withoutLabel; // a free station's observation left out ("distancia horizontal a P2")
    double m = 0.0, p = 0.0;  // metres, where the basis is not None
    // A free station's height, where it is an unknown.
    bool stationHeight = false;
    double stationH = 0.0, stationHSigma = 0.0; // metres
    bool ellipseKnown = false;
    ErrorEllipse ellipse95;  // metres, bearing in radians
    bool posteriori = false; // the ellipse comes from the a posteriori variance

    // The global test of all readings; rejected also where no adjustment of
    // them settled near the points.
    enum class Test { Accepted, Rejected, NotApplicable } test = Test::NotApplicable;
    bool allRanAway = false;  // no adjustment of all readings settled near the points
    double changeSigma = 0.0; // where the test of all readings turns to acceptance, radians
    // That precision is more than three times the a priori one: a rejection
    // no single reading explains is then several readings wrong, not a
    // precision a little optimistic.
    bool manyWrong = false;
    bool withoutAccepted = false; // the test without the suspect reading

    // What the tests of single readings say.
    enum class Verdict {
        Clean,        // the test accepts
        One,          // one reading named (suspects[0])
        Several,      // each of the suspects explains the residuals alone
        FourPoints,   // one of the four readings, or the precision; four points cannot tell
        NoneStandsOut // the test rejects without a reading standing out
    } verdict = Verdict::Clean;
    // How the text names the suspects (a free station's: "distancia
    // horizontal a P2"), and their points' names for other programs.
    std::vector<std::string> suspects;
    std::vector<std::string> suspectNames;
    std::vector<std::string> errors; // [k]: the estimated error of suspects[k], as written
    bool separatingSight = false;
    double separatingBearing = 0.0; // radians, where one more sight would tell two apart
    double threePointSpread = 0.0;  // four points: how far apart the stations of three lie
    int threePointStations = 0;     // four points: how many of those exist
    std::vector<std::string> weak;  // readings whose redundancy number is below 0.1

    // The height, where there is a height section.
    bool height = false;
    bool heightKnown = false;
    double h = 0.0, hSigma = 0.0; // metres; hSigma a posteriori
    std::string heightWithout;    // the zenith reading left out for it
    bool heightTestable = false;
    bool heightRejected = false;
    double heightChangeSigma = 0.0; // radians
    std::vector<std::string> heightSuspects;
    std::vector<std::string> heightErrors; // as written
    std::string heightNotJudged; // why the zenith readings are not judged ("" when they are)
};

struct Summary {
    // "accepted", "rejected" or "notApplicable".
    std::string test;
    // "all", "without" or "none".
    std::string basis;
    // The names of the suspects' points.
    std::vector<std::string> suspects;
    std::vector<std::string> heightSuspects;
    // One sentence, Portuguese without accented letters.
    std::string nextStep;
    // The lines of the summary as the text prints them, without line ends.
    std::vector<std::string> lines;
};

Summary summarize(const SummaryFigures& figures);

} // namespace resection
