// The weights of the correlated angles, the a priori angle precision line and
// the ends of the iteration.
#include "planimetry/adjustment.hpp"

#include "angles/units.hpp"
#include "base/run_stop.hpp"
#include "input/planimetric_section.hpp"
#include "planimetry/planimetric_pass.hpp"
#include "planimetry/position.hpp"
#include "report/precision_line.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);

RunContext withPrecision(int n, const std::string& code, double precisionAsRead) {
    RunContext ctx;
    ctx.pointCount = n;
    ctx.redundancy = n - 3;
    ctx.unit = unitFromCode(code);
    ctx.directionPrecision = precisionToRadians(ctx.unit, precisionAsRead);
    sizeWorkArrays(ctx);
    return ctx;
}

// Qll = sigma^2 (2 on the diagonal, -1 beside it); its inverse in closed form
// is min(i, j) (N - max(i, j)) / N / sigma^2 for the N - 1 angles.
TEST(AngleWeights, TridiagonalCofactorAndItsInverse) {
    for (bool dense : {true, false}) {
        for (int n : {4, 5, 9}) {
            SCOPED_TRACE(::testing::Message() << "N=" << n << (dense ? " dense" : " band"));
            RunContext ctx = withPrecision(n, "gd", 2.0);
            ctx.denseReference = dense;
            buildAngleWeights(ctx);
            const double s2 = ctx.directionPrecision * ctx.directionPrecision;
            EXPECT_NEAR(ctx.angleVariance, 2.0 * s2, 1e-15 * s2);
            Matrix p = ctx.angleWeight;
            if (!ctx.angleWeightStored) {
                p = Matrix(n - 1, n - 1);
                ASSERT_TRUE(ctx.angleWeightFactors.expand(p));
            }
            for (int i = 1; i < n; ++i) {
                for (int j = 1; j < n; ++j) {
                    if (dense) {
                        const double q = i == j ? 2.0 : (std::abs(i - j) == 1 ? -1.0 : 0.0);
                        EXPECT_NEAR(ctx.angleCofactor(i, j), q * s2, 1e-15 * s2);
                    }
                    const double w = std::min(i, j) * (n - std::max(i, j)) / (n * s2);
                    EXPECT_NEAR(p(i, j), w, 1e-12 * w);
                }
            }
        }
    }
}

TEST(AngleWeights, ZeroPrecisionIsASingularMatrix) {
    RunContext ctx = withPrecision(4, "gs", 0.0);
    EXPECT_THROW(buildAngleWeights(ctx), SingularMatrix);
}

// The standard deviation of one angle is sqrt(2) times that of a reading.
TEST(AngleWeights, AprioriAngleLine) {
    const std::tuple<const char*, double, const char*> rows[] = {
        {"gd", 1.0, "Precisao a priori dos angulos azimutais:  1.4 segundos\r\n \r\n"},
        {"gs", 1.5, "Precisao a priori dos angulos azimutais:  2.1 segundos\r\n \r\n"},
        {"gr", 1.0, "Precisao a priori dos angulos azimutais:  1.4 mgon\r\n \r\n"},
        {"gs", 800.0, "Precisao a priori dos angulos azimutais:***** segundos\r\n \r\n"},
    };
    for (const auto& [code, precision, expected] : rows) {
        RunContext ctx = withPrecision(4, code, precision);
        ctx.aprioriPrecision = ctx.directionPrecision;
        std::ostringstream report;
        writeAprioriAngleLine(report, ctx.unit, aprioriAngleDeviation(ctx));
        EXPECT_EQ(report.str(), expected);
    }
}

// The station of the worked example and a fourth point, readings exact.
RunContext exampleStation(double tolerance) {
    RunContext ctx = withPrecision(4, "gd", 5.0);
    ctx.tolerance = tolerance;
    const double coords[4][2] = {{500, 1500}, {1500, 1500}, {500, -500}, {1500, 0}};
    const double readings[4] = {350, 35, 170, 170 - 180 / pi * std::atan(2.0)};
    ctx.pointCoords = Matrix(4, 2);
    ctx.directionReading = Matrix(4, 1);
    ctx.pointName.assign(5, std::string(12, ' '));
    for (int i = 1; i <= 4; ++i) {
        ctx.pointCoords(i, 1) = coords[i - 1][0];
        ctx.pointCoords(i, 2) = coords[i - 1][1];
        ctx.directionReading(i) = readings[i - 1] * pi / 180.0;
    }
    findFirstPosition(ctx);
    buildAngleWeights(ctx);
    return ctx;
}

TEST(IterateStation, ConvergesAtOnceFromTheStation) {
    RunContext ctx = exampleStation(0.001);
    const double startM = ctx.stationM, startP = ctx.stationP;
    iterateStation(ctx);
    EXPECT_EQ(ctx.iterationCount, 1);
    EXPECT_EQ(ctx.stationM, startM); // only the adjusted values take the correction
    EXPECT_EQ(ctx.stationP, startP);
    EXPECT_EQ(ctx.adjustedM, ctx.correction(1) + startM);
    EXPECT_EQ(ctx.adjustedP, ctx.correction(2) + startP);
    EXPECT_NEAR(ctx.adjustedM, 500.0, 1e-6);
    EXPECT_NEAR(ctx.adjustedP, 500.0, 1e-6);
}

} // namespace
} // namespace resection
