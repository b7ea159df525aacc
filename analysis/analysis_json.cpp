#include "analysis/analysis_json.hpp"

#include "analysis/analysis_text.hpp"
#include "angles/units.hpp"
#include "report/messages.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace resection {

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (result.ec != std::errc()) {
        return "null";
    }
    return std::string(buffer, result.ptr);
}

namespace {

// The length of the valid UTF-8 sequence at text[i] (0 when there is none).
std::size_t utf8Length(const std::string& text, std::size_t i) {
    const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned int min = 0;
    unsigned int code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u, min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < min || code > 0x10FFFF || surrogate ? 0 : length;
}

} // namespace

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    char escape[8];
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (const std::size_t n = utf8Length(text, i); n > 0) {
            out += text.substr(i, n);
            i += n;
        } else {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
            ++i;
        }
    }
    return out + "\"";
}

namespace {

// Members of one object, written in order.
class Object {
  public:
    Object& add(const char* key, const std::string& jsonValue) {
        if (!text_.empty()) {
            text_ += ',';
        }
        text_.append(1, '"').append(key).append("\":").append(jsonValue);
        return *this;
    }
    Object& number(const char* key, double value) { return add(key, jsonNumber(value)); }
    Object& integer(const char* key, long long value) { return add(key, std::to_string(value)); }
    Object& flag(const char* key, bool value) { return add(key, value ? "true" : "false"); }
    Object& text(const char* key, const std::string& value) { return add(key, jsonString(value)); }
    std::string str() const { return "{" + text_ + "}"; }

  private:
    std::string text_;
};

std::string array(const std::vector<std::string>& items) {
    std::string text = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += (i > 0 ? "," : "") + items[i];
    }
    return text + "]";
}

std::string globalTest(const GlobalTest& t) {
    return Object()
        .number("quadraticForm", t.quadraticForm)
        .integer("degreesOfFreedom", t.degreesOfFreedom)
        .number("criticalValue", t.criticalValue)
        .flag("accepted", t.accepted)
        .number("posterioriSigma", t.posterioriSigma)
        .number("changeSigma", t.changeSigma)
        .str();
}

std::string ellipse(const ErrorEllipse& e, double factor) {
    return Object()
        .number("major", e.major * factor)
        .number("minor", e.minor * factor)
        .number("bearing", e.bearing)
        .number("factor", factor)
        .str();
}

std::string readjustment(const Readjustment& r, bool height) {
    if (!r.done) {
        return "null";
    }
    Object o;
    if (height) {
        o.number("stationHeight", r.stationHeight);
    } else {
        o.number("stationM", r.stationM).number("stationP", r.stationP);
    }
    return o.number("shift", r.shift)
        .add("globalTest", globalTest(r.test))
        .number("estimatedError", r.discrepancy)
        .str();
}

std::string readings(const std::vector<std::string>& names, const std::vector<ReadingTest>& tests,
                     const std::vector<Readjustment>& leftOut, bool height, int outside) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < names.size(); ++i) {
        Object o;
        o.text("name", names[i]);
        if (i < tests.size() && static_cast<int>(i) + 1 != outside) {
            const ReadingTest& t = tests[i];
            o.number("residual", t.residual).number("redundancy", t.redundancy);
            o.add("w", t.tested ? jsonNumber(t.w) : "null");
            o.add("estimatedErrorLinear", t.controlled ? jsonNumber(t.estimatedError) : "null");
            o.add("detectableBias", t.tested ? jsonNumber(t.detectableBias) : "null");
            o.add("stationShift", t.tested ? jsonNumber(t.stationShift) : "null");
            o.flag("weak", t.controlled && t.weak());
        } else if (static_cast<int>(i) + 1 == outside) {
            o.flag("outside", true);
        }
        o.add("without", i < leftOut.size() ? readjustment(leftOut[i], height) : "null");
        items.push_back(o.str());
    }
    return array(items);
}

