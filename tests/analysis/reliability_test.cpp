// The reliability of single readings against hand computations: the factor
// 4.13 from the normal distribution, a weighted mean with its figures by
// hand, and a hexagon of points around a station, whose redundancy numbers,
// detectable biases, station shifts and orientation follow from the
// symmetry.
#include "analysis/analysis.hpp"
#include "analysis/reliability.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);
const double second = pi / 648000.0;

// The upper p-quantile of the standard normal distribution, by bisection on
// its tail 0.5 erfc(z / sqrt 2): independent of the program.
double upperQuantile(double tail) {
    double lo = 0.0, hi = 10.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        (0.5 * std::erfc(mid / std::sqrt(2.0)) > tail ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

// alpha 0.1 % two-sided gives the critical value 3.29; a power of 80 % adds
// z(0.8) = 0.84: together the 4.13 of the detectable bias.
TEST(Reliability, FactorsFromTheNormalDistribution) {
    const double critical = upperQuantile(0.0005);
    const double power = upperQuantile(1.0 - testPower);
    EXPECT_NEAR(critical, 3.2905, 1e-4);
    EXPECT_NEAR(power, 0.8416, 1e-4);
    EXPECT_NEAR(wTestCritical, critical, 0.001);
    EXPECT_NEAR(detectableBiasFactor, critical + power, 0.003);
}

// Three observations of one unknown with sigmas 1, 2, 2: weights 1, 1/4,
// 1/4, normal 1.5, Qxx = 2/3. By hand r1 = 1 - 2/3 = 1/3, r2 = r3 = 1 - 1/6
// = 5/6; the detectable bias of the first is 4.13 / sqrt(1/3) = 7.1533 and
// it moves the unknown by Qxx p1 that = 4.7689; for the second, 4.13 x 2 /
// sqrt(5/6) = 9.0484, moving it by 2/3 x 1/4 of that = 1.5081.
TEST(Reliability, WeightedMeanByHand) {
    AdjustmentFigures f;
    f.design = Matrix(3, 1);
    f.design.fill(1.0);
    f.sigma = {1.0, 2.0, 2.0};
    // Observations 10, 13, 7: the weighted mean is 10, the residuals 0, -3, 3.
    f.residual = {0.0, -3.0, 3.0};
    f.covariance = Matrix(1, 1);
    f.covariance(1, 1) = 2.0 / 3.0;
    f.station = {1};
    const std::vector<ReadingTest> t = observationTests(f);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_NEAR(t[0].redundancy, 1.0 / 3.0, 1e-15);
    EXPECT_NEAR(t[1].redundancy, 5.0 / 6.0, 1e-15);
    EXPECT_NEAR(t[0].detectableBias, 4.13 * std::sqrt(3.0), 1e-12);
    EXPECT_NEAR(t[0].stationShift, 2.0 / 3.0 * 4.13 * std::sqrt(3.0), 1e-12);
    EXPECT_NEAR(t[1].detectableBias, 8.26 / std::sqrt(5.0 / 6.0), 1e-12);
    EXPECT_NEAR(t[1].stationShift, 2.0 / 3.0 / 4.0 * 8.26 / std::sqrt(5.0 / 6.0), 1e-12);
    EXPECT_NEAR(t[1].w, -3.0 / (2.0 * std::sqrt(5.0 / 6.0)), 1e-12);
    EXPECT_NEAR(quadraticForm(f), 4.5, 1e-15);
    EXPECT_TRUE(t[0].tested && !t[0].weak());
}

// Six points evenly around the station at D = 1000 m, exact readings, sigma
// 1". The directions of the unknowns M, P, o have A^T A = diag(3/D^2,
// 3/D^2, 6), so every reading has r = 1 - (1/3 + 1/6) = 1/2: a detectable
// bias of 4.13 sqrt 2 = 5.84", and the station moves by D/3 of it in
// radians, 9.44 mm. The orientation's standard deviation is sigma / sqrt 6 =
// 0.41".
TEST(Reliability, HexagonByHand) {
    std::string text = "gd 0.0001 1\nEST\n6\n";
    for (int i = 0; i < 6; ++i) {
        const double bearing = 60.0 * i + 15.0;
        char line[128];
        std::snprintf(line, sizeof line, "H%d %.9f %.9f %.12f\n", i + 1,
                      5000.0 + 1000.0 * std::sin(bearing * pi / 180.0),
                      7000.0 + 1000.0 * std::cos(bearing * pi / 180.0),
                      std::fmod(bearing - 40.0 + 360.0, 360.0));
        text += line;
    }
    std::istringstream in(text);
    RecordReader reader(in, "in");
    RunContext ctx;
    ctx.input = &reader;
    readPlanimetricSection(ctx);
    const PlanimetricAnalysis a = analysePlanimetry(ctx);
    ASSERT_EQ(a.basis, Basis::All);
    ASSERT_EQ(a.readings.size(), 6u);
    for (const ReadingTest& t : a.readings) {
        EXPECT_NEAR(t.redundancy, 0.5, 1e-9);
        EXPECT_NEAR(t.detectableBias / second, 4.13 * std::sqrt(2.0), 1e-6);
        EXPECT_NEAR(t.stationShift, 1000.0 / 3.0 * 4.13 * std::sqrt(2.0) * second, 1e-9);
    }
    EXPECT_NEAR(std::remainder(a.station.orientation * 180.0 / pi - 40.0, 360.0), 0.0, 1e-8);
    EXPECT_NEAR(a.station.orientationPriori / second, 1.0 / std::sqrt(6.0), 1e-9);
    // The a priori ellipse is a circle of sigma D / sqrt 3.
    EXPECT_NEAR(a.station.priori.major, 1000.0 * second / std::sqrt(3.0), 1e-12);
    EXPECT_NEAR(a.station.priori.minor, 1000.0 * second / std::sqrt(3.0), 1e-12);
}

} // namespace
} // namespace resection
