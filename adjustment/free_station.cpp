#include "adjustment/free_station.hpp"

#include "adjustment/first_position.hpp"
#include "base/constants.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace resection {

namespace {

using Kind = ObservationKind;

// Where each unknown stands in the vector of corrections (from 0; -1: not an
// unknown here).
struct Layout {
    int count = 0;
    int m = -1, p = -1, orientation = -1, height = -1, scale = -1;
};

struct Unknowns {
    double m = 0.0, p = 0.0, o = 0.0, h = 0.0, q = 1.0;
};

constexpr int maxUnknowns = 5;

// One observation at the unknowns x: its computed value and its derivatives
// by the unknowns of the layout (a, count entries, zeroed first). False where
// the station stands on its target (to a micrometre), which leaves its sight
// without a direction; onPoint then names that target.
bool observationRow(const StationSurvey& s, const Observation& ob, const Layout& lay,
                    const Unknowns& x, double c, double* a, double& computed, int& onPoint,
                    double& sight) {
    std::fill(a, a + lay.count, 0.0);
    const KnownPoint& t = s.points[static_cast<std::size_t>(ob.target)];
    const double dm = t.m - x.m, dp = t.p - x.p;
    const double d2 = dm * dm + dp * dp;
    const double d = std::sqrt(d2);
    sight = d;
    if (!(d >= 1e-6)) {
        onPoint = ob.target;
        return false;
    }
    const auto set = [a](int at, double value) {
        if (at >= 0) {
            a[at] = value;
        }
    };
    // Derivatives of the azimuth and of the ground distance g = d / q.
    const double azM = -dp / d2, azP = dm / d2;
    const double g = d / x.q;
    const double gM = -dm / (x.q * d), gP = -dp / (x.q * d), gQ = -g / x.q;
    switch (ob.kind) {
    case Kind::Direction:
        computed = std::atan2(dm, dp) - x.o;
        set(lay.m, azM);
        set(lay.p, azP);
        set(lay.orientation, -1.0);
        break;
    case Kind::Angle: {
        const KnownPoint& f = s.points[static_cast<std::size_t>(ob.from)];
        const double fm = f.m - x.m, fp = f.p - x.p;
        const double f2 = fm * fm + fp * fp;
        if (!(f2 >= 1e-12)) {
            onPoint = ob.from;
            return false;
        }
        computed = std::atan2(dm, dp) - std::atan2(fm, fp);
        set(lay.m, azM - (-fp / f2));
        set(lay.p, azP - (fm / f2));
        break;
    }
    case Kind::HorizontalDistance:
        computed = g;
        set(lay.m, gM);
        set(lay.p, gP);
        set(lay.scale, gQ);
        break;
    case Kind::SlopeDistance:
    case Kind::Zenith: {
        // The apparent height difference of the sight: the target seems
        // lower by c g^2.
        const double dh = ((t.h + ob.targetHeight) - (x.h + s.instrumentHeight)) - c * g * g;
        const double rho2 = g * g + dh * dh;
        double byG = 0.0, byH = 0.0;
        if (ob.kind == Kind::SlopeDistance) {
            computed = std::sqrt(rho2);
            byG = g * (1.0 - 2.0 * c * dh) / computed;
            byH = -dh / computed;
        } else {
            computed = std::atan2(g, dh);
            byG = (dh + 2.0 * c * g * g) / rho2;
            byH = g / rho2;
        }
        set(lay.m, byG * gM);
        set(lay.p, byG * gP);
        set(lay.height, byH);
        set(lay.scale, byG * gQ);
        break;
    }
    }
    return true;
}

// The linearised observation equations at one point: a row of derivatives
// of the computed value by each unknown, and the misclosure l = observed -
// computed (angles folded into [-pi, pi)); the normal equations, and v^T P v
// there, from -l.
struct Linearised {
    std::vector<double> rows; // n x count, row by row
    std::vector<double> misclosure;
    double normal[maxUnknowns * maxUnknowns] = {};
    double right[maxUnknowns] = {};
    double squares = 0.0; // sum of p l^2
    double meanSight = 0.0;
    bool usable = false;
    int onPoint = -1; // a target the station has reached
};

// The observations an adjustment takes: all of the survey's but 'skip' (none
// where it is npos), the adjustments without one observation taking the
// survey as it is.
std::size_t takenCount(const StationSurvey& s, std::size_t skip) {
    return s.observations.size() - (skip < s.observations.size() ? 1 : 0);
}

void linearise(const StationSurvey& s, std::size_t skip, const Layout& lay, const Unknowns& x,
               Linearised& out) {
    const std::size_t n = takenCount(s, skip);
    const int u = lay.count;
    out.rows.resize(n * static_cast<std::size_t>(u));
    out.misclosure.resize(n);
    std::fill(std::begin(out.normal), std::end(out.normal), 0.0);
    std::fill(std::begin(out.right), std::end(out.right), 0.0);
    out.squares = 0.0;
    out.meanSight = 0.0;
    out.usable = false;
    out.onPoint = -1;
    const double c = curvatureFactor(s.options);
    for (std::size_t i = 0, at = 0; at < s.observations.size(); ++at) {
        if (at == skip) {
            continue;
        }
        const Observation& ob = s.observations[at];
        double* a = &out.rows[i * static_cast<std::size_t>(u)];
        double computed = 0.0;
        double sight = 0.0;
        if (!observationRow(s, ob, lay, x, c, a, computed, out.onPoint, sight)) {
            return;
        }
        out.meanSight += sight / static_cast<double>(n);
        double l = ob.value - computed;
        if (!isDistance(ob.kind)) {
            l = foldedAngle(l);
        }
        out.misclosure[i] = l;
        const double w = 1.0 / (ob.sigma * ob.sigma);
        out.squares += w * l * l;
        for (int j = 0; j < u; ++j) {
            const double wa = w * a[j];
            out.right[j] += wa * l;
            for (int k = 0; k <= j; ++k) {
                out.normal[j * u + k] += wa * a[k];
            }
        }
        ++i;
    }
    for (int j = 0; j < u; ++j) {
        for (int k = 0; k < j; ++k) {
            out.normal[k * u + j] = out.normal[j * u + k];
        }
    }
    out.usable = std::isfinite(out.squares);
}

// The inverse of the normal matrix, by Cholesky's factors of the matrix
// scaled to a unit diagonal (the unknowns are metres, radians and a pure
// number, whose derivatives differ by orders of magnitude). False where the
// observations do not fix the unknowns: a pivot of the scaled matrix at the
// rounding of a unit diagonal, a correlation of two unknowns of 1.
bool invertNormal(const double* normal, int u, double* inverse) {
    double scale[maxUnknowns];
    double l[maxUnknowns * maxUnknowns] = {};
    for (int j = 0; j < u; ++j) {
        const double d = normal[j * u + j];
        if (!(d > 0.0) || !std::isfinite(d)) {
            return false;
        }
        scale[j] = 1.0 / std::sqrt(d);
    }
    for (int j = 0; j < u; ++j) {
        for (int k = 0; k <= j; ++k) {
            double sum = normal[j * u + k] * scale[j] * scale[k];
            for (int m = 0; m < k; ++m) {
                sum -= l[j * u + m] * l[k * u + m];
            }
            if (j == k) {
                if (!(sum > 1e-12)) {
                    return false;
                }
                l[j * u + j] = std::sqrt(sum);
            } else {
                l[j * u + k] = sum / l[k * u + k];
            }
        }
    }
    // The inverse of L, then (L L^T)^-1 = L^-T L^-1, scaled back.
    double li[maxUnknowns * maxUnknowns] = {};
    for (int j = 0; j < u; ++j) {
        li[j * u + j] = 1.0 / l[j * u + j];
        for (int k = j + 1; k < u; ++k) {
            double sum = 0.0;
            for (int m = j; m < k; ++m) {
                sum -= l[k * u + m] * li[m * u + j];
            }
            li[k * u + j] = sum / l[k * u + k];
        }
    }
    for (int j = 0; j < u; ++j) {
        for (int k = 0; k < u; ++k) {
            double sum = 0.0;
            for (int m = std::max(j, k); m < u; ++m) {
                sum += li[m * u + j] * li[m * u + k];
            }
            inverse[j * u + k] = sum * scale[j] * scale[k];
        }
    }
    return true;
}

Unknowns stepped(const Layout& lay, const Unknowns& x, const double* step, double length) {
    Unknowns y = x;
    const auto move = [&](int at, double& value) {
        if (at >= 0) {
            value += length * step[at];
        }
    };
    move(lay.m, y.m);
    move(lay.p, y.p);
    move(lay.orientation, y.o);
    move(lay.height, y.h);
    move(lay.scale, y.q);
    return y;
}

// How far the station may wander from the known points before the
// iteration counts as run away: far beyond anything the observations can
// mean.
double wanderingLimit(const StationSurvey& s) {
    double cm = 0.0, cp = 0.0;
    for (const KnownPoint& k : s.points) {
        cm += k.m / static_cast<double>(s.points.size());
        cp += k.p / static_cast<double>(s.points.size());
    }
    // The larger of the coordinate differences: within a factor sqrt 2 of
    // the distance, and no square to overflow.
    double extent = 1.0;
    for (const KnownPoint& k : s.points) {
        extent = std::max({extent, std::fabs(k.m - cm), std::fabs(k.p - cp)});
    }
    for (const Observation& o : s.observations) {
        if (isDistance(o.kind)) {
            extent = std::max(extent, o.value);
        }
    }
    return 1000.0 * extent;
}

FreeStation failed(FreeStation r, AdjustmentFault fault) {
    r.fault = fault;
    return r;
}

void setIndices(FreeStation& r, const Layout& lay) {
    r.unknowns = lay.count;
    r.mIndex = lay.m + 1;
    r.pIndex = lay.p + 1;
    r.orientationIndex = lay.orientation + 1;
    r.heightIndex = lay.height + 1;
    r.scaleIndex = lay.scale + 1;
}

FreeStation adjustFrom(const StationSurvey& s, std::size_t skip, const Layout& lay, Unknowns x) {
    FreeStation r;
    const int u = lay.count;
    const std::size_t n = takenCount(s, skip);
    setIndices(r, lay);
    r.observations = static_cast<int>(n);
    r.leftOut = skip < s.observations.size() ? skip : FreeStation::none;
    const double limit = wanderingLimit(s);
    const double startM = x.m, startP = x.p, startH = x.h;
    const auto ranAway = [&](const Unknowns& y) {
        return !(std::hypot(y.m - startM, y.p - startP) <= limit) ||
               !(std::fabs(y.h - startH) <= limit) || !(y.q > 0.0) || !std::isfinite(y.o);
    };
    // Two sets of work arrays: the linearisation at the unknowns, and at the
    // step tried, which becomes the first where it is taken.
    Linearised now, next;
    linearise(s, skip, lay, x, now);
    double q[maxUnknowns * maxUnknowns];
    double step[maxUnknowns];
    bool converged = false;
    for (int iteration = 1; iteration <= maxFreeStationIterations; ++iteration) {
        r.iterations = iteration;
        if (now.onPoint >= 0) {
            r.faultPoint = now.onPoint;
            return failed(r, AdjustmentFault::OnPoint);
        }
        if (!now.usable) {
            return failed(r, AdjustmentFault::NotFinite);
        }
        if (!invertNormal(now.normal, u, q)) {
            return failed(r, AdjustmentFault::Undetermined);
        }
        for (int j = 0; j < u; ++j) {
            step[j] = 0.0;
            for (int k = 0; k < u; ++k) {
                step[j] += q[j * u + k] * now.right[k];
            }
        }
        // Settled when the corrections reach the rounding of the
        // coordinates, or a millionth of a micrometre per kilometre of sight;
        // the orientation and the scale count by what they move at the mean
        // sight.
        const double settled =
            std::max({1e-10, 1e-14 * (std::fabs(x.m) + std::fabs(x.p)), 1e-12 * now.meanSight});
        double largest = 0.0;
        for (const int at : {lay.m, lay.p, lay.height}) {
            if (at >= 0) {
                largest = std::max(largest, std::fabs(step[at]));
            }
        }
        for (const int at : {lay.orientation, lay.scale}) {
            if (at >= 0) {
                largest = std::max(largest, std::fabs(step[at]) * now.meanSight);
            }
        }
        if (largest <= settled) {
            converged = true;
            break;
        }
        // The full step, or half of it as often as needed for v^T P v not to
        // grow: with large residuals the linearisation overshoots. Where the
        // decrease the step promises (step^T A^T P l) is within the rounding
        // of v^T P v itself, the sum cannot judge it, and the step is taken.
        double promised = 0.0;
        for (int j = 0; j < u; ++j) {
            promised += step[j] * now.right[j];
        }
        const bool judge = promised > 1e-9 * now.squares;
        Unknowns y = x;
        for (int halving = 0; halving <= (judge ? 40 : 0); ++halving) {
            y = stepped(lay, x, step, std::ldexp(1.0, -halving));
            if (ranAway(y)) {
                continue;
            }
            linearise(s, skip, lay, y, next);
            if (next.onPoint < 0 && next.usable &&
                (!judge || next.squares <= now.squares * (1.0 + 1e-12))) {
                break;
            }
        }
        if (ranAway(y)) {
            return failed(r, AdjustmentFault::RanAway);
        }
        x = y;
        std::swap(now, next);
    }
    if (!converged) {
        return failed(r, AdjustmentFault::NotConverging);
    }

    // The last solution, and the figures of its linearisation.
    x = stepped(lay, x, step, 1.0);
    r.fault = AdjustmentFault::None;
    r.stationM = x.m;
    r.stationP = x.p;
    r.stationHeight = x.h;
    r.orientation = std::fmod(x.o, 2.0 * pi);
    if (r.orientation < 0.0) {
        r.orientation += 2.0 * pi;
    }
    r.scale = x.q;
    r.cofactor = Matrix(u, u);
    for (int j = 0; j < u; ++j) {
        for (int k = 0; k < u; ++k) {
            r.cofactor(j + 1, k + 1) = q[j * u + k];
        }
    }
    r.design = Matrix(static_cast<int>(n), u);
    r.residual.resize(n);
    r.degreesOfFreedom = static_cast<int>(n) - u;
    for (std::size_t i = 0, at = 0; at < s.observations.size(); ++at) {
        if (at == skip) {
            continue;
        }
        const double* a = &now.rows[i * static_cast<std::size_t>(u)];
        double ax = 0.0;
        for (int j = 0; j < u; ++j) {
            ax += a[j] * step[j];
            r.design(static_cast<int>(i) + 1, j + 1) = a[j];
        }
        const double v = ax - now.misclosure[i];
        r.residual[i] = v;
        const double sigma = s.observations[at].sigma;
        r.quadraticForm += v * v / (sigma * sigma);
        ++i;
    }
    if (lay.m >= 0) {
        r.priori = errorEllipse(q[lay.m * u + lay.m], q[lay.p * u + lay.p], q[lay.m * u + lay.p]);
    }
    if (r.degreesOfFreedom > 0) {
        r.sigma0 = std::sqrt(r.quadraticForm / r.degreesOfFreedom);
        r.posteriori = scaled(r.priori, r.sigma0);
    } else {
        r.quadraticForm = 0.0;
    }
    return r;
}

Layout layoutOf(const StationSurvey& s, std::size_t skip, bool planeKnown,
                bool& scaleNotEstimable) {
    Layout lay;
    if (!planeKnown) {
        lay.m = lay.count++;
        lay.p = lay.count++;
    }
    int distances = 0;
    bool directions = false, heights = false;
    for (std::size_t i = 0; i < s.observations.size(); ++i) {
        if (i == skip) {
            continue;
        }
        const Observation& o = s.observations[i];
        directions = directions || o.kind == Kind::Direction;
        heights = heights || o.kind == Kind::SlopeDistance || o.kind == Kind::Zenith;
        distances += isDistance(o.kind) ? 1 : 0;
    }
    if (directions) {
        lay.orientation = lay.count++;
    }
    if (heights) {
        lay.height = lay.count++;
    }
    scaleNotEstimable = false;
    if (s.options.estimateScale) {
        // The scale needs distances, and observations to spare beyond the
        // other unknowns for it.
        if (distances > 0 && static_cast<int>(takenCount(s, skip)) > lay.count + 1) {
            lay.scale = lay.count++;
        } else {
            scaleNotEstimable = true;
        }
    }
    return lay;
}

Unknowns startAt(const StationSurvey& s, double m, double p) {
    Unknowns x;
    x.m = m;
    x.p = p;
    x.q = s.options.scale;
    x.o = approximateOrientation(s, m, p);
    x.h = approximateHeight(s, m, p, x.q);
    return x;
}

// An adjustment that cannot start: its unknowns laid out, its fault said.
FreeStation notStarted(const StationSurvey& s, std::size_t skip, const Layout& lay,
                       AdjustmentFault fault, bool scaleNotEstimable) {
    FreeStation r;
    setIndices(r, lay);
    r.observations = static_cast<int>(takenCount(s, skip));
    r.scaleNotEstimable = scaleNotEstimable;
    r.fault = fault;
    return r;
}

// The adjustment from a plane position, or (with 'near') from the unknowns
// of an adjustment of nearly the same observations, which saves the
// approximate orientation and height where it has them.
FreeStation adjustAt(const StationSurvey& survey, std::size_t skip, double m, double p,
                     bool planeKnown, const FreeStation* near) {
    bool notEstimable = false;
    const Layout lay = layoutOf(survey, skip, planeKnown, notEstimable);
    if (static_cast<int>(takenCount(survey, skip)) < lay.count) {
        return notStarted(survey, skip, lay, AdjustmentFault::TooFewObservations, notEstimable);
    }
    Unknowns x;
    if (near != nullptr && near->adjusted() &&
        (lay.orientation < 0) == (near->orientationIndex == 0) &&
        (lay.height < 0) == (near->heightIndex == 0)) {
        x.m = near->stationM;
        x.p = near->stationP;
        x.o = near->orientation;
        x.h = near->stationHeight;
        x.q = near->scale;
    } else {
        x = startAt(survey, m, p);
    }
    FreeStation r = adjustFrom(survey, skip, lay, x);
    r.scaleNotEstimable = notEstimable;
    return r;
}

} // namespace

