// Readings and precisions to radians and back.
#include "angles/units.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);

TEST(AngleUnits, SexagesimalReadings) {
    struct Row {
        double degrees, minutes, seconds, expectedDegrees;
    };
    const Row rows[] = {
        {45, 30, 0, 45.5}, {10, 59, 60, 11.0}, {-10, 30, 0, -9.5}, {0, 0, 36, 0.01},
        {0, 90, 0, 1.5},   {359, 59, 60, 360}, {0, 0, 0, 0.0},     {-1, -30, 0, -1.5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << row.degrees << " " << row.minutes << " " << row.seconds);
        EXPECT_DOUBLE_EQ(sexagesimalToDegrees(row.degrees, row.minutes, row.seconds),
                         row.expectedDegrees);
        EXPECT_DOUBLE_EQ(toRadians(AngleUnit::Sexagesimal, row.degrees, row.minutes, row.seconds),
                         row.expectedDegrees / 180.0 * pi);
    }
}

TEST(AngleUnits, DecimalDegreesAndGrads) {
    EXPECT_EQ(toRadians(AngleUnit::Grads, 100.0), pi / 2.0); // exactly, in double precision
    EXPECT_EQ(toRadians(AngleUnit::Grads, 200.0), pi);
    EXPECT_EQ(toRadians(AngleUnit::DecimalDegrees, 180.0), pi);
    EXPECT_EQ(toRadians(AngleUnit::DecimalDegrees, 90.0), pi / 2.0);
    EXPECT_DOUBLE_EQ(toRadians(AngleUnit::DecimalDegrees, 400.0),
                     2.0 * pi + 2.0 * pi / 9.0); // not reduced
    EXPECT_DOUBLE_EQ(toRadians(AngleUnit::Grads, 450.0), 2.0 * pi + pi / 4.0);
    EXPECT_DOUBLE_EQ(toRadians(AngleUnit::DecimalDegrees, -30.0), -pi / 6.0);
}

TEST(AngleUnits, CodesAreComparedExactly) {
    EXPECT_EQ(unitFromCode("gd"), AngleUnit::DecimalDegrees);
    EXPECT_EQ(unitFromCode("gs"), AngleUnit::Sexagesimal);
    EXPECT_EQ(unitFromCode("gr"), AngleUnit::Grads);
    for (const char* code : {"GD", "GS", "Gr", "g ", "g", "gs ", " gs", ""}) {
        EXPECT_EQ(unitFromCode(code), AngleUnit::Unknown) << code;
        EXPECT_FALSE(precisionInSeconds(unitFromCode(code))) << code;
        // Counted as mgon.
        EXPECT_DOUBLE_EQ(precisionToRadians(unitFromCode(code), 1.0), pi / 200000.0) << code;
    }
    EXPECT_TRUE(precisionInSeconds(AngleUnit::DecimalDegrees));
    EXPECT_TRUE(precisionInSeconds(AngleUnit::Sexagesimal));
    EXPECT_FALSE(precisionInSeconds(AngleUnit::Grads));
}

TEST(AngleUnits, PrecisionsRoundTrip) {
    struct Row {
        const char* code;
        double asRead, radians;
    };
    const Row rows[] = {
        {"gd", 5.0, 5.0 * pi / 648000.0},          {"gs", 5.0, 5.0 * pi / 648000.0},
        {"gs", 0.6, 0.6 / 206264.80624709636},     {"gr", 1.5, 1.5 * pi / 200000.0},
        {"gr", 150.0, 150.0 / 63661.977236758134}, {"GS", 2.0, 2.0 * pi / 200000.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.code << " " << row.asRead);
        const AngleUnit unit = unitFromCode(row.code);
        const double radians = precisionToRadians(unit, row.asRead);
        EXPECT_DOUBLE_EQ(radians, row.radians);
        EXPECT_NEAR(precisionFromRadians(unit, radians), row.asRead, 1e-12 * row.asRead);
    }
}

} // namespace
} // namespace resection
