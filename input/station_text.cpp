#include "input/station_text.hpp"

#include "input/record_reader.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <unordered_map>

namespace resection {

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The default precisions of the header, as read (seconds or mgon; metres and
// ppm for distances), where given.
struct Defaults {
    std::map<ObservationKind, double> angular;
    bool distanceGiven = false;
    double distanceA = 0.0, distancePpm = 0.0;
    bool targetGiven = false;
    double targetHeight = 0.0;
};

class TextReading {
  public:
    TextReading(std::istream& in, const std::string& fileName)
        : in_(in, fileName), fileName_(fileName) {}

    StationSurvey read() {
        survey_.fileName = fileName_;
        if (!in_.nextRecord()) {
            throw in_.stopHere(StopReason::UnreadableRecord)
                .withItem({Field::FormKeyword}, ReadProblem::EmptyFile);
        }
        if (lowered(word({Field::FormKeyword})) != freeStationKeyword) {
            throw refused(StationProblem::NotStationText);
        }
        const std::string code = word({Field::UnitCode});
        survey_.unit = unitFromCode(code);
        if (code.size() != 2 || survey_.unit == AngleUnit::Unknown) {
            throw in_.stopHere(StopReason::UnknownUnitCode).withText(code);
        }
        endOfLine();
        readHeader();
        readPoints();
        readObservations();
        checkSurvey(survey_);
        return std::move(survey_);
    }

  private:
    Stop refused(StationProblem problem) const {
        return in_.stopHere(StopReason::StationRefused).withStation(problem);
    }

    // The next value on the line, as a text without its blank fill.
    std::string word(const RecordItem& item) {
        if (!in_.valueOnLine()) {
            missing(item);
        }
        std::string text = in_.readText(static_cast<int>(maxPointNameLength) + 1, item);
        text.erase(text.find_last_not_of(' ') + 1);
        if (text.size() > maxPointNameLength) {
            throw valueStop(item, ReadProblem::TooLong)
                .withCount(static_cast<long long>(maxPointNameLength));
        }
        return text;
    }

    // A stop of the item at the current line; the point's name copied.
    Stop valueStop(const RecordItem& item, ReadProblem problem) const {
        return in_.stopHere(StopReason::UnreadableRecord)
            .withName(std::string(item.name))
            .withItem({item.field, item.of, item.index, item.kind}, problem);
    }

    [[noreturn]] void missing(const RecordItem& item) const {
        throw valueStop(item, ReadProblem::MissingValue);
    }

    double number(const RecordItem& item) {
        if (!in_.valueOnLine()) {
            missing(item);
        }
        return in_.readReal(item);
    }

    // An angle in the file's unit: decimal degrees or grads, or degrees,
    // minutes and seconds for gs; in degrees or grads as written.
    double angleAsWritten(const RecordItem& item) {
        if (survey_.unit != AngleUnit::Sexagesimal) {
            return number(item);
        }
        RecordItem part = item;
        part.field = Field::Degrees;
        const double d = number(part);
        part.field = Field::Minutes;
        const double m = number(part);
        part.field = Field::Seconds;
        const double s = number(part);
        return sexagesimalToDegrees(d, m, s);
    }

    // The line must end here. A value left on it is a value too many, or
    // the decimals of a number typed with a comma ("190,2878" reads as 190
    // and 2878): the text after the comma decides which is said.
    void endOfLine() {
        if (in_.valueOnLine()) {
            in_.readText(1, {});
            throw in_.stopHere(StopReason::UnreadableRecord)
                .withItem({}, in_.decimalCommaOnLine() ? ReadProblem::DecimalComma
                                                       : ReadProblem::ExtraValue);
        }
        if (in_.decimalCommaOnLine()) {
            throw in_.stopHere(StopReason::UnreadableRecord)
                .withItem({}, ReadProblem::DecimalComma);
        }
    }

    static bool isDirectionWord(const std::string& w) { return w == "direccao" || w == "direcao"; }

    // The kind a precision line or an observation line names.
    static bool kindOf(const std::string& w, ObservationKind& kind) {
        if (isDirectionWord(w)) {
            kind = ObservationKind::Direction;
        } else if (w == "angulo") {
            kind = ObservationKind::Angle;
        } else if (w == "distancia") {
            kind = ObservationKind::HorizontalDistance;
        } else if (w == "inclinada") {
            kind = ObservationKind::SlopeDistance;
        } else if (w == "zenital") {
            kind = ObservationKind::Zenith;
        } else {
            return false;
        }
        return true;
    }

    void readHeader() {
        bool station = false;
        bool scaleSeen = false;
        while (true) {
            if (!in_.nextRecord()) {
                throw refused(StationProblem::NoPointsLine);
            }
            const std::string key = lowered(word({Field::HeaderWord}));
            if (key == "pontos") {
                endOfLine();
                break;
            }
            const auto once = [this, &key](bool& seen) {
                if (seen) {
                    throw refused(StationProblem::SecondHeaderLine).withText(key);
                }
                seen = true;
            };
            if (key == "estacao") {
                once(station);
                survey_.stationName = word({Field::StationName});
                if (in_.valueOnLine()) {
                    survey_.hasInstrumentHeight = true;
                    survey_.instrumentHeight = number({Field::InstrumentHeight});
                }
            } else if (key == "precisao") {
                readDefault();
            } else if (key == "alvo") {
                once(defaults_.targetGiven);
                defaults_.targetHeight = number({Field::TargetHeight});
            } else if (key == "escala") {
                once(scaleSeen);
                readScale();
            } else if (key == "curvatura") {
                const std::string answer = lowered(word({Field::Answer}));
                if (answer != "sim" && answer != "nao") {
                    throw refused(StationProblem::CurvatureAnswer);
                }
                survey_.options.curvatureRefraction = answer == "sim";
            } else {
                throw refused(StationProblem::UnknownHeaderLine).withText(key);
            }
            endOfLine();
        }
        if (!station) {
            throw refused(StationProblem::NoStationLine);
        }
    }

    void readDefault() {
        const std::string w = lowered(word({Field::KindWord}));
        ObservationKind kind{};
        if (!kindOf(w, kind) || kind == ObservationKind::SlopeDistance) {
            throw refused(StationProblem::UnknownPrecision).withText(w);
        }
        if (kind == ObservationKind::HorizontalDistance) {
            if (defaults_.distanceGiven) {
                throw refused(StationProblem::SecondPrecision).withKind(kind);
            }
            defaults_.distanceGiven = true;
            defaults_.distanceA = number({Field::DistancePrecision});
            if (in_.valueOnLine()) {
                defaults_.distancePpm = number({Field::DistancePpm});
            }
            if (!(defaults_.distanceA > 0.0) || defaults_.distancePpm < 0.0) {
                throw refused(StationProblem::PrecisionNotPositive).withKind(kind);
            }
            return;
        }
        if (defaults_.angular.contains(kind)) {
            throw refused(StationProblem::SecondPrecision).withKind(kind);
        }
        const double sigma = number({Field::Precision});
        if (!(sigma > 0.0)) {
            throw refused(StationProblem::PrecisionNotPositive).withKind(kind);
        }
        defaults_.angular[kind] = sigma;
    }

    void readScale() {
        const std::string value = word({Field::ScaleFactor});
        endOfLine();
        if (lowered(value) == "estimar") {
            survey_.options.estimateScale = true;
            return;
        }
        // Read as the reader reads numbers, whatever the locale's decimal
        // sign.
        double factor = 0.0;
        const char* end = value.data() + value.size();
        const auto [ptr, ec] = std::from_chars(value.data(), end, factor);
        if (ec != std::errc{} || ptr != end || !(factor > 0.0) || !std::isfinite(factor)) {
            throw refused(StationProblem::ScaleFactor).withText(value);
        }
        survey_.options.scale = factor;
    }

    void readPoints() {
        while (true) {
            if (!in_.nextRecord()) {
                throw refused(StationProblem::NoObservationsLine);
            }
            KnownPoint k;
            k.line = in_.lineNumber();
            k.name = word({Field::Name, RecordOf::Header});
            if (lowered(k.name) == "observacoes") {
                endOfLine();
                return;
            }
            if (index_.contains(k.name)) {
                throw refused(StationProblem::SecondPoint).withName(k.name);
            }
            if (static_cast<int>(survey_.points.size()) == maxSurveyPoints) {
                throw refused(StationProblem::TooManyPoints).withCount(maxSurveyPoints);
            }
            RecordItem item{Field::CoordinateM, RecordOf::NamedPoint};
            item.name = k.name;
            k.m = number(item);
            item.field = Field::CoordinateP;
            k.p = number(item);
            if (in_.valueOnLine()) {
                k.hasHeight = true;
                item.field = Field::PointHeight;
                k.h = number(item);
            }
            endOfLine();
            index_.emplace(k.name, static_cast<int>(survey_.points.size()));
            survey_.points.push_back(std::move(k));
        }
    }

    int target(const std::string& name) const {
        const auto at = index_.find(name);
        if (at == index_.end()) {
            throw refused(StationProblem::UnknownTarget).withName(name);
        }
        return at->second;
    }

    void readObservations() {
        std::map<int, long long> targetHeightLine;
        std::map<int, double> targetHeight;
        while (in_.nextRecord()) {
            Observation o;
            o.line = in_.lineNumber();
            const std::string name = word({Field::Target});
            o.target = target(name);
            const std::string w = lowered(word({Field::KindWord}));
            if (w == "alvo") {
                if (const auto first = targetHeightLine.find(o.target);
                    first != targetHeightLine.end()) {
                    throw refused(StationProblem::SecondTargetHeight)
                        .withName(name)
                        .withCount(first->second);
                }
                targetHeightLine[o.target] = o.line;
                targetHeight[o.target] = number({Field::TargetHeight});
                endOfLine();
                continue;
            }
            if (!kindOf(w, o.kind)) {
                throw refused(StationProblem::UnknownKind).withText(w);
            }
            if (static_cast<int>(survey_.observations.size()) == maxSurveyObservations) {
                throw refused(StationProblem::TooManyObservations).withCount(maxSurveyObservations);
            }
            if (o.kind == ObservationKind::Angle) {
                // "P angulo Q": the angle from P clockwise to Q.
                o.from = o.target;
                o.target = target(word({Field::SecondTarget}));
            }
            readValue(o);
            endOfLine();
            survey_.observations.push_back(o);
        }
        for (Observation& o : survey_.observations) {
            if (o.kind != ObservationKind::SlopeDistance && o.kind != ObservationKind::Zenith) {
                continue;
            }
            if (targetHeight.contains(o.target)) {
                o.targetHeight = targetHeight[o.target];
            } else if (defaults_.targetGiven) {
                o.targetHeight = defaults_.targetHeight;
            } else {
                throw Stop(StopReason::StationRefused)
                    .withFile(fileName_)
                    .withLine(o.line)
                    .withStation(StationProblem::MissingTargetHeight)
                    .withName(survey_.points[static_cast<std::size_t>(o.target)].name);
            }
        }
    }

    void readValue(Observation& o) {
        const AngleUnit unit = survey_.unit;
        const bool distance = isDistance(o.kind);
        const RecordItem item{Field::ObservationValue, RecordOf::Observation, 0, o.kind};
        if (distance) {
            o.value = number(item);
        } else if (o.kind == ObservationKind::Zenith) {
            o.value = zenithToRadians(unit, angleAsWritten(item));
        } else if (unit == AngleUnit::Sexagesimal) {
            o.value = toRadians(AngleUnit::DecimalDegrees, angleAsWritten(item));
        } else {
            o.value = toRadians(unit, number(item));
        }
        if (in_.valueOnLine()) {
            const double sigma = number({Field::StandardDeviation});
            o.sigma = distance ? sigma : precisionToRadians(unit, sigma);
            return;
        }
        // The header's precision of the kind; a + b ppm of the distance.
        if (distance) {
            if (!defaults_.distanceGiven) {
                throw refused(StationProblem::MissingSigma).withKind(o.kind);
            }
            o.sigma = defaults_.distanceA + defaults_.distancePpm * 1e-6 * o.value;
            return;
        }
        const auto given = defaults_.angular.find(o.kind);
        if (given == defaults_.angular.end()) {
            throw refused(StationProblem::MissingSigma).withKind(o.kind);
        }
        o.sigma = precisionToRadians(unit, given->second);
    }

    RecordReader in_;
    const std::string& fileName_;
    StationSurvey survey_;
    Defaults defaults_;
    std::unordered_map<std::string, int> index_; // of the points by name
};

} // namespace

StationSurvey readStationText(std::istream& in, const std::string& fileName) {
    return TextReading(in, fileName).read();
}

} // namespace resection
