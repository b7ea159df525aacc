// Products, transpose, inversion and the azimuth.
#include "matrix/matrix.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);

Matrix fromRows(std::initializer_list<std::initializer_list<double>> rows) {
    Matrix m(static_cast<int>(rows.size()), static_cast<int>(rows.begin()->size()));
    int i = 1;
    for (const auto& row : rows) {
        int j = 1;
        for (double value : row) {
            m(i, j++) = value;
        }
        ++i;
    }
    return m;
}

void expectEqual(const Matrix& actual, const Matrix& expected) {
    ASSERT_EQ(actual.rows(), expected.rows());
    ASSERT_EQ(actual.cols(), expected.cols());
    for (int i = 1; i <= expected.rows(); ++i) {
        for (int j = 1; j <= expected.cols(); ++j) {
            EXPECT_EQ(actual(i, j), expected(i, j)) << "(" << i << ", " << j << ")";
        }
    }
}

TEST(MatrixProduct, Orders) {
    const Matrix row = fromRows({{1, 2, 3}});
    const Matrix col = fromRows({{4}, {5}, {6}});
    Matrix scalar(1, 1);
    matrixProduct(1, 3, 1, row, col, scalar);
    EXPECT_EQ(scalar(1, 1), 32.0);

    Matrix outer(3, 3);
    matrixProduct(3, 1, 3, col, row, outer);
    expectEqual(outer, fromRows({{4, 8, 12}, {5, 10, 15}, {6, 12, 18}}));

    const Matrix a = fromRows({{1, 2, 3}, {4, 5, 6}});
    const Matrix b = fromRows({{7, 8}, {9, 10}, {11, 12}});
    Matrix ab(2, 2);
    matrixProduct(2, 3, 2, a, b, ab);
    expectEqual(ab, fromRows({{58, 64}, {139, 154}}));

    // The running sum in ascending order: (1e16 + 1) - 1e16 is 0, not 1.
    const Matrix big = fromRows({{1e16, 1, -1e16}});
    const Matrix ones = fromRows({{1}, {1}, {1}});
    matrixProduct(1, 3, 1, big, ones, scalar);
    EXPECT_EQ(scalar(1, 1), 0.0);
}

TEST(MatrixTranspose, RowsBecomeColumns) {
    const Matrix a = fromRows({{1, 2, 3}, {4, 5, 6}});
    Matrix t(3, 2);
    matrixTranspose(2, 3, a, t);
    expectEqual(t, fromRows({{1, 4}, {2, 5}, {3, 6}}));
}

TEST(InvertMatrix, Interchange) {
    Matrix a = fromRows({{0, 1}, {1, 0}});
    invertMatrix(2, 2, a);
    expectEqual(a, fromRows({{0, 1}, {1, 0}}));

    Matrix b = fromRows({{4, 7}, {2, 6}});
    invertMatrix(2, 2, b);
    const Matrix expected = fromRows({{0.6, -0.7}, {-0.2, 0.4}});
    for (int i = 1; i <= 2; ++i) {
        for (int j = 1; j <= 2; ++j) {
            EXPECT_NEAR(b(i, j), expected(i, j), 1e-15);
        }
    }
}

TEST(InvertMatrix, ZeroRowStopsBeforeAnyChange) {
    for (int zeroRow = 1; zeroRow <= 3; ++zeroRow) {
        Matrix a = fromRows({{2, 1, 1}, {1, 3, 2}, {1, 0, 0}});
        for (int j = 1; j <= 3; ++j) {
            a(zeroRow, j) = 0.0;
        }
        const Matrix before = a;
        EXPECT_THROW(invertMatrix(3, 3, a), SingularMatrix) << "zero row " << zeroRow;
        expectEqual(a, before);
    }
}

TEST(InvertMatrix, SingularWithoutZeroRowGivesHugeElements) {
    Matrix a = fromRows({{1, 1}, {1, 1}});
    invertMatrix(2, 2, a);
    for (int i = 1; i <= 2; ++i) {
        for (int j = 1; j <= 2; ++j) {
            EXPECT_GT(std::fabs(a(i, j)), 1e19);
            EXPECT_LT(std::fabs(a(i, j)), 1e21);
        }
    }
}

