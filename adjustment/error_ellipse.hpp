// Error ellipses of a station: the shape of the uncertainty of M and P.
#pragma once

namespace resection {

// An error ellipse: the semi-axes are the square roots of the eigenvalues of
// the 2 x 2 covariance matrix of M and P, and the bearing of the major axis
// is measured like an azimuth, from the direction of increasing P towards
// increasing M, in [0, pi). A circle has bearing 0.
struct ErrorEllipse {
    double major = 0.0;   // metres
    double minor = 0.0;   // metres
    double bearing = 0.0; // radians
};

// From the variances of M and P (m^2) and their covariance. An eigenvalue a
// rounding error has taken below zero counts as zero.
ErrorEllipse errorEllipse(double varianceM, double varianceP, double covarianceMP);

// The same ellipse with both semi-axes multiplied by a factor.
ErrorEllipse scaled(const ErrorEllipse& e, double factor);

// The factor of the 95 % confidence ellipse a priori, with the precision of
// the readings known: the square root of the 95 % chi-square point for 2
// degrees of freedom (5.991), 2.4477.
double confidence95Factor();

// The factor of the 95 % confidence ellipse a posteriori, where the variance
// factor is itself estimated from a redundancy r: sqrt(2 F(2, r; 0.95)). For
// 2 numerator degrees of freedom the F quantile has the closed form
// F(2, r; p) = (r / 2) ((1 - p)^(-2 / r) - 1), so the factor is
// sqrt(r (0.05^(-2 / r) - 1)): 19.97 for r = 1, 4.37 for r = 2, and down to
// 2.4477 as r grows. r must be at least 1.
double posteriori95Factor(int redundancy);

} // namespace resection