double FreeStation::prioriSigma(int i) const {
    return i >= 1 && i <= cofactor.rows() ? std::sqrt(std::max(0.0, cofactor(i, i))) : 0.0;
}

double FreeStation::posterioriSigma(int i) const {
    return sigma0 * prioriSigma(i);
}

double foldedAngle(double angle) {
    // A difference of angles that each lie within a few circles: by whole
    // circles, as the program folds its angles; beyond (a reading of 1e300
    // degrees), by the remainder of a division by a circle.
    if (!(std::fabs(angle) < 9.0 * pi)) {
        angle = std::remainder(angle, 2.0 * pi);
    }
    while (angle >= pi) {
        angle -= 2.0 * pi;
    }
    while (angle < -pi) {
        angle += 2.0 * pi;
    }
    return angle;
}

FreeStation adjustFreeStation(const StationSurvey& survey, double startM, double startP) {
    return adjustAt(survey, FreeStation::none, startM, startP, false, nullptr);
}

FreeStation adjustWithPlaneKnown(const StationSurvey& survey, double m, double p) {
    return adjustAt(survey, FreeStation::none, m, p, true, nullptr);
}

FreeStation adjustWithout(const StationSurvey& survey, std::size_t k, double m, double p,
                          bool planeKnown, const FreeStation* near) {
    return adjustAt(survey, k, m, p, planeKnown, near);
}

