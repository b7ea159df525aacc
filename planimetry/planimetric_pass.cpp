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
    outcome.verdict = chiSquareVerdict(outcome.statistic, r);
    return outcome;
}

PassOutcome planimetricPass(RunContext& ctx, double precision) {
    ctx.directionPrecision = precision;
    ctx.stationM = ctx.approximateM;
    ctx.stationP = ctx.approximateP;
    buildAngleWeights(ctx);
    std::vector<double> corrections = iterateStation(ctx);
    PassOutcome outcome = testVariance(ctx);
    outcome.corrections = std::move(corrections);
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
        SearchSettings settings = searchSettings(ctx, ctx.aprioriPrecision);
        // A pass of ten solutions costs some 4e-5 s plus 1e-8 N^2 s (50 us
        // at 30 points, 10 ms at 1001): computing every pass stops after
        // about a second and a half's worth.
        const double n = ctx.pointCount;
        settings.unresolvedPassLimit =
            std::max<std::int64_t>(50, static_cast<std::int64_t>(1.5 / (4e-5 + 1e-8 * n * n)));
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
    settings.tolerance = ctx.tolerance;
    settings.passByPass = ctx.passByPassSearch;
    settings.passBudget = ctx.passBudget;
    return settings;
}

std::string searchWithoutEndMessage(const SearchWithoutEnd& stop, AngleUnit unit,
                                    const char* readings) {
    const std::string value =
        messageNumber(precisionFromRadians(unit, stop.precision())) + precisionUnitText(unit);
    if (stop.reason() == SearchWithoutEnd::Reason::ToleranceUnresolved) {
        // Two significant digits say the size; the locale plays no part.
        char rounding[32];
        const auto written = std::to_chars(rounding, rounding + sizeof rounding, stop.resolution(),
                                           std::chars_format::general, 2);
        return std::string("Pesquisa da precisao interrompida: a tolerancia esta dentro do "
                           "arredondamento das correccoes (cerca de ") +
               std::string(rounding, written.ptr) + " m), e a pesquisa das " + readings +
               " teria de calcular cada passagem, cada uma podendo acabar com outro numero de "
               "iteracoes; indique uma tolerancia maior.";
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