std::string suspect(const Suspect& s, const std::vector<std::string>& names,
                    const std::vector<Readjustment>& leftOut, const Readjustment& without,
                    const std::string& notJudged) {
    Object o;
    const char* kind = "none";
    std::vector<int> listed;
    switch (s.kind) {
    case Suspect::Kind::None:
        break;
    case Suspect::Kind::Flagged:
        kind = "single";
        listed = {s.reading};
        break;
    case Suspect::Kind::Tied:
        kind = "candidates";
        listed = s.sharing;
        break;
    case Suspect::Kind::Unidentifiable:
        kind = "undetermined";
        listed = s.sharing;
        break;
    }
    if (!notJudged.empty()) {
        kind = "notJudged";
    }
    o.text("kind", kind);
    std::vector<std::string> items;
    for (const int k : listed) {
        const std::size_t i = static_cast<std::size_t>(k - 1);
        const Readjustment& r = s.kind == Suspect::Kind::Flagged
                                    ? without
                                    : (i < leftOut.size() ? leftOut[i] : without);
        items.push_back(Object()
                            .text("name", names[i])
                            .integer("index", k)
                            .add("estimatedError", r.done ? jsonNumber(r.discrepancy) : "null")
                            .str());
    }
    o.add("readings", array(items));
    if (!notJudged.empty()) {
        o.text("reason", notJudged);
    }
    return o.str();
}

const char* notJudgedCode(NotJudged why) {
    switch (why) {
    case NotJudged::None:
        break;
    case NotJudged::NoStation:
        return "noStation";
    case NotJudged::ReadingOutOfRange:
        return "readingOutOfRange";
    case NotJudged::NotConverging:
        return "notConverging";
    case NotJudged::TiedDirections:
        return "tiedDirections";
    case NotJudged::WithoutDirection:
        return "withoutDirection";
    case NotJudged::ManyWrongDirections:
        return "manyWrongDirections";
    }
    return "none";
}

// The program's own pass where it failed: the stop's code and message, or
// that it ran away; null where it completed or was not run.
std::string programFailure(const ProgramPass& program, AngleUnit unit) {
    if (!program.failed()) {
        return "null";
    }
    if (program.stop) {
        return Object()
            .text("code", stopCode(program.stop->reason()))
            .text("message", stopMessage(*program.stop, unit))
            .str();
    }
    return Object().text("code", "ranAway").add("message", "null").str();
}

std::vector<std::string> trimmedNames(const std::vector<std::string>& names) {
    std::vector<std::string> trimmed;
    for (const std::string& name : names) {
        trimmed.push_back(trimmedName(name));
    }
    return trimmed;
}

