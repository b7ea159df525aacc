#include "report/planimetric_results.hpp"

#include "angles/units.hpp"
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
        const double qvv = ctx.angleVariance - product;
        residualDiagonal[static_cast<std::size_t>(i)] = qvv;
        adjustedDiagonal[static_cast<std::size_t>(i)] = ctx.angleVariance - qvv;
    }
}

} // namespace

void writePlanimetricResults(RunContext& ctx) {
    std::ostream& out = *ctx.report;
    const int m = ctx.pointCount - 1;
    const AngleUnit unit = ctx.unit;
    const bool seconds = precisionInSeconds(unit);
    const bool grads = unit == AngleUnit::Grads;

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
                writeRecord(out, {skip(10), fieldF(radiansToSeconds(v), 10, 2), lit(" \"")});
            } else {
                writeRecord(out,
                            {skip(10), fieldF(radiansToMgonViaDegrees(v), 10, 6), lit(" mgon")});
            }
        }
        writeBlankLine(out);

        writeRecord(out, {lit("Angulos azimutais ajustados:")});
        writeBlankLine(out);
        for (int i = 1; i <= m; ++i) {
            // The adjusted angle replaces the observed one, in the printed unit.
            const double a = ctx.observedAngle(i) + ctx.residual(i);
            if (unit == AngleUnit::Sexagesimal) {
                // Sexagesimal readings give decimal degrees here, and decimal
                // readings degrees, minutes and seconds.
                ctx.observedAngle(i) = radiansToDegrees(a);
                writeRecord(out, {skip(10), fieldF(ctx.observedAngle(i), 9, 5), lit(" "),
                                  byteItem(decimalDegreeSign)});
            } else if (unit == AngleUnit::DecimalDegrees) {
                ctx.observedAngle(i) = radiansToDegrees(a);
                const Sexagesimal dms = splitSexagesimal(ctx.observedAngle(i));
                writeRecord(out, {skip(10), fieldI(dms.degrees, 4), byteItem(sexagesimalDegreeSign),
                                  fieldI(dms.minutes, 3), lit("'"), fieldF(dms.seconds, 6, 2),
                                  lit("\"")});
            } else {
                ctx.observedAngle(i) = radiansToGonViaDegrees(a);
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
                writeRecord(out, {fieldF(radiansToSecondsByArc(s), 10, 2), lit(" \"")});
            } else {
                writeRecord(out, {fieldF(radiansToMgonByArc(s), 10, 5), lit(" mgon")});
            }
        }
        writeBlankLine(out);

        writeRecord(out, {lit("Precisao dos angulos azimutais ajustados:")});
        writeBlankLine(out);
        for (int i = 1; i <= m; ++i) {
            const double s = standardDeviation(adjustedDiagonal[static_cast<std::size_t>(i)]);
            if (seconds) {
                writeRecord(out, {fieldF(radiansToSeconds(s), 10, 2), lit(" \"")});
            } else {
                writeRecord(out, {fieldF(radiansToMgonViaDegrees(s), 10, 3), lit(" mgon")});
            }
        }
    }
}

} // namespace resection
