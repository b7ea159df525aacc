#include "analysis/verdict.hpp"

#include "precision/chi_square.hpp"

#include <algorithm>
#include <cmath>

namespace resection {

namespace {

// The 95 % point, kept for the degrees of freedom last asked for: beyond
// the table it is an iteration, and the tests of the adjustments without
// one reading each ask for the same one.
double criticalValue(int degreesOfFreedom) {
    thread_local int lastDegrees = 0;
    thread_local double lastValue = 0.0;
    if (degreesOfFreedom != lastDegrees) {
        lastValue = chiSquare95(degreesOfFreedom);
        lastDegrees = degreesOfFreedom;
    }
    return lastValue;
}

} // namespace

GlobalTest globalTest(double quadraticForm, int degreesOfFreedom, double sigma) {
    GlobalTest t;
    t.quadraticForm = quadraticForm;
    t.degreesOfFreedom = degreesOfFreedom;
    t.criticalValue = criticalValue(degreesOfFreedom);
    // Equality accepts, as in the program's test.
    t.accepted = !(quadraticForm > t.criticalValue);
    t.posterioriSigma = std::fabs(sigma) * std::sqrt(quadraticForm / degreesOfFreedom);
    t.changeSigma = std::fabs(sigma) * std::sqrt(quadraticForm / t.criticalValue);
    return t;
}

double leftOutW(const Readjustment& r) {
    // The residual's sign: adjusted minus observed.
    // A reading beyond the range of the arithmetic stands out as far as can
    // be.
    if (!std::isfinite(r.discrepancy)) {
        return HUGE_VAL;
    }
    return r.discrepancySigma > 0.0 ? -r.discrepancy / r.discrepancySigma : 0.0;
}

Suspect decideSuspect(const std::vector<Readjustment>& leftOut) {
    const auto form = [&leftOut](int k) {
        return leftOut[static_cast<std::size_t>(k - 1)].test.quadraticForm;
    };
    const auto byForm = [&form](int a, int b) { return form(a) < form(b); };
    std::vector<int> passing;
    std::vector<int> standingOut;
    for (std::size_t i = 0; i < leftOut.size(); ++i) {
        const Readjustment& r = leftOut[i];
        if (!r.done) {
            continue;
        }
        const double w = std::fabs(leftOutW(r));
        if (r.test.accepted && w > wTestCritical) {
            passing.push_back(static_cast<int>(i) + 1);
        }
        // The precision with which the rest pass, relative to the a priori
        // one: its square is v^T P v over the critical value, at least 1.
        const double factor2 = std::max(1.0, r.test.quadraticForm / r.test.criticalValue);
        if (w / std::sqrt(factor2) > wTestCritical) {
            standingOut.push_back(static_cast<int>(i) + 1);
        }
    }
    // Beside the best, every candidate that stands out and whose v^T P v
    // without it lies within the 95 % point of one degree of freedom of the
    // best: no test can tell them apart, whether or not the rest pass
    // without it.
    const std::vector<int>& pool = passing.empty() ? standingOut : passing;
    std::vector<int> chosen;
    if (!pool.empty()) {
        const int best = *std::min_element(pool.begin(), pool.end(), byForm);
        const double margin = chiSquare95(1);
        for (std::size_t i = 0; i < leftOut.size(); ++i) {
            const int k = static_cast<int>(i) + 1;
            const Readjustment& r = leftOut[i];
            const bool standsOut =
                std::find(standingOut.begin(), standingOut.end(), k) != standingOut.end() ||
                std::find(passing.begin(), passing.end(), k) != passing.end() ||
                (r.done && std::fabs(leftOutW(r)) > wTestCritical);
            if (r.done && standsOut && form(k) <= form(best) + margin) {
                chosen.push_back(k);
            }
        }
    }
    Suspect s;
    if (chosen.empty()) {
        return s;
    }
    std::sort(chosen.begin(), chosen.end(), byForm);
    s.reading = chosen.front();
    if (chosen.size() == 1) {
        s.kind = Suspect::Kind::Flagged;
    } else {
        s.kind = Suspect::Kind::Tied;
        s.sharing = chosen;
    }
    return s;
}

bool plausibleStation(const std::vector<KnownPoint>& points, double m, double p) {
    if (!std::isfinite(m) || !std::isfinite(p) || points.empty()) {
        return false;
    }
    double minM = points.front().m, maxM = minM, minP = points.front().p, maxP = minP;
    for (const KnownPoint& k : points) {
        minM = std::min(minM, k.m);
        maxM = std::max(maxM, k.m);
        minP = std::min(minP, k.p);
        maxP = std::max(maxP, k.p);
    }
    // Halves first: the extent of points at +-1e308 stays finite.
    const double extent =
        std::max(1.0, std::hypot(0.5 * maxM - 0.5 * minM, 0.5 * maxP - 0.5 * minP));
    const double distance =
        std::hypot(m - (0.5 * minM + 0.5 * maxM), p - (0.5 * minP + 0.5 * maxP));
    return distance <= 1000.0 * extent;
}

const char* basisName(Basis basis) {
    switch (basis) {
    case Basis::All:
        return "all";
    case Basis::Without:
        return "without";
    case Basis::None:
        break;
    }
    return "none";
}

} // namespace resection
