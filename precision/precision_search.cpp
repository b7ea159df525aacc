#include "precision/precision_search.hpp"

#include "base/constants.hpp"
#include "precision/chi_square.hpp"
#include "precision/precision_walk.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace resection {

Verdict chiSquareVerdict(double statistic, int degreesOfFreedom) {
    return verdictAgainst(statistic, chiSquare95(degreesOfFreedom));
}

Verdict verdictAgainst(double statistic, double criticalValue) {
    return statistic > criticalValue ? Verdict::Rejected : Verdict::Accepted;
}

double correctionRounding(double coordinateUnits, double metresPerRadian) {
    constexpr double eps = std::numeric_limits<double>::epsilon();
    return 8.0 * (coordinateUnits + metresPerRadian * (8.0 * eps * 2.0 * pi));
}

double unitInLastPlace(double x) {
    return std::nextafter(std::fabs(x), std::numeric_limits<double>::infinity()) - std::fabs(x);
}

namespace {

using Direction = PrecisionWalk::Direction;

Direction directionAfter(Verdict verdict) {
    return verdict == Verdict::Accepted ? Direction::Down : Direction::Up;
}

// How much the prediction of the statistic is trusted. A pass is skipped
// only where its predicted statistic lies further than the margin from the
// critical value. The margin starts at 1e-7 (relative), some seven orders of
// magnitude above the disagreement between computed statistics and their
// prediction in well-shaped networks of 4 to 1001 points, and becomes a
// thousand times the largest disagreement seen once a second pass has been
// computed. At the precisions of real readings one step moves the statistic
// by a percent or more, so the margin costs at most a pass or two near the
// critical value.
constexpr double marginFloor = 1e-7;
constexpr double safety = 1000.0;
// A computed pass bears the skipped ones out when it strays from its
// prediction by no more than a hundredth of the margin they were skipped on.
constexpr double bearOut = 100.0;
// Rounding separates the corrections of two passes by some 1e-16 of the
// largest correction, times what the conditioning of the normal equations
// makes of it: until a second pass shows how much, a decision counts as
// resolved only further from the tolerance than 1e-11 of the largest
// correction (room for a condition of 10^5), besides the pass's own floor.
constexpr double relativeDecisionFloor = 1e-11;
// A walk that turned out longer than its estimate (or that computes more
// passes than it expected to skip) stops when its cost would exceed the limit
// by this factor.
constexpr double workOverrun = 1.25;

class Search {
  public:
    Search(const AdjustmentPass& pass, const SearchSettings& settings, double criticalValue)
        : pass_(pass), settings_(settings), critical_(criticalValue),
          walk_(settings.start, settings.step), verifiedWalk_(walk_) {}

    SearchResult run();

  private:
    // Records the step of the pass at the walk's value with this verdict;
    // true when the search has ended (result_.precision set).
    bool finishStep(Verdict verdict, bool changed);
    PassOutcome computePass();
    // Whether a computed pass agrees with the first closely enough for the
    // passes between them to have been predicted: Stray when only its
    // statistic strays further than the margin allowed.
    enum class Trust { Yes, Stray, No };
    Trust assess(const PassOutcome& outcome, double precision);
    double predicted(double precision) const {
        const double ratio = first_.precision / precision;
        return first_.outcome.statistic * (ratio * ratio);
    }
    // Whether every convergence decision seen so far lies further from the
    // tolerance than rounding can move it.
    bool decisionsResolved() const {
        return closestDecision_ > safety * correctionNoise_ + decisionFloor_;
    }
    // Passes skipped on the prediction, up to and including the walk's
    // value; returns false when the next pass must be computed.
    bool skipPredicted();
    // The passes left on the walk from its value, as the prediction sees
    // them (infinite where it sees no end).
    double passesLeft() const;
    // Computes every pass from the walk's value on (within the work limit,
    // but for the reference).
    void runEveryPass();
    [[noreturn]] void tooCostly(double passes, double seconds) const;

    const AdjustmentPass& pass_;
    SearchSettings settings_;
    double critical_;
    SearchResult result_;
    PrecisionWalk walk_;
    Verdict walkVerdict_ = Verdict::Accepted;

