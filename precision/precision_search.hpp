// The search for the reading precision at which the variance test changes
// its verdict, shared by the position and the height adjustment.
//
// An adjustment pass takes an a priori precision sigma of the readings and
// ends with the test of the a posteriori variance: the statistic v^T P v is
// compared with the 95 % chi-square point. The search starts at the precision
// of the input file and moves it by one step of 0.1" (0.1 mgon) per pass
// against the verdict, down while the test accepts and up while it rejects,
// until the verdict of a pass differs from that of the pass before. The
// precision after the last step is reported; the results are those of the
// last pass.
//
// Every weight of a pass is proportional to 1 / sigma^2. In exact arithmetic
// the iteration, the position and the residuals of all passes are therefore
// the same, and the statistic is exactly T0 (sigma0 / sigma)^2. The search
// uses this to predict the verdict of the passes ahead and computes in full
// only the passes it must: the first, every pass whose prediction lies within
// a safe margin of the critical value, and the last pass, whose results the
// report prints. Each pass computed after the first shows how far computed
// statistics stray from the prediction, which sets the margin from then on,
// and whether the passes skipped before it were safely skipped. Where a
// computed pass strays further than the margin allowed, takes another number
// of iterations, makes a convergence decision within rounding of the
// tolerance, or gives a value that is not finite, the prediction is not
// trusted: the search goes back to the last pass it verified and computes
// every pass from there. A tolerance of 1e-7 m or less is the exception to
// the iterations and decisions: there, a pass that ends its iteration one
// solution earlier or later has the same statistic to far within the margin,
// as long as one solution more stays within the limit of solutions.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace resection {

enum class Verdict { Accepted, Rejected };

// How a precision search went: the passes of its walk, and how many of them
// were computed in full.
struct SearchCounts {
    std::int64_t passesWalked = 0;
    std::int64_t passesComputed = 0;
    int fallbacks = 0; // times a prediction was not borne out
};

// The 95 % chi-square test: rejected when the statistic exceeds the critical
// value for r degrees of freedom, accepted otherwise (equality accepts).
Verdict chiSquareVerdict(double statistic, int degreesOfFreedom);

// What one adjustment pass tells the search.
struct PassOutcome {
    Verdict verdict = Verdict::Accepted;
    double statistic = 0.0; // v^T P v / sigma0^2
    // For each solution of the pass's iteration, the correction that was
    // compared with the tolerance (the larger of the magnitudes).
    std::vector<double> corrections;
};

// One adjustment pass at a precision (radians). It leaves its results in the
// run's state, where the report writers read those of the last pass.
using AdjustmentPass = std::function<PassOutcome(double precision)>;

struct SearchSettings {
    double start = 0.0;     // the a priori precision, radians
    double step = 0.0;      // radians
    double tolerance = 0.0; // what the iteration compares its corrections with
    // Compute every pass (the reference the fast search is checked against).
    bool passByPass = false;
    // At most this many passes computed (0: no bound), for the fuzzers: a
    // walk whose prediction is not trusted computes every one of its passes,
    // and after a gross error in made-up data they can run to millions.
    std::int64_t passBudget = 0;
    // Where a convergence decision lies within rounding of the tolerance and
    // a pass not computed could, by taking one solution more, reach the
    // largest number of solutions, every pass is computed: at most this many
    // (0: no bound), after which the tolerance counts as finer than the
    // arithmetic resolves (SearchWithoutEnd, ToleranceUnresolved).
    std::int64_t unresolvedPassLimit = 0;
};

struct SearchResult {
    double precision = 0.0; // the a posteriori precision to report, radians
    SearchCounts counts;
};

// Why a search cannot end: the test accepts a negative precision, so that a
// downward walk would go on for ever, or the step no longer changes the
// precision in double arithmetic; or it cannot end promptly with the result
// of computing every pass, because the tolerance lies within the rounding of
// the corrections (ToleranceUnresolved, with that rounding in metres). The
// caller words the message.
class SearchWithoutEnd : public std::runtime_error {
  public:
    enum class Reason { NegativeAccepted, StepVanishes, ToleranceUnresolved };
    SearchWithoutEnd(Reason reason, double precision, double resolution = 0.0)
        : std::runtime_error("precision search without end"), reason_(reason),
          precision_(precision), resolution_(resolution) {}
    Reason reason() const { return reason_; }
    double precision() const { return precision_; } // radians, where it stopped
    double resolution() const { return resolution_; }

  private:
    Reason reason_;
    double precision_;
    double resolution_;
};

// More passes than SearchSettings::passBudget allows.
class PassBudgetExceeded : public std::runtime_error {
  public:
    PassBudgetExceeded() : std::runtime_error("precision search over its pass budget") {}
};

// Runs the search. The walk:
// - after an accepted pass the precision steps down, after a rejected one up;
// - the search ends at the first pass whose verdict differs from the pass
//   before, and reports the precision after that pass's step;
// - a downward walk that would reach zero or below ends at the last positive
//   precision, which is reported (the pass there is the last one);
// - an upward walk through exactly zero counts that precision as rejected
//   without a pass (the statistic grows without bound as sigma goes to 0);
// - SearchWithoutEnd where the walk could never end.
SearchResult searchPrecision(const AdjustmentPass& pass, const SearchSettings& settings,
                             double criticalValue);

} // namespace resection