TEST(InvertMatrix, EqualScaledPivotsChooseTheLastRow) {
    // Every row scaled by its largest element gives 1 in the first column.
    Matrix a = fromRows({{1, 0, 0}, {1, 1, 0}, {1, 1, 1}});
    std::vector<int> pivotRow(4, 0);
    int sign = 0;
    luDecompose(a, 3, 3, pivotRow, sign);
    EXPECT_EQ(pivotRow[1], 3);
    EXPECT_TRUE(sign == 1 || sign == -1);

    Matrix b = fromRows({{1, 0}, {1, 1}});
    std::vector<int> pivot2(3, 0);
    luDecompose(b, 2, 2, pivot2, sign);
    EXPECT_EQ(pivot2[1], 2);
    EXPECT_EQ(sign, -1);

    Matrix c = fromRows({{1, 0, 0}, {1, 1, 0}, {1, 1, 1}});
    invertMatrix(3, 3, c);
    expectEqual(c, fromRows({{1, 0, 0}, {-1, 1, 0}, {0, -1, 1}}));
}

// The angle cofactor pattern: 2 on the diagonal, -1 beside it. Its inverse is
// known in closed form: min(i, j) (n + 1 - max(i, j)) / (n + 1).
TEST(InvertMatrix, TridiagonalInverseIsExact) {
    for (int n : {2, 3, 5, 12, 50}) {
        SCOPED_TRACE(n);
        Matrix a(n, n);
        for (int i = 1; i <= n; ++i) {
            a(i, i) = 2.0;
            if (i > 1) {
                a(i, i - 1) = -1.0;
                a(i - 1, i) = -1.0;
            }
        }
        invertMatrix(n, n, a);
        for (int i = 1; i <= n; ++i) {
            for (int j = 1; j <= n; ++j) {
                const double exact =
                    static_cast<double>(std::min(i, j) * (n + 1 - std::max(i, j))) /
                    static_cast<double>(n + 1);
                EXPECT_GT(a(i, j), 0.0);
                EXPECT_NEAR(a(i, j), exact, exact * 1e-14 * n);
            }
        }
    }
}

TEST(Azimuth, QuadrantsAndAxes) {
    struct Row {
        double dM, dP, expected;
    };
    const Row rows[] = {
        {1, 1, pi / 4},
        {1, -1, 3 * pi / 4},
        {-1, -1, 5 * pi / 4},
        {-1, 1, 7 * pi / 4},
        {0, 1, 0.0},
        {0, -1, pi},
        {1, 0, pi / 2},
        {-1, 0, 3 * pi / 2},
        {-0.0, 5, 0.0},
        {0, -3, pi},
        {2, 0, pi / 2},
        {-1e-9, 0, 3 * pi / 2},
        {100, 100 * std::sqrt(3.0), pi / 6},
        {-100 * std::sqrt(3.0), -100, 4 * pi / 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.dM << ", " << row.dP);
        const double a = azimuth(row.dM, row.dP);
        EXPECT_NEAR(a, row.expected, 4e-16 * 8);
        EXPECT_GE(a, 0.0);
        EXPECT_LT(a, 2 * pi);
    }
}

// Just west of north the sum t + 2 pi rounds to 2 pi: the result is 0.
TEST(Azimuth, NeverTwoPi) {
    for (double dM : {-1e-300, -1e-20, -1e-17, -1e-16, -4e-16, -1e-15}) {
        SCOPED_TRACE(dM);
        const double a = azimuth(dM, 1.0);
        EXPECT_LT(a, 2 * pi);
        EXPECT_GE(a, 0.0);
        EXPECT_TRUE(a == 0.0 || a > 6.28) << a;
    }
    EXPECT_EQ(azimuth(-1e-300, 1.0), 0.0);
}

} // namespace
} // namespace resection
