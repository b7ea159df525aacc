// Properties of whole planimetric computations: the readings are made up in
// the test from a chosen station (atan2 of the coordinate differences), so
// the station that should come out is known.
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "planimetry/planimetric_search.hpp"
#include "report/messages.hpp"
#include "support/run_harness.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);

struct Point {
    const char* name;
    double m, p;
};

const Point survey[] = {{"P1", 42614.167, 272393.381},
                        {"P2", 40769.468, 274015.507},
                        {"P3", 41834.463, 275099.026},
                        {"P4", 43509.962, 274868.716},
                        {"P5", 44001.250, 276002.500}};
const double stationM = 42026.851, stationP = 274416.621;

// One reading in the unit of the code, from a direction in degrees.
std::string reading(const std::string& code, double degrees) {
    char text[96];
    if (code == "gs") {
        const double d = std::floor(degrees);
        const double minutes = (degrees - d) * 60.0;
        const double m = std::floor(minutes);
        std::snprintf(text, sizeof text, "%.0f %.0f %.10f", d, m, (minutes - m) * 60.0);
    } else if (code == "gr") {
        std::snprintf(text, sizeof text, "%.13f", degrees * 400.0 / 360.0);
    } else {
        std::snprintf(text, sizeof text, "%.13f", degrees);
    }
    return text;
}

// The planimetric section for a station at (m0, p0): the readings are the
// azimuths minus the orientation of the circle, plus noise in seconds.
std::string section(const std::string& code, const std::string& precision,
                    const std::vector<Point>& points, double m0, double p0,
                    double orientation = 37.123, const std::vector<double>& noise = {}) {
    std::string text =
        code + " 0.001 " + precision + "\nEST1\n" + std::to_string(points.size()) + "\n";
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point& pt = points[i];
        double direction = std::atan2(pt.m - m0, pt.p - p0) * 180.0 / pi - orientation;
        if (i < noise.size()) {
            direction += noise[i] / 3600.0;
        }
        direction = std::fmod(direction + 720.0, 360.0);
        char coords[64];
        std::snprintf(coords, sizeof coords, " %.3f %.3f ", pt.m, pt.p);
        text += std::string(pt.name) + coords + reading(code, direction) + "\n";
    }
    return text;
}

struct Adjusted {
    double m, p;
};

// Reading of the section and the precision search, as a run does them.
Adjusted adjust(const std::string& content) {
    std::istringstream text(content);
    RecordReader reader(text, "in");
    const Survey read = readPlanimetricSection(reader).survey;
    const PlanimetricSearch search = searchDirectionPrecision(read, findFirstPosition(read));
    return {search.last.adjustedM, search.last.adjustedP};
}

std::vector<Point> first(std::size_t n) {
    return std::vector<Point>(std::begin(survey), std::begin(survey) + n);
}

TEST(ResectionRun, ExactReadingsReturnTheStation) {
    for (const char* code : {"gd", "gs", "gr"}) {
        for (std::size_t n : {4u, 5u}) {
            SCOPED_TRACE(::testing::Message() << code << " N=" << n);
            const Adjusted a = adjust(section(code, "1", first(n), stationM, stationP));
            EXPECT_NEAR(a.m, stationM, 1e-5);
            EXPECT_NEAR(a.p, stationP, 1e-5);
        }
    }
}

const std::vector<double> noise = {2.1, -3.4, 1.6, -0.9, 2.7};

TEST(ResectionRun, SameStationInEveryUnit) {
    const Adjusted gd = adjust(section("gd", "2", first(5), stationM, stationP, 37.123, noise));
    // The noise moves the station by centimetres, not by millimetres only.
    EXPECT_GT(std::hypot(gd.m - stationM, gd.p - stationP), 0.005);
    for (const char* code : {"gs", "gr"}) {
        SCOPED_TRACE(code);
        const Adjusted a = adjust(section(code, "2", first(5), stationM, stationP, 37.123, noise));
        EXPECT_NEAR(a.m, gd.m, 1e-6);
        EXPECT_NEAR(a.p, gd.p, 1e-6);
    }
}

