#include "matrix/matrix.hpp"

#include <cmath>
#include <limits>

namespace resection {

double standardDeviation(double variance) {
    return variance < 0.0 ? 0.0 : std::sqrt(variance);
}

void matrixProduct(int m, int n, int p, const Matrix& a, const Matrix& b, Matrix& ab) {
    for (int j = 1; j <= p; ++j) {
        for (int i = 1; i <= m; ++i) {
            double sum = 0.0;
            for (int k = 1; k <= n; ++k) {
                sum = sum + a(i, k) * b(k, j);
            }
            ab(i, j) = sum;
        }
    }
}

void matrixTranspose(int m, int n, const Matrix& a, Matrix& b) {
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= m; ++i) {
            b(j, i) = a(i, j);
        }
    }
}

void luDecompose(Matrix& a, int n, int np, std::vector<int>& pivotRow, int& permutationSign) {
    (void)np;
    // Reciprocal of the largest magnitude of each row: the pivot is chosen by
    // the size of the candidate relative to its own row (implicit pivoting).
    std::vector<double> rowScale(static_cast<std::size_t>(n) + 1, 0.0);
    permutationSign = 1;
    for (int i = 1; i <= n; ++i) {
        double big = 0.0;
        for (int j = 1; j <= n; ++j) {
            if (std::fabs(a(i, j)) > big) {
                big = std::fabs(a(i, j));
            }
        }
        if (big == 0.0) { // a row of exact zeros: nothing to pivot on
            throw SingularMatrix();
        }
        rowScale[static_cast<std::size_t>(i)] = 1.0 / big;
    }
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i < j; ++i) {
            double s = a(i, j);
            for (int k = 1; k < i; ++k) {
                s = s - a(i, k) * a(k, j);
            }
            a(i, j) = s;
        }
        double big = 0.0;
        int pivot = j;
        for (int i = j; i <= n; ++i) {
            double s = a(i, j);
            for (int k = 1; k < j; ++k) {
                s = s - a(i, k) * a(k, j);
            }
            a(i, j) = s;
            const double f = rowScale[static_cast<std::size_t>(i)] * std::fabs(s);
            // Greater or equal: among equal candidates the last row wins.
            if (f >= big) {
                pivot = i;
                big = f;
            }
        }
        if (pivot != j) {
            for (int k = 1; k <= n; ++k) {
                const double t = a(pivot, k);
                a(pivot, k) = a(j, k);
                a(j, k) = t;
            }
            permutationSign = -permutationSign;
            rowScale[static_cast<std::size_t>(pivot)] = rowScale[static_cast<std::size_t>(j)];
        }
        pivotRow[static_cast<std::size_t>(j)] = pivot;
        if (a(j, j) == 0.0) { // exactly singular so far: carry on with a tiny pivot
            a(j, j) = 1.0e-20;
        }
        if (j != n) {
            const double r = 1.0 / a(j, j);
            for (int i = j + 1; i <= n; ++i) {
                a(i, j) = a(i, j) * r;
            }
        }
    }
}

void invertMatrix(int n, int np, Matrix& a) {
    std::vector<int> pivotRow(static_cast<std::size_t>(np) + 1, 0);
    int permutationSign = 1;
    luDecompose(a, n, np, pivotRow, permutationSign);

    Matrix result(np, np);
    std::vector<double> col(static_cast<std::size_t>(np) + 1, 0.0);
    auto c = [&col](int i) -> double& { return col[static_cast<std::size_t>(i)]; };
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) {
            c(i) = (i == j) ? 1.0 : 0.0;
        }
        // Forward substitution; 'first' marks the first non-zero element of
        // the permuted right-hand side, the elements before it being zero.
        int first = 0;
        for (int i = 1; i <= n; ++i) {
            const int l = pivotRow[static_cast<std::size_t>(i)];
            double s = c(l);
            c(l) = c(i);
            if (first != 0) {
                for (int k = first; k < i; ++k) {
                    s = s - a(i, k) * c(k);
                }
            } else if (s != 0.0) {
                first = i;
            }
            c(i) = s;
        }
        for (int i = n; i >= 1; --i) {
            double s = c(i);
            for (int k = i + 1; k <= n; ++k) {
                s = s - a(i, k) * c(k);
            }
            c(i) = s / a(i, i);
        }
        for (int i = 1; i <= n; ++i) {
            result(i, j) = c(i);
        }
    }
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) {
            a(i, j) = result(i, j);
        }
    }
}

double azimuth(double dM, double dP) {
    const double pi = 4.0 * std::atan(1.0);
    if (dP == 0.0) {
        // Due east or due west; the quotient below has no value here.
        if (dM > 0.0) {
            return pi / 2.0;
        }
        if (dM < 0.0) {
            return 3.0 * pi / 2.0;
        }
        return std::numeric_limits<double>::quiet_NaN();
    }
    double t = std::atan(dM / dP);
    if (dP < 0.0) {
        t = t + pi;
    } else if (dM < 0.0 && dP > 0.0) {
        t = t + 2.0 * pi;
    }
    if (t >= 2.0 * pi) {
        t = t - 2.0 * pi;
    }
    return t;
}

} // namespace resection
