// What the analysis keeps of a run: the survey as read, the first position,
// and the figures of the program's passes it repeats, in the fields the
// analysis reads them from. The passes themselves are the program's
// (PlanimetricAdjustment, HeightAdjustment); the functions below run them
// and leave their figures here.
#pragma once

#include "altimetry/height.hpp"
#include "base/run_stop.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "input/zenith_section.hpp"
#include "planimetry/adjustment.hpp"
#include "planimetry/position.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace resection {

struct RunContext {
    // The input file: the reader and the name its messages give.
    RecordReader* input = nullptr;
    std::string inputFileName;

    Survey survey;
    FirstPosition first;
    ZenithSection zenith;

    // Header and station record, as in survey.header.
    std::string unitCode;
    AngleUnit unit = AngleUnit::Unknown;
    double tolerance = 0.0;
    double aprioriPrecision = 0.0; // radians
    double zenithPrecision = 0.0;  // radians, the header's
    std::string stationName;
    std::int32_t pointCount = 0;
    std::int32_t redundancy = 0;
    std::vector<std::string> pointName; // index 0 unused
    Matrix pointCoords;                 // N x 2
    Matrix directionReading;            // N x 1, radians

    // The first position, and the last planimetric pass.
    double approximateM = 0.0, approximateP = 0.0;
    double stationM = 0.0, stationP = 0.0; // point of linearisation
    double adjustedM = 0.0, adjustedP = 0.0;
    Matrix coordCofactor;

    // The zenith section (index 1..n), and the last height pass.
    std::int32_t zenithCount = 0;
    double instrumentHeight = 0.0;
    std::vector<std::string> zenithPointName; // index 0 unused
    Matrix zenithPointM, zenithPointP, zenithPointHeight, zenithReading, signalHeight;
    Matrix horizontalDistance;
    Matrix heightDesign;
    Matrix zenithResidual;
    Matrix heightCofactor; // 1 x 1
    double stationHeight = 0.0;
    double heightPosterioriVariance = 0.0;
};

// The planimetric section from ctx.input; returns the echo.
std::vector<std::string> readPlanimetricSection(RunContext& ctx);
// The altimetric section from ctx.input.
void readZenithSection(RunContext& ctx);

struct StationPosition {
    double m = 0.0;
    double p = 0.0;
};
// The first position (approximateM, approximateP; stationM, stationP there).
StationPosition findFirstPosition(RunContext& ctx);

// The program's pass at a precision, its figures left in ctx.
PassOutcome planimetricPass(RunContext& ctx, double precision);
// The program's height pass from the plane position stationM, stationP.
PassOutcome heightPass(RunContext& ctx, double sigma);

} // namespace resection
