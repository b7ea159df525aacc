#include "matrix/band.hpp"

#include <cmath>
#include <cstddef>

namespace resection {

namespace {

bool negativeZeroOrNotFinite(double x) {
    return !std::isfinite(x) || (x == 0.0 && std::signbit(x));
}

// Columns of the inverse solved together: their substitutions are
// independent, so that many of them side by side hide the latency of the
// divisions (each row of the back substitution waits for the row below it),
// and the block of 1000 rows still fits the second-level cache.
constexpr int blockColumns = 32;

std::size_t at(int i) {
    return static_cast<std::size_t>(i);
}

} // namespace

bool TridiagonalInverse::factor(int n, const std::vector<double>& below,
                                const std::vector<double>& diagonal,
                                const std::vector<double>& above) {
    n_ = 0;

    // Row scales, as luDecompose takes them: the largest magnitude in the
    // row, found with the same strict test (the elements outside the band
    // are +0 and never win), and the zero-row stop before anything else.
    std::vector<double> rowScale(at(n) + 1, 0.0);
    for (int i = 1; i <= n; ++i) {
        double big = 0.0;
        if (i > 1 && std::fabs(below[at(i - 1)]) > big) {
            big = std::fabs(below[at(i - 1)]);
        }
        if (std::fabs(diagonal[at(i)]) > big) {
            big = std::fabs(diagonal[at(i)]);
        }
        if (i < n && std::fabs(above[at(i)]) > big) {
            big = std::fabs(above[at(i)]);
        }
        if (big == 0.0) {
            throw SingularMatrix();
        }
        rowScale[at(i)] = 1.0 / big;
    }
    for (int i = 1; i <= n; ++i) {
        if (negativeZeroOrNotFinite(diagonal[at(i)]) ||
            (i < n &&
             (negativeZeroOrNotFinite(below[at(i)]) || negativeZeroOrNotFinite(above[at(i)])))) {
            return false;
        }
    }

    // Crout's elimination column by column. In column j the upper element
    // U(j-1, j) is a(j-1, j) itself (the terms before it multiply elements
    // of U outside the band), the pivot candidate of row j loses only
    // L(j, j-1) U(j-1, j), and that of row j+1 nothing.
    std::vector<double>& lower = lower_;
    std::vector<double>& pivot = pivot_;
    lower.assign(at(n) + 1, 0.0);
    pivot.assign(at(n) + 1, 0.0);
    for (int j = 1; j <= n; ++j) {
        double s = diagonal[at(j)];
        if (j > 1) {
            s = s - lower[at(j)] * above[at(j - 1)];
        }
        // The pivot search with its >= test: row j must win against row
        // j+1 and, when every candidate so far is 0, against the rows below
        // the band, whose candidates are 0 as well.
        double big = 0.0;
        const double f = rowScale[at(j)] * std::fabs(s);
        if (f >= big) {
            big = f;
        }
        if (j < n && rowScale[at(j + 1)] * std::fabs(below[at(j)]) >= big) {
            return false;
        }
        if (j + 1 < n && big == 0.0) {
            return false;
        }
        if (s == 0.0) {
            s = 1.0e-20;
        }
        if (!std::isfinite(s)) {
            return false;
        }
        pivot[at(j)] = s;
        if (j != n) {
            const double r = 1.0 / s;
            lower[at(j + 1)] = below[at(j)] * r;
            if (!std::isfinite(r) || !std::isfinite(lower[at(j + 1)])) {
                return false;
            }
        }
    }

    above_ = above;
    n_ = n;
    return true;
}

namespace {

// The two loops below carry nearly all the work of the weights of a large
// network. Built once per instruction set where the compiler can choose at
// run time: each element is still one rounded subtraction, product or
// quotient in the same order (no contraction into fused operations, no
// reordered sums), so every clone gives the same bits.
#if defined(__ELF__) && defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define RESECTION_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif
#endif
#ifndef RESECTION_VECTOR_CLONES
#define RESECTION_VECTOR_CLONES
#endif

// One forward and one back substitution for each of the blockColumns columns
// j0, j0+1, ... of the identity (a column beyond n comes out 0). In column j
// the forward pass starts at row j (the rows above hold +0) and each row
// loses only the term of L(i, i-1); the back pass subtracts only the term of
// U(i, i+1). work holds rows 0..n of blockColumns elements, row 0 zero.
// Returns whether the first 'count' columns are finite.
RESECTION_VECTOR_CLONES
bool solveBlock(int n, int j0, int count, const double* lower, const double* pivot,
                const double* above, double* work) {
    constexpr int b = blockColumns;
    for (int i = 1; i <= n; ++i) {
        double* row = work + at(i) * b;
        const double* previous = row - b;
        const double l = lower[i];
        if (i < j0) {
            for (int c = 0; c < b; ++c) {
                row[c] = 0.0;
            }
        } else if (i < j0 + b) {
            for (int c = 0; c < b; ++c) {
                const int j = j0 + c;
                row[c] = (i < j) ? 0.0 : (i == j) ? 1.0 : 0.0 - l * previous[c];
            }
        } else {
            for (int c = 0; c < b; ++c) {
                row[c] = 0.0 - l * previous[c];
            }
        }
    }
    // x - x is 0 exactly when x is finite: the sums of those differences
    // stay 0 while every element is.
    double check[b] = {};
    {
        double* row = work + at(n) * b;
        const double u = pivot[n];
        for (int c = 0; c < b; ++c) {
            row[c] = row[c] / u;
            check[c] = check[c] + (row[c] - row[c]);
        }
    }
    for (int i = n - 1; i >= 1; --i) {
        double* row = work + at(i) * b;
        const double* next = row + b;
        const double u = pivot[i];
        const double e = above[i];
        for (int c = 0; c < b; ++c) {
            row[c] = (row[c] - e * next[c]) / u;
            check[c] = check[c] + (row[c] - row[c]);
        }
    }
    bool finite = true;
    for (int c = 0; c < count; ++c) {
        finite = finite && check[c] == 0.0;
    }
    return finite;
}

// sum[c] = sum over k = 1..n, ascending, of a(k) block(k, c), each running
// sum rounded after every addition; a(k) is a[(k - 1) * stride].
RESECTION_VECTOR_CLONES
void accumulateBlock(int n, const double* a, std::size_t stride, const double* block, double* sum) {
    constexpr int b = blockColumns;
    double acc[b] = {};
    for (int k = 1; k <= n; ++k) {
        const double x = a[(at(k) - 1) * stride];
        const double* p = block + at(k) * b;
        for (int c = 0; c < b; ++c) {
            acc[c] = acc[c] + x * p[c];
        }
    }
    for (int c = 0; c < b; ++c) {
        sum[c] = acc[c];
    }
}

} // namespace

template <class Use> bool TridiagonalInverse::forEachBlock(Use use) const {
    const int n = n_;
    std::vector<double> work((at(n) + 1) * at(blockColumns), 0.0);
    bool finite = true;
    for (int j0 = 1; j0 <= n; j0 += blockColumns) {
        const int count = (j0 + blockColumns - 1 <= n) ? blockColumns : n - j0 + 1;
        finite =
            solveBlock(n, j0, count, lower_.data(), pivot_.data(), above_.data(), work.data()) &&
            finite;
        use(j0, count, work.data());
    }
    return finite;
}

bool TridiagonalInverse::expand(Matrix& inverse) const {
    return forEachBlock([&](int j0, int count, const double* block) {
        for (int c = 0; c < count; ++c) {
            double* column = &inverse(1, j0 + c);
            for (int k = 1; k <= n_; ++k) {
                column[k - 1] = block[at(k) * at(blockColumns) + at(c)];
            }
        }
    });
}

bool TridiagonalInverse::multiplyLeft(int m, const Matrix& a, Matrix& ab) const {
    return forEachBlock([&](int j0, int count, const double* block) {
        for (int r = 1; r <= m; ++r) {
            double sum[blockColumns];
            accumulateBlock(n_, a.address(r, 1), at(a.rows()), block, sum);
            for (int c = 0; c < count; ++c) {
                ab(r, j0 + c) = sum[c];
            }
        }
    });
}

bool invertTridiagonal(int n, const std::vector<double>& below, const std::vector<double>& diagonal,
                       const std::vector<double>& above, Matrix& inverse) {
    TridiagonalInverse factors;
    return factors.factor(n, below, diagonal, above) && factors.expand(inverse);
}

} // namespace resection
