// The angles between consecutive directions and the closed-form position.
#include "planimetry/position.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);
const double degree = pi / 180.0;

RunContext withReadings(std::initializer_list<double> degrees) {
    RunContext ctx;
    ctx.pointCount = static_cast<int>(degrees.size());
    ctx.directionReading = Matrix(ctx.pointCount, 1);
    ctx.observedAngle = Matrix(ctx.pointCount - 1, 1);
    int i = 1;
    for (double d : degrees) {
        ctx.directionReading(i++) = d * degree;
    }
    return ctx;
}

TEST(FormAngles, ConsecutiveDifferencesBroughtIntoOneCircle) {
    RunContext ctx = withReadings({10, 50, 30});
    formAngles(ctx);
    EXPECT_NEAR(ctx.observedAngle(1), 40 * degree, 1e-15);
    EXPECT_NEAR(ctx.observedAngle(2), 340 * degree, 1e-14);

    // The last direction is not paired with the first; equal readings give 0.
    RunContext four = withReadings({350, 35, 35, 170});
    formAngles(four);
    EXPECT_NEAR(four.observedAngle(1), 45 * degree, 1e-14);
    EXPECT_EQ(four.observedAngle(2), 0.0);
    EXPECT_NEAR(four.observedAngle(3), 135 * degree, 1e-14);
}

TEST(ThreePointResection, WorkedExample) {
    RunContext ctx = withReadings({350, 35, 170});
    formAngles(ctx);
    const ThreePointSolution s = threePointResection(500, 1500, 1500, 1500, 500, -500,
                                                     ctx.observedAngle(1), ctx.observedAngle(2));
    EXPECT_NEAR(s.tanAzimuth2, 1.0, 1e-13);
    EXPECT_NEAR(s.tanAzimuth1, 0.0, 1e-13);
    EXPECT_NEAR(s.stationM, 500.0, 1e-9);
    EXPECT_NEAR(s.stationP, 500.0, 1e-9);
    EXPECT_TRUE(s.finite());
}

// The orientation of the circle does not matter: a constant added to all
// readings leaves the position where it was.
TEST(ThreePointResection, ConstantAddedToAllReadings) {
    for (double c : {0.0, 10.0, 17.25, 123.456, 200.0, 359.9, -50.0}) {
        SCOPED_TRACE(c);
        RunContext ctx = withReadings({350 + c, 35 + c, 170 + c});
        formAngles(ctx);
        const ThreePointSolution s = threePointResection(
            500, 1500, 1500, 1500, 500, -500, ctx.observedAngle(1), ctx.observedAngle(2));
        EXPECT_NEAR(s.stationM, 500.0, 1e-8);
        EXPECT_NEAR(s.stationP, 500.0, 1e-8);
    }
}

// A station in line with points 1 and 2 (an angle of 0) gives no position.
TEST(ThreePointResection, StationInLineGivesNoFinitePosition) {
    const ThreePointSolution s =
        threePointResection(1100, 1100, 1200, 1200, 900, 1300, 0.0, pi / 2);
    EXPECT_FALSE(s.finite());
}

} // namespace
} // namespace resection
