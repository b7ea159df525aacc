#include "support/station_network.hpp"

#include "base/constants.hpp"

#include <cmath>
#include <cstdio>
#include <map>

namespace resection::testing {

StationNetwork::StationNetwork() {
    s.stationName.assign(1, 'E');
    s.hasInstrumentHeight = true;
    s.instrumentHeight = 1.5;
}

int StationNetwork::point(double bearing, double distance, double height) {
    const double b = bearing * pi / 180.0;
    KnownPoint k;
    k.name = std::to_string(s.points.size() + 1);
    k.name.insert(0, 1, 'P');
    k.m = m0 + distance * std::sin(b);
    k.p = p0 + distance * std::cos(b);
    k.hasHeight = true;
    k.h = height;
    s.points.push_back(k);
    return static_cast<int>(s.points.size()) - 1;
}

void StationNetwork::add(ObservationKind kind, int target, double sigma, double error, int from) {
    const KnownPoint& t = s.points[static_cast<std::size_t>(target)];
    const double az = std::atan2(t.m - m0, t.p - p0);
    const double g = std::hypot(t.m - m0, t.p - p0) / scale;
    const double dh = (t.h + 1.3) - (h0 + 1.5) - curvature * g * g;
    Observation o;
    o.kind = kind;
    o.target = target;
    o.from = from;
    o.sigma = sigma;
    o.targetHeight = 1.3;
    switch (kind) {
    case ObservationKind::Direction:
        o.value = std::fmod(az - o0 + 4.0 * pi, 2.0 * pi);
        break;
    case ObservationKind::Angle: {
        const KnownPoint& f = s.points[static_cast<std::size_t>(from)];
        o.value = std::fmod(az - std::atan2(f.m - m0, f.p - p0) + 4.0 * pi, 2.0 * pi);
        break;
    }
    case ObservationKind::HorizontalDistance:
        o.value = g;
        break;
    case ObservationKind::SlopeDistance:
        o.value = std::hypot(g, dh);
        break;
    case ObservationKind::Zenith:
        o.value = std::atan2(g, dh);
        break;
    }
    o.value += error;
    s.observations.push_back(o);
}

std::string stationText(const StationSurvey& s) {
    std::string text = "estacao-livre gd\nestacao ";
    text.append(s.stationName);
    const auto add = [&text](double x) {
        char figure[40];
        std::snprintf(figure, sizeof figure, " %.17g", x);
        text.append(figure);
    };
    if (s.hasInstrumentHeight) {
        add(s.instrumentHeight);
    }
    if (s.options.scale != 1.0) {
        text.append("\nescala");
        add(s.options.scale);
    } else if (s.options.estimateScale) {
        text.append("\nescala estimar");
    }
    if (s.options.curvatureRefraction) {
        text.append("\ncurvatura sim");
    }
    text.append("\npontos\n");
    for (const KnownPoint& k : s.points) {
        text.append(k.name);
        add(k.m);
        add(k.p);
        if (k.hasHeight) {
            add(k.h);
        }
        text.append("\n");
    }
    text.append("observacoes\n");
    static const char* const words[] = {"direccao", "angulo", "distancia", "inclinada", "zenital"};
    std::map<int, double> signal;
    for (const Observation& o : s.observations) {
        const std::string& to = s.points[static_cast<std::size_t>(o.target)].name;
        if (o.kind == ObservationKind::Angle) {
            text.append(s.points[static_cast<std::size_t>(o.from)].name).append(" angulo ");
            text.append(to);
        } else {
            text.append(to).append(" ").append(words[static_cast<int>(o.kind)]);
        }
        const bool distance = isDistance(o.kind);
        const double toDegrees = 180.0 / pi;
        double value = distance ? o.value : o.value * toDegrees;
        if (o.kind == ObservationKind::Zenith) {
            value = o.value * toDegrees;
        }
        add(value);
        add(distance ? o.sigma : o.sigma * toDegrees * 3600.0);
        text.append("\n");
        if (o.kind == ObservationKind::SlopeDistance || o.kind == ObservationKind::Zenith) {
            signal[o.target] = o.targetHeight;
        }
    }
    for (const auto& [target, height] : signal) {
        text.append(s.points[static_cast<std::size_t>(target)].name).append(" alvo");
        add(height);
        text.append("\n");
    }
    return text;
}

} // namespace resection::testing
