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

// The minimal detectable bias. An error e in reading i shifts its w from a
// standard normal variable to one of mean delta = e sqrt(r_i) / sigma_i. The
// test finds it when |w| exceeds k = z(1 - alpha0 / 2) = z(0.9995) = 3.2905;
// asked to do so with the power beta0 = 80 %, P(w > k) = 0.8 gives
// delta - k = z(0.8) = 0.8416 (the other tail adds less than 1e-9), so that
//   delta0 = z(0.9995) + z(0.8) = 3.2905 + 0.8416 = 4.13,
// and the smallest error found so is 4.13 sigma_i / sqrt(r_i).
inline constexpr double testPower = 0.8;
inline constexpr double detectableBiasFactor = 4.13;

// A reading whose redundancy number is below this is not controlled by the
// others: an error in it leaves (almost) no trace in the residuals, and its
// w-test is not computed.
inline constexpr double uncontrolledRedundancy = 1e-6;

// A reading whose redundancy number is below this is weakly controlled: the
// residuals show only a tenth or less of an error in it, so that an error
// several times its precision can pass every test unseen.
inline constexpr double weakRedundancy = 0.1;

struct ReadingTest {
    double residual = 0.0;       // v_i, adjusted minus observed (the reading's unit: radians)
    double redundancy = 0.0;     // r_i, between 0 and 1
    bool controlled = false;     // r_i at least uncontrolledRedundancy
    bool tested = false;         // controlled, and the precision allows a test
    double w = 0.0;              // v_i / (sigma_i sqrt(r_i)); 0 when not tested
    double estimatedError = 0.0; // -v_i / r_i; 0 when not controlled
    // Internal reliability: the smallest error of this reading that its
    // w-test finds with the power testPower at the level of wTestCritical,
    // detectableBiasFactor sigma_i / sqrt(r_i); 0 when not tested.
    double detectableBias = 0.0;
    // External reliability: how far the station moves (metres) when this
    // reading holds an undetected error of the size detectableBias.
    double stationShift = 0.0;
    bool weak() const { return redundancy < weakRedundancy; }
};

// A precision (radians) with which readings can be tested: above 0, and
// within half a circle (a larger one bounds nothing), and such that its
// square and the weight 1 / sigma^2 stay within double range.
bool testablePrecision(double sigma);

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