    struct Computed {
        PassOutcome outcome;
        double precision = 0.0;
    };
    Computed first_;
    double margin_ = marginFloor;
    bool retried_ = false; // the prediction has been made once more
    double largestStray_ = 0.0;
    double correctionNoise_ = 0.0; // largest difference of corrections seen
    double closestDecision_ = std::numeric_limits<double>::infinity();
    double decisionFloor_ = 0.0;
    double largestWork_ = 0.0; // of one computed pass
    // Every pass must be computed because a decision lies within rounding of
    // the tolerance (else because the prediction failed).
    bool unresolved_ = false;

    // The state after the step of the last pass that was computed and
    // trusted: where the search goes back to when a prediction fails.
    PrecisionWalk verifiedWalk_;
    std::int64_t verifiedWalked_ = 0;
};

bool Search::finishStep(Verdict verdict, bool changed) {
    const double precisionOfPass = walk_.value();
    walk_.advance(directionAfter(verdict));
    if (changed) {
        result_.precision = walk_.value();
        return true;
    }
    if (verdict == Verdict::Accepted && walk_.value() <= 0.0) {
        // Still accepted at the smallest positive precision of the walk: the
        // next pass would run at zero (a singular weight matrix) or below
        // (where the weights see only the square, so that the walk would go
        // on accepting for ever). The readings are at least that good.
        if (precisionOfPass > 0.0) {
            result_.precision = precisionOfPass;
            return true;
        }
        throw SearchWithoutEnd(SearchWithoutEnd::Reason::NegativeAccepted, precisionOfPass);
    }
    if (walk_.value() == precisionOfPass) {
        throw SearchWithoutEnd(SearchWithoutEnd::Reason::StepVanishes, precisionOfPass);
    }
    return false;
}

PassOutcome Search::computePass() {
    if (settings_.passBudget > 0 && result_.counts.passesComputed >= settings_.passBudget) {
        throw PassBudgetExceeded();
    }
    // Whatever the way the walk goes, it computes no more than the limit
    // allows (the reference computes without one).
    if (!settings_.passByPass && settings_.workLimit > 0.0 &&
        result_.counts.work + largestWork_ > workOverrun * settings_.workLimit) {
        const double left = passesLeft();
        tooCostly(static_cast<double>(result_.counts.passesComputed) + left,
                  result_.counts.work + left * largestWork_);
    }
    ++result_.counts.passesComputed;
    PassOutcome outcome = pass_(walk_.value());
    largestWork_ = std::max(largestWork_, outcome.work);
    result_.counts.work += outcome.work;
    return outcome;
}

Search::Trust Search::assess(const PassOutcome& outcome, double precision) {
    const std::vector<double>& firstCorrections = first_.outcome.corrections;
    const std::size_t count = outcome.corrections.size();
    if (!std::isfinite(outcome.statistic)) {
        return Trust::No;
    }
    for (std::size_t j = 0; j < count; ++j) {
        const double c = outcome.corrections[j];
        if (!std::isfinite(c)) {
            return Trust::No;
        }
        if (j < firstCorrections.size()) {
            correctionNoise_ = std::max(correctionNoise_, std::fabs(c - firstCorrections[j]));
        }
    }
    closestDecision_ = std::min(closestDecision_, outcome.closestDecision);
    decisionFloor_ = std::max(decisionFloor_, outcome.rounding);
    // A pass that took another number of solutions than the first shows a
    // decision that went the other way; one within rounding of the tolerance
    // could go either way in a pass that was not computed.
    if (count != firstCorrections.size() || !decisionsResolved()) {
        unresolved_ = true;
        return Trust::No;
    }
    const double expected = predicted(precision);
    double stray = std::fabs(outcome.statistic - expected) / expected;
    if (std::isnan(stray)) {
        stray = outcome.statistic == expected ? 0.0 : stray; // 0 / 0: both exactly zero
    }
    if (!std::isfinite(stray)) {
        return Trust::No;
    }
    const bool borneOut = stray <= margin_ / bearOut;
    largestStray_ = std::max(largestStray_, stray);
    margin_ = std::max(marginFloor, safety * largestStray_);
    return borneOut ? Trust::Yes : Trust::Stray;
}

bool Search::skipPredicted() {
    if (margin_ >= 0.5) {
        return false;
    }
    const double t0 = first_.outcome.statistic;
    const double s0 = std::fabs(first_.precision);
    const double value = walk_.value();
    if (walkVerdict_ == Verdict::Accepted) {
        // Accepted for certain while T0 (s0 / sigma)^2 <= c (1 - margin).
        const double threshold = std::max(s0 * std::sqrt(t0 / (critical_ * (1.0 - margin_))),
                                          std::numeric_limits<double>::denorm_min());
        if (!(value >= threshold) || !std::isfinite(threshold)) {
            return false;
        }
        const std::int64_t from = walk_.index();
        if (!walk_.advanceWhileNextWithin(Direction::Down, threshold)) {
            throw SearchWithoutEnd(SearchWithoutEnd::Reason::StepVanishes, walk_.value());
        }
        result_.counts.passesWalked += walk_.index() - from;
        if (walk_.next(Direction::Down) <= 0.0) {
            // The pass here is the last one of the walk (the next would run at
            // zero or below): computed below, for the report.
            return false;
        }
        ++result_.counts.passesWalked;
        walk_.advance(Direction::Down);
        return true;
    }
    // Rejected for certain while T0 (s0 / sigma)^2 >= c (1 + margin), that is
    // for |sigma| up to the threshold; an exact zero counts as rejected.
    const double threshold = s0 * std::sqrt(t0 / (critical_ * (1.0 + margin_)));
    if (!(std::fabs(value) <= threshold) || !std::isfinite(threshold)) {
        return false;
    }
    const std::int64_t from = walk_.index();
    if (!walk_.advanceWhileNextWithin(Direction::Up, threshold)) {
        throw SearchWithoutEnd(SearchWithoutEnd::Reason::StepVanishes, walk_.value());
    }
    result_.counts.passesWalked += walk_.index() - from + 1;
    finishStep(Verdict::Rejected, false); // an upward walk has no floor and no change here
    return true;
}

double Search::passesLeft() const {
    const double inf = std::numeric_limits<double>::infinity();
    const double value = walk_.value();
    const double step = std::fabs(settings_.step);
    const double t0 = first_.outcome.statistic;
    const double s0 = std::fabs(first_.precision);
    // The precision at which the prediction reaches the critical value.
    const double change = s0 * std::sqrt(t0 / critical_);
    const bool predictable = std::isfinite(change) && change >= 0.0 && step > 0.0;
    if (walkVerdict_ == Verdict::Accepted) {
        // Down to the change, or to the floor of the walk at zero.
        const double end = predictable ? std::min(change, std::fabs(value)) : 0.0;
        return (std::fabs(value) - end) / step + 2.0;
    }
    if (!predictable) {
        return inf;
    }
    return std::max(0.0, change - value) / step + 2.0;
}

void Search::tooCostly(double passes, double seconds) const {
    throw SearchWithoutEnd(unresolved_ ? SearchWithoutEnd::Reason::ToleranceUnresolved
                                       : SearchWithoutEnd::Reason::Unpredictable,
                           walk_.value(), safety * correctionNoise_ + decisionFloor_, passes,
                           seconds);
}

void Search::runEveryPass() {
    if (!settings_.passByPass && settings_.workLimit > 0.0) {
        // Refused at once where the estimate already exceeds the limit.
        const double passes = passesLeft();
        const double seconds = passes * largestWork_;
        if (seconds > settings_.workLimit) {
            tooCostly(passes, seconds);
        }
    }
    while (true) {
        Verdict verdict = Verdict::Rejected;
        if (!(walk_.value() == 0.0 && walkVerdict_ == Verdict::Rejected)) {
            verdict = computePass().verdict;
        }
        ++result_.counts.passesWalked;
        const bool changed = verdict != walkVerdict_;
        if (finishStep(verdict, changed)) {
            return;
        }
    }
}

SearchResult Search::run() {
    first_.precision = walk_.value();
    first_.outcome = computePass();
    ++result_.counts.passesWalked;
    walkVerdict_ = first_.outcome.verdict;
    if (finishStep(walkVerdict_, false)) {
        return result_;
    }
    if (settings_.passByPass) {
        runEveryPass();
        return result_;
    }
    double largestCorrection = 0.0;
    for (double c : first_.outcome.corrections) {
        if (!std::isfinite(c)) {
            runEveryPass();
            return result_;
        }
        largestCorrection = std::max(largestCorrection, std::fabs(c));
    }
    closestDecision_ = first_.outcome.closestDecision;
    decisionFloor_ = relativeDecisionFloor * largestCorrection + first_.outcome.rounding;
    if (!std::isfinite(first_.outcome.statistic) || !(first_.outcome.statistic >= 0.0)) {
        runEveryPass();
        return result_;
    }
    if (!decisionsResolved()) {
        // A decision within rounding of the tolerance: a pass not computed
        // could take it the other way.
        unresolved_ = true;
        runEveryPass();
        return result_;
    }
    verifiedWalk_ = walk_;
    verifiedWalked_ = result_.counts.passesWalked;

    while (true) {
        if (walk_.value() == 0.0 && walkVerdict_ == Verdict::Rejected) {
            ++result_.counts.passesWalked;
            finishStep(Verdict::Rejected, false);
            continue;
        }
        if (skipPredicted()) {
            continue;
        }
        const std::int64_t indexOfPass = walk_.index();
        const double precision = walk_.value();
        const PassOutcome outcome = computePass();
        ++result_.counts.passesWalked;
        const Trust trust = assess(outcome, precision);
        const bool skipped = indexOfPass != verifiedWalk_.index();
        if (trust == Trust::Stray && skipped && !retried_) {
            // The statistics stray further from the prediction than the
            // margin the skipped passes relied on, but the margin now covers
            // what this pass showed: predict once more, from the last
            // verified pass.
            ++result_.counts.fallbacks;
            retried_ = true;
            walk_ = verifiedWalk_;
            result_.counts.passesWalked = verifiedWalked_;
            continue;
        }
        if (trust == Trust::No || (trust == Trust::Stray && skipped)) {
            ++result_.counts.fallbacks;
            if (skipped) {
                // Passes were skipped on a prediction that this pass does not
                // bear out: compute them all, from the last verified pass on.
                walk_ = verifiedWalk_;
                result_.counts.passesWalked = verifiedWalked_;
                runEveryPass();
                return result_;
            }
            const bool changed = outcome.verdict != walkVerdict_;
            if (!finishStep(outcome.verdict, changed)) {
                runEveryPass();
            }
            return result_;
        }
        const bool changed = outcome.verdict != walkVerdict_;
        if (finishStep(outcome.verdict, changed)) {
            return result_;
        }
        verifiedWalk_ = walk_;
        verifiedWalked_ = result_.counts.passesWalked;
    }
}

} // namespace

