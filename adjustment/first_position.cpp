#include "adjustment/first_position.hpp"

#include "altimetry/height.hpp"
#include "base/constants.hpp"
#include "planimetry/position.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>

namespace resection {

double curvatureFactor(const SurveyOptions& options) {
    return options.curvatureRefraction ? curvatureRefractionFactor : 0.0;
}

namespace {

using Kind = ObservationKind;

constexpr double oneSecond = 4.84813681109536e-06; // radians
constexpr double fiveMillimetres = 0.005;
constexpr double toleranceSigmas = 20.0;

double folded(double angle) {
    angle = std::remainder(angle, 2.0 * pi);
    return angle >= pi ? angle - 2.0 * pi : angle;
}

double azimuthTo(const KnownPoint& k, double m, double p) {
    return std::atan2(k.m - m, k.p - p);
}

// The zenith angle observed to each target, where there is one.
std::map<int, const Observation*> zenithsByTarget(const StationSurvey& s) {
    std::map<int, const Observation*> z;
    for (const Observation& o : s.observations) {
        if (o.kind == Kind::Zenith) {
            z[o.target] = &o;
        }
    }
    return z;
}

// A horizontal distance on the map to a target, from a horizontal distance
// or from a slope distance and its zenith angle, with its tolerance.
struct MapDistance {
    int target;
    double distance;  // metres on the map
    double tolerance; // metres on the map
};

std::vector<MapDistance> mapDistances(const StationSurvey& s) {
    const auto zeniths = zenithsByTarget(s);
    const double q = s.options.scale;
    std::vector<MapDistance> out;
    for (const Observation& o : s.observations) {
        if (o.kind == Kind::HorizontalDistance) {
            out.push_back(
                {o.target, q * o.value, q * std::max(toleranceSigmas * o.sigma, fiveMillimetres)});
        } else if (o.kind == Kind::SlopeDistance) {
            const auto z = zeniths.find(o.target);
            if (z == zeniths.end()) {
                continue;
            }
            const double zenith = z->second->value;
            const double sigma = o.sigma + o.value * std::fabs(std::cos(zenith)) * z->second->sigma;
            out.push_back({o.target, q * o.value * std::sin(zenith),
                           q * std::max(toleranceSigmas * sigma, fiveMillimetres)});
        }
    }
    return out;
}

double angleTolerance(const Observation& o) {
    return std::max(toleranceSigmas * o.sigma, oneSecond);
}

// Readings of one circle: the directions as read, and the targets reached
// from them through angles; then each further set of targets that angles
// chain together, its readings counted from one of them.
std::vector<std::vector<std::pair<int, double>>> circles(const StationSurvey& s) {
    const int n = static_cast<int>(s.points.size());
    std::vector<double> reading(static_cast<std::size_t>(n), 0.0);
    std::vector<int> set(static_cast<std::size_t>(n), -1);
    std::vector<std::vector<std::pair<int, double>>> sets;
    std::vector<const Observation*> angles;
    for (const Observation& o : s.observations) {
        if (o.kind == Kind::Angle) {
            angles.push_back(&o);
        }
    }
    const auto spread = [&](int index) {
        // Breadth first over the angles from the targets of set 'index'.
        auto& members = sets[static_cast<std::size_t>(index)];
        for (std::size_t at = 0; at < members.size() && !angles.empty(); ++at) {
            const int from = members[at].first;
            for (const Observation* angle : angles) {
                const Observation& o = *angle;
                if (o.from != from && o.target != from) {
                    continue;
                }
                const int other = o.from == from ? o.target : o.from;
                if (set[static_cast<std::size_t>(other)] >= 0) {
                    continue;
                }
                const double r =
                    reading[static_cast<std::size_t>(from)] + (o.from == from ? o.value : -o.value);
                set[static_cast<std::size_t>(other)] = index;
                reading[static_cast<std::size_t>(other)] = r;
                members.emplace_back(other, r);
            }
        }
    };
    sets.emplace_back();
    for (const Observation& o : s.observations) {
        if (o.kind == Kind::Direction) {
            set[static_cast<std::size_t>(o.target)] = 0;
            reading[static_cast<std::size_t>(o.target)] = o.value;
            sets[0].emplace_back(o.target, o.value);
        }
    }
    spread(0);
    for (const Observation* angle : angles) {
        const Observation& o = *angle;
        if (set[static_cast<std::size_t>(o.from)] < 0) {
            const int index = static_cast<int>(sets.size());
            sets.emplace_back();
            set[static_cast<std::size_t>(o.from)] = index;
            sets.back().emplace_back(o.from, 0.0);
            spread(index);
        }
    }
    return sets;
}

class Scorer {
  public:
    explicit Scorer(const StationSurvey& s) : s_(s), distances_(mapDistances(s)) {
        for (const Observation& o : s.observations) {
            if (o.kind == Kind::Direction || o.kind == Kind::Angle) {
                ++planCount_;
            }
        }
        planCount_ += static_cast<int>(distances_.size());
    }

