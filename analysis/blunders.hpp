// Help for the search of a gross error: the sight that would tell apart two
// direction readings whose tests are too closely correlated.
#pragma once

#include "matrix/matrix.hpp"

namespace resection {

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
