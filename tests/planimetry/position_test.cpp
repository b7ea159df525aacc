// The angles between consecutive directions and the closed-form position.
#include "planimetry/position.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);
const double degree = pi / 180.0;

Survey withReadings(std::initializer_list<double> degrees) {
    Survey survey;
    survey.pointCount = static_cast<int>(degrees.size());
    survey.directionReading = Matrix(survey.pointCount, 1);
    int i = 1;
    for (double d : degrees) {
        survey.directionReading(i++) = d * degree;
    }
    return survey;
}

TEST(FormAngles, ConsecutiveDifferencesBroughtIntoOneCircle) {
    const Matrix angles = formAngles(withReadings({10, 50, 30}));
    EXPECT_NEAR(angles(1), 40 * degree, 1e-15);
    EXPECT_NEAR(angles(2), 340 * degree, 1e-14);

    // The last direction is not paired with the first; equal readings give 0.
    const Matrix four = formAngles(withReadings({350, 35, 35, 170}));
    EXPECT_NEAR(four(1), 45 * degree, 1e-14);
    EXPECT_EQ(four(2), 0.0);
    EXPECT_NEAR(four(3), 135 * degree, 1e-14);
}

TEST(ThreePointResection, WorkedExample) {
    const Matrix angles = formAngles(withReadings({350, 35, 170}));
    const ThreePointSolution s =
        threePointResection(500, 1500, 1500, 1500, 500, -500, angles(1), angles(2));
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
        const Matrix angles = formAngles(withReadings({350 + c, 35 + c, 170 + c}));
        const ThreePointSolution s =
            threePointResection(500, 1500, 1500, 1500, 500, -500, angles(1), angles(2));
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

Survey withPoints(const std::vector<std::array<double, 3>>& points) {
    Survey survey;
    survey.pointCount = static_cast<int>(points.size());
    survey.pointCoords = Matrix(survey.pointCount, 2);
    survey.directionReading = Matrix(survey.pointCount, 1);
    for (int i = 1; i <= survey.pointCount; ++i) {
        const auto& [m, p, reading] = points[static_cast<std::size_t>(i - 1)];
        survey.pointCoords(i, 1) = m;
        survey.pointCoords(i, 2) = p;
        survey.directionReading(i) = reading * degree;
    }
    return survey;
}

double angleFrom(const Survey& survey, int from, int to) {
    const double a = survey.directionReading(to) - survey.directionReading(from);
    return a < 0.0 ? a + 2.0 * pi : a;
}

// Points 1 and 2 in one direction from the station: (1,2,4) and (1,2,5) give
// no position either, so the position is that of (1,3,4). The readings are a
// little off, so that every set of three gives its own position.
TEST(ApproximatePosition, OtherPointsInAscendingOrder) {
    const Survey survey = withPoints({{1100, 1100, 45.0},
                                      {1200, 1200, 45.0},
                                      {900, 1300, 341.5655},
                                      {700, 800, 236.3102},
                                      {1300, 700, 135.0003}});
    const FirstPosition first = findFirstPosition(survey);
    const Matrix& c = survey.pointCoords;
    const ThreePointSolution s134 =
        threePointResection(c(1, 1), c(1, 2), c(3, 1), c(3, 2), c(4, 1), c(4, 2),
                            angleFrom(survey, 1, 3), angleFrom(survey, 3, 4));
    const ThreePointSolution s135 =
        threePointResection(c(1, 1), c(1, 2), c(3, 1), c(3, 2), c(5, 1), c(5, 2),
                            angleFrom(survey, 1, 3), angleFrom(survey, 3, 5));
    EXPECT_EQ(first.m, s134.stationM);
    EXPECT_EQ(first.p, s134.stationP);
    EXPECT_NE(first.m, s135.stationM);
    EXPECT_NEAR(first.m, 1000.0, 0.1);
    EXPECT_NEAR(first.p, 1000.0, 0.1);
}

// The plain loop over every set of three points, in ascending order: the
// choice the bounded search must keep.
UsableTriple everyTriple(const Matrix& c, const Matrix& r, int n) {
    const auto angle = [](double from, double to) {
        const double a = to - from;
        return a < 0.0 ? a + 2.0 * pi : a;
    };
    for (int i = 1; i <= n; ++i) {
        for (int j = i + 1; j <= n; ++j) {
            for (int k = j + 1; k <= n; ++k) {
                if (i == 1 && j == 2 && k == 3) {
                    continue;
                }
                const ThreePointSolution s =
                    threePointResection(c(i, 1), c(i, 2), c(j, 1), c(j, 2), c(k, 1), c(k, 2),
                                        angle(r(i), r(j)), angle(r(j), r(k)));
                if (s.finite()) {
                    return {i, j, k, s};
                }
            }
        }
    }
    return {0, 0, 0, {}};
}

enum class Layout { Random, Around, FewPlaces, OnePlace, OnCircle };
enum class Readings { Random, Exact, FewValues, AllZero, AllEqual, HalfTurns, FirstEqual };

struct TripleRow {
    Layout layout;
    Readings readings;
    int points;
};

TEST(ApproximatePosition, BoundedSearchChoosesTheTripleOfThePlainLoop) {
    const TripleRow rows[] = {
        {Layout::Random, Readings::Random, 12},       {Layout::Around, Readings::Exact, 12},
        {Layout::Around, Readings::FirstEqual, 25},   {Layout::Around, Readings::AllZero, 25},
        {Layout::Around, Readings::AllEqual, 25},     {Layout::Around, Readings::HalfTurns, 25},
        {Layout::Around, Readings::FewValues, 25},    {Layout::FewPlaces, Readings::Exact, 25},
        {Layout::FewPlaces, Readings::Random, 25},    {Layout::FewPlaces, Readings::FewValues, 25},
        {Layout::OnePlace, Readings::Random, 25},     {Layout::OnePlace, Readings::FewValues, 25},
        {Layout::OnCircle, Readings::Exact, 25},      {Layout::OnCircle, Readings::FewValues, 25},
        {Layout::FewPlaces, Readings::FirstEqual, 40}};
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int found = 0, none = 0;
    for (const TripleRow& row : rows) {
        for (int repeat = 0; repeat < 20; ++repeat) {
            SCOPED_TRACE(::testing::Message() << static_cast<int>(row.layout) << " "
                                              << static_cast<int>(row.readings) << " " << repeat);
            const int n = row.points;
            Matrix c(n, 2), r(n, 1);
            const double m0 = 1000.0, p0 = 2000.0; // the station
            const double places[4][2] = {{1500, 2000}, {1000, 1000}, {1500, 2000}, {300, 2500}};
            for (int i = 1; i <= n; ++i) {
                const double az = 2.0 * pi * unit(rng);
                switch (row.layout) {
                case Layout::Random:
                    c(i, 1) = 5000.0 * unit(rng);
                    c(i, 2) = 5000.0 * unit(rng);
                    break;
                case Layout::Around:
                    c(i, 1) = m0 + (100.0 + 900.0 * unit(rng)) * std::sin(az);
                    c(i, 2) = p0 + (100.0 + 900.0 * unit(rng)) * std::cos(az);
                    break;
                case Layout::FewPlaces: {
                    const auto& place = places[rng() % 4];
                    c(i, 1) = place[0];
                    c(i, 2) = place[1];
                    break;
                }
                case Layout::OnePlace:
                    c(i, 1) = 1234.5;
                    c(i, 2) = 2345.5;
                    break;
                case Layout::OnCircle: // the circle through the station
                    c(i, 1) = m0 + 500.0 + 500.0 * std::sin(az);
                    c(i, 2) = p0 + 500.0 * std::cos(az);
                    break;
                }
                const double exact = std::atan2(c(i, 1) - m0, c(i, 2) - p0);
                const double few[] = {0.0, pi / 2, pi, 1.0};
                switch (row.readings) {
                case Readings::Random:
                    r(i) = 2.0 * pi * unit(rng);
                    break;
                case Readings::Exact:
                    r(i) = exact < 0.0 ? exact + 2.0 * pi : exact;
                    break;
                case Readings::FewValues:
                    r(i) = few[rng() % 4];
                    break;
                case Readings::AllZero:
                    r(i) = 0.0;
                    break;
                case Readings::AllEqual:
                    r(i) = 0.7;
                    break;
                case Readings::HalfTurns:
                    r(i) = 0.7 + pi * static_cast<double>(rng() % 2);
                    break;
                case Readings::FirstEqual: // usable only from point n - 2 on
                    r(i) = i <= n - 3 ? 1.1 : 2.0 * pi * unit(rng);
                    break;
                }
            }
            const UsableTriple plain = everyTriple(c, r, n);
            const UsableTriple bounded = firstUsableTriple(c, r, n, true);
            ASSERT_EQ(bounded.i, plain.i);
            if (plain.i == 0) {
                ++none;
                continue;
            }
            ++found;
            EXPECT_EQ(bounded.j, plain.j);
            EXPECT_EQ(bounded.k, plain.k);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(bounded.solution.stationM),
                      std::bit_cast<std::uint64_t>(plain.solution.stationM));
            EXPECT_EQ(std::bit_cast<std::uint64_t>(bounded.solution.stationP),
                      std::bit_cast<std::uint64_t>(plain.solution.stationP));
        }
    }
    // Both outcomes are covered.
    EXPECT_GE(found, 60);
    EXPECT_GE(none, 60);
}

} // namespace
} // namespace resection
