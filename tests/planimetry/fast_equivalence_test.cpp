// The structured routines (band inversion of the angle weights, interleaved
// products, diagonals only of the residual cofactors) against the dense
// reference: whole reports byte for byte, and the routines element by
// element, bit for bit.
#include "matrix/band.hpp"
#include "matrix/matrix.hpp"
#include "support/run_harness.hpp"
#include "support/survey_input.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace resection::testing {
namespace {

std::string makeInput(std::mt19937_64& rng, int n, const std::string& code, double apriori,
                      double tolerance, int zenithCount, double noiseSeconds = 2.0) {
    MadeUpSurvey survey;
    survey.points = n;
    survey.code = code;
    survey.apriori = apriori;
    survey.tolerance = tolerance;
    survey.zenithCount = zenithCount;
    survey.noiseSeconds = noiseSeconds;
    return surveyInput(rng, survey);
}

RunResult runWith(bool dense, const std::string& input) {
    RunOptions options;
    options.denseReference = dense;
    return runInProcess({{"in.txt", input}}, "in.txt\nout.txt\nS\n", {}, options);
}

// Returns the report of the structured run.
std::string expectSameRun(const std::string& input) {
    const RunResult fast = runWith(false, input);
    const RunResult dense = runWith(true, input);
    EXPECT_EQ(fast.status, dense.status);
    EXPECT_EQ(fast.console, dense.console);
    if (fast.files.count("out.txt") != 1) {
        ADD_FAILURE() << "no report";
        return "";
    }
    EXPECT_EQ(fast.files.at("out.txt"), dense.files.at("out.txt"));
    return fast.files.at("out.txt");
}

TEST(FastEquivalence, RandomWholeRunsMatchTheDenseReference) {
    std::mt19937_64 rng(20261208);
    const char* codes[] = {"gd", "gs", "gr"};
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int compared = 0;
    for (int c = 0; c < 45; ++c) {
        const std::string code = codes[c % 3];
        // Mostly small networks; every ninth case a large one, started near
        // its a posteriori precision (about the noise of its readings) so
        // that the dense passes stay few.
        const bool large = c % 9 == 8;
        const double noiseSeconds = 0.5 + 3.0 * unit(rng);
        const int n = !large ? 4 + static_cast<int>(36.0 * unit(rng))
                             : (c == 44 ? 300 : 100 + static_cast<int>(200.0 * unit(rng)));
        // Precisions of "gr" are in mgon: 1" is about 0.3 mgon.
        const double perSecond = code == "gr" ? 0.3086 : 1.0;
        const double apriori =
            large ? (noiseSeconds - 0.2 + 0.4 * unit(rng)) * perSecond : 0.3 + 8.0 * unit(rng);
        const int zenithCount = 1 + static_cast<int>(14.0 * unit(rng));
        const std::string input =
            makeInput(rng, n, code, apriori, 0.001, zenithCount, noiseSeconds);
        SCOPED_TRACE(input.substr(0, input.find('\n', input.find('\n', 20) + 1)));
        const std::string report = expectSameRun(input);
        // The comparison covers the whole report only when the run gets there.
        EXPECT_NE(report.find("Precisao dos angulos azimutais ajustados:"), std::string::npos);
        if (zenithCount > 1) {
            EXPECT_NE(report.find("Precisao dos angulos zenitais ajustados:"), std::string::npos);
        }
        ++compared;
    }
    EXPECT_EQ(compared, 45);
}

// The stops reached inside the adjustment: a precision of exactly 0 (a zero
// weight row), a tolerance that is never met, and a negative precision; and
// a tolerance of 1e-10 m.
TEST(FastEquivalence, StopsMatchTheDenseReference) {
    std::mt19937_64 rng(7);
    for (const char* code : {"gd", "gs", "gr"}) {
        SCOPED_TRACE(code);
        const std::string singular = makeInput(rng, 12, code, 0.0, 0.001, 3);
        expectSameRun(singular);
        EXPECT_NE(runWith(false, singular).console.find("Matriz singular!"), std::string::npos);
        const std::string never = makeInput(rng, 9, code, 2.0, 0.0, 3);
        expectSameRun(never);
        EXPECT_NE(runWith(false, never).console.find("nao convergente"), std::string::npos);
        expectSameRun(makeInput(rng, 17, code, -2.5, 0.001, 4));
        // A tolerance within rounding of the last corrections.
        expectSameRun(makeInput(rng, 23, code, 0.4, 1e-10, 6));
    }
}

std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

// The same bits, but any NaN for a NaN: which operand's NaN a sum passes on
// depends on the order the compiler gives the operands of one addition, and
// every NaN prints alike.
void expectSameBits(const Matrix& a, const Matrix& b, int rows, int cols) {
    for (int j = 1; j <= cols; ++j) {
        for (int i = 1; i <= rows; ++i) {
            if (std::isnan(a(i, j)) && std::isnan(b(i, j))) {
                continue;
            }
            ASSERT_EQ(bits(a(i, j)), bits(b(i, j))) << "element (" << i << ", " << j << ")";
        }
    }
}

struct Tridiagonal {
    int n;
    std::vector<double> below, diagonal, above;
    Matrix dense() const {
        Matrix a(n, n);
        for (int i = 1; i <= n; ++i) {
            a(i, i) = diagonal[static_cast<std::size_t>(i)];
            if (i < n) {
                a(i + 1, i) = below[static_cast<std::size_t>(i)];
                a(i, i + 1) = above[static_cast<std::size_t>(i)];
            }
        }
        return a;
    }
};

// Returns whether the band routine took the matrix; when it did, its inverse
// must be that of invertMatrix bit for bit.
bool expectBandInverseMatches(const Tridiagonal& t) {
    Matrix band(t.n, t.n);
    const bool taken = invertTridiagonal(t.n, t.below, t.diagonal, t.above, band);
    if (taken) {
        Matrix reference = t.dense();
        invertMatrix(t.n, t.n, reference);
        expectSameBits(band, reference, t.n, t.n);
    }
    return taken;
}

Tridiagonal pattern(int n, double diagonal, double beside) {
    return {n, std::vector<double>(static_cast<std::size_t>(n), beside),
            std::vector<double>(static_cast<std::size_t>(n) + 1, diagonal),
            std::vector<double>(static_cast<std::size_t>(n), beside)};
}

TEST(BandInverse, AngleCofactorPatternIsTakenAndMatches) {
    for (int n : {1, 2, 3, 7, 64, 257}) {
        for (double v : {1.0, 2.35e-11, 7.3e-300}) {
            SCOPED_TRACE(n);
            EXPECT_TRUE(expectBandInverseMatches(pattern(n, 2.0 * v, -v)));
        }
    }
}

TEST(BandInverse, RandomTridiagonalMatricesMatchWhenTaken) {
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int taken = 0;
    for (int c = 0; c < 300; ++c) {
        const int n = 1 + static_cast<int>(rng() % 40);
        const bool dominant = c % 2 == 0;
        Tridiagonal t = pattern(n, 0.0, 0.0);
        for (int i = 1; i <= n; ++i) {
            const auto at = static_cast<std::size_t>(i);
            t.diagonal[at] = dominant ? 3.0 + unit(rng) : unit(rng);
            if (i < n) {
                t.below[at] = unit(rng);
                t.above[at] = unit(rng);
            }
        }
        if (c % 7 == 0 && n > 2) {
            t.below[1] = 0.0; // a zero inside the band
        }
        taken += expectBandInverseMatches(t) ? 1 : 0;
    }
    EXPECT_GT(taken, 150); // every diagonally dominant case at least
}

TEST(BandInverse, ZeroPivotAtTheLastColumnBecomesTinyAsInTheDenseRoutine) {
    // Rows (2, -1, 0), (1, 2, -1), (0, -1, x) with x chosen so that U(3,3)
    // comes out exactly 0 and no interchange is called for on the way.
    Tridiagonal t = pattern(3, 2.0, -1.0);
    t.below[1] = 1.0;
    t.diagonal[3] = 0.0 + (-1.0 * (1.0 / 2.5)) * -1.0;
    EXPECT_TRUE(expectBandInverseMatches(t));
    Matrix band(3, 3);
    invertTridiagonal(3, t.below, t.diagonal, t.above, band);
    EXPECT_GT(std::fabs(band(3, 3)), 1.0e19);
}

TEST(BandInverse, DeclinesWhatItCannotReproduce) {
    // Rows (0, 1) and (1, 0): the pivot search interchanges them.
    Tridiagonal swap = pattern(2, 0.0, 1.0);
    EXPECT_FALSE(expectBandInverseMatches(swap));
    // A band element -0 would change the sign of a zero sum.
    Tridiagonal negativeZero = pattern(4, 2.0, -1.0);
    negativeZero.above[2] = -0.0;
    EXPECT_FALSE(expectBandInverseMatches(negativeZero));
    // Infinities and NaN make the skipped zeros NaN in the dense routine.
    EXPECT_FALSE(
        expectBandInverseMatches(pattern(3, std::numeric_limits<double>::infinity(), 1.0)));
    EXPECT_FALSE(expectBandInverseMatches(pattern(3, 2.0, std::nan(""))));
    // A pivot so small that its reciprocal overflows.
    Tridiagonal tiny = pattern(3, 1.0e-310, 0.0);
    EXPECT_FALSE(expectBandInverseMatches(tiny));
}

TEST(BandInverse, ZeroRowStopsLikeTheDenseRoutine) {
    Tridiagonal t = pattern(5, 2.0, -1.0);
    t.diagonal[5] = 0.0;
    t.below[4] = -0.0;
    Matrix band(5, 5);
    EXPECT_THROW(invertTridiagonal(5, t.below, t.diagonal, t.above, band), SingularMatrix);
    EXPECT_THROW(invertTridiagonal(3, pattern(3, 0.0, 0.0).below, pattern(3, 0.0, 0.0).diagonal,
                                   pattern(3, 0.0, 0.0).above, band),
                 SingularMatrix);
}

} // namespace
} // namespace resection::testing
