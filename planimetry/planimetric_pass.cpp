#include "planimetry/planimetric_pass.hpp"

#include "angles/units.hpp"
#include "base/constants.hpp"
#include "base/run_stop.hpp"
#include "base/text.hpp"
#include "planimetry/adjustment.hpp"
#include "planimetry/position.hpp"
#include "precision/chi_square.hpp"

#include <cmath>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

namespace resection {

PassOutcome testVariance(RunContext& ctx) {
    const int n = ctx.pointCount;
    matrixProduct(n - 1, 2, 1, ctx.designMatrix, ctx.correction, ctx.designTimesCorrection);
    for (int i = 1; i <= n - 1; ++i) {
        ctx.residual(i) = ctx.misclosure(i) - ctx.designTimesCorrection(i);
    }
    for (int j = 1; j <= n - 1; ++j) {
        ctx.residualT(1, j) = ctx.residual(j);
    }
    timesAngleWeight(ctx, 1, ctx.residualT, ctx.residualTWeight);
    Matrix quadraticForm(1, 1);
    matrixProduct(1, n - 1, 1, ctx.residualTWeight, ctx.residual, quadraticForm);
    const int r = ctx.redundancy;
    ctx.varianceFactor = quadraticForm(1, 1) / r;
    PassOutcome outcome;
    outcome.statistic = ctx.varianceFactor * r / varianceFactorApriori;
    if (!(ctx.positionCritical > 0.0)) {
        ctx.positionCritical = chiSquare95(r);
    }
    outcome.verdict =
        outcome.statistic > ctx.positionCritical ? Verdict::Rejected : Verdict::Accepted;
    return outcome;
}

namespace {

// Units in the last place of a double: the spacing of doubles at x.
double unitInLastPlace(double x) {
    return std::nextafter(std::fabs(x), std::numeric_limits<double>::infinity()) - std::fabs(x);
}

// How far rounding alone can move a correction of the converged pass,
// metres. Two sources: the station itself is held to a unit in the last
// place of its coordinates, so a correction near convergence is known only to
// a few such units; and every misclosure is an azimuth difference rounded to
// some units in the last place of 2 pi, which the normal equations carry
// into the position by at most sqrt(trace Qxx) / sigma metres per radian
// (Qxx scales with sigma^2, so this does not depend on the precision of the
// pass). Eight times both: the corrections of wandering passes, seen in
// networks of 4 to 50 points, stay within a third of that.
double correctionRounding(const RunContext& ctx) {
    constexpr double eps = std::numeric_limits<double>::epsilon();
    const double station = unitInLastPlace(ctx.stationM) + unitInLastPlace(ctx.stationP);
    const double metresPerRadian =
        std::sqrt(std::fabs(ctx.coordCofactor(1, 1)) + std::fabs(ctx.coordCofactor(2, 2))) /
        std::fabs(ctx.directionPrecision);
    const double misclosure = 8.0 * eps * 2.0 * pi;
    return 8.0 * (station + metresPerRadian * misclosure);
}

// The cost of a pass in seconds, calibrated with the benchmark's pass-cost
// table (the least of five batches on a busy 2-core machine): each solution
// and the variance test multiply by the weight matrix, whose columns are
// formed from its band factors at a cost of order (N-1)^2, besides the
// misclosures (order N) and a fixed cost of some tenths of a microsecond.
double passWork(int pointCount, std::size_t solutions) {
    const double m = pointCount - 1;
    return static_cast<double>(solutions + 1) * (0.4e-6 + 4e-8 * m + 1.0e-9 * m * m);
}

} // namespace

PassOutcome planimetricPass(RunContext& ctx, double precision) {
    ctx.directionPrecision = precision;
    ctx.stationM = ctx.approximateM;
    ctx.stationP = ctx.approximateP;
    buildAngleWeights(ctx);
    IterationTrace trace = iterateStation(ctx);
    PassOutcome outcome = testVariance(ctx);
    outcome.work = passWork(ctx.pointCount, trace.corrections.size());
    outcome.corrections = std::move(trace.corrections);
    outcome.closestDecision = trace.closestDecision;
    outcome.rounding = correctionRounding(ctx);
    return outcome;
}

StationPosition findFirstPosition(RunContext& ctx) {
    formAngles(ctx);
    findApproximatePosition(ctx);
    ctx.approximateM = ctx.stationM;
    ctx.approximateP = ctx.stationP;
    return {ctx.approximateM, ctx.approximateP};
}

double aprioriAngleDeviation(RunContext& ctx) {
    ctx.directionPrecision = ctx.aprioriPrecision;
    buildAngleWeights(ctx);
    return std::sqrt(ctx.angleVariance);
}

double searchDirectionPrecision(RunContext& ctx) {
    try {
        const SearchSettings settings = searchSettings(ctx, ctx.aprioriPrecision);
        const SearchResult result =
            searchPrecision([&ctx](double precision) { return planimetricPass(ctx, precision); },
                            settings, chiSquare95(ctx.redundancy));
        ctx.directionPrecision = result.precision;
        ctx.positionSearch = result.counts;
    } catch (const SearchWithoutEnd& stop) {
        throw RunStop::badInput(searchWithoutEndMessage(stop, ctx.unit, "leituras azimutais"));
    }
    return ctx.directionPrecision;
}

SearchSettings searchSettings(const RunContext& ctx, double start) {
    SearchSettings settings;
    settings.start = start;
    settings.step = precisionStep(ctx.unit);
    settings.passByPass = ctx.passByPassSearch;
    settings.passBudget = ctx.passBudget;
    settings.workLimit = everyPassWorkLimit;
    return settings;
}

std::string searchWithoutEndMessage(const SearchWithoutEnd& stop, AngleUnit unit,
                                    const char* readings) {
    const std::string value =
        messageNumber(precisionFromRadians(unit, stop.precision())) + precisionUnitText(unit);
    if (stop.reason() == SearchWithoutEnd::Reason::ToleranceUnresolved ||
        stop.reason() == SearchWithoutEnd::Reason::Unpredictable) {
        // Two significant digits say the size; the locale plays no part.
        const auto twoDigits = [](double x) {
            char text[32];
            const auto written =
                std::to_chars(text, text + sizeof text, x, std::chars_format::general, 2);
            return std::string(text, written.ptr);
        };
        const std::string cost = std::isfinite(stop.passes())
                                     ? "cada uma das cerca de " +
                                           twoDigits(std::ceil(stop.passes())) +
                                           " passagens que faltam (cerca de " +
                                           twoDigits(stop.seconds()) + " s de calculo)"
                                     : "cada passagem, sem fim previsivel";
        if (stop.reason() == SearchWithoutEnd::Reason::ToleranceUnresolved) {
            return "Pesquisa da precisao interrompida: a tolerancia esta dentro do "
                   "arredondamento das correccoes (cerca de " +
                   twoDigits(stop.resolution()) + " m), e a pesquisa das " + readings +
                   " teria de calcular " + cost + "; indique uma tolerancia maior.";
        }
        return std::string("Pesquisa da precisao interrompida: os resultados das passagens nao "
                           "seguem a previsao, e a pesquisa das ") +
               readings + " teria de calcular " + cost + "; verifique as leituras e a geometria.";
    }
    if (stop.reason() == SearchWithoutEnd::Reason::NegativeAccepted) {
        return std::string(
                   "Pesquisa da precisao interrompida: o teste do qui-quadrado aceita as ") +
               readings + " com a precisao negativa de " + value +
               ", e a pesquisa desceria sem fim; indique uma precisao a priori positiva.";
    }
    return std::string("Pesquisa da precisao interrompida: com a precisao de ") + value +
           " o passo de 0.1" + precisionUnitText(unit) +
           " ja nao altera a precisao, e a pesquisa das " + readings +
           " nao terminaria; indique uma precisao a priori menor.";
}

} // namespace resection
