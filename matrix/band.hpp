// Inversion of a tridiagonal matrix by the elimination of invertMatrix
// restricted to the band, for the weights of the correlated angles.
#pragma once

#include "matrix/matrix.hpp"

#include <vector>

namespace resection {

// The tridiagonal matrix of order n with below[i] = a(i+1, i) and
// above[i] = a(i, i+1) for i = 1..n-1, diagonal[i] = a(i, i) for i = 1..n
// (index 0 unused) and +0 everywhere else.
//
// Writes into inverse (n x n) exactly the elements that invertMatrix leaves
// for that matrix, at a cost of order n^2 instead of n^3: without row
// interchanges the factors L and U stay inside the band, every term that
// invertMatrix adds from outside the band is an exact zero, and no running
// sum here starts from -0, so leaving those terms out changes no bit.
//
// A row of exact zeros ends the run with "Matriz singular!", as in
// invertMatrix. Returns false, with inverse unspecified, where that argument
// does not hold: when the pivot search of invertMatrix would interchange
// rows, when a band element is -0, or when a value met on the way is not
// finite (a zero times an infinity is not zero). The caller then inverts
// with invertMatrix.
bool invertTridiagonal(int n, const std::vector<double>& below, const std::vector<double>& diagonal,
                       const std::vector<double>& above, Matrix& inverse);

} // namespace resection
