#include "report/planimetric_results.hpp"

#include "driver/constants.hpp"
#include "report/format.hpp"

#include <cmath>
#include <vector>

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
// order N instead of N^2 (and no N x N scratch).
void residualCofactorDiagonals(const RunContext& ctx, std::vector<double>& residualDiagonal,
                               std::vector<double>& adjustedDiagonal) {
    const int m = ctx.pointCount - 1;
    const Matrix& a = ctx.designMatrix;
    const Matrix& at = ctx.designMatrixT;
    const Matrix& qxx = ctx.coordCofactor;
    residualDiagonal.assign(static_cast<std::size_t>(m) + 1, 0.0);
    adjustedDiagonal.assign(static_cast<std::size_t>(m) + 1, 0.0);
    for (int i = 1; i <= m; ++i) {
        const double dc1 = (0.0 + a(i, 1) * qxx(1, 1)) + a(i, 2) * qxx(2, 1);
        const double dc2 = (0.0 + a(i, 1) * qxx(1, 2)) + a(i, 2) * qxx(2, 2);
        const double product = (0.0 + dc1 * at(1, i)) + dc2 * at(2, i);
        const double qvv = ctx.angleCofactor(i, i) - product;
        residualDiagonal[static_cast<std::size_t>(i)] = qvv;
        adjustedDiagonal[static_cast<std::size_t>(i)] = ctx.angleCofactor(i, i) - qvv;
    }
}

} // namespace

void writePlanimetricResults(RunContext& ctx) {
    std::ostream& out = *ctx.report;
    const int m = ctx.pointCount - 1;
    const std::string& code = ctx.unitCode;
    const bool seconds = code == "gs" || code == "gd";
    const bool grads = code == "gr";

    writeRecord(out, {lit("Numero de iteracoes (planimetria): "), fieldI(ctx.iterationCount, 3)});
    writeBlankLine(out);
    writeRecord(out, {lit("Coordenadas planimetricas ajustadas:")});
    writeBlankLine(out);
    const int nameLength = trimmedLength(ctx.stationName);
    if (nameLength >= 1) {
        writeRecord(out, {lit("     M("), fieldA(ctx.stationName, nameLength), lit(") = "),
                          fieldF(ctx.adjustedM, 12, 3), lit(" m")});
        writeRecord(out, {lit("     P("), fieldA(ctx.stationName, nameLength), lit(") = "),
                          fieldF(ctx.adjustedP, 12, 3), lit(" m")});
    }
    writeBlankLine(out);

    if (seconds || grads) {
        writeRecord(out, {lit("Residuos dos angulos azimutais:")});
        writeBlankLine(out);
        for (int i = 1; i <= m; ++i) {
            const double v = ctx.residual(i);
            if (seconds) {
                writeRecord(out, {skip(10), fieldF(v * 180.0 / pi * 3600.0, 10, 2), lit(" \"")});
            } else {
                writeRecord(out, {skip(10), fieldF(v * 180.0 / pi * 400.0 / 360.0 * 1000.0, 10, 6),
                                  lit(" mgon")});
            }
        }
        writeBlankLine(out);

        writeRecord(out, {lit("Angulos azimutais ajustados:")});
        writeBlankLine(out);
        for (int i = 1; i <= m; ++i) {
            // The adjusted angle replaces the observed one, in the printed unit.
            const double a = ctx.observedAngle(i) + ctx.residual(i);
            if (code == "gs") {
                ctx.observedAngle(i) = a * 180.0 / pi;
                writeRecord(out, {skip(10), fieldF(ctx.observedAngle(i), 9, 5), lit(" "),
                                  byteItem(decimalDegreeSign)});
            } else if (code == "gd") {
                const double d = a * 180.0 / pi;
                ctx.observedAngle(i) = d;
                // Truncation toward zero at each step and no carry: seconds
                // that round to 60.00 are printed so.
                const std::int32_t degrees = truncateToInt32(d);
                const double minutesReal = (d - degrees) * 60.0;
                const std::int32_t minutes = truncateToInt32(minutesReal);
                const double secondsPart = (minutesReal - minutes) * 60.0;
                writeRecord(out,
                            {skip(10), fieldI(degrees, 4), byteItem(sexagesimalDegreeSign),
                             fieldI(minutes, 3), lit("'"), fieldF(secondsPart, 6, 2), lit("\"")});
            } else {
                ctx.observedAngle(i) = a * 180.0 / pi * 400.0 / 360.0;
                writeRecord(out, {skip(10), fieldF(ctx.observedAngle(i), 10, 6), lit(" gon")});
            }
        }
        writeBlankLine(out);
    }

    const double sigmaM = std::sqrt(ctx.varianceFactor * ctx.coordCofactor(1, 1));
    const double sigmaP = std::sqrt(ctx.varianceFactor * ctx.coordCofactor(2, 2));
    writeRecord(out, {lit("Precisao das coordenadas: em M = "), fieldF(sigmaM, 5, 3),
                      lit(" m; em P = "), fieldF(sigmaP, 5, 3), lit(" m")});
    writeBlankLine(out);

    std::vector<double> residualDiagonal;
    std::vector<double> adjustedDiagonal;
    if (ctx.denseReference) {
        Matrix residualCofactor;
        Matrix adjustedAngleCofactor;
        residualCofactors(ctx, residualCofactor, adjustedAngleCofactor);
        residualDiagonal.assign(static_cast<std::size_t>(m) + 1, 0.0);
        adjustedDiagonal.assign(static_cast<std::size_t>(m) + 1, 0.0);
        for (int i = 1; i <= m; ++i) {
            residualDiagonal[static_cast<std::size_t>(i)] = residualCofactor(i, i);
            adjustedDiagonal[static_cast<std::size_t>(i)] = adjustedAngleCofactor(i, i);
        }
    } else {
        residualCofactorDiagonals(ctx, residualDiagonal, adjustedDiagonal);
    }
    if (seconds || grads) {
        writeRecord(out, {lit("Precisao dos residuos dos angulos azimutais:")});
        writeBlankLine(out);
        for (int i = 1; i <= m; ++i) {
            const double s = standardDeviation(residualDiagonal[static_cast<std::size_t>(i)]);
            if (seconds) {
                writeRecord(out, {fieldF(s / pi * 648000.0, 10, 2), lit(" \"")});
            } else {
                writeRecord(out, {fieldF(s / pi * 200000.0, 10, 5), lit(" mgon")});
            }
        }
        writeBlankLine(out);

        writeRecord(out, {lit("Precisao dos angulos azimutais ajustados:")});
        writeBlankLine(out);
        for (int i = 1; i <= m; ++i) {
            const double s = standardDeviation(adjustedDiagonal[static_cast<std::size_t>(i)]);
            if (seconds) {
                writeRecord(out, {fieldF(s * 180.0 / pi * 3600.0, 10, 2), lit(" \"")});
            } else {
                writeRecord(out,
                            {fieldF(s * 180.0 / pi * 400.0 / 360.0 * 1000.0, 10, 3), lit(" mgon")});
            }
        }
    }
}

} // namespace resection
