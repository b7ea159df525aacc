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
// Passes that are not computed. The report must be the one that computing
// every pass gives, and most passes of a long walk need not be computed,
// because what such a pass does is known:
//
//   A pass that is not computed takes the same convergence decisions as the
//   computed passes (so it converges, in the same number of solutions), and
//   its verdict is that of its predicted statistic.
//
// Why. Every weight of a pass is proportional to 1 / sigma^2, and nothing
// else in a pass depends on sigma: in exact arithmetic all passes iterate
// through the same stations, and the statistic is exactly T0 (sigma0 /
// sigma)^2. In floating point the passes differ only by rounding. So:
// - a convergence decision (a correction compared with the tolerance) comes
//   out the same in every pass where the computed corrections lie further
//   from the tolerance than rounding can move them. That rounding is bounded
//   by the larger of a thousand times the largest difference seen between the
//   corrections of two computed passes, and the floor each pass states for
//   its own arithmetic (the rounding of the station's coordinates, and that of
//   the misclosures carried through the normal equations; see
//   PassOutcome::rounding);
// - a verdict is known where the predicted statistic lies further from the
//   critical value than a margin, a thousand times the largest relative
//   disagreement seen between computed statistics and their prediction (at
//   least 1e-7).
// Where either cannot be shown the passes are computed, every one of them:
// a decision within rounding of the tolerance (corrections that stagnate
// below the rounding of the coordinates, or wander at it, near the
// tolerance), a computed pass that takes another number of solutions than
// the first or strays further from its prediction than the margin allowed, a
// value that is not finite. Computing every pass is what the reference does,
// so the report is the same by construction; where that would cost more than
// about a second of computing (SearchSettings::workLimit), the search stops
// with SearchWithoutEnd and says how much it would have cost.
//
// The search needs no tolerance of its own: each pass reports how close its
// decisions came to it (PassOutcome::closestDecision).
#pragma once

#include "angles/units.hpp"
#include "base/stop.hpp"

#include <cstdint>
#include <functional>
#include <limits>
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
    double work = 0.0; // of the passes computed, seconds (PassOutcome::work)
};

// The 95 % chi-square test: rejected when the statistic exceeds the critical
// value for r degrees of freedom, accepted otherwise (equality accepts).
Verdict chiSquareVerdict(double statistic, int degreesOfFreedom);
// The same against a critical value found once for the run's passes.
Verdict verdictAgainst(double statistic, double criticalValue);

// How far rounding alone can move a correction near convergence, metres
// (PassOutcome::rounding): 'coordinateUnits', the units in the last place of
// the unknowns the correction moves, and the misclosures' rounding (some
// units in the last place of 2 pi) carried into them by 'metresPerRadian';
// eight times both. Corrections of iterations carried on past their
// convergence (they wander, or the station stops moving) stayed below a
// twentieth of that in 400 random networks of 4 to 50 points, coordinates of
// 1e2 to 1e7 m, weak geometries and gross errors among them.
double correctionRounding(double coordinateUnits, double metresPerRadian);

// The spacing of doubles at x: a unit in the last place of |x|.
double unitInLastPlace(double x);

// What one adjustment pass tells the search.
struct PassOutcome {
    Verdict verdict = Verdict::Accepted;
    double statistic = 0.0; // v^T P v / sigma0^2
    // For each solution of the pass's iteration, the correction that was
    // compared with the tolerance (the larger of the magnitudes), metres.
    std::vector<double> corrections;
    // The smallest distance between one of those corrections and the
    // tolerance, metres: how close a decision of the pass came to going the
    // other way.
    double closestDecision = std::numeric_limits<double>::infinity();
    // How far rounding alone can move a correction of this pass, metres: the
    // floor below which two passes' corrections cannot be told apart.
    double rounding = 0.0;
    // The cost of the pass in seconds, from a model of its operations
    // calibrated by the benchmark (the same for every run of the same input,
    // so that whether a search computes every pass or stops does not depend
    // on the machine).
    double work = 0.0;
};

// One adjustment pass at a precision (radians).
using AdjustmentPass = std::function<PassOutcome(double precision)>;

