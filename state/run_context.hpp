// Everything the computing stages of one run share.
//
// The program is one sequential pass: the input stages fill these values, the
// adjustments read them and leave their work arrays and results here, and the
// report writers read what they print from the results. Keeping them in one
// struct that each stage receives (rather than in globals) lets every stage be
// run and tested on its own; nothing here knows of the console or the report.
#pragma once

#include "angles/units.hpp"
#include "matrix/band.hpp"
#include "matrix/matrix.hpp"
#include "precision/precision_search.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace resection {

class RecordReader;

struct RunContext {
    // The input file, set by the driver: the reader and the name its
    // messages give.
    RecordReader* input = nullptr;
    std::string inputFileName;
    // The straightforward dense routines for the angle weights and the
    // products with them, instead of those that use the band structure of
    // those matrices. Both print the same bytes; the dense ones cost time of
    // order N^3 per pass and stay as the reference the tests compare with.
    bool denseReference = false;
    // Compute every pass of the precision searches instead of only those
    // whose verdict is not known from the others: the reference the tests
    // compare the searches with. Both print the same bytes.
    bool passByPassSearch = false;
    // At most this many passes computed per search (0: no bound); over it
    // the run ends with PassBudgetExceeded, which only the fuzzers ask for.
    std::int64_t passBudget = 0;

    // Header and station record.
    std::string unitCode;                // as read: "gd", "gs" or "gr"
    AngleUnit unit = AngleUnit::Unknown; // from the unit code
    double tolerance = 0.0;              // metres
    double directionPrecision = 0.0;     // radians, stepped by the precision search
    double aprioriPrecision = 0.0;       // radians, as read: the search's starting value
    double zenithPrecision = 0.0;        // radians, stepped by the height search
    std::string stationName;             // 12 characters
    std::int32_t pointCount = 0;         // N
    std::int32_t redundancy = 0;         // N - 3

    // Point arrays, i = 1..N in file order.
    std::vector<std::string> pointName; // index 0 unused
    Matrix pointCoords;                 // N x 2: M, P in metres
    Matrix directionReading;            // N x 1, radians

    // Work arrays of the planimetric adjustment. The intermediates of the
    // dense weights (F, its transpose, the direction covariance and cofactor,
    // their product, and Qll itself) are sized by the dense routine when it
    // first runs: the band routine never needs them.
    Matrix observedAngle;           // (N-1) x 1
    Matrix differenceOperator;      // (N-1) x N
    Matrix differenceOperatorT;     // N x (N-1)
    Matrix directionCovariance;     // N x N
    Matrix directionCofactor;       // N x N
    Matrix differenceTimesCofactor; // (N-1) x N
    Matrix angleCofactor;           // Qll, (N-1) x (N-1), dense routines only
    double angleVariance = 0.0;     // Qll(i, i), the same for every angle
    double angleAbove = 0.0;        // Qll(i, i+1)
    double angleBelow = 0.0;        // Qll(i+1, i)
    // The weight matrix P, (N-1) x (N-1): its band factors, whose columns
    // are formed when a product needs them, or, where the band routine
    // declines and always with the dense routines, the stored matrix.
    TridiagonalInverse angleWeightFactors;
    bool angleWeightStored = false;
    Matrix angleWeight;
    Matrix misclosure;            // w, (N-1) x 1
    Matrix designMatrix;          // A, (N-1) x 2
    Matrix designMatrixT;         // 2 x (N-1)
    Matrix designTWeight;         // 2 x (N-1)
    Matrix normalMatrix;          // 2 x 2
    Matrix normalVector;          // 2 x 1
    Matrix coordCofactor;         // Qxx, 2 x 2
    Matrix correction;            // 2 x 1
    Matrix designTimesCorrection; // (N-1) x 1
    Matrix residual;              // v, (N-1) x 1
    Matrix residualT;             // 1 x (N-1)
    Matrix residualTWeight;       // 1 x (N-1)

    // First position, the same for every pass, and adjustment.
    double approximateM = 0.0; // where every pass starts, metres
    double approximateP = 0.0;
    double stationM = 0.0; // point of linearisation, metres
    double stationP = 0.0;
    double adjustedM = 0.0;
    double adjustedP = 0.0;
    int iterationCount = 0;
    double varianceFactor = 0.0;
    // The 95 % chi-square point for the redundancy, computed once: above ten
    // degrees of freedom it is a quantile found by iteration, which would
    // otherwise cost every pass more than the adjustment itself.
    double positionCritical = 0.0;
    SearchCounts positionSearch;

    // Height.
    std::int32_t zenithCount = 0;
    double instrumentHeight = 0.0;
    double stationHeight = 0.0;
    int heightIterations = 0;
    std::vector<std::string> zenithPointName; // index 0 unused
    Matrix zenithPointM, zenithPointP, zenithPointHeight, zenithReading, signalHeight;
    Matrix horizontalDistance;
    Matrix zenithWeight;                   // n x n
    Matrix heightDesign;                   // A, n x 1
    Matrix heightDesignT;                  // 1 x n
    Matrix zenithMisclosure;               // l, n x 1
    Matrix zenithResidual;                 // v, n x 1
    Matrix heightCofactor;                 // Q_H, 1 x 1
    double heightPosterioriVariance = 0.0; // s0^2
    double heightCritical = 0.0;           // as positionCritical, for n - 1
    SearchCounts heightSearch;
};

} // namespace resection