std::string planimetry(const Survey& survey, const PlanimetricAnalysis& a) {
    const std::vector<std::string> names = trimmedNames(survey.pointName);
    const StationEstimate& e = a.station;
    Object o;
    o.integer("points", survey.pointCount).integer("redundancy", survey.redundancy);
    o.number("sigma", a.sigma).flag("testable", a.testable);
    o.add("adjustmentFailure", programFailure(a.program, survey.header.unit));
    o.flag("adjusted", a.allSound).flag("fromConsensus", a.fromConsensus);
    o.add("globalTest", a.tested && a.allSound ? globalTest(a.test) : "null");
    o.text("basis", basisName(a.basis));
    o.add("basisWithout", a.basis == Basis::Without
                              ? jsonString(names[static_cast<std::size_t>(a.basisReading - 1)])
                              : "null");
    o.add("station", e.known ? Object().number("m", e.m).number("p", e.p).str() : "null");
    Object ellipses;
    if (e.known && e.testable && e.unitCofactor.rows() >= 2) {
        ellipses.add("prioriStandard", ellipse(e.priori, 1.0));
        ellipses.add("priori95", ellipse(e.priori, confidence95Factor()));
    }
    if (e.known && e.redundancy >= 1 && e.unitCofactor.rows() >= 2) {
        ellipses.add("posterioriStandard", ellipse(e.posteriori, 1.0));
        ellipses.add("posteriori95", ellipse(e.posteriori, posteriori95Factor(e.redundancy)));
    }
    o.add("ellipses", ellipses.str());
    o.add("orientation",
          e.known && e.oriented
              ? Object()
                    .number("value", e.orientation)
                    .add("sigmaPriori", e.testable ? jsonNumber(e.orientationPriori) : "null")
                    .add("sigmaPosteriori",
                         e.redundancy >= 1 ? jsonNumber(e.orientationPosteriori) : "null")
                    .str()
              : "null");
    o.flag("readingsWithout", a.readingsWithout);
    o.add("readings",
          readings(names, a.readings, a.leftOut, false, a.readingsWithout ? a.basisReading : 0));
    std::string susp = suspect(a.suspect, names, a.leftOut, a.without, "");
    if (a.suspect.kind == Suspect::Kind::Tied && !a.readings.empty()) {
        susp.pop_back();
        susp += ",\"separation\":" +
                Object()
                    .number("correlation", a.separation.correlation)
                    .number("bearing", a.separation.bearing)
                    .number("correlationAfter", a.separation.correlationAfter)
                    .str() +
                "}";
    }
    o.add("suspect", a.tested ? susp : "null");
    if (!a.threePoint.empty()) {
        std::vector<std::string> items;
        for (std::size_t i = 0; i < a.threePoint.size(); ++i) {
            const ThreePointStation& t = a.threePoint[i];
            Object item;
            item.text("without", names[i]).flag("found", t.found);
            if (t.found) {
                item.number("m", t.m).number("p", t.p).number("estimatedError", t.discrepancy);
            }
            items.push_back(item.str());
        }
        o.add("threePoint", array(items)).number("threePointSpread", a.threePointSpread);
    }
    const DangerCircle& c = a.circle;
    Object circle;
    circle.flag("exists", c.exists);
    if (c.exists) {
        circle.number("centreM", c.centreM).number("centreP", c.centreP).number("radius", c.radius);
    }
    circle.add("distance", e.known ? jsonNumber(c.distance) : "null")
        .add("relative", e.known && c.exists ? jsonNumber(c.relative) : "null");
    o.add("geometry", Object()
                          .add("dangerCircle", circle.str())
                          .add("meanSight", e.known ? jsonNumber(a.meanSight) : "null")
                          .add("medianSight", e.known ? jsonNumber(a.medianSight) : "null")
                          .add("strength", a.strengthDefined ? jsonNumber(a.strength) : "null")
                          .add("firstThreeStrength",
                               a.firstThreeConverged ? jsonNumber(a.firstThreeStrength) : "null")
                          .str());
    return o.str();
}

std::string height(const SurveyHeader& header, const ZenithSection& zenith,
                   const HeightAnalysis& h) {
    const std::vector<std::string> names = trimmedNames(zenith.pointName);
    Object o;
    o.integer("observations", zenith.count).integer("redundancy", zenith.count - 1);
    o.flag("adjusted", h.computed && h.adjusted);
    if (!h.computed || !h.adjusted) {
        if (!h.computed) {
            o.text("reason", notJudgedText(h)).text("reasonCode", notJudgedCode(h.notJudged));
        }
        return o.str();
    }
    o.number("sigma", h.sigma).flag("testable", h.testable);
    o.add("adjustmentFailure", programFailure(h.program, header.unit));
    o.add("station", Object()
                         .number("m", h.stationM)
                         .number("p", h.stationP)
                         .add("withoutDirection",
                              h.withoutDirection.empty() ? "null" : jsonString(h.withoutDirection))
                         .str());
    o.add("globalTest", h.testable ? globalTest(h.test) : "null");
    o.number("stationHeight", h.stationHeight);
    o.number("posterioriSigmaH", h.posterioriSigmaH)
        .add("prioriSigmaH", h.testable ? jsonNumber(h.prioriSigmaH) : "null");
    o.number("analysedHeight", h.analysedHeight());
    o.add("curvature",
          h.curvatureAdjusted
              ? Object()
                    .number("coefficient", 6.82e-8)
                    .number("stationHeight", h.curvatureHeight)
                    .number("difference", h.curvatureDifference)
                    .flag("exceedsPrioriSigma",
                          h.testable && std::fabs(h.curvatureDifference) > h.prioriSigmaH)
                    .str()
              : "null");
    o.add("readings", readings(names, h.readings, h.leftOut, true, 0));
    o.add("suspect",
          h.testable ? suspect(h.suspect, names, h.leftOut, h.without, notJudgedText(h)) : "null");
    return o.str();
}

