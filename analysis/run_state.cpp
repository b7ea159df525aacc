#include "analysis/run_state.hpp"

#include "report/messages.hpp"

#include <cmath>

namespace resection {

namespace {

// The analysis words the program's stops as the program does, and goes on
// where it can (RunStop); a singular matrix stays what it is.
template <class Body> auto asRunStop(const RunContext& ctx, Body body) {
    try {
        return body();
    } catch (const SingularMatrix&) {
        throw;
    } catch (const Stop& stop) {
        throw RunStop(stopMessage(stop, ctx.unit), exitStatus(stop.reason()));
    }
}

std::vector<std::string> oneBased(const std::vector<std::string>& names) {
    std::vector<std::string> result(1, std::string(12, ' '));
    result.insert(result.end(), names.begin(), names.end());
    return result;
}

} // namespace

std::vector<std::string> readPlanimetricSection(RunContext& ctx) {
    return asRunStop(ctx, [&ctx] {
        PointRecords records = readPlanimetricSection(*ctx.input);
        ctx.survey = std::move(records.survey);
        const Survey& s = ctx.survey;
        ctx.unitCode = s.header.unitCode;
        ctx.unit = s.header.unit;
        ctx.tolerance = s.header.tolerance;
        ctx.aprioriPrecision = s.header.aprioriPrecision;
        ctx.zenithPrecision = s.header.aprioriPrecision;
        ctx.stationName = s.header.stationName;
        ctx.pointCount = s.pointCount;
        ctx.redundancy = s.redundancy;
        ctx.pointName = oneBased(s.pointName);
        ctx.pointCoords = s.pointCoords;
        ctx.directionReading = s.directionReading;
        return records.echo;
    });
}

void readZenithSection(RunContext& ctx) {
    asRunStop(ctx, [&ctx] {
        ctx.zenith = readZenithSection(*ctx.input, ctx.survey.header);
        const ZenithSection& z = ctx.zenith;
        ctx.zenithCount = z.count;
        ctx.instrumentHeight = z.instrumentHeight;
        ctx.zenithPointName = oneBased(z.pointName);
        ctx.zenithPointM = z.pointM;
        ctx.zenithPointP = z.pointP;
        ctx.zenithPointHeight = z.pointHeight;
        ctx.zenithReading = z.reading;
        ctx.signalHeight = z.signalHeight;
        ctx.horizontalDistance = Matrix(z.count, 1);
        ctx.heightDesign = Matrix(z.count, 1);
        ctx.zenithResidual = Matrix(z.count, 1);
        ctx.heightCofactor = Matrix(1, 1);
    });
}

StationPosition findFirstPosition(RunContext& ctx) {
    return asRunStop(ctx, [&ctx] {
        ctx.first = findFirstPosition(ctx.survey);
        ctx.approximateM = ctx.first.m;
        ctx.approximateP = ctx.first.p;
        ctx.stationM = ctx.first.m;
        ctx.stationP = ctx.first.p;
        return StationPosition{ctx.first.m, ctx.first.p};
    });
}

PassOutcome planimetricPass(RunContext& ctx, double precision) {
    return asRunStop(ctx, [&ctx, precision] {
        PlanimetricAdjustment adjustment(ctx.survey, ctx.first);
        const PlanimetricPass pass = adjustment.pass(precision);
        ctx.stationM = pass.stationM;
        ctx.stationP = pass.stationP;
        ctx.adjustedM = pass.adjustedM;
        ctx.adjustedP = pass.adjustedP;
        ctx.coordCofactor = pass.coordCofactor;
        return pass.search;
    });
}

PassOutcome heightPass(RunContext& ctx, double sigma) {
    return asRunStop(ctx, [&ctx, sigma] {
        const ZenithSection& z = ctx.zenith;
        for (int i = 1; i <= z.count; ++i) {
            ctx.horizontalDistance(i) =
                std::sqrt((z.pointM(i) - ctx.stationM) * (z.pointM(i) - ctx.stationM) +
                          (z.pointP(i) - ctx.stationP) * (z.pointP(i) - ctx.stationP));
        }
        HeightAdjustment adjustment(z, ctx.tolerance, ctx.stationM, ctx.stationP);
        const HeightPass pass = adjustment.pass(sigma);
        ctx.stationHeight = pass.stationHeight;
        ctx.heightDesign = pass.design;
        ctx.zenithResidual = pass.residual;
        ctx.heightCofactor(1, 1) = pass.cofactor;
        ctx.heightPosterioriVariance = pass.posterioriVariance;
        return pass.search;
    });
}

} // namespace resection
