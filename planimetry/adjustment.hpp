// Weights of the correlated angles and the least-squares iteration of the
// station's coordinates.
#pragma once

#include "state/run_context.hpp"

#include <vector>

namespace resection {

// Angle cofactor Qll = F Qdd F^T, with F the difference operator (-1 at
// (i, i), +1 at (i, i+1)) and Qdd = sigma_d^2 I the cofactor of the
// directions: consecutive angles share a direction, so Qll is tridiagonal with
// 2 sigma_d^2 on the diagonal and -sigma_d^2 beside it. The weight matrix P is
// its inverse. A precision of exactly 0 ends the run with "Matriz singular!".
void buildAngleWeights(RunContext& ctx);

// result (m x (N-1)) = left (m x (N-1)) times the angle weights P, each
// element a running sum in ascending order as matrixProduct forms it.
void timesAngleWeight(RunContext& ctx, int m, const Matrix& left, Matrix& result);

// What the iteration compared with the tolerance.
struct IterationTrace {
    // For each solution, the larger magnitude of its two corrections, metres.
    std::vector<double> corrections;
    // The smallest |correction - tolerance| among them, metres.
    double closestDecision = 0.0;
};

// Gauss-Newton iteration of the station's M and P from the current
// stationM, stationP: misclosure w = computed minus observed angle (folded
// once towards [-pi, pi)), design A, normal equations A^T P A x = A^T P w.
// Converges when both corrections are strictly below the tolerance; the last
// correction is applied to adjustedM, adjustedP only. Ends the run with
// " Processo nao convergente..." when the tenth solution has not converged,
// and with a message naming the point when the station falls on a sighted
// point (closer than a micrometre).
//
// A correction too small to move the station (below half a unit in the last
// place of its coordinates) that has not converged is a fixed point: every
// later solution starts from the same station and repeats it exactly, so the
// tenth will not converge either, and the run ends there at once.
IterationTrace iterateStation(RunContext& ctx);

} // namespace resection