std::string strings(const std::vector<std::string>& texts) {
    std::vector<std::string> items;
    for (const std::string& t : texts) {
        items.push_back(jsonString(t));
    }
    return array(items);
}

// The summary, as the web page and other programs read it.
std::string summary(const Summary& s, const SummaryFigures& f) {
    const bool known = f.basis != Basis::None;
    Object station;
    station.text("name", f.stationName)
        .add("m", known ? jsonNumber(f.m) : "null")
        .add("p", known ? jsonNumber(f.p) : "null")
        .add("h", f.stationHeight             ? jsonNumber(f.stationH)
                  : f.height && f.heightKnown ? jsonNumber(f.h)
                                              : "null")
        .text("basis", s.basis)
        .add("without", f.basis == Basis::Without ? jsonString(f.without) : "null")
        .add("withoutObservation",
             f.basis == Basis::Without && f.freeStation ? jsonString(f.withoutLabel) : "null");
    Object o;
    o.add("station", station.str());
    o.add("ellipse95", known && f.ellipseKnown
                           ? Object()
                                 .number("major", f.ellipse95.major)
                                 .number("minor", f.ellipse95.minor)
                                 .number("bearing", f.ellipse95.bearing)
                                 .text("kind", f.posteriori ? "posteriori" : "priori")
                                 .str()
                           : "null");
    o.text("test", s.test);
    o.add("suspects", strings(s.suspects));
    o.add("heightSuspects", strings(s.heightSuspects));
    o.text("nextStep", s.nextStep);
    o.add("lines", strings(s.lines));
    return o.str();
}

const char* unitCode(AngleUnit unit) {
    switch (unit) {
    case AngleUnit::DecimalDegrees:
        return "gd";
    case AngleUnit::Sexagesimal:
        return "gs";
    case AngleUnit::Grads:
        return "gr";
    case AngleUnit::Unknown:
        break;
    }
    return "";
}

} // namespace

// A free station's observation kind as its JSON input writes it.
const char* kindCode(ObservationKind kind) {
    switch (kind) {
    case ObservationKind::Direction:
        return "direction";
    case ObservationKind::Angle:
        return "angle";
    case ObservationKind::HorizontalDistance:
        return "horizontal_distance";
    case ObservationKind::SlopeDistance:
        return "slope_distance";
    case ObservationKind::Zenith:
        return "zenith";
    }
    return "";
}

const char* faultCode(AdjustmentFault fault) {
    switch (fault) {
    case AdjustmentFault::None:
        break;
    case AdjustmentFault::TooFewObservations:
        return "tooFewObservations";
    case AdjustmentFault::NoFirstPosition:
        return "noFirstPosition";
    case AdjustmentFault::Undetermined:
        return "undetermined";
    case AdjustmentFault::OnPoint:
        return "onPoint";
    case AdjustmentFault::NotFinite:
        return "notFinite";
    case AdjustmentFault::RanAway:
        return "ranAway";
    case AdjustmentFault::NotConverging:
        return "notConverging";
    }
    return "none";
}

// A deviation a priori and a posteriori, null where it is not defined.
std::string deviations(double value, double priori, double posteriori, int redundancy) {
    return Object()
        .number("value", value)
        .number("sigmaPriori", priori)
        .add("sigmaPosteriori", redundancy >= 1 ? jsonNumber(posteriori) : "null")
        .str();
}

