// Dense matrices with indices from 1, stored column by column, and the few
// numerical routines both adjustments rest on.
#pragma once

#include "base/stop.hpp"

#include <cassert>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace resection {

class Matrix {
  public:
    Matrix() = default;
    Matrix(int rows, int cols)
        : rows_(rows), cols_(cols),
          data_(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), 0.0) {}

    int rows() const { return rows_; }
    int cols() const { return cols_; }

    double& operator()(int i, int j) {
        assert(i >= 1 && i <= rows_ && j >= 1 && j <= cols_);
        return data_[index(i, j)];
    }
    double operator()(int i, int j) const {
        assert(i >= 1 && i <= rows_ && j >= 1 && j <= cols_);
        return data_[index(i, j)];
    }
    // Element i of a vector (a one-column or one-row matrix).
    double& operator()(int i) { return data_[static_cast<std::size_t>(i - 1)]; }
    double operator()(int i) const { return data_[static_cast<std::size_t>(i - 1)]; }

    // Address of element (i, j); the elements of a column follow it.
    const double* address(int i, int j) const {
        assert(i >= 1 && i <= rows_ && j >= 1 && j <= cols_);
        return data_.data() + index(i, j);
    }

    void fill(double value) { data_.assign(data_.size(), value); }

  private:
    std::size_t index(int i, int j) const {
        return static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(rows_) +
               static_cast<std::size_t>(i - 1);
    }
    int rows_ = 0;
    int cols_ = 0;
    std::vector<double> data_;
};

// A matrix to invert has a row of exact zeros: there is nothing to pivot on,
// and the run ends there.
class SingularMatrix : public Stop {
  public:
    SingularMatrix() : Stop(StopReason::SingularMatrix) {}
};

// Square root of a variance; a diagonal element a rounding error has taken
// just below zero stands for a zero variance.
double standardDeviation(double variance);

// Largest order the inversion supports (the size of its row-scale table).
inline constexpr int maxInversionOrder = 1000;

// ab (m x p) = a (m x n) times b (n x p). Each element is a running sum over k
// in ascending order, rounded to double after every addition, so that the
// printed results do not depend on the compiler's choice of summation order.
// ab must not share storage with a or b.
void matrixProduct(int m, int n, int p, const Matrix& a, const Matrix& b, Matrix& ab);

// b (n x m) = the transpose of a (m x n).
void matrixTranspose(int m, int n, const Matrix& a, Matrix& b);

// Replaces the leading n x n block of a (declared order np) by its inverse:
// Crout's LU decomposition with implicit (row-scaled) partial pivoting, then
// one forward and one back substitution per column of the identity.
// A row of exact zeros throws SingularMatrix before anything is changed; a
// zero pivot met
// during elimination is replaced by 1.0e-20 without a message, so a singular
// matrix whose rows are all non-zero comes back with very large elements.
void invertMatrix(int n, int np, Matrix& a);

// LU factors of the row-permuted block, in place; pivotRow(j) is the row
// interchanged with row j at column step j. Called only by invertMatrix.
void luDecompose(Matrix& a, int n, int np, std::vector<int>& pivotRow, int& permutationSign);

// Azimuth of the line from a near point to a far point, from the coordinate
// differences dM, dP (far minus near, metres): the angle from the direction of
// increasing P towards increasing M, radians in [0, 2*pi). dP = 0 gives pi/2
// for dM > 0 and 3*pi/2 for dM < 0; dM = dP = 0 has no direction and gives NaN
// (callers check for a coincident point first).
double azimuth(double dM, double dP);

} // namespace resection
