#include "planimetry/results.hpp"

#include <cmath>

namespace resection {

double standardDeviation(double variance) {
    return variance < 0.0 ? 0.0 : std::sqrt(variance);
}

void residualCofactors(const RunContext& ctx, Matrix& residualCofactor,
                       Matrix& adjustedAngleCofactor) {
    const int m = ctx.pointCount - 1;
    Matrix designCofactorProduct(m, 2);
    matrixProduct(m, 2, 2, ctx.designMatrix, ctx.coordCofactor, designCofactorProduct);
    Matrix product(m, m);
    matrixProduct(m, 2, m, designCofactorProduct, ctx.designMatrixT, product);
    residualCofactor = Matrix(m, m);
    adjustedAngleCofactor = Matrix(m, m);
    for (int j = 1; j <= m; ++j) {
        for (int i = 1; i <= m; ++i) {
            residualCofactor(i, j) = ctx.angleCofactor(i, j) - product(i, j);
        }
    }
    for (int j = 1; j <= m; ++j) {
        for (int i = 1; i <= m; ++i) {
            adjustedAngleCofactor(i, j) = ctx.angleCofactor(i, j) - residualCofactor(i, j);
        }
    }
}

namespace {

// Only the diagonals of Qvv and of Qll - Qvv are printed. Each diagonal
// element of the dense products depends on its own row and column alone, so
// forming it by the same two-term sums gives the same bits at a cost of
// order N instead of N^2 (and no N x N scratch). Index i - 1 holds element i.
void residualCofactorDiagonals(const RunContext& ctx, std::vector<double>& residualDiagonal,
                               std::vector<double>& adjustedDiagonal) {
    const int m = ctx.pointCount - 1;
    const Matrix& a = ctx.designMatrix;
    const Matrix& at = ctx.designMatrixT;
    const Matrix& qxx = ctx.coordCofactor;
    for (int i = 1; i <= m; ++i) {
        const double dc1 = (0.0 + a(i, 1) * qxx(1, 1)) + a(i, 2) * qxx(2, 1);
        const double dc2 = (0.0 + a(i, 1) * qxx(1, 2)) + a(i, 2) * qxx(2, 2);
        const double product = (0.0 + dc1 * at(1, i)) + dc2 * at(2, i);
        const double qvv = ctx.angleVariance - product;
        residualDiagonal.push_back(qvv);
        adjustedDiagonal.push_back(ctx.angleVariance - qvv);
    }
}

} // namespace

PlanimetricResults planimetricResults(const RunContext& ctx) {
    PlanimetricResults r;
    const int m = ctx.pointCount - 1;
    r.iterationCount = ctx.iterationCount;
    r.adjustedM = ctx.adjustedM;
    r.adjustedP = ctx.adjustedP;
    for (int i = 1; i <= m; ++i) {
        r.residual.push_back(ctx.residual(i));
        r.adjustedAngle.push_back(ctx.observedAngle(i) + ctx.residual(i));
    }
    r.sigmaM = std::sqrt(ctx.varianceFactor * ctx.coordCofactor(1, 1));
    r.sigmaP = std::sqrt(ctx.varianceFactor * ctx.coordCofactor(2, 2));

    std::vector<double> residualDiagonal;
    std::vector<double> adjustedDiagonal;
    if (ctx.denseReference) {
        Matrix residualCofactor;
        Matrix adjustedAngleCofactor;
        residualCofactors(ctx, residualCofactor, adjustedAngleCofactor);
        for (int i = 1; i <= m; ++i) {
            residualDiagonal.push_back(residualCofactor(i, i));
            adjustedDiagonal.push_back(adjustedAngleCofactor(i, i));
        }
    } else {
        residualCofactorDiagonals(ctx, residualDiagonal, adjustedDiagonal);
    }
    for (std::size_t i = 0; i < residualDiagonal.size(); ++i) {
        r.residualDeviation.push_back(standardDeviation(residualDiagonal[i]));
        r.adjustedAngleDeviation.push_back(standardDeviation(adjustedDiagonal[i]));
    }
    return r;
}

} // namespace resection
