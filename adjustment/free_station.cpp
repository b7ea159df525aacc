#include "adjustment/free_station.hpp"

#include "adjustment/first_position.hpp"
#include "base/constants.hpp"

#include <algorithm>
#include <cmath>

namespace resection {

double FreeStation::prioriSigma(int i) const {
    return std::sqrt(std::max(0.0, cofactor(i, i)));
}

double FreeStation::posterioriSigma(int i) const {
    return sigma0 * prioriSigma(i);
}

namespace {

using Kind = ObservationKind;

// Where each unknown stands in the vector of corrections (from 0; -1: not an
// unknown here), and the values of all of them.
struct Layout {
    int count = 2;
    int orientation = -1, height = -1, scale = -1;
};

struct Unknowns {
    double m = 0.0, p = 0.0, o = 0.0, h = 0.0, q = 1.0;
};

// The linearised observation equations at one point: a row of derivatives
// of the computed value by each unknown, and the misclosure l = observed -
// computed (angles folded into [-pi, pi)); and v^T P v there, from -l.
struct Linearised {
    std::vector<double> rows; // n x count, row by row
    std::vector<double> misclosure;
    double normal[25] = {};
    double right[5] = {};
    double squares = 0.0; // sum of p l^2
    double meanSight = 0.0;
    bool usable = false;
    int onPoint = -1; // a target the station has reached
};

double foldedAngle(double a) {
    a = std::remainder(a, 2.0 * pi);
    return a >= pi ? a - 2.0 * pi : a;
}

void linearise(const StationSurvey& s, const Layout& lay, const Unknowns& x, Linearised& out) {
    const std::size_t n = s.observations.size();
    const int u = lay.count;
    out.rows.assign(n * static_cast<std::size_t>(u), 0.0);
    out.misclosure.assign(n, 0.0);
    std::fill(std::begin(out.normal), std::end(out.normal), 0.0);
    std::fill(std::begin(out.right), std::end(out.right), 0.0);
    out.squares = 0.0;
    out.meanSight = 0.0;
    out.usable = false;
    out.onPoint = -1;
    const double c = curvatureFactor(s.options);
    for (std::size_t i = 0; i < n; ++i) {
        const Observation& ob = s.observations[i];
        const KnownPoint& t = s.points[static_cast<std::size_t>(ob.target)];
        double* a = &out.rows[i * static_cast<std::size_t>(u)];
        const double dm = t.m - x.m, dp = t.p - x.p;
        const double d2 = dm * dm + dp * dp;
        const double d = std::sqrt(d2);
        // A station on a target (to a micrometre) leaves its sight without a
        // direction: the iteration must not go on with it.
        if (!(d >= 1e-6)) {
            out.onPoint = ob.target;
            return;
        }
        out.meanSight += d / static_cast<double>(n);
        // Derivatives of the azimuth and of the ground distance g = d / q.
        const double azM = -dp / d2, azP = dm / d2;
        const double g = d / x.q;
        const double gM = -dm / (x.q * d), gP = -dp / (x.q * d), gQ = -g / x.q;
        double computed = 0.0;
        switch (ob.kind) {
        case Kind::Direction:
            computed = std::atan2(dm, dp) - x.o;
            a[0] = azM;
            a[1] = azP;
            a[lay.orientation] = -1.0;
            break;
        case Kind::Angle: {
            const KnownPoint& f = s.points[static_cast<std::size_t>(ob.from)];
            const double fm = f.m - x.m, fp = f.p - x.p;
            const double f2 = fm * fm + fp * fp;
            if (!(f2 >= 1e-12)) {
                out.onPoint = ob.from;
                return;
            }
            computed = std::atan2(dm, dp) - std::atan2(fm, fp);
            a[0] = azM - (-fp / f2);
            a[1] = azP - (fm / f2);
            break;
        }
        case Kind::HorizontalDistance:
            computed = g;
            a[0] = gM;
            a[1] = gP;
            if (lay.scale >= 0) {
                a[lay.scale] = gQ;
            }
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
            a[0] = byG * gM;
            a[1] = byG * gP;
            a[lay.height] = byH;
            if (lay.scale >= 0) {
                a[lay.scale] = byG * gQ;
            }
            break;
        }
        }
        double l = ob.value - computed;
        if (ob.kind == Kind::Direction || ob.kind == Kind::Angle) {
            l = foldedAngle(l);
        }
        out.misclosure[i] = l;
        const double w = 1.0 / (ob.sigma * ob.sigma);
        out.squares += w * l * l;
        for (int j = 0; j < u; ++j) {
            out.right[j] += w * a[j] * l;
            for (int k = 0; k <= j; ++k) {
                out.normal[j * u + k] += w * a[j] * a[k];
            }
        }
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
    double scale[5], l[25] = {};
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
    double li[25] = {};
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
    y.m += length * step[0];
    y.p += length * step[1];
    if (lay.orientation >= 0) {
        y.o += length * step[lay.orientation];
    }
    if (lay.height >= 0) {
        y.h += length * step[lay.height];
    }
    if (lay.scale >= 0) {
        y.q += length * step[lay.scale];
    }
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
    double extent = 1.0;
    for (const KnownPoint& k : s.points) {
        extent = std::max(extent, std::hypot(k.m - cm, k.p - cp));
    }
    for (const Observation& o : s.observations) {
        if (o.kind == Kind::HorizontalDistance || o.kind == Kind::SlopeDistance) {
            extent = std::max(extent, o.value);
        }
    }
    return 1000.0 * extent;
}

FreeStation adjustFrom(const StationSurvey& s, const Layout& lay, Unknowns x) {
    FreeStation r;
    const int u = lay.count;
    const std::size_t n = s.observations.size();
    r.unknowns = u;
    r.orientationIndex = lay.orientation + 1;
    r.heightIndex = lay.height + 1;
    r.scaleIndex = lay.scale + 1;
    const double limit = wanderingLimit(s);
    const double startM = x.m, startP = x.p, startH = x.h;
    const auto ranAway = [&](const Unknowns& y) {
        return !(std::hypot(y.m - startM, y.p - startP) <= limit) ||
               !(std::fabs(y.h - startH) <= limit) || !(y.q > 0.0) || !std::isfinite(y.o);
    };
    const auto fail = [&r](FreeStationStatus status, const std::string& why) {
        r.status = status;
        r.failure = why;
        return r;
    };
    Linearised now;
    linearise(s, lay, x, now);
    double q[25];
    double step[5];
    bool converged = false;
    for (int iteration = 1; iteration <= maxFreeStationIterations; ++iteration) {
        r.iterations = iteration;
        if (now.onPoint >= 0) {
            return fail(FreeStationStatus::NotConverged,
                        "a estacao caiu sobre o ponto " +
                            s.points[static_cast<std::size_t>(now.onPoint)].name +
                            " durante o ajustamento.");
        }
        if (!now.usable) {
            return fail(FreeStationStatus::NotConverged,
                        "o ajustamento divergiu (valores que deixaram de ser finitos).");
        }
        if (!invertNormal(now.normal, u, q)) {
            return fail(FreeStationStatus::Underdetermined,
                        "as observacoes nao determinam a estacao: a geometria deixa incognitas "
                        "por fixar (pontos alinhados com a estacao, a estacao sobre a "
                        "circunferencia dos pontos, ou observacoes de menos de um tipo).");
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
        double largest = std::max(std::fabs(step[0]), std::fabs(step[1]));
        if (lay.orientation >= 0) {
            largest = std::max(largest, std::fabs(step[lay.orientation]) * now.meanSight);
        }
        if (lay.height >= 0) {
            largest = std::max(largest, std::fabs(step[lay.height]));
        }
        if (lay.scale >= 0) {
            largest = std::max(largest, std::fabs(step[lay.scale]) * now.meanSight);
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
        Linearised next;
        Unknowns y = x;
        for (int halving = 0; halving <= (judge ? 40 : 0); ++halving) {
            y = stepped(lay, x, step, std::ldexp(1.0, -halving));
            if (ranAway(y)) {
                continue;
            }
            linearise(s, lay, y, next);
            if (next.onPoint < 0 && next.usable &&
                (!judge || next.squares <= now.squares * (1.0 + 1e-12))) {
                break;
            }
        }
        if (ranAway(y)) {
            return fail(FreeStationStatus::NotConverged,
                        "o ajustamento divergiu: a estacao afastou-se para longe dos pontos.");
        }
        x = y;
        now = std::move(next);
    }
    if (!converged) {
        return fail(FreeStationStatus::NotConverged, "o ajustamento nao convergiu em " +
                                                         std::to_string(maxFreeStationIterations) +
                                                         " iteracoes.");
    }

    // The last solution, and the statistics of its linearisation.
    x = stepped(lay, x, step, 1.0);
    r.status = FreeStationStatus::Adjusted;
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
    r.degreesOfFreedom = static_cast<int>(n) - u;
    r.fits.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double* a = &now.rows[i * static_cast<std::size_t>(u)];
        const double sigma = s.observations[i].sigma;
        const double weight = 1.0 / (sigma * sigma);
        double ax = 0.0, aqa = 0.0;
        double qa[5];
        for (int j = 0; j < u; ++j) {
            ax += a[j] * step[j];
            qa[j] = 0.0;
            for (int k = 0; k < u; ++k) {
                qa[j] += q[j * u + k] * a[k];
            }
            aqa += a[j] * qa[j];
        }
        ObservationFit& f = r.fits[i];
        f.residual = ax - now.misclosure[i];
        f.redundancy = std::clamp(1.0 - weight * aqa, 0.0, 1.0);
        r.quadraticForm += weight * f.residual * f.residual;
        f.controlled = r.degreesOfFreedom > 0 && f.redundancy >= controlledBelow;
        if (f.controlled) {
            const double root = std::sqrt(f.redundancy);
            f.w = f.residual / (sigma * root);
            f.estimatedError = -f.residual / f.redundancy;
            f.mdb = mdbFactor * sigma / root;
            // An error e in the observation moves the unknowns by Q a^T p e.
            const double e = weight * f.mdb;
            f.planShift = std::hypot(qa[0] * e, qa[1] * e);
            f.heightShift = lay.height >= 0 ? std::fabs(qa[lay.height] * e) : 0.0;
        }
    }
    r.priori = errorEllipse(q[0], q[u + 1], q[1]);
    r.priori95 = confidence95Factor();
    if (r.degreesOfFreedom > 0) {
        r.sigma0 = std::sqrt(r.quadraticForm / r.degreesOfFreedom);
        r.posteriori = scaled(r.priori, r.sigma0);
        r.posteriori95 = posteriori95Factor(r.degreesOfFreedom);
    } else {
        r.quadraticForm = 0.0;
    }
    return r;
}

Layout layoutOf(const StationSurvey& s, bool& scaleNotEstimable) {
    Layout lay;
    int distances = 0;
    bool directions = false, heights = false;
    for (const Observation& o : s.observations) {
        directions = directions || o.kind == Kind::Direction;
        heights = heights || o.kind == Kind::SlopeDistance || o.kind == Kind::Zenith;
        distances += o.kind == Kind::HorizontalDistance || o.kind == Kind::SlopeDistance ? 1 : 0;
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
        if (distances > 0 && static_cast<int>(s.observations.size()) > lay.count + 1) {
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

FreeStation tooFew(const StationSurvey& s, const Layout& lay) {
    FreeStation r;
    r.status = FreeStationStatus::Underdetermined;
    r.failure = "observacoes insuficientes: " + std::to_string(s.observations.size()) +
                " observacoes para " + std::to_string(lay.count) + " incognitas (a estacao M, P" +
                (lay.orientation >= 0 ? ", a orientacao" : "") +
                (lay.height >= 0 ? ", a cota" : "") + (lay.scale >= 0 ? ", a escala" : "") + ").";
    return r;
}

} // namespace

FreeStation adjustFreeStation(const StationSurvey& survey, double startM, double startP) {
    bool notEstimable = false;
    const Layout lay = layoutOf(survey, notEstimable);
    if (static_cast<int>(survey.observations.size()) < lay.count) {
        return tooFew(survey, lay);
    }
    FreeStation r = adjustFrom(survey, lay, startAt(survey, startM, startP));
    r.scaleNotEstimable = notEstimable;
    return r;
}

FreeStation adjustFreeStation(const StationSurvey& survey) {
    bool notEstimable = false;
    const Layout lay = layoutOf(survey, notEstimable);
    if (static_cast<int>(survey.observations.size()) < lay.count) {
        return tooFew(survey, lay);
    }
    const std::vector<PlanePosition> starts = firstPositions(survey);
    if (starts.empty()) {
        FreeStation r;
        r.status = FreeStationStatus::Underdetermined;
        r.failure = "nao ha observacoes que deem uma primeira posicao da estacao: sao precisas "
                    "direccoes a tres pontos, distancias a dois, ou uma distancia e direccoes a "
                    "dois pontos.";
        return r;
    }
    // The best start, and those that fit nearly as well: where two of them
    // end on distinct stations that fit equally, both are given; where one
    // fits better, it is the station.
    FreeStation best = adjustFrom(survey, lay, startAt(survey, starts[0].m, starts[0].p));
    for (std::size_t i = 1; i < starts.size(); ++i) {
        const bool close =
            starts[i].agreeing == starts[0].agreeing && starts[i].score <= starts[0].score + 0.5;
        if (!close && best.adjusted()) {
            continue;
        }
        FreeStation other = adjustFrom(survey, lay, startAt(survey, starts[i].m, starts[i].p));
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

StationSurvey surveyOfDirections(const RunContext& ctx) {
    StationSurvey s;
    s.fileName = ctx.inputFileName;
    s.stationName = ctx.stationName.substr(0, ctx.stationName.find_last_not_of(' ') + 1);
    s.unit = ctx.unit;
    for (int i = 1; i <= ctx.pointCount; ++i) {
        const std::string& name = ctx.pointName[static_cast<std::size_t>(i)];
        KnownPoint k;
        k.name = name.substr(0, name.find_last_not_of(' ') + 1);
        k.m = ctx.pointCoords(i, 1);
        k.p = ctx.pointCoords(i, 2);
        s.points.push_back(k);
        Observation o;
        o.target = i - 1;
        o.value = ctx.directionReading(i);
        o.sigma = std::fabs(ctx.aprioriPrecision);
        s.observations.push_back(o);
    }
    return s;
}

std::vector<int> largestW(const FreeStation& station, double limit) {
    std::vector<int> list;
    double largest = 0.0;
    int at = -1;
    for (std::size_t i = 0; i < station.fits.size(); ++i) {
        const ObservationFit& f = station.fits[i];
        if (f.controlled && std::fabs(f.w) > largest) {
            largest = std::fabs(f.w);
            at = static_cast<int>(i);
        }
    }
    if (at < 0 || !(largest > limit)) {
        return list;
    }
    list.push_back(at);
    for (std::size_t i = 0; i < station.fits.size(); ++i) {
        const ObservationFit& f = station.fits[i];
        if (static_cast<int>(i) != at && f.controlled && std::fabs(f.w) >= largest * (1.0 - 1e-6)) {
            list.push_back(static_cast<int>(i));
        }
    }
    return list;
}

} // namespace resection
