#include "input/station_json.hpp"

#include "base/run_stop.hpp"

#include <cmath>

namespace resection {

namespace {

class RecordReading {
  public:
    RecordReading(const std::string& fileName) : fileName_(fileName) {}

    [[noreturn]] void refuse(const JsonValue& at, const std::string& text) const {
        throw RunStop::badInput(surveyError(fileName_, at.line(), text));
    }

    const JsonValue& member(const JsonValue& object, const char* key, const char* of) const {
        const JsonValue* v = object.find(key);
        if (v == nullptr) {
            refuse(object, std::string("falta \"") + key + "\" " + of + ".");
        }
        return *v;
    }

    double number(const JsonValue& object, const char* key, const char* of) const {
        const JsonValue& v = member(object, key, of);
        if (!v.isNumber()) {
            refuse(v, std::string("\"") + key + "\" " + of + " tem de ser um numero.");
        }
        return v.number();
    }

    std::string name(const JsonValue& object, const char* key, const char* of) const {
        const JsonValue& v = member(object, key, of);
        if (!v.isString() || v.text().empty()) {
            refuse(v, std::string("\"") + key + "\" " + of + " tem de ser um texto nao vazio.");
        }
        if (v.text().size() > maxPointNameLength) {
            refuse(v, std::string("\"") + key + "\" " + of + " tem mais de " +
                          std::to_string(maxPointNameLength) + " caracteres.");
        }
        return v.text();
    }

    bool flag(const JsonValue& object, const char* key) const {
        const JsonValue* v = object.find(key);
        if (v == nullptr) {
            return false;
        }
        if (v->type() != JsonValue::Type::Boolean) {
            refuse(*v, std::string("\"") + key + "\" tem de ser true ou false.");
        }
        return v->boolean();
    }

    const JsonValue& list(const JsonValue& object, const char* key) const {
        const JsonValue& v = member(object, key, "na estacao");
        if (!v.isArray()) {
            refuse(v, std::string("\"") + key + "\" tem de ser uma lista.");
        }
        return v;
    }

