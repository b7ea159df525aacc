#include "input/station_survey.hpp"

#include "base/constants.hpp"
#include "base/run_stop.hpp"

#include <cmath>
#include <map>
#include <tuple>

namespace resection {

const char* kindWord(ObservationKind kind) {
    switch (kind) {
    case ObservationKind::Direction:
        return "direccao";
    case ObservationKind::Angle:
        return "angulo";
    case ObservationKind::HorizontalDistance:
        return "distancia";
    case ObservationKind::SlopeDistance:
        return "inclinada";
    case ObservationKind::Zenith:
        return "zenital";
    }
    return "?";
}

std::string surveyError(const std::string& fileName, long long line, const std::string& text) {
    std::string where = fileName.empty() ? "Erro" : "Erro no ficheiro " + fileName;
    if (line > 0) {
        where += (fileName.empty() ? " na linha " : ", linha ") + std::to_string(line);
    }
    return where + ": " + text;
}

int findPoint(const StationSurvey& survey, const std::string& name) {
    for (std::size_t i = 0; i < survey.points.size(); ++i) {
        if (survey.points[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void checkSurvey(const StationSurvey& survey) {
    const auto refuse = [&survey](long long line, const std::string& text) {
        throw RunStop::badInput(surveyError(survey.fileName, line, text));
    };
    if (survey.observations.empty()) {
        refuse(0, "a estacao nao tem observacoes.");
    }
    if (static_cast<int>(survey.observations.size()) > maxSurveyObservations) {
        refuse(0,
               "mais de " + std::to_string(maxSurveyObservations) + " observacoes numa estacao.");
    }
    if (!(std::isfinite(survey.options.scale) && survey.options.scale > 0.0)) {
        refuse(0, "o factor de escala das distancias tem de ser um numero positivo.");
    }
    const int pointCount = static_cast<int>(survey.points.size());
    // (kind, from, target) of each observation seen, with its line.
    std::map<std::tuple<int, int, int>, long long> seen;
    for (const Observation& o : survey.observations) {
        const std::string word = kindWord(o.kind);
        std::string about = word;
        if (o.target < 0 || o.target >= pointCount ||
            (o.kind == ObservationKind::Angle && (o.from < 0 || o.from >= pointCount))) {
            refuse(o.line, "o alvo da observacao (" + word + ") nao e um ponto conhecido.");
        }
        const std::string& name = survey.points[static_cast<std::size_t>(o.target)].name;
        about.append(" a ").append(name);
        if (!std::isfinite(o.value)) {
            refuse(o.line, about + ": o valor nao e um numero finito.");
        }
        if (!(std::isfinite(o.sigma) && o.sigma > 0.0)) {
            refuse(o.line, about + ": o desvio padrao tem de ser maior do que 0.");
        }
        const bool distance = o.kind == ObservationKind::HorizontalDistance ||
                              o.kind == ObservationKind::SlopeDistance;
        if (distance && !(o.value > 0.0)) {
            refuse(o.line, about + ": uma distancia tem de ser maior do que 0.");
        }
        if (o.kind == ObservationKind::Zenith && !(o.value > 0.0 && o.value < pi)) {
            refuse(o.line, about + ": o angulo zenital tem de estar entre 0 e 180 graus "
                                   "(200 grados), exclusive.");
        }
        if (o.kind == ObservationKind::Angle && o.from == o.target) {
            refuse(o.line, about + ": um angulo tem de ir de um alvo a outro.");
        }
        const bool height =
            o.kind == ObservationKind::SlopeDistance || o.kind == ObservationKind::Zenith;
        if (height) {
            if (!std::isfinite(o.targetHeight)) {
                refuse(o.line, about + ": a altura do alvo nao e um numero finito.");
            }
            if (!survey.points[static_cast<std::size_t>(o.target)].hasHeight) {
                refuse(o.line, about.append(": o ponto ").append(name).append(" nao tem cota."));
            }
            if (!survey.hasInstrumentHeight) {
                refuse(o.line, about + ": falta a altura do instrumento na estacao.");
            }
        }
        const auto key = std::make_tuple(static_cast<int>(o.kind),
                                         o.kind == ObservationKind::Angle ? o.from : -1, o.target);
        const auto [at, fresh] = seen.emplace(key, o.line);
        if (!fresh) {
            std::string text = "segunda observacao " + word;
            text.append(" ao alvo ").append(name);
            if (at->second > 0) {
                text.append(" (a primeira esta na linha ")
                    .append(std::to_string(at->second))
                    .append(")");
            }
            refuse(o.line, text + ".");
        }
    }
    for (const Observation& o : survey.observations) {
        if (o.kind == ObservationKind::SlopeDistance &&
            !seen.contains(
                std::make_tuple(static_cast<int>(ObservationKind::Zenith), -1, o.target))) {
            refuse(o.line, "distancia inclinada a " +
                               survey.points[static_cast<std::size_t>(o.target)].name +
                               " sem o angulo zenital ao mesmo alvo.");
        }
    }
}

} // namespace resection
