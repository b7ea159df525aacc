#include "input/station_json.hpp"

#include "base/stop.hpp"

#include <cmath>
#include <unordered_map>

namespace resection {

namespace {

class RecordReading {
  public:
    explicit RecordReading(const std::string& fileName) : fileName_(fileName) {}

    // A stop at the line of the value 'at'; 'member' the member named.
    Stop refused(const JsonValue& at, StationProblem problem, const std::string& member = "",
                 RecordOf of = RecordOf::StationRecord) const {
        RecordItem item;
        item.of = of;
        return Stop(StopReason::StationRefused)
            .withFile(fileName_)
            .withLine(at.line())
            .withStation(problem)
            .withText(member)
            .withItem(item, ReadProblem::None);
    }

    const JsonValue& member(const JsonValue& object, const char* key, RecordOf of) const {
        const JsonValue* v = object.find(key);
        if (v == nullptr) {
            throw refused(object, StationProblem::MissingMember, key, of);
        }
        return *v;
    }

    double number(const JsonValue& object, const char* key, RecordOf of) const {
        const JsonValue& v = member(object, key, of);
        if (!v.isNumber()) {
            throw refused(v, StationProblem::NotANumber, key, of);
        }
        return v.number();
    }

    std::string name(const JsonValue& object, const char* key, RecordOf of) const {
        const JsonValue& v = member(object, key, of);
        if (!v.isString() || v.text().empty()) {
            throw refused(v, StationProblem::NotAName, key, of);
        }
        if (v.text().size() > maxPointNameLength) {
            throw refused(v, StationProblem::NameTooLong, key, of)
                .withCount(static_cast<long long>(maxPointNameLength));
        }
        return v.text();
    }

    bool flag(const JsonValue& object, const char* key) const {
        const JsonValue* v = object.find(key);
        if (v == nullptr) {
            return false;
        }
        if (v->type() != JsonValue::Type::Boolean) {
            throw refused(*v, StationProblem::NotAFlag, key, RecordOf::Options);
        }
        return v->boolean();
    }

    const JsonValue& list(const JsonValue& object, const char* key) const {
        const JsonValue& v = member(object, key, RecordOf::StationRecord);
        if (!v.isArray()) {
            throw refused(v, StationProblem::NotAList, key);
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
        throw r.refused(record, StationProblem::NotAStation);
    }
    StationSurvey s;
    s.fileName = fileName;

    const JsonValue& station = r.member(record, "station", RecordOf::StationRecord);
    if (!station.isObject()) {
        throw r.refused(station, StationProblem::NotAnObject, "station");
    }
    s.stationName = r.name(station, "name", RecordOf::Station);
    if (station.find("instrument_height") != nullptr) {
        s.hasInstrumentHeight = true;
        s.instrumentHeight = r.number(station, "instrument_height", RecordOf::Station);
    }

    const JsonValue& unit = r.member(record, "angle_unit", RecordOf::StationRecord);
    if (unit.isString() && unit.text() == "deg") {
        s.unit = AngleUnit::DecimalDegrees;
    } else if (unit.isString() && unit.text() == "gon") {
        s.unit = AngleUnit::Grads;
    } else {
        throw r.refused(unit, StationProblem::UnknownAngleUnit);
    }
    // Where the units of the standard deviations are said, they must be the
    // ones the reader takes.
    if (const JsonValue* units = record.find("sigma_units"); units != nullptr) {
        const JsonValue* angle = units->find("angle");
        const JsonValue* distance = units->find("distance");
        const char* wanted = s.unit == AngleUnit::Grads ? "mgon" : "arcsec";
        if (!units->isObject() ||
            (angle != nullptr && !(angle->isString() && angle->text() == wanted)) ||
            (distance != nullptr && !(distance->isString() && distance->text() == "m"))) {
            throw r.refused(*units, StationProblem::SigmaUnits).withText(wanted);
        }
    }

    const JsonValue& points = r.list(record, "points");
    if (points.items().size() > static_cast<std::size_t>(maxSurveyPoints)) {
        throw r.refused(points, StationProblem::TooManyPoints).withCount(maxSurveyPoints);
    }
    std::unordered_map<std::string, int> index;
    for (const JsonValue& p : points.items()) {
        if (!p.isObject()) {
            throw r.refused(p, StationProblem::NotAnObject);
        }
        KnownPoint k;
        k.name = r.name(p, "name", RecordOf::KnownPoint);
        k.m = r.number(p, "M", RecordOf::KnownPoint);
        k.p = r.number(p, "P", RecordOf::KnownPoint);
        if (p.find("H") != nullptr && !p.find("H")->isNull()) {
            k.hasHeight = true;
            k.h = r.number(p, "H", RecordOf::KnownPoint);
        }
        k.line = p.line();
        if (!std::isfinite(k.m) || !std::isfinite(k.p)) {
            throw r.refused(p, StationProblem::CoordinatesOutOfRange).withName(k.name);
        }
        if (!index.emplace(k.name, static_cast<int>(s.points.size())).second) {
            throw r.refused(p, StationProblem::SecondPoint).withName(k.name);
        }
        s.points.push_back(std::move(k));
    }
    const auto pointOf = [&](const JsonValue& o, const std::string& name) {
        const auto at = index.find(name);
        if (at == index.end()) {
            throw r.refused(o, StationProblem::UnknownTarget).withName(name);
        }
        return at->second;
    };

    const JsonValue& observations = r.list(record, "observations");
    if (observations.items().size() > static_cast<std::size_t>(maxSurveyObservations)) {
        throw r.refused(observations, StationProblem::TooManyObservations)
            .withCount(maxSurveyObservations);
    }
    s.observations.reserve(observations.items().size());
    for (const JsonValue& o : observations.items()) {
        if (!o.isObject()) {
            throw r.refused(o, StationProblem::NotAnObject);
        }
        Observation x;
        x.line = o.line();
        const JsonValue& kind = r.member(o, "kind", RecordOf::Observation);
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
            throw r.refused(kind, StationProblem::UnknownJsonKind);
        }
        x.target = pointOf(o, r.name(o, "to", RecordOf::Observation));
        if (x.kind == ObservationKind::Angle) {
            x.from = pointOf(o, r.name(o, "from", RecordOf::Angle));
        }
        const double value = r.number(o, "value", RecordOf::Observation);
        const double sigma = r.number(o, "sigma", RecordOf::Observation);
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
            x.targetHeight = r.number(o, "target_height", RecordOf::Observation);
        }
        s.observations.push_back(x);
    }

    if (const JsonValue* options = record.find("options"); options != nullptr) {
        if (!options->isObject()) {
            throw r.refused(*options, StationProblem::NotAnObject, "options");
        }
        if (options->find("scale") != nullptr) {
            s.options.scale = r.number(*options, "scale", RecordOf::Options);
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
