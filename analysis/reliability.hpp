// What a least-squares adjustment by observation equations says of each of
// its observations, whatever they are (directions, distances, zenith
// angles): the tests of single observations and their reliability, from the
// design and cofactor matrices alone.
//
// For n uncorrelated observations of standard deviations sigma_i, with the
// design A (n x u: the derivatives of each computed observation by each
// unknown), the weights P = diag(1 / sigma_i^2) and the a priori covariance
// of the unknowns Qxx = (A^T P A)^-1:
//   redundancy number   r_i = 1 - a_i Qxx a_i^T / sigma_i^2,
//   w-test              w_i = v_i / (sigma_i sqrt(r_i)),
//   error it points to  -v_i / r_i,
//   detectable bias     d_i = detectableBiasFactor sigma_i / sqrt(r_i),
//   its effect          dx = Qxx a_i^T d_i / sigma_i^2 on the unknowns,
// where a_i is row i of A. The last is what an error of the size d_i, which
// the w-test misses one time in five, does to the station: the external
// reliability.
#pragma once

#include "analysis/reading_tests.hpp"
#include "matrix/matrix.hpp"

#include <vector>

namespace resection {

struct AdjustmentFigures {
    Matrix design;                // A, n x u
    std::vector<double> sigma;    // [i - 1]: a priori standard deviation of observation i, > 0
    std::vector<double> residual; // [i - 1]: v_i, adjusted minus observed
    Matrix covariance;            // Qxx, u x u, the a priori covariance of the unknowns
    // The unknowns (1-based) whose move is the station's: M and P, or H.
    std::vector<int> station;
    // The precisions allow the tests. Where they do not (a precision of 0,
    // or one beyond half a circle), sigma holds 1 for every observation and
    // covariance is the cofactor for unit weights: the redundancy numbers
    // and the errors the residuals point to still hold, the tests do not.
    bool testable = true;
};

// v^T P v.
double quadraticForm(const AdjustmentFigures& figures);

// Each observation's test and reliability, [i - 1] for observation i.
std::vector<ReadingTest> observationTests(const AdjustmentFigures& figures);

// The standard deviation of the difference between observation i, left out
// of an adjustment, and the value that adjustment gives it:
// sigma_i sqrt(1 + a_i Qxx a_i^T / sigma_i^2), from the row a_i of the
// observation's derivatives by the unknowns and the covariance Qxx of the
// adjustment without it. That difference over it is the observation's w.
double discrepancyDeviation(const std::vector<double>& row, const Matrix& covariance, double sigma);

} // namespace resection