std::string observationItem(const StationSurvey& s, std::size_t i, const ReadingTest* t,
                            const Readjustment* without) {
    const Observation& o = s.observations[i];
    Object item;
    item.integer("index", static_cast<long long>(i) + 1).text("kind", kindCode(o.kind));
    if (o.kind == ObservationKind::Angle) {
        item.text("from", s.points[static_cast<std::size_t>(o.from)].name);
    }
    item.text("to", s.points[static_cast<std::size_t>(o.target)].name);
    item.number("value", o.value).number("sigma", o.sigma);
    if (o.line > 0) {
        item.integer("line", o.line);
    }
    if (t != nullptr) {
        item.number("residual", t->residual).number("redundancy", t->redundancy);
        item.add("w", t->tested ? jsonNumber(t->w) : "null");
        item.add("estimatedErrorLinear", t->controlled ? jsonNumber(t->estimatedError) : "null");
        item.add("detectableBias", t->tested ? jsonNumber(t->detectableBias) : "null");
        item.add("stationShift", t->tested ? jsonNumber(t->stationShift) : "null");
        item.add("heightShift", t->tested ? jsonNumber(t->heightShift) : "null");
        item.flag("weak", t->controlled && t->weak());
    } else {
        item.flag("outside", true);
    }
    if (without != nullptr && without->done) {
        item.add("without",
                 Object()
                     .number("stationM", without->stationM)
                     .number("stationP", without->stationP)
                     .number("stationHeight", without->stationHeight)
                     .number("shift", without->shift)
                     .add("globalTest",
                          without->test.degreesOfFreedom > 0 ? globalTest(without->test) : "null")
                     .number("estimatedError", without->discrepancy)
                     .str());
    } else {
        item.add("without", "null");
    }
    return item.str();
}

std::string freeStation(const StationSurvey& s, const FreeStationAnalysis& a) {
    const FreeStation& all = a.all;
    const StationEstimate& e = a.station;
    Object o;
    o.integer("points", static_cast<long long>(s.points.size()))
        .integer("observations", static_cast<long long>(s.observations.size()));
    std::vector<std::string> unknowns = {jsonString("M"), jsonString("P")};
    if (all.orientationIndex > 0) {
        unknowns.push_back(jsonString("orientation"));
    }
    if (all.heightIndex > 0) {
        unknowns.push_back(jsonString("height"));
    }
    if (all.scaleIndex > 0) {
        unknowns.push_back(jsonString("scale"));
    }
    o.add("unknowns", array(unknowns)).integer("redundancy", a.redundancy);
    o.add("options", Object()
                         .number("scale", s.options.scale)
                         .flag("estimateScale", s.options.estimateScale)
                         .flag("scaleEstimated", all.scaleIndex > 0)
                         .flag("curvatureRefraction", s.options.curvatureRefraction)
                         .str());
    o.flag("adjusted", a.allSound);
    o.add("adjustmentFailure",
          a.allSound
              ? "null"
              : jsonString(faultCode(all.adjusted() ? AdjustmentFault::RanAway : all.fault)));
    o.add("globalTest", a.tested && a.allSound ? globalTest(a.test) : "null");
    o.text("basis", basisName(a.basis));
    if (a.basis == Basis::Without) {
        const Observation& left = s.observations[static_cast<std::size_t>(a.basisObservation - 1)];
        o.add("basisWithout", Object()
                                  .integer("index", a.basisObservation)
                                  .text("kind", kindCode(left.kind))
                                  .text("to", s.points[static_cast<std::size_t>(left.target)].name)
                                  .str());
    } else {
        o.add("basisWithout", "null");
    }
    o.add("station", e.known ? Object()
                                   .number("m", e.m)
                                   .number("p", e.p)
                                   .add("h", e.hasHeight ? jsonNumber(e.h) : "null")
                                   .str()
                             : "null");
    Object ellipses;
    if (e.known && e.covariance) {
        ellipses.add("prioriStandard", ellipse(e.priori, 1.0));
        ellipses.add("priori95", ellipse(e.priori, confidence95Factor()));
        if (e.redundancy >= 1) {
            ellipses.add("posterioriStandard", ellipse(e.posteriori, 1.0));
            ellipses.add("posteriori95", ellipse(e.posteriori, posteriori95Factor(e.redundancy)));
        }
    }
    o.add("ellipses", ellipses.str());
    o.add("orientation", e.known && e.covariance && e.oriented
                             ? deviations(e.orientation, e.orientationPriori,
                                          e.orientationPosteriori, e.redundancy)
                             : "null");
    o.add("height", e.known && e.covariance && e.hasHeight
                        ? deviations(e.h, e.heightPriori, e.heightPosteriori, e.redundancy)
                        : "null");
    o.add("scale", e.known && e.covariance && e.scaleEstimated
                       ? deviations(e.scale, e.scalePriori, e.scalePosteriori, e.redundancy)
                       : "null");
    o.add("ambiguous", all.ambiguous && a.basis == Basis::All
                           ? Object()
                                 .number("m", all.otherM)
                                 .number("p", all.otherP)
                                 .add("h", e.hasHeight ? jsonNumber(all.otherHeight) : "null")
                                 .str()
                           : "null");
    // The tests shown: of all observations, or of those without the
    // suspect where all of them settle nowhere.
    const std::vector<ReadingTest>& tests = a.allSound ? a.tests : a.basisTests;
    std::vector<std::string> items;
    for (std::size_t i = 0; i < s.observations.size(); ++i) {
        const bool shown =
            i < tests.size() && (a.allSound || static_cast<int>(i) + 1 != a.basisObservation);
        items.push_back(observationItem(s, i, shown ? &tests[i] : nullptr,
                                        i < a.leftOut.size() ? &a.leftOut[i] : nullptr));
    }
    o.add("observationResults", array(items));
    std::vector<std::string> names;
    for (std::size_t i = 0; i < s.observations.size(); ++i) {
        names.push_back(s.points[static_cast<std::size_t>(s.observations[i].target)].name);
    }
    std::string susp = suspect(a.suspect, names, a.leftOut, a.without, "");
    o.add("suspect", a.tested ? susp : "null");
    if (a.redundancy == 1 && !a.leftOut.empty()) {
        o.number("withoutSpread", a.withoutSpread);
    }
    return o.str();
}

