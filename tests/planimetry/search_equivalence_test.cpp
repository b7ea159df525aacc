// The precision search that skips the passes whose verdict it can predict,
// against the reference that computes every pass: whole runs, report and
// console byte for byte, on the walks where the prediction is stretched
// hardest.
#include "altimetry/height.hpp"
#include "angles/units.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "input/zenith_section.hpp"
#include "planimetry/planimetric_search.hpp"
#include "support/run_harness.hpp"
#include "support/survey_input.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <sstream>
#include <string>

namespace resection::testing {
namespace {

enum class Kind {
    GrossDirection,
    GrossZenith,
    FarAbove,
    FarBelow,
    Large,
    NearCircle,
};

struct Case {
    Kind kind;
    const char* code;
};

const char* kindName(Kind kind) {
    switch (kind) {
    case Kind::GrossDirection:
        return "GrossDirection";
    case Kind::GrossZenith:
        return "GrossZenith";
    case Kind::FarAbove:
        return "FarAbove";
    case Kind::FarBelow:
        return "FarBelow";
    case Kind::Large:
        return "Large";
    case Kind::NearCircle:
        return "NearCircle";
    }
    return "";
}

void PrintTo(const Case& c, std::ostream* os) {
    *os << kindName(c.kind) << " " << c.code;
}

class SearchEquivalence : public ::testing::TestWithParam<Case> {};

TEST_P(SearchEquivalence, SkippingPassesGivesTheReportOfComputingEveryPass) {
    const Case c = GetParam();
    std::mt19937_64 rng(1000 + 10 * static_cast<unsigned>(c.kind) + c.code[1]);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // Precisions of "gr" are in mgon: 1" is about 0.3 mgon.
    const double perSecond = std::string(c.code) == "gr" ? 0.3086 : 1.0;
    int complete = 0;
    for (int repeat = 0; repeat < 3; ++repeat) {
        MadeUpSurvey s;
        s.code = c.code;
        s.noiseSeconds = 0.5 + 2.0 * unit(rng);
        s.points = 4 + static_cast<int>(10.0 * unit(rng));
        s.zenithCount = 2 + static_cast<int>(10.0 * unit(rng));
        s.apriori = (0.3 + 5.0 * unit(rng)) * perSecond;
        // One arc-minute to 20 degrees, evenly in the logarithm.
        const double gross = 60.0 * std::pow(1200.0, unit(rng));
        switch (c.kind) {
        case Kind::GrossDirection:
            s.grossDirection = 1 + static_cast<int>(unit(rng) * s.points);
            s.grossSeconds = gross;
            break;
        case Kind::GrossZenith:
            s.grossZenith = 1 + static_cast<int>(unit(rng) * s.zenithCount);
            s.grossSeconds = gross;
            break;
        case Kind::FarAbove:
            s.points = 4 + static_cast<int>(36.0 * unit(rng));
            s.apriori = s.noiseSeconds * (100.0 + 900.0 * unit(rng)) * perSecond;
            break;
        case Kind::FarBelow:
            s.apriori = s.noiseSeconds * (0.0005 + 0.005 * unit(rng)) * perSecond;
            break;
        case Kind::Large:
            // Every pass of the reference costs N^2: a short walk, with a
            // reading off by a minute or so.
            s.points = 100 + static_cast<int>(200.0 * unit(rng));
            s.apriori = (s.noiseSeconds + 3.0 * (unit(rng) - 0.5)) * perSecond;
            s.grossDirection = repeat == 0 ? 7 : 0;
            s.grossSeconds = 30.0 + 60.0 * unit(rng);
            break;
        case Kind::NearCircle:
            s.onCircle = true;
            s.insideCircle = 0.5 + 20.0 * unit(rng);
            s.points = 4 + static_cast<int>(16.0 * unit(rng));
            break;
        }
        const std::string input = surveyInput(rng, s);
        SCOPED_TRACE(input.substr(0, input.find('\n', input.find('\n', 20) + 1)));
        SearchCounts position, height;
        RunOptions fastOptions;
        fastOptions.positionSearch = &position;
        fastOptions.heightSearch = &height;
        const RunResult fast = runInProcess({{"in", input}}, "in\nout\nS\n", {}, fastOptions);
        RunOptions reference;
        reference.passByPassSearch = true;
        const RunResult all = runInProcess({{"in", input}}, "in\nout\nS\n", {}, reference);
        EXPECT_EQ(fast.status, all.status);
        EXPECT_EQ(fast.console, all.console);
        ASSERT_EQ(fast.files.count("out"), 1u);
        EXPECT_TRUE(fast.files.at("out") == all.files.at("out"));
        // A reading 20 degrees off can keep the iteration from converging;
        // the comparison covers the results only when the run gets there.
        if (fast.files.at("out").find("Precisao dos angulos zenitais ajustados:") !=
            std::string::npos) {
            ++complete;
        }
        if (c.kind != Kind::NearCircle) {
            // Only the passes near the critical value and the last one are
            // computed, however long the walk.
            EXPECT_LE(position.passesComputed, 6) << position.passesWalked;
            EXPECT_LE(height.passesComputed, 6) << height.passesWalked;
        }
    }
    EXPECT_GE(complete, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Walks, SearchEquivalence,
    ::testing::Values(Case{Kind::GrossDirection, "gd"}, Case{Kind::GrossDirection, "gs"},
                      Case{Kind::GrossDirection, "gr"}, Case{Kind::GrossZenith, "gd"},
                      Case{Kind::GrossZenith, "gs"}, Case{Kind::GrossZenith, "gr"},
                      Case{Kind::FarAbove, "gd"}, Case{Kind::FarAbove, "gs"},
                      Case{Kind::FarAbove, "gr"}, Case{Kind::FarBelow, "gd"},
                      Case{Kind::FarBelow, "gs"}, Case{Kind::FarBelow, "gr"},
                      Case{Kind::Large, "gd"}, Case{Kind::Large, "gs"}, Case{Kind::Large, "gr"},
                      Case{Kind::NearCircle, "gd"}, Case{Kind::NearCircle, "gs"},
                      Case{Kind::NearCircle, "gr"}),
    [](const ::testing::TestParamInfo<Case>& walk) {
        return std::string(kindName(walk.param.kind)) + "_" + walk.param.code;
    });

// The corrections the iterations of the first passes compare with the
// tolerance: at the a priori precision and one step either side, for the
// position and then, from the position's search, for the height.
std::set<double> firstCorrections(const std::string& input, bool height, double& coordinateUnit) {
    std::istringstream in(input);
    RecordReader reader(in, "in");
    const Survey survey = readPlanimetricSection(reader).survey;
    const FirstPosition first = findFirstPosition(survey);
    PlanimetricAdjustment adjustment(survey, first);
    const double apriori = survey.header.aprioriPrecision;
    const double step = precisionStep(survey.header.unit);
    std::set<double> corrections;
    for (double sigma : {apriori, apriori - step, apriori + step}) {
        const PassOutcome outcome = adjustment.pass(sigma).search;
        corrections.insert(outcome.corrections.begin(), outcome.corrections.end());
    }
    coordinateUnit = std::nextafter(std::fabs(first.m), INFINITY) - std::fabs(first.m);
    if (!height) {
        return corrections;
    }
    const PlanimetricSearch position = searchDirectionPrecision(survey, first);
    const ZenithSection zenith = readZenithSection(reader, survey.header);
    HeightAdjustment heights(zenith, survey.header.tolerance, position.last.stationM,
                             position.last.stationP);
    for (double sigma : {apriori, apriori - step, apriori + step}) {
        const PassOutcome outcome = heights.pass(sigma).search;
        corrections.insert(outcome.corrections.begin(), outcome.corrections.end());
    }
    return corrections;
}

// Tolerances on the knife edge of a convergence decision: at each correction
// of the first passes and one unit in the last place either side, and at a
// few units of the rounding of the station's coordinates, where corrections
// stagnate or wander. The search that skips passes prints what computing
// every pass prints, or, where that would cost more than its work limit,
// says so and stops.
TEST(ToleranceKnifeEdges, TheSearchPrintsWhatComputingEveryPassPrints) {
    struct Network {
        const char* code;
        int points;
        double apriori;
        int grossDirection;
        double grossSeconds;
        double insideCircle = 0.0; // the station near the danger circle
    };
    const Network networks[] = {
        // Long walks, so that most passes are not computed: down from far
        // above the noise of about 1", and up towards a gross error.
        {"gd", 4, 30.0, 0, 0.0},
        {"gr", 4, 90.0, 0, 0.0},
        {"gs", 5, 25.0, 0, 0.0},
        {"gd", 7, 2.0, 3, 600.0},
        {"gr", 9, 0.5, 1, 300.0},
        {"gs", 12, 40.0, 0, 0.0},
        {"gd", 6, 1.0, 2, 300.0},
        {"gr", 4, 0.01, 4, 200.0},
        // A weak geometry magnifies the rounding of the misclosures.
        {"gr", 4, 30.0, 0, 0.0, 20.0},
        {"gd", 5, 20.0, 0, 0.0, 5.0},
        {"gs", 6, 0.05, 0, 0.0, 2.0},
    };
    std::mt19937_64 rng(2612);
    // Each input with the tolerance a campaign found on its knife edge (0:
    // none beyond the generated ones).
    std::vector<std::pair<std::string, double>> inputs;
    for (const Network& n : networks) {
        MadeUpSurvey s;
        s.code = n.code;
        s.points = n.points;
        s.apriori = n.apriori;
        s.noiseSeconds = 1.0;
        s.zenithCount = 4;
        s.grossDirection = n.grossDirection;
        s.grossSeconds = n.grossSeconds;
        s.onCircle = n.insideCircle > 0.0;
        s.insideCircle = n.insideCircle;
        inputs.emplace_back(surveyInput(rng, s), 0.0);
    }
    // Found by a campaign of knife-edge tolerances: small coordinates and
    // long sights whose corrections wander at some 1e-11 m; coordinates of
    // millions of metres whose station stops moving (corrections below half a
    // unit in the last place); a gross error whose first correction of 10 m
    // sits on the tolerance (a walk up of 1,300 passes from 8700 mgon).
    inputs.emplace_back("gr 0.001 10.0\nEST\n4\nP1 1305.220 1734.567 192.66705744\n"
                        "P2 -139.570 4914.857 11.32552265\nP3 -295.990 5603.950 13.34365113\n"
                        "P4 209.682 6599.570 24.68036765\n",
                        1e-11);
    inputs.emplace_back("gs 0.001 0.001\nEST\n4\nP1 300815.435 4514196.379 69 49 45.16430\n"
                        "P2 309652.993 4496176.071 178 8 44.00355\n"
                        "P3 304020.756 4482725.581 233 20 29.00458\n"
                        "P4 295370.187 4502310.993 2 55 56.05600\n",
                        2.3831341471785944e-10);
    inputs.emplace_back("gr 0.001 7.55\nEST1\n4\nP1 40221.515 104733.548 381.5420\n"
                        "P2 39237.308 104293.653 82.0756\nP3 39548.755 105572.938 172.4270\n"
                        "P4 40147.956 105451.595 215.9443\n",
                        6.30387228536841e-12);
    inputs.emplace_back("gr 0.001 8700\nEST\n4\nP1 1059 2041 389.51638960\n"
                        "P2 1064 1906 161.77753165\nP3 925 1929 293.61120562\n"
                        "P4 937 1991 345.19148287\n",
                        10.464202413006985);
    int tolerances = 0, refused = 0, stopped = 0;
    for (const auto& [input, campaignTolerance] : inputs) {
        // The generated surveys have a zenith section, the others do not.
        const bool height = input.find("Z1 ") != std::string::npos;
        const std::string answers = height ? "in\nout\nS\n" : "in\nout\nN\n";
        double unit = 0.0;
        const std::set<double> corrections = firstCorrections(input, height, unit);
        std::set<double> edges;
        for (double c : corrections) {
            if (c > 0.0 && std::isfinite(c)) {
                edges.insert({std::nextafter(c, 0.0), c, std::nextafter(c, INFINITY)});
            }
        }
        for (double k : {0.5, 1.0, 2.0, 4.0}) {
            edges.insert(k * unit);
        }
        if (campaignTolerance > 0.0) {
            edges.insert(campaignTolerance);
        }
        // Just above the smallest corrections: where the iteration has
        // reached the rounding of the coordinates and its corrections wander.
        const double smallest = *corrections.upper_bound(0.0);
        for (double k : {1.02, 1.1, 1.3, 1.6, 2.0, 3.0, 5.0}) {
            edges.insert(k * smallest);
        }
        for (double tolerance : edges) {
            char text[40];
            std::snprintf(text, sizeof text, "%.17g", tolerance);
            std::string knife = input;
            const std::size_t from = knife.find(' ') + 1;
            knife.replace(from, knife.find(' ', from) - from, text);
            SCOPED_TRACE(knife.substr(0, knife.find('\n')));
            const RunResult fast = runInProcess({{"in", knife}}, answers);
            RunOptions reference;
            reference.passByPassSearch = true;
            SearchCounts positionCounts, heightCounts;
            reference.positionSearch = &positionCounts;
            reference.heightSearch = &heightCounts;
            const RunResult all = runInProcess({{"in", knife}}, answers, {}, reference);
            ++tolerances;
            if (fast.status == exitBadInput && all.status == exitOrderly) {
                // Refused: only a walk that costs more than the limit.
                ++refused;
                EXPECT_NE(fast.console.find("Pesquisa da precisao interrompida"),
                          std::string::npos);
                EXPECT_GT(positionCounts.work + heightCounts.work, everyPassWorkLimit / 2.0);
                EXPECT_EQ(all.files.at("out").rfind(fast.files.at("out"), 0), 0u);
                continue;
            }
            stopped += all.console.find("nao convergente") != std::string::npos;
            EXPECT_EQ(fast.status, all.status);
            EXPECT_EQ(fast.console, all.console);
            EXPECT_TRUE(fast.files.at("out") == all.files.at("out"));
        }
    }
    // Most edges end in a report or a stop of the reference, few in a refusal.
    EXPECT_GT(tolerances, 200);
    EXPECT_GT(stopped, 10);
    EXPECT_LT(refused, tolerances / 10);
    std::printf("%d tolerances, %d stopped without convergence, %d refused\n", tolerances, stopped,
                refused);
}

} // namespace
} // namespace resection::testing
