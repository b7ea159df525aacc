#include "adjustment/error_ellipse.hpp"

#include "base/constants.hpp"
#include "precision/chi_square.hpp"

#include <algorithm>
#include <cmath>

namespace resection {

ErrorEllipse errorEllipse(double varianceM, double varianceP, double covarianceMP) {
    const double mean = 0.5 * (varianceM + varianceP);
    const double spread = std::hypot(0.5 * (varianceP - varianceM), covarianceMP);
    ErrorEllipse e;
    e.major = std::sqrt(std::max(0.0, mean + spread));
    e.minor = std::sqrt(std::max(0.0, mean - spread));
    // The major axis (sin t, cos t) in (M, P) is an eigenvector exactly when
    // tan 2t = 2 cov / (varP - varM); atan2 picks the larger eigenvalue.
    double bearing = 0.5 * std::atan2(2.0 * covarianceMP, varianceP - varianceM);
    if (bearing < 0.0) {
        bearing += pi;
    }
    e.bearing = bearing >= pi ? bearing - pi : bearing;
    return e;
}

ErrorEllipse scaled(const ErrorEllipse& e, double factor) {
    return {e.major * factor, e.minor * factor, e.bearing};
}

double confidence95Factor() {
    return std::sqrt(chiSquare95(2));
}

double posteriori95Factor(int redundancy) {
    const double r = redundancy;
    return std::sqrt(r * (std::pow(0.05, -2.0 / r) - 1.0));
}

} // namespace resection
