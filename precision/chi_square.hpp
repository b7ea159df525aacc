// Critical values of the chi-square distribution at 95 %.
#pragma once

namespace resection {

// The 95 % point for r degrees of freedom: the classical table values for r =
// 1..10 exactly as printed in survey tables (3.841, ..., 18.3072); above 10
// the quantile computed by inverting the regularised incomplete gamma
// function, relative error below 1e-12. r must be at least 1.
double chiSquare95(int r);

// The regularised lower incomplete gamma function P(a, x), a > 0, x >= 0.
double regularizedGammaP(double a, double x);

// The p-quantile of the chi-square distribution with r degrees of freedom.
double chiSquareQuantile(double p, int r);

} // namespace resection
