// The free station on hand-built networks: the first positions where
// directions alone give none, zero redundancy and two stations that nothing
// tells apart, the scale, and the statistics of one network against a hand
// computation.
#include "adjustment/free_station.hpp"
#include "analysis/reliability.hpp"
#include "base/constants.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "planimetry/position.hpp"
#include "support/station_network.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <tuple>
#include <vector>

namespace resection {
namespace {

using Network = testing::StationNetwork;

const double second = pi / 648000.0;
using K = ObservationKind;

// Where directions alone give no first position, or none at all: each
// network with what it must come to.
TEST(FreeStation, FirstPositionsFromDistancesAndFromTooFewObservations) {
    struct Case {
        const char* name;
        // bearings of the points; per point: direction, distance
        std::vector<std::tuple<double, bool, bool>> points;
        AdjustmentFault fault;
        int dof;
        bool ambiguous;
    };
    const std::vector<Case> cases = {
        {"trilateration",
         {{10, false, true}, {140, false, true}, {250, false, true}},
         AdjustmentFault::None,
         1,
         false},
        {"two points, directions and distances (the mirror station told apart)",
         {{30, true, true}, {100, true, true}},
         AdjustmentFault::None,
         1,
         false},
        {"two points, distances only: two stations",
         {{30, false, true}, {100, false, true}},
         AdjustmentFault::None,
         0,
         true},
        {"two directions and one distance",
         {{30, true, true}, {130, true, false}},
         AdjustmentFault::None,
         0,
         false},
        {"three directions",
         {{30, true, false}, {130, true, false}, {250, true, false}},
         AdjustmentFault::None,
         0,
         false},
        {"one point, direction and distance",
         {{30, true, true}},
         AdjustmentFault::TooFewObservations,
         0,
         false},
        {"two points, directions only",
         {{30, true, false}, {100, true, false}},
         AdjustmentFault::TooFewObservations,
         0,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Network n;
        for (const auto& [bearing, direction, distance] : c.points) {
            const int i = n.point(bearing, 300.0 + bearing);
            if (direction) {
                n.add(K::Direction, i, 2.0 * second);
            }
            if (distance) {
                n.add(K::HorizontalDistance, i, 0.003);
            }
        }
        const FreeStation f = adjustFreeStation(n.s);
        ASSERT_EQ(f.fault, c.fault);
        if (!f.adjusted()) {
            continue;
        }
        EXPECT_EQ(f.degreesOfFreedom, c.dof);
        EXPECT_EQ(f.ambiguous, c.ambiguous);
        // The true station, or the other one where two fit.
        const bool here = std::hypot(f.stationM - n.m0, f.stationP - n.p0) < 1e-6;
        const bool other = f.ambiguous && std::hypot(f.otherM - n.m0, f.otherP - n.p0) < 1e-6;
        EXPECT_TRUE(here || other) << f.stationM << " " << f.stationP;
        EXPECT_NEAR(f.quadraticForm, 0.0, 1e-12);
        if (c.dof == 0) {
            for (const ReadingTest& t : observationTests(figuresOf(n.s, f))) {
                EXPECT_FALSE(t.controlled);
            }
        }
    }
}

// Three distances 120 degrees apart, one precision: every redundancy number
// is 1/3 (the two unknowns share the trace of the hat matrix evenly), the
// minimal detectable bias 4.13 sigma sqrt(3), and the station, with
// Q = (2 sigma^2 / 3) I, moves by 2/3 of it along that sight.
TEST(FreeStation, ReliabilityOfASymmetricTrilaterationByHand) {
    Network n;
    for (const double bearing : {0.0, 120.0, 240.0}) {
        n.add(K::HorizontalDistance, n.point(bearing, 500.0), 0.004);
    }
    const FreeStation f = adjustFreeStation(n.s);
    ASSERT_TRUE(f.adjusted());
    for (const ReadingTest& t : observationTests(figuresOf(n.s, f))) {
        EXPECT_NEAR(t.redundancy, 1.0 / 3.0, 1e-9);
        EXPECT_NEAR(t.detectableBias, 4.13 * 0.004 * std::sqrt(3.0), 1e-9);
        EXPECT_NEAR(t.stationShift, 2.0 / 3.0 * t.detectableBias, 1e-9);
        EXPECT_EQ(t.heightShift, 0.0);
    }
    EXPECT_NEAR(f.prioriSigma(1), std::sqrt(2.0 / 3.0) * 0.004, 1e-12);
}

// A direction 90 or 180 degrees off among eight: the first position comes
// from the directions that agree, and the adjustment of all of them names
// it.
TEST(FreeStation, ADirectionHalfACircleOffDoesNotMislead) {
    for (const double degrees : {90.0, 180.0, -135.0}) {
        SCOPED_TRACE(degrees);
        Network n;
        for (int i = 0; i < 8; ++i) {
            n.add(K::Direction, n.point(i * 45.0 + 10.0 * (i % 3), 300.0 + 50.0 * i), 2.0 * second,
                  i == 5 ? degrees * pi / 180.0 : 0.0);
        }
        const FreeStation f = adjustFreeStation(n.s);
        ASSERT_TRUE(f.adjusted());
        const Suspect named = findSuspect(observationTests(figuresOf(n.s, f)), wTestCritical);
        EXPECT_EQ(named.reading, 6);
    }
}

// No station is ever given from an iteration that cannot be trusted: one
// started on a sighted point, coordinates so large that the sums overflow,
// a geometry that does not fix the station (on the circle through the
// points).
TEST(FreeStation, NeverAStationFromARunawayOrAnUndeterminedGeometry) {
    Network n;
    for (int i = 0; i < 5; ++i) {
        n.add(K::Direction, n.point(i * 72.0, 400.0), 2.0 * second);
    }
    FreeStation f = adjustFreeStation(n.s, n.s.points[2].m, n.s.points[2].p);
    EXPECT_EQ(f.fault, AdjustmentFault::OnPoint);
    EXPECT_EQ(f.faultPoint, 2);
    EXPECT_EQ(f.stationM, 0.0);

    Network huge;
    for (int i = 0; i < 5; ++i) {
        const int k = huge.point(i * 72.0, 400.0);
        huge.add(K::Direction, k, 2.0 * second);
        huge.s.points[static_cast<std::size_t>(k)].m *= 1e300;
    }
    f = adjustFreeStation(huge.s);
    EXPECT_FALSE(f.adjusted());
    EXPECT_TRUE(std::isfinite(f.stationM) && std::isfinite(f.quadraticForm));

    // Directions to four points on a circle through the station: every
    // point of that circle sees them under the same angles.
    Network circle;
    for (const double bearing : {-60.0, -20.0, 30.0, 70.0}) {
        circle.add(K::Direction, circle.point(bearing, 600.0 * std::cos(bearing * pi / 180.0)),
                   2.0 * second);
    }
    f = adjustFreeStation(circle.s);
    EXPECT_TRUE(f.fault == AdjustmentFault::NoFirstPosition ||
                f.fault == AdjustmentFault::Undetermined)
        << f.stationM;
    f = adjustFreeStation(circle.s, circle.m0 + 1.0, circle.p0 - 2.0);
    EXPECT_EQ(f.fault, AdjustmentFault::Undetermined) << f.stationM;
}

// Distances measured on the ground with a map scale of 0.9996: given, the
// station comes out exact; estimated, the scale too; asked for where the
// observations leave no room for it, it is not estimated, and said so.
// Curvature and refraction in the observations need the option.
TEST(FreeStation, ScaleAndCurvatureOptions) {
    Network n;
    n.scale = 0.9996;
    n.curvature = 6.82e-8;
    for (int i = 0; i < 4; ++i) {
        const int k = n.point(20.0 + 90.0 * i, 800.0 + 300.0 * i, 110.0 + 10.0 * i);
        n.add(K::Direction, k, 1.0 * second);
        n.add(K::SlopeDistance, k, 0.002);
        n.add(K::Zenith, k, 1.0 * second);
    }
    n.s.options.scale = 0.9996;
    n.s.options.curvatureRefraction = true;
    FreeStation f = adjustFreeStation(n.s);
    ASSERT_TRUE(f.adjusted() && f.degreesOfFreedom > 0);
    EXPECT_NEAR(f.stationM, n.m0, 1e-7);
    EXPECT_NEAR(f.stationHeight, n.h0, 1e-7);
    EXPECT_NEAR(f.quadraticForm, 0.0, 1e-9);

    n.s.options.curvatureRefraction = false;
    f = adjustFreeStation(n.s);
    EXPECT_GT(f.quadraticForm, 1.0); // 1700 m sights: 0.2 m of curvature

    n.s.options = {true, 1.0, true};
    f = adjustFreeStation(n.s);
    ASSERT_TRUE(f.adjusted() && f.degreesOfFreedom > 0);
    ASSERT_GT(f.scaleIndex, 0);
    EXPECT_NEAR(f.scale, 0.9996, 1e-9);
    EXPECT_GT(f.prioriSigma(f.scaleIndex), 0.0);
    EXPECT_NEAR(f.stationP, n.p0, 1e-7);

    Network few;
    few.add(K::HorizontalDistance, few.point(0.0, 500.0), 0.004);
    few.add(K::HorizontalDistance, few.point(120.0, 500.0), 0.004);
    few.add(K::HorizontalDistance, few.point(240.0, 500.0), 0.004);
    few.s.options.estimateScale = true;
    f = adjustFreeStation(few.s);
    EXPECT_TRUE(f.scaleNotEstimable);
    EXPECT_EQ(f.scaleIndex, 0);
    EXPECT_EQ(f.degreesOfFreedom, 1);
}

} // namespace
} // namespace resection
