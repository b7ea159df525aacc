#include "matrix/band.hpp"

#include <cmath>
#include <cstddef>

namespace resection {

namespace {

bool negativeZeroOrNotFinite(double x) {
    return !std::isfinite(x) || (x == 0.0 && std::signbit(x));
}

// Columns of the inverse solved together: their substitutions are
// independent, so interleaving them hides the latency of the divisions.
constexpr int blockColumns = 8;

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

template <class Use> bool TridiagonalInverse::forEachBlock(Use use) const {
    // One forward and one back substitution per column of the identity. In
    // column j the forward pass starts at row j (the rows above hold +0) and
    // each row loses only the term of L(i, i-1); the back pass subtracts only
    // the term of U(i, i+1).
    const int n = n_;
    const int b = blockColumns;
    std::vector<double> work((at(n) + 2) * at(b), 0.0);
    bool finite = true;
    for (int j0 = 1; j0 <= n; j0 += b) {
        const int count = (j0 + b - 1 <= n) ? b : n - j0 + 1;
        for (int i = 1; i <= n; ++i) {
            double* row = &work[at(i) * at(b)];
            const double* previous = &work[at(i - 1) * at(b)];
            if (i < j0) {
                for (int c = 0; c < count; ++c) {
                    row[c] = 0.0;
                }
            } else if (i < j0 + count) {
                const double l = lower_[at(i)];
                for (int c = 0; c < count; ++c) {
                    const int j = j0 + c;
                    row[c] = (i < j) ? 0.0 : (i == j) ? 1.0 : 0.0 - l * previous[c];
                }
            } else {
                const double l = lower_[at(i)];
                for (int c = 0; c < count; ++c) {
                    row[c] = 0.0 - l * previous[c];
                }
            }
        }
        {
            double* row = &work[at(n) * at(b)];
            const double u = pivot_[at(n)];
            for (int c = 0; c < count; ++c) {
                row[c] = row[c] / u;
            }
        }
        for (int i = n - 1; i >= 1; --i) {
            double* row = &work[at(i) * at(b)];
            const double* next = &work[at(i + 1) * at(b)];
            const double u = pivot_[at(i)];
            const double e = above_[at(i)];
            for (int c = 0; c < count; ++c) {
                row[c] = (row[c] - e * next[c]) / u;
            }
        }
        for (int i = 1; i <= n; ++i) {
            for (int c = 0; c < count; ++c) {
                finite = finite && std::isfinite(work[at(i) * at(b) + at(c)]);
            }
        }
        use(j0, count, &work[at(b)]);
    }
    return finite;
}

bool TridiagonalInverse::expand(Matrix& inverse) const {
    return forEachBlock([&](int j0, int count, const double* block) {
        for (int c = 0; c < count; ++c) {
            double* column = &inverse(1, j0 + c);
            for (int k = 0; k < n_; ++k) {
                column[k] = block[at(k) * at(blockColumns) + at(c)];
            }
        }
    });
}

bool TridiagonalInverse::multiplyLeft(int m, const Matrix& a, Matrix& ab) const {
    return forEachBlock([&](int j0, int count, const double* block) {
        for (int r = 1; r <= m; ++r) {
            // The sums of the block's columns side by side, each over k in
            // ascending order.
            double sum[blockColumns] = {};
            const double* row = a.address(r, 1);
            const std::size_t stride = at(a.rows());
            for (int k = 0; k < n_; ++k) {
                const double x = row[at(k) * stride];
                const double* p = block + at(k) * at(blockColumns);
                for (int c = 0; c < blockColumns; ++c) {
                    sum[c] = sum[c] + x * p[c];
                }
            }
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
