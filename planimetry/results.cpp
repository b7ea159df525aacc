#include "planimetry/results.hpp"

#include <cmath>

namespace resection {

namespace {

// The cofactor matrix of the residuals, Qvv = Qll - A Qxx A^T, and of the
// adjusted angles, Qll - Qvv, by the dense products (Qll stored in full).
void residualCofactors(const PlanimetricPass& last, Matrix& residualCofactor,
                       Matrix& adjustedAngleCofactor) {
    const int m = last.designMatrix.rows();
    const Matrix& qll = last.angleCofactor.dense;
    Matrix designT(2, m);
    matrixTranspose(m, 2, last.designMatrix, designT);
    Matrix designCofactorProduct(m, 2);
    matrixProduct(m, 2, 2, last.designMatrix, last.coordCofactor, designCofactorProduct);
    Matrix product(m, m);
    matrixProduct(m, 2, m, designCofactorProduct, designT, product);
    residualCofactor = Matrix(m, m);
    adjustedAngleCofactor = Matrix(m, m);
    for (int j = 1; j <= m; ++j) {
        for (int i = 1; i <= m; ++i) {
            residualCofactor(i, j) = qll(i, j) - product(i, j);
        }
    }
    for (int j = 1; j <= m; ++j) {
        for (int i = 1; i <= m; ++i) {
            adjustedAngleCofactor(i, j) = qll(i, j) - residualCofactor(i, j);
        }
    }
}

// Only the diagonals of Qvv and of Qll - Qvv are printed. Each diagonal
// element of the dense products depends on its own row and column alone, so
// forming it by the same two-term sums gives the same bits at a cost of
// order N instead of N^2 (and no N x N scratch). Index i - 1 holds element i.
void residualCofactorDiagonals(const PlanimetricPass& last, std::vector<double>& residualDiagonal,
                               std::vector<double>& adjustedDiagonal) {
    const int m = last.designMatrix.rows();
    const Matrix& a = last.designMatrix;
    const Matrix& qxx = last.coordCofactor;
    const double variance = last.angleCofactor.diagonal;
    for (int i = 1; i <= m; ++i) {
        const double dc1 = (0.0 + a(i, 1) * qxx(1, 1)) + a(i, 2) * qxx(2, 1);
        const double dc2 = (0.0 + a(i, 1) * qxx(1, 2)) + a(i, 2) * qxx(2, 2);
        // A^T(1, i) and A^T(2, i) are A(i, 1) and A(i, 2), copied.
        const double product = (0.0 + dc1 * a(i, 1)) + dc2 * a(i, 2);
        const double qvv = variance - product;
        residualDiagonal.push_back(qvv);
        adjustedDiagonal.push_back(variance - qvv);
    }
}

} // namespace

PlanimetricResults planimetricResults(const FirstPosition& first, const PlanimetricPass& last,
                                      bool dense) {
    PlanimetricResults r;
    const int m = last.designMatrix.rows();
    r.iterationCount = last.iterationCount;
    r.adjustedM = last.adjustedM;
    r.adjustedP = last.adjustedP;
    for (int i = 1; i <= m; ++i) {
        r.residual.push_back(last.residual(i));
        r.adjustedAngle.push_back(first.observedAngle(i) + last.residual(i));
    }
    r.sigmaM = std::sqrt(last.varianceFactor * last.coordCofactor(1, 1));
    r.sigmaP = std::sqrt(last.varianceFactor * last.coordCofactor(2, 2));

    std::vector<double> residualDiagonal;
    std::vector<double> adjustedDiagonal;
    if (dense) {
        Matrix residualCofactor;
        Matrix adjustedAngleCofactor;
        residualCofactors(last, residualCofactor, adjustedAngleCofactor);
        for (int i = 1; i <= m; ++i) {
            residualDiagonal.push_back(residualCofactor(i, i));
            adjustedDiagonal.push_back(adjustedAngleCofactor(i, i));
        }
    } else {
        residualCofactorDiagonals(last, residualDiagonal, adjustedDiagonal);
    }
    for (std::size_t i = 0; i < residualDiagonal.size(); ++i) {
        r.residualDeviation.push_back(standardDeviation(residualDiagonal[i]));
        r.adjustedAngleDeviation.push_back(standardDeviation(adjustedDiagonal[i]));
    }
    return r;
}

} // namespace resection
