// Tests of single readings: which reading of an adjustment is wrong.
//
// In an adjustment of uncorrelated readings of one precision sigma, the
// residual v_i of reading i (adjusted minus observed) takes up only the part
// r_i of an error e_i in that reading: v_i = -r_i e_i, where the redundancy
// number r_i = (Qvv P)_ii lies between 0 and 1 and the r_i add up to the
// redundancy of the adjustment. Baarda's w-test divides the residual by its
// own standard deviation, w_i = v_i / (sigma sqrt(r_i)); without a gross
// error w_i is normally distributed with mean 0 and variance 1. The reading
// whose |w| exceeds the critical value the most is the likeliest to hold one
// gross error, and -v_i / r_i estimates its size.
//
// With a redundancy of 1 every |w_i| is the same: the test can say that a
// reading is wrong but not which. More generally two readings whose residuals
// are fully correlated cannot be told apart; the search below says so.
#pragma once

#include <vector>

namespace resection {

// The critical value of the w-test: the two-sided 0.1 % point of the normal
// distribution (alpha0 = 0.1 %), the usual choice for testing every reading
// of a small network in turn.
inline constexpr double wTestCritical = 3.29;

// A reading whose redundancy number is below this is not controlled by the
// others: an error in it leaves (almost) no trace in the residuals, and its
// w-test is not computed.
inline constexpr double uncontrolledRedundancy = 1e-6;

struct ReadingTest {
    double residual = 0.0;       // v_i, adjusted minus observed, radians
    double redundancy = 0.0;     // r_i, between 0 and 1
    bool controlled = false;     // r_i at least uncontrolledRedundancy
    double w = 0.0;              // v_i / (|sigma| sqrt(r_i)); 0 when not controlled
    double estimatedError = 0.0; // -v_i / r_i, radians; 0 when not controlled
};

// The test of one reading from its residual, its redundancy number and the a
// priori precision of one reading (radians; its sign does not matter, the
// weights see only its square).
ReadingTest testReading(double residual, double redundancy, double sigma);

// The outcome of the w-tests of all readings.
struct Suspect {
    enum class Kind {
        None,           // no |w| above the critical value
        Flagged,        // one reading has the largest |w|, above the critical value
        Unidentifiable, // the largest |w| is shared by two or more readings
        // Leaving out any one of two or more readings makes the rest pass
        // the global test (or, where none does, they come equally close):
        // each alone explains the residuals, and the measurements do not say
        // which is wrong.
        Tied,
    };
    Kind kind = Kind::None;
    int reading = 0; // 1-based: the largest |w| (Flagged, Unidentifiable)
    // 1-based: every reading with that |w| (Unidentifiable, ascending), or
    // the candidates, likeliest first (Tied).
    std::vector<int> sharing;
};

// Two |w| closer than this, relative to the larger, count as the same.
inline constexpr double sameW = 1e-6;

Suspect findSuspect(const std::vector<ReadingTest>& tests, double critical);

} // namespace resection
