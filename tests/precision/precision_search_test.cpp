// The precision walk's jumps against one rounding at a time, and the search
// that skips passes against the search that computes them all, on passes
// whose statistic strays from 1 / sigma^2 by chosen amounts.
#include "precision/chi_square.hpp"
#include "precision/precision_search.hpp"
#include "precision/precision_walk.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace resection {
namespace {

using Direction = PrecisionWalk::Direction;

TEST(PrecisionWalk, JumpsAreExactlyTheRoundingsOneAtATime) {
    const double second = 4.0 * std::atan(1.0) * 2.777777777777778e-05 / 180.0;
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    struct Row {
        double start, step;
        std::int64_t count;
    };
    std::vector<Row> rows = {
        {1000.0 * 10 * second, second, 20000}, // down through zero
        {-37.3 * 10 * second, second, 60000},  // up through zero and on
        {1e6 * 10 * second, second, 200000},   // long stretches in one binade
        {1.0, 0x1p-53 * 3.0, 100000},          // step of 1.5 units: ties to even
        {0x1p30, 0x1p-22 * 1.5, 100000},       // ties again, far from 1
        {1.0 + 0x1p-52, 0x1p-53, 10},          // a step of half a unit: ties
    };
    for (int c = 0; c < 40; ++c) {
        const double start = std::ldexp(unit(rng) - 0.3, static_cast<int>(rng() % 40) - 20);
        rows.push_back(
            {start, second * (0.5 + unit(rng)), 1 + static_cast<std::int64_t>(rng() % 300000)});
    }
    for (const Row& row : rows) {
        for (Direction direction : {Direction::Down, Direction::Up}) {
            SCOPED_TRACE(::testing::Message() << row.start << " " << row.step << " " << row.count
                                              << (direction == Direction::Down ? " down" : " up"));
            PrecisionWalk one(row.start, row.step);
            std::int64_t taken = 0;
            for (; taken < row.count; ++taken) {
                const double before = one.value();
                one.advance(direction);
                if (one.value() == before) {
                    break; // the step no longer changes the value
                }
            }
            PrecisionWalk jump(row.start, row.step);
            EXPECT_EQ(jump.advanceBy(direction, row.count), taken == row.count);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(jump.value()),
                      std::bit_cast<std::uint64_t>(one.value()));
            // The last value on this side of a threshold, and no further.
            const double threshold = one.value();
            PrecisionWalk upTo(row.start, row.step);
            ASSERT_TRUE(upTo.advanceWhileNextWithin(direction, threshold) || taken < row.count);
            if (taken == row.count) {
                const double next = upTo.next(direction);
                EXPECT_TRUE(direction == Direction::Down
                                ? upTo.value() >= threshold && next < threshold
                                : upTo.value() <= threshold && next > threshold);
            }
        }
    }
}

TEST(PrecisionWalk, StopsWhereTheStepIsLost) {
    PrecisionWalk walk(1e20, 1e-6);
    EXPECT_FALSE(walk.advanceBy(Direction::Down, 5));
    EXPECT_EQ(walk.value(), 1e20);
    PrecisionWalk up(1.0, 1e-6);
    EXPECT_FALSE(up.advanceWhileNextWithin(Direction::Up, INFINITY));
    EXPECT_EQ(up.next(Direction::Up), up.value());
}

// A pass whose statistic is T0 (sigma0 / sigma)^2 times (1 + noise), the
// noise a fixed function of sigma, and whose iteration makes 'solutions'
// decisions, the last at 'closeness' from the tolerance; each costs a
// microsecond.
struct FakePass {
    double t0, sigma0, noise, closeness;
    int degrees = 5;
    std::vector<double>* computed;
    int solutions = 3;
    double tolerance = 0.001;
    PassOutcome operator()(double sigma) const {
        computed->push_back(sigma);
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(sigma) * 0x9E3779B97F4A7C15ULL;
        const double wobble = (static_cast<double>(bits >> 11) * 0x1p-53 - 0.5) * 2.0;
        PassOutcome outcome;
        const double ratio = sigma0 / sigma;
        outcome.statistic = t0 * ratio * ratio * (1.0 + noise * wobble);
        outcome.verdict = chiSquareVerdict(outcome.statistic, degrees);
        outcome.corrections.assign(static_cast<std::size_t>(solutions - 1), 2.5);
        outcome.corrections.push_back(tolerance - closeness * (1.0 + noise * wobble));
        outcome.closestDecision = tolerance - outcome.corrections.back();
        outcome.work = 1e-6;
        return outcome;
    }
};