FreeStation adjustFreeStation(const StationSurvey& survey) {
    constexpr std::size_t all = FreeStation::none;
    bool notEstimable = false;
    const Layout lay = layoutOf(survey, all, false, notEstimable);
    if (static_cast<int>(survey.observations.size()) < lay.count) {
        return notStarted(survey, all, lay, AdjustmentFault::TooFewObservations, notEstimable);
    }
    const std::vector<PlanePosition> starts = firstPositions(survey);
    if (starts.empty()) {
        return notStarted(survey, all, lay, AdjustmentFault::NoFirstPosition, notEstimable);
    }
    // The best start, and those that fit nearly as well: where two of them
    // end on distinct stations that fit equally, both are given; where one
    // fits better, it is the station.
    FreeStation best = adjustFrom(survey, all, lay, startAt(survey, starts[0].m, starts[0].p));
    for (std::size_t i = 1; i < starts.size(); ++i) {
        const bool close =
            starts[i].agreeing == starts[0].agreeing && starts[i].score <= starts[0].score + 0.5;
        if (!close && best.adjusted()) {
            continue;
        }
        FreeStation other = adjustFrom(survey, all, lay, startAt(survey, starts[i].m, starts[i].p));
        if (!other.adjusted()) {
            continue;
        }
        if (!best.adjusted()) {
            best = std::move(other);
            continue;
        }
        if (std::hypot(other.stationM - best.stationM, other.stationP - best.stationP) <= 1e-3) {
            continue;
        }
        const double form = std::max(best.quadraticForm, other.quadraticForm);
        if (std::fabs(other.quadraticForm - best.quadraticForm) <= 1e-6 * std::max(1.0, form)) {
            if (!best.ambiguous) {
                best.ambiguous = true;
                best.otherM = other.stationM;
                best.otherP = other.stationP;
                best.otherHeight = other.stationHeight;
            }
        } else if (other.quadraticForm < best.quadraticForm) {
            best = std::move(other);
        }
    }
    best.scaleNotEstimable = notEstimable;
    return best;
}

