#include "planimetry/search.hpp"

#include "angles/units.hpp"
#include "driver/constants.hpp"
#include "driver/run_stop.hpp"
#include "planimetry/adjustment.hpp"
#include "planimetry/chi_square.hpp"
#include "planimetry/position.hpp"
#include "report/format.hpp"

namespace resection {

double precisionStep(const std::string& unitCode) {
    if (precisionInSeconds(unitCode)) {
        // 2.777777777777778e-05 is the double nearest to 0.1" in degrees.
        return pi * 2.777777777777778e-05 / 180.0;
    }
    // 0.1 mgon with the factor as the single-precision value of 1.0e-4 gon.
    return pi * 1.0000000149011611e-4 / 200.0;
}

char chiSquareVerdict(double statistic, int degreesOfFreedom) {
    return statistic > chiSquare95(degreesOfFreedom) ? 'r' : 'a';
}

bool testVariance(RunContext& ctx) {
    const int n = ctx.pointCount;
    const double varianceFactorApriori = 1.0;
    matrixProduct(n - 1, 2, 1, ctx.designMatrix, ctx.correction, ctx.designTimesCorrection);
    for (int i = 1; i <= n - 1; ++i) {
        ctx.residual(i) = ctx.misclosure(i) - ctx.designTimesCorrection(i);
    }
    for (int j = 1; j <= n - 1; ++j) {
        ctx.residualT(1, j) = ctx.residual(j);
    }
    if (ctx.denseReference) {
        matrixProduct(1, n - 1, n - 1, ctx.residualT, ctx.angleWeight, ctx.residualTWeight);
    } else {
        matrixProductInterleaved(1, n - 1, n - 1, ctx.residualT, ctx.angleWeight,
                                 ctx.residualTWeight);
    }
    Matrix quadraticForm(1, 1);
    matrixProduct(1, n - 1, 1, ctx.residualTWeight, ctx.residual, quadraticForm);
    const int r = ctx.redundancy;
    ctx.varianceFactor = quadraticForm(1, 1) / r;
    const double statistic = ctx.varianceFactor * r / varianceFactorApriori;
    return stepAgainstVerdict(ctx, chiSquareVerdict(statistic, r), ctx.directionPrecision);
}

bool stepAgainstVerdict(RunContext& ctx, char verdict, double& precision) {
    ctx.previousTestResult = ctx.testResult;
    ctx.testResult = verdict;
    const double step = precisionStep(ctx.unitCode);
    if (verdict == 'a') {
        precision = precision - step;
    } else {
        precision = precision + step;
    }
    return (verdict == 'a' && ctx.previousTestResult == 'r') ||
           (verdict == 'r' && ctx.previousTestResult == 'a');
}

bool walkEndsAtFloor(double& precision, double precisionOfPass, double start,
                     const std::string& unitCode, const char* readings) {
    const WalkState walk = checkWalk(precision, start, unitCode);
    if (walk == WalkState::PastCeiling) {
        throw RunStop::message(ceilingMessage(unitCode, readings));
    }
    if (walk == WalkState::ReachedZero) {
        // Still accepted at the smallest positive precision of the walk:
        // report that precision, whose pass is the last one.
        precision = precisionOfPass;
        return true;
    }
    return false;
}

WalkState checkWalk(double precision, double start, const std::string& unitCode) {
    const double step = precisionStep(unitCode);
    if (precision < 0.5 * step) {
        return WalkState::ReachedZero;
    }
    if (precision > start + precisionToRadians(unitCode, 1000.0)) {
        return WalkState::PastCeiling;
    }
    return WalkState::Continue;
}

std::string ceilingMessage(const std::string& unitCode, const char* readings) {
    return std::string("Pesquisa da precisao interrompida: o teste do qui-quadrado rejeita ") +
           readings + " mesmo com precisao de mais de 1000 " +
           (precisionInSeconds(unitCode) ? "segundos" : "mgon") + " acima da precisao a priori.";
}

void runPlanimetricSearch(RunContext& ctx) {
    ctx.testResult = '?';
    ctx.previousTestResult = '?';
    ctx.passCount = 0;
    while (true) {
        formAngles(ctx);
        approximatePosition(ctx);
        buildAngleWeights(ctx);
        if (ctx.passCount == 0) {
            writeAprioriAngleLine(ctx);
        }
        ctx.passCount = ctx.passCount + 1;
        iterateStation(ctx);
        const double precisionOfPass = ctx.directionPrecision;
        if (testVariance(ctx) ||
            walkEndsAtFloor(ctx.directionPrecision, precisionOfPass, ctx.aprioriPrecision,
                            ctx.unitCode, "as leituras azimutais")) {
            break;
        }
    }
    const double value = precisionFromRadians(ctx.unitCode, ctx.directionPrecision);
    writeRecord(*ctx.report, {lit("Precisao a posteriori dos angulos azimutais:"),
                              fieldF(value, 5, 1), lit(precisionUnitText(ctx.unitCode))});
    writeBlankLine(*ctx.report);
}

} // namespace resection