TEST(ResectionRun, AdjustedStationDoesNotDependOnTheAprioriPrecision) {
    const Adjusted base = adjust(section("gd", "2", first(5), stationM, stationP, 37.123, noise));
    for (const char* precision : {"0.3", "1", "5", "20", "100"}) {
        SCOPED_TRACE(precision);
        const Adjusted a =
            adjust(section("gd", precision, first(5), stationM, stationP, 37.123, noise));
        EXPECT_NEAR(a.m, base.m, 1e-6);
        EXPECT_NEAR(a.p, base.p, 1e-6);
    }
}

Adjusted adjustOrFail(const std::string& content) {
    try {
        return adjust(content);
    } catch (const Stop& stop) {
        ADD_FAILURE() << stopMessage(stop);
    }
    return {};
}

// The first three points give no closed-form position when the station is in
// line with two of them on one side (an angle of 0); another set of three is
// taken, in ascending order, here (1,3,4) after (1,2,4) and (1,2,5) failed.
TEST(ResectionRun, StationInLineWithTheFirstPoints) {
    const double m0 = 1000.0, p0 = 1000.0;
    const std::vector<Point> firstTwoInLine = {
        {"A", 1100, 1100}, {"B", 1200, 1200}, {"C", 900, 1300}, {"D", 700, 800}, {"E", 1300, 700}};
    const std::vector<Point> lastTwoInLine = {
        {"A", 1100, 1300}, {"B", 1200, 1200}, {"C", 1400, 1400}, {"D", 700, 800}};
    for (const auto* points : {&firstTwoInLine, &lastTwoInLine}) {
        for (double orientation : {0.0, 37.123}) {
            SCOPED_TRACE(::testing::Message() << (*points)[0].p << " " << orientation);
            const Adjusted a = adjustOrFail(section("gd", "1", *points, m0, p0, orientation));
            EXPECT_NEAR(a.m, m0, 1e-5);
            EXPECT_NEAR(a.p, p0, 1e-5);
        }
    }
}

// The station between points 1 and 2 (an angle of 180 degrees): the tangent
// of the angle is about -1.2e-16 rather than 0, which once gave a finite but
// meaningless first position, (682.67, 682.67) for the station (1000, 1000),
// from which the iteration ran off to 1e21 m and ended with "Matriz
// singular!". Such an angle now counts as in line, and another set of three
// points is taken.
TEST(ResectionRun, StationBetweenTheFirstTwoPoints) {
    const std::vector<Point> points = {
        {"A", 1100, 1100}, {"B", 900, 900}, {"C", 900, 1300}, {"D", 700, 800}, {"E", 1300, 700}};
    const Adjusted a = adjustOrFail(section("gd", "1", points, 1000.0, 1000.0, 0.0));
    EXPECT_NEAR(a.m, 1000.0, 1e-5);
    EXPECT_NEAR(a.p, 1000.0, 1e-5);
}

// The worked example of three points, whose closed-form position comes out as
// (500.00000000000034, 500.00000000000142), with a fourth point there.
std::string exampleWithPointAt(const std::string& coordinates) {
    return "gd 0.001 5\nE1\n4\nA 500 1500 350\nB 1500 1500 35\nC 500 -500 170\nMARCO " +
           coordinates + " 0\n";
}

// A station that falls on a sighted point ends the run with a message that
// names the point.
TEST(ResectionRun, StationOnASightedPoint) {
    const testing::RunResult r = testing::runInProcess(
        {{"in", exampleWithPointAt("500.00000000000034 500.00000000000142")}}, "in\nout\nN\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.console.find("MARCO"), std::string::npos) << r.console;
    EXPECT_EQ(r.files.at("out").find("Numero de iteracoes"), std::string::npos);
}

// The same point 1.4e-12 m from the closed-form position: when only exact
// coincidence was caught, the iteration went on with coefficients of 1e11 and
// more, ran off to 1e25 m in the fifth pass and ended with "Matriz singular!",
// which names no point.
TEST(ResectionRun, StationWithinRoundingOfASightedPoint) {
    const testing::RunResult r =
        testing::runInProcess({{"in", exampleWithPointAt("500 500")}}, "in\nout\nN\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.console.find("MARCO"), std::string::npos) << r.console;
}

} // namespace
} // namespace resection