TEST(PrecisionSearch, SkippingPassesGivesTheResultOfComputingThemAll) {
    const double step = 4.0 * std::atan(1.0) * 2.777777777777778e-05 / 180.0; // 0.1"
    struct Row {
        double apriori, truth; // seconds: the walk starts at one and ends near the other
        double noise, closeness;
        bool skips; // whether passes may be skipped
        int solutions = 3;
        double tolerance = 0.001;
    };
    const Row rows[] = {
        {1.5, 900.0, 0.0, 1e-4, true}, // an upward walk of 9000 passes
        {1.5, 900.0, 1e-13, 1e-4, true},
        {4000.0, 2.0, 1e-11, 1e-4, true}, // down
        {-2.0, 3.7, 1e-12, 1e-4, true},   // up through zero
        {0.15, 0.0, 0.0, 1e-4, true},     // exact readings: down to the floor
        {1.5, 9.0, 1e-5, 1e-4, true},     // a wide margin, still skipping
        // A decision within rounding of the tolerance: a pass not computed
        // may take it the other way, at any tolerance.
        {1.5, 90.0, 1e-13, 1e-15, false},
        {1.5, 90.0, 1e-13, 1e-15, false, 3, 1e-9},
        {1.5, 90.0, 1e-13, 1e-15, false, 9, 1e-9},
        {1.5, 90.0, 1e-13, 1e-4, true, 9},
        {1.5, 90.0, 0.3, 1e-4, false}, // statistics that do not follow 1 / sigma^2
    };
    const double critical = chiSquare95(5);
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.apriori << " " << row.truth << " " << row.noise);
        std::vector<double> fastPasses, allPasses;
        const double sigma0 = row.apriori * 10.0 * step;
        // The statistic at the a priori precision that puts the critical
        // value at the chosen truth.
        const double t0 = critical * (row.truth / row.apriori) * (row.truth / row.apriori);
        SearchSettings settings{sigma0, step, false};
        const SearchResult fast =
            searchPrecision(FakePass{t0, sigma0, row.noise, row.closeness, 5, &fastPasses,
                                     row.solutions, row.tolerance},
                            settings, critical);
        settings.passByPass = true;
        const SearchResult all = searchPrecision(FakePass{t0, sigma0, row.noise, row.closeness, 5,
                                                          &allPasses, row.solutions, row.tolerance},
                                                 settings, critical);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(fast.precision),
                  std::bit_cast<std::uint64_t>(all.precision));
        ASSERT_FALSE(fastPasses.empty());
        // The last pass computed is the last pass of the walk.
        EXPECT_EQ(std::bit_cast<std::uint64_t>(fastPasses.back()),
                  std::bit_cast<std::uint64_t>(allPasses.back()));
        EXPECT_EQ(fast.counts.passesWalked, all.counts.passesWalked);
        EXPECT_EQ(all.counts.passesComputed, static_cast<std::int64_t>(allPasses.size()));
        if (row.skips) {
            EXPECT_LE(fast.counts.passesComputed, 6);
        } else {
            EXPECT_GE(fast.counts.passesComputed, all.counts.passesComputed);
        }
    }
}

// A decision within rounding of the tolerance: every pass is computed where
// that costs at most the work limit, with the reference's result; a walk
// whose estimate exceeds it stops at once, saying what it would cost.
TEST(PrecisionSearch, UnresolvedToleranceComputesEveryPassWithinTheWorkLimit) {
    const double step = 4.0 * std::atan(1.0) * 2.777777777777778e-05 / 180.0;
    const double critical = chiSquare95(5);
    const double sigma0 = 15.0 * step;
    const double t0 = critical * 3600.0; // the walk ends near 90": 885 passes
    std::vector<double> passes;
    SearchSettings settings{sigma0, step, false};
    settings.workLimit = 1e-4; // a hundred passes of a microsecond
    const FakePass pass{t0, sigma0, 1e-13, 1e-15, 5, &passes, 9, 1e-9};
    try {
        searchPrecision(pass, settings, critical);
        ADD_FAILURE() << "the search ended";
    } catch (const SearchWithoutEnd& stop) {
        EXPECT_EQ(stop.reason(), SearchWithoutEnd::Reason::ToleranceUnresolved);
        EXPECT_NEAR(stop.passes(), 885.0, 5.0);
        EXPECT_NEAR(stop.seconds(), 885e-6, 5e-6);
    }
    EXPECT_EQ(passes.size(), 1u); // refused on the estimate, after the first pass
    settings.workLimit = 1e-2;
    const SearchResult fast = searchPrecision(pass, settings, critical);
    settings.passByPass = true;
    const SearchResult all = searchPrecision(pass, settings, critical);
    EXPECT_EQ(fast.precision, all.precision);
    EXPECT_EQ(fast.counts.passesWalked, all.counts.passesWalked);
}

} // namespace
} // namespace resection