    int planCount() const { return planCount_; }

    PlanePosition score(double m, double p) const {
        PlanePosition at{m, p, 0.0, 0};
        if (!std::isfinite(m) || !std::isfinite(p)) {
            at.score = HUGE_VAL;
            return at;
        }
        const double o = approximateOrientation(s_, m, p);
        const auto add = [&at](double misfit) {
            const double e = misfit * misfit;
            at.score += std::min(e, 1.0);
            at.agreeing += e < 1.0 ? 1 : 0;
        };
        for (const Observation& x : s_.observations) {
            const KnownPoint& t = s_.points[static_cast<std::size_t>(x.target)];
            if (x.kind == Kind::Direction) {
                add(folded(x.value - (azimuthTo(t, m, p) - o)) / angleTolerance(x));
            } else if (x.kind == Kind::Angle) {
                const KnownPoint& f = s_.points[static_cast<std::size_t>(x.from)];
                add(folded(x.value - (azimuthTo(t, m, p) - azimuthTo(f, m, p))) /
                    angleTolerance(x));
            }
        }
        for (const MapDistance& d : distances_) {
            const KnownPoint& t = s_.points[static_cast<std::size_t>(d.target)];
            add((d.distance - std::hypot(t.m - m, t.p - p)) / d.tolerance);
        }
        if (!std::isfinite(at.score)) {
            at.score = HUGE_VAL;
            at.agreeing = 0;
        }
        return at;
    }

  private:
    const StationSurvey& s_;
    std::vector<MapDistance> distances_;
    int planCount_ = 0;
};

// The points where two circles meet; where they miss each other (noise, or a
// gross error) or touch, the point between them on the line of centres.
int meetingPoints(double m1, double p1, double r1, double m2, double p2, double r2, double out[4]) {
    const double dm = m2 - m1, dp = p2 - p1;
    const double d = std::hypot(dm, dp);
    if (!(d > 0.0) || !std::isfinite(d)) {
        return 0;
    }
    const double a = (r1 * r1 - r2 * r2 + d * d) / (2.0 * d);
    const double h2 = r1 * r1 - a * a;
    const double em = dm / d, ep = dp / d;
    if (!(h2 > 0.0)) {
        const double along = std::clamp(a, -r1, r1);
        out[0] = m1 + along * em;
        out[1] = p1 + along * ep;
        return 1;
    }
    const double h = std::sqrt(h2);
    out[0] = m1 + a * em + h * ep;
    out[1] = p1 + a * ep - h * em;
    out[2] = m1 + a * em - h * ep;
    out[3] = p1 + a * ep + h * em;
    return 2;
}

// Trials of subsets of 'size' out of 'count' items: all of them for a few,
// else well-spread ones (items a third or a half apart in their order) and
// then a fixed pseudo-random sequence, until the best agreement so far says
// that a subset without a gross error has been met (99 %), at most 400.
template <typename Try>
void trySubsets(int count, int size, Try tryOne, const Scorer& scorer, const int& bestAgreeing) {
    const auto enough = [&](int tried) {
        const double w =
            scorer.planCount() > 0 ? static_cast<double>(bestAgreeing) / scorer.planCount() : 0.0;
        const double clean = std::pow(std::min(w, 1.0), size);
        if (clean >= 1.0) {
            return tried >= 3;
        }
        const double needed = clean > 0.0 ? std::log(0.01) / std::log(1.0 - clean) : 400.0;
        return tried >= 3 && tried >= needed;
    };
    if (count <= (size == 3 ? 10 : 12)) {
        for (int i = 0; i < count; ++i) {
            for (int j = i + 1; j < count; ++j) {
                if (size == 2) {
                    tryOne(i, j, -1);
                    continue;
                }
                for (int k = j + 1; k < count; ++k) {
                    tryOne(i, j, k);
                }
            }
        }
        return;
    }
    int tried = 0;
    const int step = count / size;
    for (int start = 0; start < step && tried < 10 && !enough(tried);
         start += std::max(1, step / 10), ++tried) {
        tryOne(start, start + step, size == 3 ? start + 2 * step : -1);
    }
    std::uint64_t state = 0x9e3779b97f4a7c15ULL;
    const auto next = [&state, count]() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(count));
    };
    while (tried < 400 && !enough(tried)) {
        int idx[3] = {next(), next(), size == 3 ? next() : -1};
        std::sort(idx, idx + size);
        if (idx[0] == idx[1] || (size == 3 && idx[1] == idx[2])) {
            continue;
        }
        tryOne(idx[0], idx[1], idx[2]);
        ++tried;
    }
}

} // namespace

