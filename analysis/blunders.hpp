// Help for the search of a gross error where the adjustment of all readings
// cannot be trusted: a station that most readings agree with, found from the
// closed forms of three readings at a time, and the sight that would tell
// apart two readings whose tests are too closely correlated.
#pragma once

#include "matrix/matrix.hpp"

namespace resection {

struct ConsensusStation {
    bool found = false;
    double stationM = 0.0, stationP = 0.0; // metres
    double orientation = 0.0;              // radians: the azimuth of the circle's zero
    int agreeing = 0;                      // readings within the tolerance below
};

// The closed-form station of three readings is exact for those three; with
// one reading grossly wrong, every triple without it lands near the true
// station, where all readings but the wrong one agree on one orientation of
// the circle. Of the triples tried (all of them up to 12 points, a fixed,
// well-spread selection of a few hundred beyond), the station whose readings
// fit best wins, each misfit counting at most as much as the tolerance
// max(20 sigma, 1") so that one wrong reading cannot outweigh the others.
// pointCoords N x 2, directionReading N x 1 (radians), sigma radians.
ConsensusStation consensusStation(const Matrix& pointCoords, const Matrix& directionReading,
                                  double sigma);

// Two readings i and j (1-based) whose w-tests are strongly correlated cannot
// be told apart. A further sight adds a row to the design and changes the
// cofactor of the residuals; this tries bearings all around the station at the
// typical sight length and gives the one that decorrelates them the most.
struct Separation {
    double correlation = 0.0;      // of the two w-tests now
    double bearing = 0.0;          // radians, as an azimuth from the station
    double correlationAfter = 0.0; // with one more reading on that bearing
};
Separation separatingSight(const Matrix& pointCoords, double stationM, double stationP,
                           const Matrix& unitCofactor, int i, int j, double sightLength);

} // namespace resection
