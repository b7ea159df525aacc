// The precisions a search walks through, reproduced bit for bit.
//
// A precision search moves the a priori precision of the readings one step
// (0.1" or 0.1 mgon) at a time: each new value is the double sum or
// difference of the last value and the step, rounded as the hardware rounds
// it. After thousands of such additions the value has drifted by many units in
// its last place from start - k step, and the printed results depend on those
// bits. So the walk is never computed as start - k step; it is the exact
// sequence of roundings.
//
// To cross long stretches quickly, advanceBy() uses the structure of that
// sequence: while a value v and its successor lie in one binade [2^e, 2^e+1)
// both are multiples of u = 2^(e-52), and v - step rounds to v - d with d the
// step rounded to a multiple of u (when the step falls exactly halfway the
// ties go to even, after which d is again constant). Within a binade the walk
// is therefore an integer sequence M - k D in units of u, taken in one jump;
// near zero, where the step is not small against the value, it goes one
// rounding at a time. A walk of 10^15 steps costs a few hundred operations.
#pragma once

#include <cstdint>

namespace resection {

class PrecisionWalk {
  public:
    enum class Direction { Down, Up };

    PrecisionWalk(double start, double step) : value_(start), step_(step) {}

    double value() const { return value_; }
    std::int64_t index() const { return index_; }

    // One step: value - step (Down) or value + step (Up), in double.
    void advance(Direction direction);
    // count steps, with exactly the result of count calls of advance(). Stops
    // early, returning false, where a step no longer changes the value.
    bool advanceBy(Direction direction, std::int64_t count);
    // Advances as long as the value after the next step would still be on
    // this side of the threshold (at least 'threshold' walking down, at most
    // walking up), so that the next step is the first to cross it. Returns
    // false where a step no longer changes the value.
    bool advanceWhileNextWithin(Direction direction, double threshold);

    // The value after one more step, without moving.
    double next(Direction direction) const;

  private:
    double value_;
    double step_;
    std::int64_t index_ = 0;
};

} // namespace resection