double approximateOrientation(const StationSurvey& s, double m, double p) {
    std::vector<std::pair<double, double>> values; // (azimuth - reading in [0, 2 pi), tolerance)
    for (const Observation& o : s.observations) {
        if (o.kind == Kind::Direction) {
            double a = std::fmod(
                azimuthTo(s.points[static_cast<std::size_t>(o.target)], m, p) - o.value, 2.0 * pi);
            if (a < 0.0) {
                a += 2.0 * pi;
            }
            values.emplace_back(a, angleTolerance(o));
        }
    }
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    std::vector<double> tolerances;
    for (const auto& v : values) {
        tolerances.push_back(v.second);
    }
    std::nth_element(tolerances.begin(), tolerances.begin() + static_cast<long>(values.size() / 2),
                     tolerances.end());
    const double width = 2.0 * tolerances[values.size() / 2];
    // The window of that width, around the circle, that holds the most values.
    const std::size_t n = values.size();
    std::size_t bestFirst = 0, bestCount = 0, last = 0;
    for (std::size_t first = 0; first < n; ++first) {
        last = std::max(last, first);
        const auto at = [&](std::size_t k) {
            return values[k % n].first + (k >= n ? 2.0 * pi : 0.0);
        };
        while (last + 1 < first + n && at(last + 1) - at(first) <= width) {
            ++last;
        }
        if (last - first + 1 > bestCount) {
            bestCount = last - first + 1;
            bestFirst = first;
        }
    }
    double sumSin = 0.0, sumCos = 0.0;
    for (std::size_t k = bestFirst; k < bestFirst + bestCount; ++k) {
        sumSin += std::sin(values[k % n].first);
        sumCos += std::cos(values[k % n].first);
    }
    double o = std::atan2(sumSin, sumCos);
    return o < 0.0 ? o + 2.0 * pi : o;
}

double approximateHeight(const StationSurvey& s, double m, double p, double scale) {
    const double c = curvatureFactor(s.options);
    std::map<int, const Observation*> slopes;
    for (const Observation& o : s.observations) {
        if (o.kind == Kind::SlopeDistance) {
            slopes[o.target] = &o;
        }
    }
    std::vector<double> heights;
    for (const Observation& o : s.observations) {
        if (o.kind != Kind::Zenith) {
            continue;
        }
        const KnownPoint& t = s.points[static_cast<std::size_t>(o.target)];
        const double g = std::hypot(t.m - m, t.p - p) / scale;
        const auto slope = slopes.find(o.target);
        // The apparent height difference of the sight, then the true one.
        const double apparent = slope != slopes.end() ? slope->second->value * std::cos(o.value)
                                                      : g / std::tan(o.value);
        const double dh = apparent + c * g * g;
        const double h = ((t.h + o.targetHeight) - s.instrumentHeight) - dh;
        if (std::isfinite(h)) {
            heights.push_back(h);
        }
    }
    if (heights.empty()) {
        return 0.0;
    }
    std::nth_element(heights.begin(), heights.begin() + static_cast<long>(heights.size() / 2),
                     heights.end());
    return heights[heights.size() / 2];
}