SearchResult searchPrecision(const AdjustmentPass& pass, const SearchSettings& settings,
                             double criticalValue) {
    Search search(pass, settings, criticalValue);
    return search.run();
}

SearchSettings searchSettings(double start, AngleUnit unit, const ComputeOptions& options) {
    SearchSettings settings;
    settings.start = start;
    settings.step = precisionStep(unit);
    settings.passByPass = options.passByPass;
    settings.passBudget = options.passBudget;
    settings.workLimit = everyPassWorkLimit;
    return settings;
}

SearchResult searchReadingPrecision(const AdjustmentPass& pass, const SearchSettings& settings,
                                    double criticalValue, Readings readings) {
    try {
        return searchPrecision(pass, settings, criticalValue);
    } catch (const SearchWithoutEnd& end) {
        using Reason = SearchWithoutEnd::Reason;
        const StopReason reason =
            end.reason() == Reason::NegativeAccepted      ? StopReason::SearchNegativeAccepted
            : end.reason() == Reason::StepVanishes        ? StopReason::SearchStepVanishes
            : end.reason() == Reason::ToleranceUnresolved ? StopReason::SearchToleranceUnresolved
                                                          : StopReason::SearchUnpredictable;
        const double figure =
            end.reason() == Reason::ToleranceUnresolved ? end.resolution() : end.precision();
        throw Stop(reason).withSearch(readings, figure, end.passes(), end.seconds());
    }
}

} // namespace resection
