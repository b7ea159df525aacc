// The station's height from zenith readings to points of known height: the
// adjustment of the one unknown at one precision of the readings, the search
// for the precision at which its variance test changes its verdict, and the
// results the report prints. The adjustment's work arrays are its own; a pass
// returns what it found.
#pragma once

#include "input/survey.hpp"
#include "matrix/matrix.hpp"
#include "precision/precision_search.hpp"

#include <vector>

namespace resection {

// What one pass found: what the precision search needs, and what the report
// prints of the last pass.
struct HeightPass {
    PassOutcome search;
    int iterations = 0; // one above the number of corrections
    double stationHeight = 0.0;
    Matrix design;                   // A, n x 1: d(zenith angle) / dH
    Matrix residual;                 // v, n x 1, adjusted minus observed
    double cofactor = 0.0;           // Q_H = 1 / (A^T P A)
    double posterioriVariance = 0.0; // s0^2 = v^T P v / (n - 1)
};

class HeightAdjustment {
  public:
    // The zenith readings seen from the station's plane position (the point
    // of the position's last linearisation).
    HeightAdjustment(const ZenithSection& section, double tolerance, double stationM,
                     double stationP);

    // A pass at a precision sigma of the zenith readings (radians): the
    // weights 1 / sigma^2, the starting value from the first observation,
    // the iteration of H with the curvature and refraction term left out,
    // the residuals and the variance test. Ends the run (Stop) when the
    // iteration does not converge, runs away, or has no horizontal distance
    // to work with, and for a precision of 0 ("Matriz singular!").
    HeightPass pass(double sigma);

    // The starting value from observation 1 alone, with the combined earth
    // curvature and refraction term, which the observation equations leave
    // out.
    double startingHeight() const;

    // The weights 1 / sigma^2 of the readings, all equal: every weight matrix
    // the passes use is this value on the diagonal of an n x n matrix, as
    // the general inversion of the diagonal cofactor matrix gives it. A
    // precision of exactly 0 is a matrix of zero rows (SingularMatrix).
    static double weight(double sigma);

    double criticalValue() const { return critical_; }

  private:
    const ZenithSection& section_;
    double tolerance_;
    double stationM_, stationP_;
    double critical_; // the 95 % chi-square point for n - 1
};

struct HeightSearch {
    // With a single observation there is nothing to adjust: no height.
    bool adjusted = false;
    double precision = 0.0; // the a posteriori precision of the readings, radians
    HeightPass last;        // the last pass, whose results the report prints
    SearchCounts counts;
};

// The search from the a priori precision of the header.
HeightSearch searchZenithPrecision(const ZenithSection& section, const SurveyHeader& header,
                                   double stationM, double stationP,
                                   const ComputeOptions& options = {});

// The results of the height's last pass, as the report prints them.
struct HeightResults {
    int iterations = 0; // one above the number of corrections
    double stationHeight = 0.0;
    // Per observation i = 1..n, at index i - 1.
    std::vector<double> residual;        // radians
    std::vector<double> adjustedReading; // zenith reading + residual, radians
    double heightDeviation = 0.0;        // metres, with the a posteriori variance
    // Standard deviations of the adjusted readings with the a posteriori
    // variance, degrees.
    std::vector<double> adjustedReadingDeviation;
};
HeightResults heightResults(const ZenithSection& section, const HeightPass& last);

// Earth curvature and refraction together, per metre, in the starting value
// only: 6.82e-8 as a single-precision constant widened to double.
inline constexpr double curvatureRefractionFactor = 6.819999958551649e-08;

} // namespace resection
