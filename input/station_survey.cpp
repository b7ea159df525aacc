#include "input/station_survey.hpp"

#include "base/constants.hpp"
#include "base/stop.hpp"
#include "base/text.hpp"

#include <cmath>
#include <map>
#include <tuple>

namespace resection {

int findPoint(const StationSurvey& survey, const std::string& name) {
    for (std::size_t i = 0; i < survey.points.size(); ++i) {
        if (survey.points[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void checkSurvey(const StationSurvey& survey) {
    const auto refused = [&survey](long long line, StationProblem problem) {
        return Stop(StopReason::StationRefused)
            .withFile(survey.fileName)
            .withLine(line)
            .withStation(problem);
    };
    if (survey.observations.empty()) {
        throw refused(0, StationProblem::NoObservations);
    }
    if (static_cast<int>(survey.observations.size()) > maxSurveyObservations) {
        throw refused(0, StationProblem::TooManyObservations).withCount(maxSurveyObservations);
    }
    if (!(std::isfinite(survey.options.scale) && survey.options.scale > 0.0)) {
        throw refused(0, StationProblem::ScaleNotPositive);
    }
    const int pointCount = static_cast<int>(survey.points.size());
    // (kind, from, target) of each observation seen, with its line.
    std::map<std::tuple<int, int, int>, long long> seen;
    for (const Observation& o : survey.observations) {
        if (o.target < 0 || o.target >= pointCount ||
            (o.kind == ObservationKind::Angle && (o.from < 0 || o.from >= pointCount))) {
            throw refused(o.line, StationProblem::UnknownTarget).withKind(o.kind);
        }
        const std::string& name = survey.points[static_cast<std::size_t>(o.target)].name;
        const auto about = [&](StationProblem problem) {
            return refused(o.line, problem).withKind(o.kind).withName(name);
        };
        if (!std::isfinite(o.value)) {
            throw about(StationProblem::ValueNotFinite);
        }
        if (!(std::isfinite(o.sigma) && o.sigma > 0.0)) {
            throw about(StationProblem::SigmaNotPositive);
        }
        // The weight 1 / sigma^2, and sums of squares of residuals over
        // sigma, must stay numbers.
        if (o.sigma < 1e-150) {
            throw about(StationProblem::SigmaTooSmall);
        }
        if (isDistance(o.kind) && !(o.value > 0.0)) {
            throw about(StationProblem::DistanceNotPositive);
        }
        if (o.kind == ObservationKind::Zenith && !(o.value > 0.0 && o.value < pi)) {
            throw about(StationProblem::ZenithOutOfRange);
        }
        if (o.kind == ObservationKind::Angle && o.from == o.target) {
            throw about(StationProblem::AngleToItself);
        }
        if (o.kind == ObservationKind::SlopeDistance || o.kind == ObservationKind::Zenith) {
            if (!std::isfinite(o.targetHeight)) {
                throw about(StationProblem::TargetHeightNotFinite);
            }
            if (!survey.points[static_cast<std::size_t>(o.target)].hasHeight) {
                throw about(StationProblem::PointWithoutHeight);
            }
            if (!survey.hasInstrumentHeight) {
                throw about(StationProblem::NoInstrumentHeight);
            }
        }
        const auto key = std::make_tuple(static_cast<int>(o.kind),
                                         o.kind == ObservationKind::Angle ? o.from : -1, o.target);
        const auto [at, fresh] = seen.emplace(key, o.line);
        if (!fresh) {
            throw about(StationProblem::SecondObservation).withCount(at->second);
        }
    }
    for (const Observation& o : survey.observations) {
        if (o.kind == ObservationKind::SlopeDistance &&
            !seen.contains(
                std::make_tuple(static_cast<int>(ObservationKind::Zenith), -1, o.target))) {
            throw refused(o.line, StationProblem::SlopeWithoutZenith)
                .withName(survey.points[static_cast<std::size_t>(o.target)].name);
        }
    }
}

StationSurvey surveyOfDirections(const Survey& survey, double sigma) {
    StationSurvey s;
    s.stationName = trimmedName(survey.header.stationName);
    s.unit = survey.header.unit;
    s.points.reserve(static_cast<std::size_t>(survey.pointCount));
    s.observations.reserve(static_cast<std::size_t>(survey.pointCount));
    for (int i = 1; i <= survey.pointCount; ++i) {
        KnownPoint k;
        k.name = trimmedName(survey.pointName[static_cast<std::size_t>(i - 1)]);
        k.m = survey.pointCoords(i, 1);
        k.p = survey.pointCoords(i, 2);
        s.points.push_back(std::move(k));
        Observation o;
        o.target = i - 1;
        o.value = survey.directionReading(i);
        o.sigma = sigma;
        s.observations.push_back(o);
    }
    return s;
}

StationSurvey surveyOfZeniths(const ZenithSection& zenith, const SurveyHeader& header,
                              double sigma) {
    StationSurvey s;
    s.stationName = trimmedName(header.stationName);
    s.unit = header.unit;
    s.hasInstrumentHeight = true;
    s.instrumentHeight = zenith.instrumentHeight;
    for (int i = 1; i <= zenith.count; ++i) {
        KnownPoint k;
        k.name = trimmedName(zenith.pointName[static_cast<std::size_t>(i - 1)]);
        k.m = zenith.pointM(i);
        k.p = zenith.pointP(i);
        k.hasHeight = true;
        k.h = zenith.pointHeight(i);
        s.points.push_back(std::move(k));
        Observation o;
        o.kind = ObservationKind::Zenith;
        o.target = i - 1;
        o.value = zenith.reading(i);
        o.sigma = sigma;
        o.targetHeight = zenith.signalHeight(i);
        s.observations.push_back(o);
    }
    return s;
}

} // namespace resection
