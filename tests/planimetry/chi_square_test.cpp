// Critical values of the variance test and the verdict, step and walk limits
// of the precision search.
#include "planimetry/chi_square.hpp"

#include "angles/units.hpp"
#include "planimetry/search.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);

TEST(ChiSquare, TableValuesAreExact) {
    const double table[] = {3.841,  5.991,  7.815,  9.488,  11.07,
                            12.592, 14.067, 15.507, 16.919, 18.3072};
    for (int r = 1; r <= 10; ++r) {
        EXPECT_EQ(chiSquare95(r), table[r - 1]) << r;
    }
}

TEST(ChiSquare, ComputedQuantilesAboveTheTable) {
    const std::pair<int, double> rows[] = {{11, 19.675}, {12, 21.026},   {20, 31.410},
                                           {30, 43.773}, {100, 124.342}, {1000, 1074.679}};
    for (const auto& [r, expected] : rows) {
        SCOPED_TRACE(r);
        const double q = chiSquare95(r);
        EXPECT_NEAR(q, expected, 1e-3);
        EXPECT_NEAR(regularizedGammaP(r / 2.0, q / 2.0), 0.95, 1e-12);
    }
}

// Closed forms of the regularised incomplete gamma function, on both sides of
// x = a + 1 where the computation changes method.
TEST(ChiSquare, IncompleteGammaAgainstClosedForms) {
    for (double x : {0.01, 0.5, 1.0, 1.9, 2.1, 3.0, 7.5, 20.0, 50.0}) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(regularizedGammaP(1.0, x), 1.0 - std::exp(-x), 1e-14);
        EXPECT_NEAR(regularizedGammaP(0.5, x), std::erf(std::sqrt(x)), 1e-14);
        EXPECT_NEAR(regularizedGammaP(2.0, x), 1.0 - std::exp(-x) * (1.0 + x), 1e-14);
        EXPECT_NEAR(regularizedGammaP(3.0, x), 1.0 - std::exp(-x) * (1.0 + x + x * x / 2.0), 1e-14);
    }
    EXPECT_EQ(regularizedGammaP(2.0, 0.0), 0.0);
}

TEST(VarianceTest, EqualityAccepts) {
    for (int r : {1, 5, 10, 11, 40}) {
        SCOPED_TRACE(r);
        const double critical = chiSquare95(r);
        EXPECT_EQ(chiSquareVerdict(critical, r), 'a');
        EXPECT_EQ(chiSquareVerdict(std::nextafter(critical, 1e9), r), 'r');
        EXPECT_EQ(chiSquareVerdict(0.0, r), 'a');
    }
    EXPECT_EQ(chiSquareVerdict(3.841, 1), 'a');
    EXPECT_EQ(chiSquareVerdict(3.8411, 1), 'r');
    EXPECT_EQ(chiSquareVerdict(18.3072, 10), 'a');
    EXPECT_EQ(chiSquareVerdict(18.3073, 10), 'r');
}

// One tenth of a second of arc is pi / 6480000; one tenth of a milligon is
// pi / 2000000 with the factor 1.0000000149011611 of its single-precision
// value.
TEST(PrecisionSearch, StepValues) {
    for (const char* code : {"gd", "gs"}) {
        EXPECT_NEAR(precisionStep(code) / (pi / 6480000.0), 1.0, 1e-15) << code;
    }
    for (const char* code : {"gr", "GS", "g "}) {
        EXPECT_NEAR(precisionStep(code) / (pi / 2000000.0), 1.0000000149011611, 1e-15) << code;
        EXPECT_GT(precisionStep(code), pi / 2000000.0) << code;
    }
}

TEST(PrecisionSearch, WalkFloorAndCeiling) {
    struct Row {
        const char* code;
        double precision, start; // as read: seconds or mgon
        WalkState expected;
    };
    const Row rows[] = {
        {"gd", 1.0, 1.0, WalkState::Continue},       {"gd", 0.1, 1.0, WalkState::Continue},
        {"gd", 0.051, 1.0, WalkState::Continue}, // just above half a step
        {"gd", 0.0499, 1.0, WalkState::ReachedZero}, {"gs", 0.0, 1.0, WalkState::ReachedZero},
        {"gs", -0.1, 1.0, WalkState::ReachedZero},   {"gd", 1000.0, 0.5, WalkState::Continue},
        {"gd", 1000.5, 0.5, WalkState::Continue},    {"gd", 1000.6, 0.5, WalkState::PastCeiling},
        {"gr", 1002.1, 2.0, WalkState::PastCeiling}, {"gr", 1001.9, 2.0, WalkState::Continue},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.code << " " << row.precision);
        const double precision = precisionToRadians(row.code, row.precision);
        const double start = precisionToRadians(row.code, row.start);
        EXPECT_EQ(checkWalk(precision, start, row.code), row.expected);
    }
}

} // namespace
} // namespace resection