  private:
    const std::string& fileName_;
};

} // namespace

StationSurvey stationFromJson(const JsonValue& record, const std::string& fileName) {
    const RecordReading r(fileName);
    if (!record.isObject()) {
        r.refuse(record, "esperava-se um objecto JSON com uma estacao.");
    }
    StationSurvey s;
    s.fileName = fileName;

    const JsonValue& station = r.member(record, "station", "na estacao");
    if (!station.isObject()) {
        r.refuse(station, "\"station\" tem de ser um objecto.");
    }
    s.stationName = r.name(station, "name", "da estacao");
    if (station.find("instrument_height") != nullptr) {
        s.hasInstrumentHeight = true;
        s.instrumentHeight = r.number(station, "instrument_height", "da estacao");
    }

    const JsonValue& unit = r.member(record, "angle_unit", "na estacao");
    if (unit.isString() && unit.text() == "deg") {
        s.unit = AngleUnit::DecimalDegrees;
    } else if (unit.isString() && unit.text() == "gon") {
        s.unit = AngleUnit::Grads;
    } else {
        r.refuse(unit, "\"angle_unit\" tem de ser \"deg\" ou \"gon\".");
    }
    // Where the units of the standard deviations are said, they must be the
    // ones the reader takes.
    if (const JsonValue* units = record.find("sigma_units"); units != nullptr) {
        const JsonValue* angle = units->find("angle");
        const JsonValue* distance = units->find("distance");
        const char* wanted = s.unit == AngleUnit::Grads ? "mgon" : "arcsec";
        if ((angle != nullptr && !(angle->isString() && angle->text() == wanted)) ||
            (distance != nullptr && !(distance->isString() && distance->text() == "m"))) {
            r.refuse(*units, std::string("\"sigma_units\" tem de ser {\"angle\": \"") + wanted +
                                 "\", \"distance\": \"m\"}.");
        }
    }

    const JsonValue& points = r.list(record, "points");
    if (points.items().size() > static_cast<std::size_t>(maxSurveyPoints)) {
        r.refuse(points, "mais de " + std::to_string(maxSurveyPoints) + " pontos.");
    }
    for (const JsonValue& p : points.items()) {
        if (!p.isObject()) {
            r.refuse(p, "cada ponto tem de ser um objecto.");
        }
        KnownPoint k;
        k.name = r.name(p, "name", "do ponto");
        k.m = r.number(p, "M", "do ponto");
        k.p = r.number(p, "P", "do ponto");
        if (p.find("H") != nullptr && !p.find("H")->isNull()) {
            k.hasHeight = true;
            k.h = r.number(p, "H", "do ponto");
        }
        k.line = p.line();
        if (!std::isfinite(k.m) || !std::isfinite(k.p)) {
            r.refuse(p, "coordenadas do ponto " + k.name + " fora dos limites.");
        }
        if (findPoint(s, k.name) >= 0) {
            r.refuse(p, "o ponto " + k.name + " aparece duas vezes.");
        }
        s.points.push_back(std::move(k));
    }

    const JsonValue& observations = r.list(record, "observations");
    if (observations.items().size() > static_cast<std::size_t>(maxSurveyObservations)) {
        r.refuse(observations,
                 "mais de " + std::to_string(maxSurveyObservations) + " observacoes.");
    }
    for (const JsonValue& o : observations.items()) {
        if (!o.isObject()) {
            r.refuse(o, "cada observacao tem de ser um objecto.");
        }
        Observation x;
        x.line = o.line();
        const JsonValue& kind = r.member(o, "kind", "da observacao");
        const std::string k = kind.isString() ? kind.text() : "";
        if (k == "direction") {
            x.kind = ObservationKind::Direction;
        } else if (k == "angle") {
            x.kind = ObservationKind::Angle;
        } else if (k == "horizontal_distance") {
            x.kind = ObservationKind::HorizontalDistance;
        } else if (k == "slope_distance") {
            x.kind = ObservationKind::SlopeDistance;
        } else if (k == "zenith") {
            x.kind = ObservationKind::Zenith;
        } else {
            r.refuse(kind, "\"kind\" tem de ser direction, angle, horizontal_distance, "
                           "slope_distance ou zenith.");
        }
        const std::string to = r.name(o, "to", "da observacao");
        x.target = findPoint(s, to);
        if (x.target < 0) {
            r.refuse(o, "o alvo " + to + " nao tem coordenadas (nao esta em \"points\").");
        }
        if (x.kind == ObservationKind::Angle) {
            const std::string from = r.name(o, "from", "do angulo");
            x.from = findPoint(s, from);
            if (x.from < 0) {
                r.refuse(o, "o alvo " + from + " nao tem coordenadas (nao esta em \"points\").");
            }
        }
        const double value = r.number(o, "value", "da observacao");
        const double sigma = r.number(o, "sigma", "da observacao");
        switch (x.kind) {
        case ObservationKind::Direction:
        case ObservationKind::Angle:
            x.value = toRadians(s.unit, value);
            x.sigma = precisionToRadians(s.unit, sigma);
            break;
        case ObservationKind::Zenith:
            x.value = zenithToRadians(s.unit, value);
            x.sigma = precisionToRadians(s.unit, sigma);
            break;
        case ObservationKind::HorizontalDistance:
        case ObservationKind::SlopeDistance:
            x.value = value;
            x.sigma = sigma;
            break;
        }
        if (x.kind == ObservationKind::SlopeDistance || x.kind == ObservationKind::Zenith) {
            x.targetHeight = r.number(o, "target_height", "da observacao");
        }
        s.observations.push_back(x);
    }

    if (const JsonValue* options = record.find("options"); options != nullptr) {
        if (!options->isObject()) {
            r.refuse(*options, "\"options\" tem de ser um objecto.");
        }
        if (options->find("scale") != nullptr) {
            s.options.scale = r.number(*options, "scale", "das opcoes");
        }
        s.options.estimateScale = r.flag(*options, "estimate_scale");
        s.options.curvatureRefraction = r.flag(*options, "curvature_refraction");
    }
    checkSurvey(s);
    return s;
}

StationSurvey readStationJson(std::string_view text, const std::string& fileName) {
    return stationFromJson(parseJson(text, fileName), fileName);
}

} // namespace resection
