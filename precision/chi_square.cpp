#include "precision/chi_square.hpp"

#include <array>
#include <cmath>

namespace resection {

namespace {

// Indexed by degrees of freedom; r = 5 has two decimals and r = 10 four, as
// in the tables surveyors use.
constexpr std::array<double, 11> table = {0.0,    3.841,  5.991,  7.815,  9.488,  11.07,
                                          12.592, 14.067, 15.507, 16.919, 18.3072};

} // namespace

double regularizedGammaP(double a, double x) {
    if (x <= 0.0) {
        return 0.0;
    }
    // x^a e^-x / Gamma(a), in logarithms to stay in range for large a.
    const double logPrefactor = a * std::log(x) - x - std::lgamma(a);
    if (x < a + 1.0) {
        // Series: P = prefactor * sum x^n / (a (a+1) ... (a+n)).
        double term = 1.0 / a;
        double sum = term;
        for (int n = 1; n < 10000; ++n) {
            term *= x / (a + n);
            sum += term;
            if (std::fabs(term) < std::fabs(sum) * 1e-17) {
                break;
            }
        }
        return sum * std::exp(logPrefactor);
    }
    // Continued fraction for Q = 1 - P (modified Lentz).
    const double tiny = 1e-300;
    double b = x + 1.0 - a;
    double c = 1.0 / tiny;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i < 10000; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < tiny) {
            d = tiny;
        }
        c = b + an / c;
        if (std::fabs(c) < tiny) {
            c = tiny;
        }
        d = 1.0 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1.0) < 1e-17) {
            break;
        }
    }
    return 1.0 - std::exp(logPrefactor) * h;
}

double chiSquareQuantile(double p, int r) {
    const double a = r / 2.0;
    // Bracket the quantile, then bisect: P is increasing in x, so this cannot
    // fail to converge, and 200 halvings reach the resolution of a double.
    double low = 0.0;
    double high = r + 10.0;
    while (regularizedGammaP(a, high / 2.0) < p) {
        high *= 2.0;
    }
    for (int i = 0; i < 200 && high - low > high * 1e-16; ++i) {
        const double mid = 0.5 * (low + high);
        if (regularizedGammaP(a, mid / 2.0) < p) {
            low = mid;
        } else {
            high = mid;
        }
    }
    return 0.5 * (low + high);
}

double chiSquare95(int r) {
    if (r >= 1 && r <= 10) {
        return table[static_cast<std::size_t>(r)];
    }
    return chiSquareQuantile(0.95, r);
}

} // namespace resection
