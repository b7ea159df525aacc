// The adjustment of the station's coordinates at one precision of the
// direction readings: the weights of the correlated angles, the least-squares
// iteration and the variance test. Its work arrays are its own; a pass
// returns what it found.
#pragma once

#include "input/survey.hpp"
#include "matrix/band.hpp"
#include "matrix/matrix.hpp"
#include "planimetry/position.hpp"
#include "precision/precision_search.hpp"

#include <vector>

namespace resection {

// The angle cofactor Qll = F Qdd F^T, with F the difference operator (-1 at
// (i, i), +1 at (i, i+1)) and Qdd = sigma_d^2 I the cofactor of the
// directions: consecutive angles share a direction, so Qll is tridiagonal with
// 2 sigma_d^2 on the diagonal and -sigma_d^2 beside it.
struct AngleCofactor {
    double diagonal = 0.0; // Qll(i, i), the same for every angle
    double above = 0.0;    // Qll(i, i+1)
    double below = 0.0;    // Qll(i+1, i)
    Matrix dense;          // the whole of Qll, formed by the dense routines only
};

// What one pass found: what the precision search needs, and what the report
// prints of the last pass.
struct PlanimetricPass {
    PassOutcome search;
    int iterationCount = 0; // the solutions of the pass, the converging one included
    // The point of the last linearisation, where the height is computed.
    double stationM = 0.0, stationP = 0.0;
    // The last correction added: the adjusted coordinates.
    double adjustedM = 0.0, adjustedP = 0.0;
    double varianceFactor = 0.0; // v^T P v / r
    Matrix designMatrix;         // A, (N-1) x 2, of the converged iteration
    Matrix coordCofactor;        // Qxx, 2 x 2
    Matrix residual;             // v, (N-1) x 1, adjusted minus observed angle
    AngleCofactor angleCofactor;
};

class PlanimetricAdjustment {
  public:
    // dense: the straightforward dense routines for the weights and the
    // products with them, the reference the band routines are checked
    // against (the same bits, at a cost of order N^3 a pass).
    PlanimetricAdjustment(const Survey& survey, const FirstPosition& first, bool dense = false);

    // A pass at a precision of the readings (radians): the weights, the
    // Gauss-Newton iteration from the first position, the residuals and the
    // chi-square test. Ends the run (Stop) without convergence after ten
    // solutions, where the station falls on a sighted point, and where the
    // weights cannot be formed (a precision of 0: "Matriz singular!").
    //
    // Iteration: misclosure w = computed minus observed angle (folded once
    // towards [-pi, pi)), design A, normal equations A^T P A x = A^T P w;
    // converged when both corrections are strictly below the tolerance, the
    // last correction added to the adjusted coordinates only. A correction
    // too small to move the station (below half a unit in the last place of
    // its coordinates) that has not converged is a fixed point: every later
    // solution starts from the same station and repeats it exactly, so the
    // tenth will not converge either, and the run ends there at once.
    PlanimetricPass pass(double precision);

    // The angle cofactor of the weights at this precision (the weights
    // formed, as a pass forms them, so that a precision of 0 stops the run).
    AngleCofactor angleCofactor(double precision);

    double criticalValue() const { return critical_; }

  private:
    void buildWeights(double precision);
    void buildWeightsDense(double precision);
    void storeWeights();
    // result (m x (N-1)) = left (m x (N-1)) times P.
    void timesWeight(int m, const Matrix& left, Matrix& result);

    const Survey& survey_;
    const FirstPosition& first_;
    bool dense_;
    int n_;           // points
    double critical_; // the 95 % chi-square point for the redundancy

    AngleCofactor cofactor_;
    // The weight matrix P: its band factors, whose columns are formed when a
    // product needs them, or, where the band routine declines and always with
    // the dense routines, the stored matrix.
    TridiagonalInverse weightFactors_;
    bool weightStored_ = false;
    Matrix weight_;
    Matrix misclosure_, design_, designT_, designTWeight_, normal_, normalVector_, cofactorXX_,
        correction_, designTimesCorrection_, residual_, residualT_, residualTWeight_;
};

} // namespace resection