std::vector<PlanePosition> firstPositions(const StationSurvey& s) {
    const Scorer scorer(s);
    std::vector<PlanePosition> found;
    int bestAgreeing = 0;
    const auto consider = [&](double m, double p) {
        const PlanePosition at = scorer.score(m, p);
        if (at.score < HUGE_VAL) {
            found.push_back(at);
            bestAgreeing = std::max(bestAgreeing, at.agreeing);
        }
    };

    // Three readings of one circle.
    const auto sets = circles(s);
    std::size_t largest = 0;
    for (std::size_t i = 1; i < sets.size(); ++i) {
        if (sets[i].size() > sets[largest].size()) {
            largest = i;
        }
    }
    std::vector<std::pair<int, double>> circle = sets.empty() ? decltype(circle){} : sets[largest];
    std::sort(circle.begin(), circle.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    const auto angle = [](double from, double to) {
        double a = std::fmod(to - from, 2.0 * pi);
        return a < 0.0 ? a + 2.0 * pi : a;
    };
    if (circle.size() >= 3) {
        trySubsets(
            static_cast<int>(circle.size()), 3,
            [&](int i, int j, int k) {
                const auto& a = circle[static_cast<std::size_t>(i)];
                const auto& b = circle[static_cast<std::size_t>(j)];
                const auto& c = circle[static_cast<std::size_t>(k)];
                const KnownPoint& pa = s.points[static_cast<std::size_t>(a.first)];
                const KnownPoint& pb = s.points[static_cast<std::size_t>(b.first)];
                const KnownPoint& pc = s.points[static_cast<std::size_t>(c.first)];
                const ThreePointSolution t =
                    threePointResection(pa.m, pa.p, pb.m, pb.p, pc.m, pc.p,
                                        angle(a.second, b.second), angle(b.second, c.second));
                if (t.finite()) {
                    consider(t.stationM, t.stationP);
                }
            },
            scorer, bestAgreeing);
    }

    // Two distances, unless three directions have already given a position
    // that every observation agrees with.
    const std::vector<MapDistance> distances = mapDistances(s);
    if (distances.size() >= 2 && bestAgreeing < scorer.planCount()) {
        trySubsets(
            static_cast<int>(distances.size()), 2,
            [&](int i, int j, int) {
                const MapDistance& a = distances[static_cast<std::size_t>(i)];
                const MapDistance& b = distances[static_cast<std::size_t>(j)];
                const KnownPoint& pa = s.points[static_cast<std::size_t>(a.target)];
                const KnownPoint& pb = s.points[static_cast<std::size_t>(b.target)];
                double at[4];
                const int count = meetingPoints(pa.m, pa.p, a.distance, pb.m, pb.p, b.distance, at);
                for (std::size_t c = 0; c < static_cast<std::size_t>(count); ++c) {
                    consider(at[2 * c], at[2 * c + 1]);
                }
            },
            scorer, bestAgreeing);
    }

    // A distance and the angle between two readings of one circle: the
    // distance's circle meets the circle through the two targets on which
    // that angle is seen (one of two, mirrored on the line between them; the
    // score keeps the right one).
    if (found.empty() && !distances.empty() && circle.size() >= 2) {
        for (const MapDistance& d : distances) {
            const KnownPoint& a = s.points[static_cast<std::size_t>(d.target)];
            for (std::size_t i = 0; i < circle.size(); ++i) {
                for (std::size_t j = i + 1; j < circle.size(); ++j) {
                    const KnownPoint& b = s.points[static_cast<std::size_t>(circle[i].first)];
                    const KnownPoint& c = s.points[static_cast<std::size_t>(circle[j].first)];
                    const double alpha = circle[j].second - circle[i].second;
                    const double chord = std::hypot(c.m - b.m, c.p - b.p);
                    if (std::fabs(std::sin(alpha)) < 1e-9 || !(chord > 0.0)) {
                        continue;
                    }
                    const double radius = chord / (2.0 * std::fabs(std::sin(alpha)));
                    const double off = chord / (2.0 * std::tan(alpha));
                    const double midM = 0.5 * (b.m + c.m), midP = 0.5 * (b.p + c.p);
                    const double nm = (c.p - b.p) / chord, np = -(c.m - b.m) / chord;
                    for (const double side : {1.0, -1.0}) {
                        double at[4];
                        const int count =
                            meetingPoints(a.m, a.p, d.distance, midM + side * off * nm,
                                          midP + side * off * np, radius, at);
                        for (std::size_t k = 0; k < static_cast<std::size_t>(count); ++k) {
                            consider(at[2 * k], at[2 * k + 1]);
                        }
                    }
                }
            }
        }
    }

    std::stable_sort(
        found.begin(), found.end(), [](const PlanePosition& a, const PlanePosition& b) {
            return a.agreeing != b.agreeing ? a.agreeing > b.agreeing : a.score < b.score;
        });
    // Distinct positions only: a few millimetres apart count as one.
    std::vector<PlanePosition> distinct;
    for (const PlanePosition& at : found) {
        const bool seen = std::any_of(distinct.begin(), distinct.end(), [&at](const auto& d) {
            return std::hypot(d.m - at.m, d.p - at.p) <= 0.005;
        });
        if (!seen) {
            distinct.push_back(at);
            if (distinct.size() == 4) {
                break;
            }
        }
    }
    return distinct;
}

} // namespace resection