void writeAnalysisJson(std::ostream& out, const AnalysisRecord& record) {
    Object o;
    o.text("program", "resection-analise").integer("formatVersion", 3);
    o.text("input", record.inputName).integer("status", record.status);
    o.add("stop",
          record.stop != nullptr ? jsonString(stopMessage(*record.stop, record.unit)) : "null");
    o.add("stopCode",
          record.stop != nullptr ? jsonString(stopCode(record.stop->reason())) : "null");
    const Survey* survey = record.survey;
    if (survey != nullptr && record.planimetry != nullptr) {
        o.text("form", "directions");
        o.text("unit", unitCode(survey->header.unit));
        o.text("station", trimmedName(survey->header.stationName));
        o.add("summary", record.summary != nullptr && record.summaryFigures != nullptr
                             ? summary(*record.summary, *record.summaryFigures)
                             : "null");
        o.add("planimetry", planimetry(*survey, *record.planimetry));
    } else if (record.station != nullptr && record.freeStation != nullptr) {
        o.text("form", "freeStation");
        o.text("unit", unitCode(record.station->unit));
        o.text("station", record.station->stationName);
        o.add("summary", record.summary != nullptr && record.summaryFigures != nullptr
                             ? summary(*record.summary, *record.summaryFigures)
                             : "null");
        o.add("planimetry", "null");
    } else {
        o.add("summary", "null");
        o.add("planimetry", "null");
    }
    o.add("height", survey != nullptr && record.zenith != nullptr && record.height != nullptr
                        ? height(survey->header, *record.zenith, *record.height)
                        : "null");
    o.add("freeStation", record.station != nullptr && record.freeStation != nullptr
                             ? freeStation(*record.station, *record.freeStation)
                             : "null");
    out << o.str() << "\n";
}

} // namespace resection
