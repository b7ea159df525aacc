#include "precision/precision_search.hpp"

#include "base/constants.hpp"
#include "precision/chi_square.hpp"
#include "precision/precision_walk.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace resection {

Verdict chiSquareVerdict(double statistic, int degreesOfFreedom) {
    return statistic > chiSquare95(degreesOfFreedom) ? Verdict::Rejected : Verdict::Accepted;
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
    // Passes skipped on the prediction, up to and including the walk's
    // value; returns false when the next pass must be computed.
    bool skipPredicted();
    // Whether a decision within rounding of the tolerance may be left to
    // the prediction. It can go the other way in a pass that was not
    // computed, which then takes one solution more or fewer than this one and
    // ends with its last point of linearisation moved by about a correction
    // c near the tolerance. The residuals of the linearised solution do not
    // see where it was linearised but through the curvature of the
    // observation equations: they move by about c^2 / d^2 rad at sights of d
    // metres. Up to a tolerance of 1e-7 m that is 1e-16 rad at sights of
    // 10 m, below the rounding of the residuals themselves, and the statistic
    // moves by less than 1e-8 of itself even where residuals are 0.01"; the
    // margin is 1e-7. What such a pass can do is reach the largest number
    // of solutions, after which the reference stops the run: so this pass
    // must leave room for one solution more.
    bool nearDecisionHarmless(const PassOutcome& outcome) const {
        return std::fabs(settings_.tolerance) <= 1e-7 &&
               static_cast<int>(outcome.corrections.size()) + 2 <= maxIterations;
    }
    void runPassByPass();

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
    double closestDecision_ = 0.0; // smallest |correction - tolerance| seen
    double decisionFloor_ = 0.0;
    // Every pass must be computed because a decision within rounding of the
    // tolerance could end a pass not computed at the largest number of
    // solutions.
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
    ++result_.counts.passesComputed;
    return pass_(walk_.value());
}

Search::Trust Search::assess(const PassOutcome& outcome, double precision) {
    const std::vector<double>& firstCorrections = first_.outcome.corrections;
    const std::size_t count = outcome.corrections.size();
    if (!std::isfinite(outcome.statistic) || count + 1 < firstCorrections.size() ||
        count > firstCorrections.size() + 1) {
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
        closestDecision_ = std::min(closestDecision_, std::fabs(c - settings_.tolerance));
    }
    // Each pass decides at every solution whether the correction is below the
    // tolerance; a decision closer to it than the rounding that separates the
    // passes could go the other way in a pass that was not computed, which
    // then ends its iteration one solution earlier or later. This pass shows
    // it, when it took another number of solutions than the first.
    if (count != firstCorrections.size() ||
        !(closestDecision_ > safety * correctionNoise_ + decisionFloor_)) {
        if (!nearDecisionHarmless(outcome)) {
            unresolved_ = true;
            return Trust::No;
        }
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

void Search::runPassByPass() {
    const std::int64_t before = result_.counts.passesComputed;
    while (true) {
        Verdict verdict = Verdict::Rejected;
        if (!(walk_.value() == 0.0 && walkVerdict_ == Verdict::Rejected)) {
            if (unresolved_ && settings_.unresolvedPassLimit > 0 &&
                result_.counts.passesComputed - before >= settings_.unresolvedPassLimit) {
                throw SearchWithoutEnd(SearchWithoutEnd::Reason::ToleranceUnresolved, walk_.value(),
                                       decisionFloor_ + safety * correctionNoise_);
            }
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
        runPassByPass();
        return result_;
    }
    double largestCorrection = 0.0;
    closestDecision_ = std::numeric_limits<double>::infinity();
    for (double c : first_.outcome.corrections) {
        if (!std::isfinite(c)) {
            runPassByPass();
            return result_;
        }
        largestCorrection = std::max(largestCorrection, std::fabs(c));
        closestDecision_ = std::min(closestDecision_, std::fabs(c - settings_.tolerance));
    }
    // Rounding separates the corrections of two passes by some 1e-16 of the
    // largest correction, times what the conditioning of the normal
    // equations makes of it. Until a second pass shows how much, a decision
    // counts as safe further from the tolerance than 1e-11 of the largest
    // correction (room for a condition of 10^5).
    decisionFloor_ = 1e-11 * (std::fabs(settings_.tolerance) + largestCorrection);
    if (!std::isfinite(first_.outcome.statistic) || !(first_.outcome.statistic >= 0.0)) {
        runPassByPass();
        return result_;
    }
    if (!(closestDecision_ > decisionFloor_) && !nearDecisionHarmless(first_.outcome)) {
        // A decision within rounding of the tolerance that a pass not
        // computed could take the other way: see nearDecisionHarmless().
        unresolved_ = true;
        runPassByPass();
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
                runPassByPass();
                return result_;
            }
            const bool changed = outcome.verdict != walkVerdict_;
            if (!finishStep(outcome.verdict, changed)) {
                runPassByPass();
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

} // namespace resection
