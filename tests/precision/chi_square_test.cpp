// Critical values of the variance test, its verdict and the search's step.
#include "precision/chi_square.hpp"

#include "angles/units.hpp"
#include "precision/precision_search.hpp"

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
        EXPECT_EQ(chiSquareVerdict(critical, r), Verdict::Accepted);
        EXPECT_EQ(chiSquareVerdict(std::nextafter(critical, 1e9), r), Verdict::Rejected);
        EXPECT_EQ(chiSquareVerdict(0.0, r), Verdict::Accepted);
    }
    EXPECT_EQ(chiSquareVerdict(3.841, 1), Verdict::Accepted);
    EXPECT_EQ(chiSquareVerdict(3.8411, 1), Verdict::Rejected);
    EXPECT_EQ(chiSquareVerdict(18.3072, 10), Verdict::Accepted);
    EXPECT_EQ(chiSquareVerdict(18.3073, 10), Verdict::Rejected);
}

// One tenth of a second of arc is pi / 6480000; one tenth of a milligon is
// pi / 2000000 with the factor 1.0000000149011611 of its single-precision
// value.
TEST(PrecisionSearch, StepValues) {
    for (const char* code : {"gd", "gs"}) {
        EXPECT_NEAR(precisionStep(unitFromCode(code)) / (pi / 6480000.0), 1.0, 1e-15) << code;
    }
    for (const char* code : {"gr", "GS", "g "}) {
        const double step = precisionStep(unitFromCode(code));
        EXPECT_NEAR(step / (pi / 2000000.0), 1.0000000149011611, 1e-15) << code;
        EXPECT_GT(step, pi / 2000000.0) << code;
    }
}

} // namespace
} // namespace resection
