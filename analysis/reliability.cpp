#include "analysis/reliability.hpp"

#include <cmath>

namespace resection {

double quadraticForm(const AdjustmentFigures& figures) {
    double sum = 0.0;
    for (std::size_t i = 0; i < figures.residual.size(); ++i) {
        const double x = figures.residual[i] / figures.sigma[i];
        sum += x * x;
    }
    return sum;
}

std::vector<ReadingTest> observationTests(const AdjustmentFigures& figures) {
    const Matrix& a = figures.design;
    const Matrix& q = figures.covariance;
    const int n = a.rows();
    const int u = a.cols();
    std::vector<ReadingTest> tests;
    tests.reserve(static_cast<std::size_t>(n));
    std::vector<double> qa(static_cast<std::size_t>(u));
    for (int i = 1; i <= n; ++i) {
        const double sigma = figures.sigma[static_cast<std::size_t>(i - 1)];
        const double weight = 1.0 / (sigma * sigma);
        // Qxx a_i^T, and a_i Qxx a_i^T.
        double aqa = 0.0;
        for (int j = 1; j <= u; ++j) {
            double sum = 0.0;
            for (int k = 1; k <= u; ++k) {
                sum += q(j, k) * a(i, k);
            }
            qa[static_cast<std::size_t>(j - 1)] = sum;
            aqa += a(i, j) * sum;
        }
        ReadingTest t;
        t.residual = figures.residual[static_cast<std::size_t>(i - 1)];
        t.redundancy = 1.0 - aqa * weight;
        t.controlled = t.redundancy >= uncontrolledRedundancy;
        if (t.controlled) {
            t.estimatedError = -t.residual / t.redundancy;
        }
        t.tested = t.controlled && figures.testable;
        if (t.tested) {
            const double root = std::sqrt(t.redundancy);
            t.w = t.residual / (sigma * root);
            t.detectableBias = detectableBiasFactor * sigma / root;
            double shift = 0.0;
            for (const int k : figures.station) {
                const double move = qa[static_cast<std::size_t>(k - 1)] * weight * t.detectableBias;
                shift += move * move;
            }
            t.stationShift = std::sqrt(shift);
        }
        tests.push_back(t);
    }
    return tests;
}

double discrepancyDeviation(const std::vector<double>& row, const Matrix& covariance,
                            double sigma) {
    double aqa = 0.0;
    for (std::size_t j = 0; j < row.size(); ++j) {
        for (std::size_t k = 0; k < row.size(); ++k) {
            aqa += row[j] * covariance(static_cast<int>(j) + 1, static_cast<int>(k) + 1) * row[k];
        }
    }
    return std::sqrt(sigma * sigma + aqa);
}

} // namespace resection
