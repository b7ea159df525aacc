#include "input/station_text.hpp"

#include "base/run_stop.hpp"
#include "input/record_reader.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>

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

    [[noreturn]] void refuse(const std::string& text) const {
        throw RunStop::badInput(surveyError(fileName_, in_.lineNumber(), text));
    }

    StationSurvey read() {
        survey_.fileName = fileName_;
        if (!in_.nextRecord()) {
            refuse("o ficheiro esta vazio.");
        }
        if (lowered(word("forma do ficheiro")) != freeStationKeyword) {
            refuse(std::string("a primeira linha de uma estacao livre e \"") + freeStationKeyword +
                   " UNIDADE\" (gd, gs ou gr).");
        }
        const std::string code = word("unidade dos angulos");
        survey_.unit = unitFromCode(code);
        if (code.size() != 2 || survey_.unit == AngleUnit::Unknown) {
            refuse("unidade dos angulos desconhecida \"" + code + "\": use gd, gs ou gr.");
        }
        endOfLine();
        readHeader();
        readPoints();
        readObservations();
        checkSurvey(survey_);
        return survey_;
    }

  private:
    // The next value on the line, as a text without its blank fill.
    std::string word(const std::string& what) {
        if (!in_.valueOnLine()) {
            refuse("falta " + what + ".");
        }
        std::string text = in_.readText(static_cast<int>(maxPointNameLength) + 1, what);
        text.erase(text.find_last_not_of(' ') + 1);
        if (text.size() > maxPointNameLength) {
            refuse(what + " com mais de " + std::to_string(maxPointNameLength) + " caracteres.");
        }
        return text;
    }

    double number(const std::string& what) {
        if (!in_.valueOnLine()) {
            refuse("falta " + what + ".");
        }
        return in_.readReal(what);
    }

    // An angle in the file's unit: decimal degrees or grads, or degrees,
    // minutes and seconds for gs; in degrees or grads as written.
    double angleAsWritten(const std::string& what) {
        if (survey_.unit != AngleUnit::Sexagesimal) {
            return number(what);
        }
        const double d = number("graus " + what);
        const double m = number("minutos " + what);
        const double s = number("segundos " + what);
        return sexagesimalToDegrees(d, m, s);
    }

    void endOfLine() {
        if (in_.valueOnLine()) {
            refuse("valor a mais no fim da linha.");
        }
        if (in_.decimalCommaOnLine()) {
            refuse("virgula entre dois algarismos: escreva as casas decimais com ponto e separe "
                   "os valores com espacos.");
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
        while (true) {
            if (!in_.nextRecord()) {
                refuse("falta a linha \"pontos\" antes das coordenadas dos pontos.");
            }
            const std::string key = lowered(word("palavra do cabecalho"));
            if (key == "pontos") {
                endOfLine();
                break;
            }
            if (key == "estacao") {
                if (station) {
                    refuse("segunda linha \"estacao\".");
                }
                station = true;
                survey_.stationName = word("nome da estacao");
                if (in_.valueOnLine()) {
                    survey_.hasInstrumentHeight = true;
                    survey_.instrumentHeight = number("altura do instrumento");
                }
            } else if (key == "precisao") {
                readDefault();
            } else if (key == "alvo") {
                if (defaults_.targetGiven) {
                    refuse("segunda linha \"alvo\" no cabecalho.");
                }
                defaults_.targetGiven = true;
                defaults_.targetHeight = number("altura do alvo");
            } else if (key == "escala") {
                if (scaleSeen_) {
                    refuse("segunda linha \"escala\".");
                }
                scaleSeen_ = true;
                readScale();
            } else if (key == "curvatura") {
                const std::string answer = lowered(word("sim ou nao"));
                if (answer != "sim" && answer != "nao") {
                    refuse("depois de \"curvatura\" escreva sim ou nao.");
                }
                survey_.options.curvatureRefraction = answer == "sim";
            } else {
                refuse("linha desconhecida no cabecalho \"" + key +
                       "\": as linhas sao estacao, precisao, alvo, escala, curvatura e pontos.");
            }
            endOfLine();
        }
        if (!station) {
            refuse("falta a linha \"estacao NOME [ALTURA DO INSTRUMENTO]\" no cabecalho.");
        }
    }

    void readDefault() {
        const std::string w = lowered(word("tipo de observacao"));
        ObservationKind kind{};
        if (!kindOf(w, kind) || kind == ObservationKind::SlopeDistance) {
            refuse("precisao de \"" + w +
                   "\": os tipos sao direccao, angulo, zenital e "
                   "distancia (horizontal e inclinada).");
        }
        if (kind == ObservationKind::HorizontalDistance) {
            if (defaults_.distanceGiven) {
                refuse("segunda precisao das distancias.");
            }
            defaults_.distanceGiven = true;
            defaults_.distanceA = number("precisao das distancias (m)");
            if (in_.valueOnLine()) {
                defaults_.distancePpm = number("parte proporcional (ppm)");
            }
            if (!(defaults_.distanceA > 0.0) || defaults_.distancePpm < 0.0) {
                refuse("o desvio padrao tem de ser maior do que 0 (e a parte em ppm nao "
                       "negativa).");
            }
            return;
        }
        if (defaults_.angular.contains(kind)) {
            refuse(std::string("segunda precisao de ") + kindWord(kind) + ".");
        }
        defaults_.angular[kind] = number("precisao");
        if (!(defaults_.angular[kind] > 0.0)) {
            refuse("o desvio padrao tem de ser maior do que 0.");
        }
    }

    void readScale() {
        if (!in_.valueOnLine()) {
            refuse("falta o factor de escala (ou \"estimar\").");
        }
        const std::string value = word("factor de escala");
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
            refuse("factor de escala \"" + value + "\": escreva um numero positivo ou estimar.");
        }
        survey_.options.scale = factor;
    }

    void readPoints() {
        while (true) {
            if (!in_.nextRecord()) {
                refuse("falta a linha \"observacoes\" depois dos pontos.");
            }
            KnownPoint k;
            k.line = in_.lineNumber();
            k.name = word("nome do ponto");
            if (lowered(k.name) == "observacoes") {
                endOfLine();
                return;
            }
            if (findPoint(survey_, k.name) >= 0) {
                refuse("o ponto " + k.name + " aparece duas vezes.");
            }
            if (static_cast<int>(survey_.points.size()) == maxSurveyPoints) {
                refuse("mais de " + std::to_string(maxSurveyPoints) + " pontos.");
            }
            k.m = number("coordenada M do ponto " + k.name);
            k.p = number("coordenada P do ponto " + k.name);
            if (in_.valueOnLine()) {
                k.hasHeight = true;
                k.h = number("cota do ponto " + k.name);
            }
            endOfLine();
            survey_.points.push_back(std::move(k));
        }
    }

    int target(const std::string& name) {
        const int i = findPoint(survey_, name);
        if (i < 0) {
            refuse("o alvo " + name + " nao tem coordenadas (nao esta na lista de pontos).");
        }
        return i;
    }

    void readObservations() {
        std::map<int, long long> targetHeightLine;
        std::map<int, double> targetHeight;
        while (in_.nextRecord()) {
            Observation o;
            o.line = in_.lineNumber();
            const std::string name = word("nome do alvo");
            o.target = target(name);
            const std::string w = lowered(word("tipo de observacao"));
            if (w == "alvo") {
                if (targetHeightLine.contains(o.target)) {
                    refuse("segunda altura do alvo " + name + " (a primeira esta na linha " +
                           std::to_string(targetHeightLine[o.target]) + ").");
                }
                targetHeightLine[o.target] = o.line;
                targetHeight[o.target] = number("altura do alvo " + name);
                endOfLine();
                continue;
            }
            if (!kindOf(w, o.kind)) {
                refuse("tipo de observacao \"" + w +
                       "\" desconhecido: os tipos sao direccao, "
                       "angulo, distancia, inclinada, zenital e alvo.");
            }
            if (static_cast<int>(survey_.observations.size()) == maxSurveyObservations) {
                refuse("mais de " + std::to_string(maxSurveyObservations) + " observacoes.");
            }
            if (o.kind == ObservationKind::Angle) {
                // "P angulo Q": the angle from P clockwise to Q.
                o.from = o.target;
                o.target = target(word("segundo alvo do angulo"));
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
                throw RunStop::badInput(surveyError(
                    fileName_, o.line,
                    "falta a altura do alvo " +
                        survey_.points[static_cast<std::size_t>(o.target)].name + ": escreva \"" +
                        survey_.points[static_cast<std::size_t>(o.target)].name +
                        " alvo ALTURA\" ou \"alvo ALTURA\" no cabecalho."));
            }
        }
    }

    void readValue(Observation& o) {
        const AngleUnit unit = survey_.unit;
        const bool distance = o.kind == ObservationKind::HorizontalDistance ||
                              o.kind == ObservationKind::SlopeDistance;
        const std::string what = std::string("valor da observacao (") + kindWord(o.kind) + ")";
        if (distance) {
            o.value = number(what);
        } else if (o.kind == ObservationKind::Zenith) {
            o.value = zenithToRadians(unit, angleAsWritten(what));
        } else if (unit == AngleUnit::Sexagesimal) {
            o.value = toRadians(AngleUnit::DecimalDegrees, angleAsWritten(what));
        } else {
            o.value = toRadians(unit, number(what));
        }
        if (in_.valueOnLine()) {
            const double sigma = number("desvio padrao");
            o.sigma = distance ? sigma : precisionToRadians(unit, sigma);
            return;
        }
        // The header's precision of the kind; a + b ppm of the distance.
        if (distance) {
            if (!defaults_.distanceGiven) {
                refuse("falta o desvio padrao: escreva-o no fim da linha ou \"precisao distancia "
                       "A PPM\" no cabecalho.");
            }
            o.sigma = defaults_.distanceA + defaults_.distancePpm * 1e-6 * o.value;
            return;
        }
        const auto given = defaults_.angular.find(o.kind);
        if (given == defaults_.angular.end()) {
            refuse(std::string("falta o desvio padrao: escreva-o no fim da linha ou \"precisao ") +
                   kindWord(o.kind) + " VALOR\" no cabecalho.");
        }
        o.sigma = precisionToRadians(unit, given->second);
    }

    RecordReader in_;
    const std::string& fileName_;
    StationSurvey survey_;
    Defaults defaults_;
    bool scaleSeen_ = false;
};

} // namespace

StationSurvey readStationText(std::istream& in, const std::string& fileName) {
    return TextReading(in, fileName).read();
}

} // namespace resection
