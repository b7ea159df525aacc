// Inversion of a tridiagonal matrix by the elimination of invertMatrix
// restricted to the band, for the weights of the correlated angles.
#pragma once

#include "matrix/matrix.hpp"

#include <vector>

namespace resection {

// The inverse of the tridiagonal matrix of order n with below[i] = a(i+1, i)
// and above[i] = a(i, i+1) for i = 1..n-1, diagonal[i] = a(i, i) for
// i = 1..n (index 0 unused) and +0 everywhere else, held as its LU factors.
//
// Every element it gives is exactly the one invertMatrix leaves for that
// matrix, at a cost of order n^2 instead of n^3: without row interchanges the
// factors L and U stay inside the band, every term that invertMatrix adds
// from outside the band is an exact zero, and no running sum here starts from
// -0, so leaving those terms out changes no bit.
//
// The elements are formed a block of columns at a time, by the forward and
// back substitution of invertMatrix, either all of them (expand) or only
// while a product needs them (multiplyLeft): the weights of 1000 angles are
// then never stored, which spares 8 MB of memory and the time to touch it.
class TridiagonalInverse {
  public:
    // A row of exact zeros throws SingularMatrix, as in invertMatrix. Returns
    // false where the argument above does not hold: when the pivot search of
    // invertMatrix would interchange rows, when a band element is -0, or when
    // a value met on the way is not finite (a zero times an infinity is not
    // zero). The caller then inverts with invertMatrix.
    bool factor(int n, const std::vector<double>& below, const std::vector<double>& diagonal,
                const std::vector<double>& above);

    // The inverse into inverse (n x n). False when an element is not finite
    // (the caller then inverts with invertMatrix, as above).
    bool expand(Matrix& inverse) const;

    // ab (m x n) = a (m x n) times the inverse, each element the running sum
    // over k in ascending order, exactly as matrixProduct gives it with the
    // expanded inverse. False, with ab unspecified, when an element of the
    // inverse is not finite.
    bool multiplyLeft(int m, const Matrix& a, Matrix& ab) const;

  private:
    // Calls use(j0, count, block) for each block of b columns j0..j0+count-1,
    // block[k * b + c] holding element (k, j0 + c) for k = 1..n.
    template <class Use> bool forEachBlock(Use use) const;

    int n_ = 0;
    std::vector<double> lower_; // L(i, i-1)
    std::vector<double> pivot_; // U(i, i)
    std::vector<double> above_; // U(i, i+1), the band element itself
};

// The inverse of the tridiagonal matrix above into inverse (n x n): factor
// and expand. False, with inverse unspecified, where either declines.
bool invertTridiagonal(int n, const std::vector<double>& below, const std::vector<double>& diagonal,
                       const std::vector<double>& above, Matrix& inverse);

} // namespace resection
