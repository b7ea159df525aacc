// The angles between consecutive directions and the closed-form position.
#include "planimetry/position.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

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

RunContext withPoints(const std::vector<std::array<double, 3>>& points) {
    RunContext ctx;
    ctx.pointCount = static_cast<int>(points.size());
    ctx.pointCoords = Matrix(ctx.pointCount, 2);
    ctx.directionReading = Matrix(ctx.pointCount, 1);
    ctx.observedAngle = Matrix(ctx.pointCount - 1, 1);
    for (int i = 1; i <= ctx.pointCount; ++i) {
        const auto& [m, p, reading] = points[static_cast<std::size_t>(i - 1)];
        ctx.pointCoords(i, 1) = m;
        ctx.pointCoords(i, 2) = p;
        ctx.directionReading(i) = reading * degree;
    }
    formAngles(ctx);
    return ctx;
}

double angleFrom(const RunContext& ctx, int from, int to) {
    const double a = ctx.directionReading(to) - ctx.directionReading(from);
    return a < 0.0 ? a + 2.0 * pi : a;
}

// Points 1 and 2 in one direction from the station: (1,2,4) and (1,2,5) give
// no position either, so the position is that of (1,3,4). The readings are a
// little off, so that every set of three gives its own position.
TEST(ApproximatePosition, OtherPointsInAscendingOrder) {
    RunContext ctx = withPoints({{1100, 1100, 45.0},
                                 {1200, 1200, 45.0},
                                 {900, 1300, 341.5655},
                                 {700, 800, 236.3102},
                                 {1300, 700, 135.0003}});
    findApproximatePosition(ctx);
    const Matrix& c = ctx.pointCoords;
    const ThreePointSolution s134 =
        threePointResection(c(1, 1), c(1, 2), c(3, 1), c(3, 2), c(4, 1), c(4, 2),
                            angleFrom(ctx, 1, 3), angleFrom(ctx, 3, 4));
    const ThreePointSolution s135 =
        threePointResection(c(1, 1), c(1, 2), c(3, 1), c(3, 2), c(5, 1), c(5, 2),
                            angleFrom(ctx, 1, 3), angleFrom(ctx, 3, 5));
    EXPECT_EQ(ctx.stationM, s134.stationM);
    EXPECT_EQ(ctx.stationP, s134.stationP);
    EXPECT_NE(ctx.stationM, s135.stationM);
    EXPECT_NEAR(ctx.stationM, 1000.0, 0.1);
    EXPECT_NEAR(ctx.stationP, 1000.0, 0.1);
}

} // namespace
} // namespace resection
