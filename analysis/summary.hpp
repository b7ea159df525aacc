// The verdict first: a few lines that open the analysis (and the JSON's
// "summary"): the station the analysis stands on with its 95 % ellipse, the
// verdict of the global test, the suspect reading or the honest list, and the
// next step in words. Built from plain figures, whatever adjustment gave
// them.
#pragma once

#include "analysis/geometry.hpp"
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

    // The station the analysis stands on: that of all readings, that
    // without the reading 'without', or none.
    enum class Basis { All, Without, None } basis = Basis::None;
    std::string without;
    double m = 0.0, p = 0.0; // metres, where the basis is not None
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
    std::vector<std::string> suspects;
    std::vector<double> errors; // [k]: the estimated error of suspects[k], radians
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
    std::vector<double> heightErrors;
    std::string heightNotJudged; // why the zenith readings are not judged ("" when they are)
};

struct Summary {
    // "accepted", "rejected" or "notApplicable".
    std::string test;
    // "all", "without" or "none".
    std::string basis;
    std::vector<std::string> suspects;
    std::vector<std::string> heightSuspects;
    // One sentence, Portuguese without accented letters.
    std::string nextStep;
    // The lines of the summary as the text prints them, without line ends.
    std::vector<std::string> lines;
};

Summary summarize(const SummaryFigures& figures);

} // namespace resection
