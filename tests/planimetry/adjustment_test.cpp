// The weights of the correlated angles, the a priori angle precision line and
// the ends of the iteration.
#include "planimetry/adjustment.hpp"

#include "angles/units.hpp"
#include "matrix/band.hpp"
#include "planimetry/planimetric_search.hpp"
#include "planimetry/position.hpp"
#include "report/precision_line.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);

// The station of the worked example (M = P = 500) and N - 3 more points,
// readings exact.
Survey exampleSurvey(int n, const std::string& code, double precisionAsRead,
                     double tolerance = 0.001) {
    Survey survey;
    survey.header.unitCode = code;
    survey.header.unit = unitFromCode(code);
    survey.header.tolerance = tolerance;
    survey.header.aprioriPrecision = precisionToRadians(survey.header.unit, precisionAsRead);
    survey.pointCount = n;
    survey.redundancy = n - 3;
    survey.pointName.assign(static_cast<std::size_t>(n), std::string(12, ' '));
    survey.pointCoords = Matrix(n, 2);
    survey.directionReading = Matrix(n, 1);
    const double coords[4][2] = {{500, 1500}, {1500, 1500}, {500, -500}, {1500, 0}};
    for (int i = 1; i <= n; ++i) {
        const double m = i <= 4 ? coords[i - 1][0] : 500.0 + 300.0 * std::sin(i);
        const double p = i <= 4 ? coords[i - 1][1] : 500.0 + 300.0 * std::cos(i);
        survey.pointCoords(i, 1) = m;
        survey.pointCoords(i, 2) = p;
        // Readings: the azimuths less an orientation of 10 degrees.
        survey.directionReading(i) = std::atan2(m - 500.0, p - 500.0) - 10.0 * pi / 180.0;
    }
    return survey;
}

// Qll = sigma^2 (2 on the diagonal, -1 beside it); its inverse in closed form
// is min(i, j) (N - max(i, j)) / N / sigma^2 for the N - 1 angles.
TEST(AngleWeights, TridiagonalCofactorAndItsInverse) {
    for (bool dense : {true, false}) {
        for (int n : {4, 5, 9}) {
            SCOPED_TRACE(::testing::Message() << "N=" << n << (dense ? " dense" : " band"));
            const Survey survey = exampleSurvey(n, "gd", 2.0);
            const FirstPosition first = findFirstPosition(survey);
            PlanimetricAdjustment adjustment(survey, first, dense);
            const double sigma = survey.header.aprioriPrecision;
            const AngleCofactor q = adjustment.angleCofactor(sigma);
            const double s2 = sigma * sigma;
            EXPECT_NEAR(q.diagonal, 2.0 * s2, 1e-15 * s2);
            Matrix p;
            if (dense) {
                p = q.dense;
                invertMatrix(n - 1, n - 1, p);
            } else {
                EXPECT_EQ(q.above, -s2);
                EXPECT_EQ(q.below, -s2);
                p = Matrix(n - 1, n - 1);
                ASSERT_TRUE(invertTridiagonal(
                    n - 1, std::vector<double>(static_cast<std::size_t>(n - 1), q.below),
                    std::vector<double>(static_cast<std::size_t>(n), q.diagonal),
                    std::vector<double>(static_cast<std::size_t>(n - 1), q.above), p));
            }
            for (int i = 1; i < n; ++i) {
                for (int j = 1; j < n; ++j) {
                    if (dense) {
                        const double c = i == j ? 2.0 : (std::abs(i - j) == 1 ? -1.0 : 0.0);
                        EXPECT_NEAR(q.dense(i, j), c * s2, 1e-15 * s2);
                    }
                    const double w = std::min(i, j) * (n - std::max(i, j)) / (n * s2);
                    EXPECT_NEAR(p(i, j), w, 1e-12 * w);
                }
            }
        }
    }
}

TEST(AngleWeights, ZeroPrecisionIsASingularMatrix) {
    const Survey survey = exampleSurvey(4, "gs", 0.0);
    const FirstPosition first = findFirstPosition(survey);
    PlanimetricAdjustment adjustment(survey, first);
    EXPECT_THROW(adjustment.angleCofactor(0.0), SingularMatrix);
    EXPECT_THROW(adjustment.pass(0.0), SingularMatrix);
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
        const Survey survey = exampleSurvey(4, code, precision);
        std::ostringstream report;
        writeAprioriAngleLine(report, survey.header.unit,
                              aprioriAngleDeviation(survey, findFirstPosition(survey)));
        EXPECT_EQ(report.str(), expected);
    }
}

TEST(PlanimetricAdjustment, ConvergesAtOnceFromTheStation) {
    const Survey survey = exampleSurvey(4, "gd", 5.0);
    const FirstPosition first = findFirstPosition(survey);
    PlanimetricAdjustment adjustment(survey, first);
    const PlanimetricPass pass = adjustment.pass(survey.header.aprioriPrecision);
    EXPECT_EQ(pass.iterationCount, 1);
    // Only the adjusted values take the correction.
    EXPECT_EQ(pass.stationM, first.m);
    EXPECT_EQ(pass.stationP, first.p);
    EXPECT_EQ(pass.search.corrections.size(), 1u);
    EXPECT_NEAR(pass.adjustedM, 500.0, 1e-6);
    EXPECT_NEAR(pass.adjustedP, 500.0, 1e-6);
}

} // namespace
} // namespace resection