FreeStation approximateAt(const StationSurvey& survey, double m, double p) {
    bool notEstimable = false;
    const Layout lay = layoutOf(survey, FreeStation::none, false, notEstimable);
    const Unknowns x = startAt(survey, m, p);
    FreeStation r;
    setIndices(r, lay);
    r.fault = AdjustmentFault::None;
    r.stationM = x.m;
    r.stationP = x.p;
    r.stationHeight = x.h;
    r.orientation = x.o;
    r.scale = x.q;
    return r;
}

Prediction predictObservation(const StationSurvey& survey, const Observation& observation,
                              const FreeStation& adjustment) {
    Prediction out;
    const FreeStation& f = adjustment;
    Layout lay;
    lay.count = f.unknowns;
    lay.m = f.mIndex - 1;
    lay.p = f.pIndex - 1;
    lay.orientation = f.orientationIndex - 1;
    lay.height = f.heightIndex - 1;
    lay.scale = f.scaleIndex - 1;
    const bool needsOrientation = observation.kind == Kind::Direction;
    const bool needsHeight =
        observation.kind == Kind::SlopeDistance || observation.kind == Kind::Zenith;
    if (!f.adjusted() || (needsOrientation && lay.orientation < 0) ||
        (needsHeight && lay.height < 0)) {
        return out;
    }
    Unknowns x;
    x.m = f.stationM;
    x.p = f.stationP;
    x.o = f.orientation;
    x.h = f.stationHeight;
    x.q = f.scale;
    double a[maxUnknowns];
    int onPoint = -1;
    double sight = 0.0;
    if (!observationRow(survey, observation, lay, x, curvatureFactor(survey.options), a, out.value,
                        onPoint, sight)) {
        return out;
    }
    out.known = true;
    out.row.assign(a, a + lay.count);
    return out;
}

StationSurvey withoutObservation(const StationSurvey& survey, std::size_t k) {
    StationSurvey s = survey;
    s.observations.erase(s.observations.begin() + static_cast<std::ptrdiff_t>(k));
    return s;
}

} // namespace resection
