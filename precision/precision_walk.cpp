#include "precision/precision_walk.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace resection {

namespace {

constexpr std::int64_t two52 = std::int64_t{1} << 52;
constexpr std::int64_t two53 = std::int64_t{1} << 53;

// One binade's worth of the walk in integers: the magnitude is M u with
// 2^52 <= M < 2^53, and each step changes M by D (away from or towards zero).
struct BinadeRun {
    std::int64_t steps = 0; // how many steps the run may take (0: none)
    std::int64_t units = 0; // D
    double ulp = 0.0;       // u
    std::int64_t mantissa = 0;
    bool tie = false; // a tie from an odd M: round once on its own first
};

// The run that starts at magnitude m > 0 (a normal double) with steps that
// make it smaller (shrinking) or larger.
BinadeRun binadeRun(double m, double step, bool shrinking) {
    BinadeRun run;
    const int e = std::ilogb(m);
    run.ulp = std::ldexp(1.0, e - 52);
    if (run.ulp == 0.0 || !std::isnormal(m)) {
        return run;
    }
    const double s = step / run.ulp; // exact: a division by a power of two
    if (!(s < 0x1p50)) {
        return run; // the step is not small against the binade: one at a time
    }
    run.mantissa = static_cast<std::int64_t>(m / run.ulp);
    const double whole = std::floor(s);
    const double fraction = s - whole;
    const auto n = static_cast<std::int64_t>(whole);
    if (fraction == 0.5) {
        // Ties go to the even multiple of u. From an even M every step moves
        // it by the even one of n, n + 1, so that it stays even; from an odd
        // M the first rounding is taken on its own.
        if (run.mantissa % 2 != 0) {
            run.tie = true;
            return run;
        }
        run.units = n % 2 == 0 ? n : n + 1;
    } else {
        run.units = fraction < 0.5 ? n : n + 1;
    }
    if (run.units == 0) {
        return run; // the step vanishes in the rounding
    }
    const auto ceilS = static_cast<std::int64_t>(std::ceil(s));
    // Every step must leave its exact result inside [2^e, 2^(e+1)), where the
    // representable values are exactly the multiples of u.
    const std::int64_t room =
        shrinking ? run.mantissa - two52 - ceilS : two53 - run.mantissa - ceilS - 1;
    run.steps = room < 0 ? 0 : room / run.units + 1;
    return run;
}

} // namespace

double PrecisionWalk::next(Direction direction) const {
    return direction == Direction::Down ? value_ - step_ : value_ + step_;
}

void PrecisionWalk::advance(Direction direction) {
    value_ = next(direction);
    ++index_;
}

bool PrecisionWalk::advanceBy(Direction direction, std::int64_t count) {
    while (count > 0) {
        const double before = value_;
        // Rounding is symmetric about zero: a walk on a negative value is the
        // mirror of the walk on its magnitude.
        const bool towardsZero = (value_ > 0.0) == (direction == Direction::Down);
        BinadeRun run;
        if (value_ != 0.0) {
            run = binadeRun(std::fabs(value_), step_, towardsZero);
        }
        if (run.tie || run.steps == 0) {
            advance(direction);
            --count;
            if (value_ == before) {
                --index_;
                return false;
            }
            continue;
        }
        const std::int64_t k = std::min(count, run.steps);
        const std::int64_t mantissa =
            towardsZero ? run.mantissa - k * run.units : run.mantissa + k * run.units;
        const double magnitude = static_cast<double>(mantissa) * run.ulp; // exact
        value_ = value_ > 0.0 ? magnitude : -magnitude;
        index_ += k;
        count -= k;
    }
    return true;
}

bool PrecisionWalk::advanceWhileNextWithin(Direction direction, double threshold) {
    const bool down = direction == Direction::Down;
    auto within = [&](double v) { return down ? v >= threshold : v <= threshold; };
    if (std::isnan(threshold)) {
        return true;
    }
    // Each step moves the value by the step give or take half a unit in the
    // last place of the largest magnitude on the way, so jumping
    // floor(gap / (step + u)) - 1 steps can never cross the threshold; what is
    // left is walked one rounding at a time.
    for (int round = 0; round < 200; ++round) {
        if (!within(next(direction))) {
            return true;
        }
        if (std::isinf(threshold)) {
            return advanceBy(direction, std::numeric_limits<std::int64_t>::max());
        }
        const double largest = std::max(std::fabs(value_), std::fabs(threshold));
        const double u = std::ldexp(1.0, std::ilogb(largest) - 52);
        const double gap = std::fabs(threshold - value_);
        const double estimate = std::floor(gap / (step_ + u)) - 1.0;
        if (estimate >= 1.0) {
            const auto count = estimate >= 9.0e18 ? std::numeric_limits<std::int64_t>::max()
                                                  : static_cast<std::int64_t>(estimate);
            if (!advanceBy(direction, count)) {
                return false;
            }
            continue;
        }
        while (within(next(direction))) {
            const double before = value_;
            advance(direction);
            if (value_ == before) {
                --index_;
                return false;
            }
        }
        return true;
    }
    return true;
}

} // namespace resection