struct SearchSettings {
    double start = 0.0; // the a priori precision, radians
    double step = 0.0;  // radians
    // Compute every pass (the reference the fast search is checked against),
    // without a limit.
    bool passByPass = false;
    // At most this many passes computed (0: no bound), for the fuzzers.
    std::int64_t passBudget = 0;
    // Where every pass must be computed, at most this much work (seconds of
    // PassOutcome::work; 0: no bound): a walk estimated to cost more stops
    // at once with SearchWithoutEnd, and one that turns out longer than its
    // estimate stops when its cost exceeds the limit by a quarter.
    double workLimit = 0.0;
};

// Within a second of computing: where a search must compute every pass, the
// most work (seconds of PassOutcome::work) it takes on; a walk that turns out
// longer than its estimate stops at a quarter above it. The margin is for the
// machine, not the model: on one 2-core virtual machine the same walk took
// 0.64 to 1.13 s of CPU between runs, 1.2 to 2 times its model, so that a
// walk taken on ends within a second even in a slow turn, and one refused
// would take 0.5 s or more.
inline constexpr double everyPassWorkLimit = 0.5;

struct SearchResult {
    double precision = 0.0; // the a posteriori precision to report, radians
    SearchCounts counts;
};

// Why a search cannot end: the test accepts a negative precision, so that a
// downward walk would go on for ever, or the step no longer changes the
// precision in double arithmetic; or every pass would have to be computed, at
// a cost above SearchSettings::workLimit, because a convergence decision lies
// within the rounding of the tolerance (ToleranceUnresolved, with that
// rounding in metres) or the passes do not follow the prediction
// (Unpredictable). The caller words the message.
class SearchWithoutEnd : public std::runtime_error {
  public:
    enum class Reason { NegativeAccepted, StepVanishes, ToleranceUnresolved, Unpredictable };
    SearchWithoutEnd(Reason reason, double precision, double resolution = 0.0, double passes = 0.0,
                     double seconds = 0.0)
        : std::runtime_error("precision search without end"), reason_(reason),
          precision_(precision), resolution_(resolution), passes_(passes), seconds_(seconds) {}
    Reason reason() const { return reason_; }
    double precision() const { return precision_; } // radians, where it stopped
    double resolution() const { return resolution_; }
    // The passes every-pass computing would have taken, and their cost in
    // seconds (estimates; infinite where the walk has no foreseeable end).
    double passes() const { return passes_; }
    double seconds() const { return seconds_; }

  private:
    Reason reason_;
    double precision_;
    double resolution_;
    double passes_;
    double seconds_;
};

// More passes than SearchSettings::passBudget allows.
class PassBudgetExceeded : public std::runtime_error {
  public:
    PassBudgetExceeded() : std::runtime_error("precision search over its pass budget") {}
};

// What a run asks of its computations: the references the tests and the
// benchmark compare with, and a bound for the fuzzers.
struct ComputeOptions {
    // The straightforward dense routines for the angle weights and the
    // products with them, instead of those that use the band structure of
    // those matrices (the same bytes, at a cost of order N^3 a pass).
    bool denseReference = false;
    // Compute every pass of the precision searches (the same bytes again).
    bool passByPass = false;
    // At most this many passes computed per search (0: no bound); over it
    // PassBudgetExceeded, which only the fuzzers ask for.
    std::int64_t passBudget = 0;
};

// The settings of a search from 'start' with the unit's step of 0.1" or
// 0.1 mgon, the work limit, and the run's options.
SearchSettings searchSettings(double start, AngleUnit unit, const ComputeOptions& options);

// Runs the search. The walk:
// - after an accepted pass the precision steps down, after a rejected one up;
// - the search ends at the first pass whose verdict differs from the pass
//   before, and reports the precision after that pass's step;
// - a downward walk that would reach zero or below ends at the last positive
//   precision, which is reported (the pass there is the last one);
// - an upward walk through exactly zero counts that precision as rejected
//   without a pass (the statistic grows without bound as sigma goes to 0);
// - SearchWithoutEnd where the walk could never end, or could end only by
//   computing every pass at a cost above the work limit.
SearchResult searchPrecision(const AdjustmentPass& pass, const SearchSettings& settings,
                             double criticalValue);

// The same, for the readings named: a search that cannot end stops the run
// (the Stop of the SearchWithoutEnd reason, with its figures).
SearchResult searchReadingPrecision(const AdjustmentPass& pass, const SearchSettings& settings,
                                    double criticalValue, Readings readings);

} // namespace resection
