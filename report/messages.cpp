#include "report/messages.hpp"

#include "base/constants.hpp"
#include "base/text.hpp"

#include <charconv>
#include <cmath>

namespace resection {

namespace {

std::string number(long long value) {
    return std::to_string(value);
}

// A text of the input as a message quotes it: in double quotes, cut after 40
// characters.
std::string shown(const std::string& token) {
    if (token.size() > 40) {
        return "\"" + token.substr(0, 40) + "...\"";
    }
    return "\"" + token + "\"";
}

// Two significant digits say the size; the locale plays no part.
std::string twoDigits(double x) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, x, std::chars_format::general, 2);
    return written.ec == std::errc{} ? std::string(text, written.ptr) : std::string("?");
}

const char* readingsText(Readings readings) {
    return readings == Readings::Directions ? "leituras azimutais" : "leituras zenitais";
}

const char* fieldName(Field field) {
    switch (field) {
    case Field::None:
        return "";
    case Field::UnitCode:
        return "codigo das unidades";
    case Field::Tolerance:
        return "tolerancia";
    case Field::AprioriPrecision:
        return "precisao a priori";
    case Field::StationName:
        return "nome da estacao";
    case Field::PointCount:
        return "numero de pontos visados";
    case Field::Name:
        return "nome";
    case Field::CoordinateM:
        return "coordenada M";
    case Field::CoordinateP:
        return "coordenada P";
    case Field::Degrees:
        return "graus da leitura";
    case Field::Minutes:
        return "minutos da leitura";
    case Field::Seconds:
        return "segundos da leitura";
    case Field::Reading:
        return "leitura";
    case Field::ZenithCount:
        return "numero de observacoes zenitais";
    case Field::InstrumentHeight:
        return "altura do instrumento";
    case Field::PointHeight:
        return "cota";
    case Field::ZenithReading:
        return "leitura zenital";
    case Field::SignalHeight:
        return "altura do sinal";
    case Field::FormKeyword:
        return "forma do ficheiro";
    case Field::HeaderWord:
        return "palavra do cabecalho";
    case Field::KindWord:
        return "tipo de observacao";
    case Field::Target:
        return "nome do alvo";
    case Field::SecondTarget:
        return "segundo alvo do angulo";
    case Field::ObservationValue:
        return "valor";
    case Field::StandardDeviation:
        return "desvio padrao";
    case Field::Precision:
        return "precisao";
    case Field::DistancePrecision:
        return "precisao das distancias (m)";
    case Field::DistancePpm:
        return "parte proporcional (ppm)";
    case Field::ScaleFactor:
        return "factor de escala";
    case Field::TargetHeight:
        return "altura do alvo";
    case Field::Answer:
        return "sim ou nao";
    }
    return "";
}

// The object of a free station in JSON whose member a message names.
const char* memberOf(RecordOf of) {
    switch (of) {
    case RecordOf::Station:
        return "da estacao";
    case RecordOf::KnownPoint:
        return "do ponto";
    case RecordOf::Observation:
        return "da observacao";
    case RecordOf::Angle:
        return "do angulo";
    case RecordOf::Options:
        return "das opcoes";
    case RecordOf::StationRecord:
    case RecordOf::Header:
    case RecordOf::Point:
    case RecordOf::ZenithObservation:
    case RecordOf::NamedPoint:
        break;
    }
    return "na estacao";
}

// The byte a JSON reader found where it expected another.
std::string foundByte(const std::string& found) {
    if (found.empty()) {
        return ", mas o ficheiro acaba";
    }
    const auto c = static_cast<unsigned char>(found[0]);
    if (c < 0x20 || c >= 0x7f) {
        static const char* const digits = "0123456789abcdef";
        return std::string(", encontrado o byte \\x") + digits[c >> 4] + digits[c & 15];
    }
    return ", encontrado '" + found.substr(0, 1) + "'";
}

std::string jsonProblemText(const Stop& stop) {
    switch (stop.problem) {
    case ReadProblem::EmptyFile:
        return "o ficheiro esta vazio";
    case ReadProblem::JsonTooLarge:
        return "o ficheiro tem mais de " + number(stop.count) +
               " MB, grande demais para uma estacao";
    case ReadProblem::JsonTextAfterValue:
        return "texto a mais depois do fim do valor JSON";
    case ReadProblem::JsonExpectedValue:
        return "esperava-se um valor JSON" + foundByte(stop.text);
    case ReadProblem::JsonExpectedMemberName:
        return "esperava-se o nome de um membro entre aspas" + foundByte(stop.text);
    case ReadProblem::JsonExpectedColon:
        return "esperava-se ':' depois do nome do membro" + foundByte(stop.text);
    case ReadProblem::JsonExpectedCommaOrBrace:
        return "esperava-se ',' ou '}' no objecto" + foundByte(stop.text);
    case ReadProblem::JsonExpectedCommaOrBracket:
        return "esperava-se ',' ou ']' na lista" + foundByte(stop.text);
    case ReadProblem::JsonTooDeep:
        return "mais de " + number(stop.count) + " niveis de listas e objectos";
    case ReadProblem::JsonRepeatedMember:
        return "o membro " + shown(stop.text) + " aparece duas vezes no mesmo objecto";
    case ReadProblem::JsonMalformedNumber:
        return "numero mal formado";
    case ReadProblem::JsonNoFraction:
        return "numero mal formado: faltam algarismos depois do ponto";
    case ReadProblem::JsonNoExponent:
        return "numero mal formado: falta o expoente";
    case ReadProblem::JsonLeadingZero:
        return "numero mal formado: zero a esquerda";
    case ReadProblem::NumberOutOfRange:
        return "numero fora dos limites: " + shown(stop.text);
    case ReadProblem::JsonBadHexEscape:
        return "escape \\u sem quatro algarismos hexadecimais";
    case ReadProblem::JsonLoneLowSurrogate:
        return "escape \\u de um substituto baixo isolado";
    case ReadProblem::JsonLoneHighSurrogate:
        return "escape \\u de um substituto alto sem o baixo";
    case ReadProblem::JsonUnknownEscape:
        return "escape desconhecido dentro de um texto" + foundByte(stop.text);
    case ReadProblem::JsonInvalidUtf8:
        return "texto que nao e UTF-8 valido";
    case ReadProblem::JsonStringTooLong:
        return "texto com mais de " + number(stop.count) + " bytes";
    case ReadProblem::JsonUnclosedString:
        return "texto sem aspas de fecho";
    case ReadProblem::JsonControlCharacter:
        return "caracter de controlo dentro de um texto (escreva-o com \\)";
    default:
        return "texto que nao e JSON";
    }
}

std::string problemText(const Stop& stop) {
    switch (stop.problem) {
    case ReadProblem::None:
        return "";
    case ReadProblem::EmptyValue:
        return "valor vazio entre virgulas (nao suportado)";
    case ReadProblem::EmptyFile:
        return "o ficheiro esta vazio";
    case ReadProblem::EndOfFile:
        return "fim do ficheiro antes do fim dos dados";
    case ReadProblem::Slash:
        return "barra '/' fora de um texto entre aspas (nao suportada)";
    case ReadProblem::UnclosedQuote:
        return "texto entre aspas sem aspas de fecho";
    case ReadProblem::IntegerButText:
        return "esperava-se um numero inteiro, encontrado o texto " + shown(stop.text);
    case ReadProblem::IntegerOutOfRange:
        return "numero inteiro fora dos limites: " + shown(stop.text);
    case ReadProblem::NotAnInteger:
        return "esperava-se um numero inteiro, encontrado " + shown(stop.text);
    case ReadProblem::NumberButText:
        return "esperava-se um numero, encontrado o texto " + shown(stop.text);
    case ReadProblem::NumberOutOfRange:
        return "numero fora dos limites: " + shown(stop.text);
    case ReadProblem::NotANumber:
        return "esperava-se um numero, encontrado " + shown(stop.text);
    case ReadProblem::MissingValue:
        return "falta na linha";
    case ReadProblem::TooLong:
        return "com mais de " + number(stop.count) + " caracteres";
    case ReadProblem::ExtraValue:
        return "valor a mais no fim da linha";
    case ReadProblem::DecimalComma:
        return "virgula entre dois algarismos: escreva as casas decimais com ponto e separe os "
               "valores com espacos";
    default:
        return jsonProblemText(stop);
    }
}

// "distancia horizontal a P1": an observation as the messages name it.
std::string observationAbout(const Stop& stop) {
    return std::string(observationName(stop.kind)) + " a " + stop.name;
}

std::string stationProblemText(const Stop& stop) {
    const std::string member = shown(stop.text) + " " + memberOf(stop.item.of);
    switch (stop.station) {
    case StationProblem::None:
        break;
    case StationProblem::NotStationText:
        return "a primeira linha de uma estacao livre e \"estacao-livre UNIDADE\" (gd, gs ou gr)";
    case StationProblem::NoStationLine:
        return "falta a linha \"estacao NOME [ALTURA DO INSTRUMENTO]\" no cabecalho";
    case StationProblem::NoPointsLine:
        return "falta a linha \"pontos\" antes das coordenadas dos pontos";
    case StationProblem::NoObservationsLine:
        return "falta a linha \"observacoes\" depois dos pontos";
    case StationProblem::SecondHeaderLine:
        return "segunda linha " + shown(stop.text) + " no cabecalho";
    case StationProblem::UnknownHeaderLine:
        return "linha desconhecida no cabecalho " + shown(stop.text) +
               ": as linhas sao estacao, precisao, alvo, escala, curvatura e pontos";
    case StationProblem::CurvatureAnswer:
        return "depois de \"curvatura\" escreva sim ou nao";
    case StationProblem::UnknownPrecision:
        return "precisao de " + shown(stop.text) +
               ": os tipos sao direccao, angulo, zenital e distancia (horizontal e inclinada)";
    case StationProblem::SecondPrecision:
        return isDistance(stop.kind)
                   ? std::string("segunda precisao das distancias")
                   : std::string("segunda precisao de ") + observationName(stop.kind);
    case StationProblem::PrecisionNotPositive:
        return isDistance(stop.kind)
                   ? "o desvio padrao tem de ser maior do que 0 (e a parte em ppm nao negativa)"
                   : "o desvio padrao tem de ser maior do que 0";
    case StationProblem::ScaleFactor:
        return "factor de escala " + shown(stop.text) + ": escreva um numero positivo ou estimar";
    case StationProblem::UnknownKind:
        return "tipo de observacao " + shown(stop.text) +
               " desconhecido: os tipos sao direccao, angulo, distancia, inclinada, zenital e "
               "alvo";
    case StationProblem::MissingSigma:
        return isDistance(stop.kind)
                   ? std::string("falta o desvio padrao: escreva-o no fim da linha ou \"precisao "
                                 "distancia A PPM\" no cabecalho")
                   : std::string("falta o desvio padrao: escreva-o no fim da linha ou "
                                 "\"precisao ") +
                         observationWord(stop.kind) + " VALOR\" no cabecalho";
    case StationProblem::MissingTargetHeight:
        return "falta a altura do alvo " + stop.name + ": escreva \"" + stop.name +
               " alvo ALTURA\" ou \"alvo ALTURA\" no cabecalho";
    case StationProblem::SecondTargetHeight:
        return "segunda altura do alvo " + stop.name + " (a primeira esta na linha " +
               number(stop.count) + ")";
    case StationProblem::SecondPoint:
        return "o ponto " + stop.name + " aparece duas vezes";
    case StationProblem::TooManyPoints:
        return "mais de " + number(stop.count) + " pontos";
    case StationProblem::TooManyObservations:
        return "mais de " + number(stop.count) + " observacoes numa estacao";
    case StationProblem::NoObservations:
        return "a estacao nao tem observacoes";
    case StationProblem::ScaleNotPositive:
        return "o factor de escala das distancias tem de ser um numero positivo";
    case StationProblem::UnknownTarget:
        return "o alvo " + stop.name + " nao tem coordenadas (nao esta entre os pontos)";
    case StationProblem::ValueNotFinite:
        return observationAbout(stop) + ": o valor nao e um numero finito";
    case StationProblem::SigmaNotPositive:
        return observationAbout(stop) + ": o desvio padrao tem de ser maior do que 0";
    case StationProblem::SigmaTooSmall:
        return observationAbout(stop) +
               ": o desvio padrao e tao pequeno que o seu peso excede o alcance do calculo";
    case StationProblem::DistanceNotPositive:
        return observationAbout(stop) + ": uma distancia tem de ser maior do que 0";
    case StationProblem::ZenithOutOfRange:
        return observationAbout(stop) +
               ": o angulo zenital tem de estar entre 0 e 180 graus (200 grados), exclusive";
    case StationProblem::AngleToItself:
        return observationAbout(stop) + ": um angulo tem de ir de um alvo a outro";
    case StationProblem::TargetHeightNotFinite:
        return observationAbout(stop) + ": a altura do alvo nao e um numero finito";
    case StationProblem::PointWithoutHeight:
        return observationAbout(stop) + ": o ponto " + stop.name + " nao tem cota";
    case StationProblem::NoInstrumentHeight:
        return observationAbout(stop) + ": falta a altura do instrumento na estacao";
    case StationProblem::SecondObservation:
        return std::string("segunda ") + observationName(stop.kind) + " a " + stop.name +
               (stop.count > 0 ? " (a primeira esta na linha " + number(stop.count) + ")" : "");
    case StationProblem::SlopeWithoutZenith:
        return "distancia inclinada a " + stop.name + " sem o angulo zenital ao mesmo alvo";
    case StationProblem::NotAStation:
        return "esperava-se um objecto JSON com uma estacao";
    case StationProblem::MissingMember:
        return "falta " + member;
    case StationProblem::NotANumber:
        return member + " tem de ser um numero";
    case StationProblem::NotAName:
        return member + " tem de ser um texto nao vazio";
    case StationProblem::NameTooLong:
        return member + " tem mais de " + number(stop.count) + " caracteres";
    case StationProblem::NotAFlag:
        return member + " tem de ser true ou false";
    case StationProblem::NotAList:
        return member + " tem de ser uma lista";
    case StationProblem::NotAnObject:
        return stop.text.empty() ? std::string("cada elemento de \"points\" e de "
                                               "\"observations\" tem de ser um objecto")
                                 : member + " tem de ser um objecto";
    case StationProblem::UnknownAngleUnit:
        return "\"angle_unit\" tem de ser \"deg\" ou \"gon\"";
    case StationProblem::SigmaUnits:
        return "\"sigma_units\" tem de ser {\"angle\": \"" + stop.text + "\", \"distance\": \"m\"}";
    case StationProblem::CoordinatesOutOfRange:
        return "coordenadas do ponto " + stop.name + " fora dos limites";
    case StationProblem::UnknownJsonKind:
        return "\"kind\" tem de ser direction, angle, horizontal_distance, slope_distance ou "
               "zenith";
    }
    return "";
}

// "Erro no ficheiro NAME, linha L: " (without the line where it is 0).
std::string inFile(const Stop& stop) {
    return "Erro no ficheiro " + stop.fileName +
           (stop.line > 0 ? ", linha " + number(stop.line) : std::string()) + ": ";
}

// A search that would have to compute every pass, and what that would cost.
std::string everyPassCost(const Stop& stop) {
    return std::isfinite(stop.passes)
               ? "cada uma das cerca de " + twoDigits(std::ceil(stop.passes)) +
                     " passagens que faltam (cerca de " + twoDigits(stop.seconds) + " s de calculo)"
               : std::string("cada passagem, sem fim previsivel");
}

constexpr const char* terminated = "Stop - Program terminated.";

// The companion's outputs as its messages name them.
const char* outputName(long long which) {
    return which == 1 ? "JSON" : "do esboco";
}

} // namespace

const char* precisionUnitText(AngleUnit unit) {
    return precisionInSeconds(unit) ? " segundos" : " mgon";
}

const char* observationWord(ObservationKind kind) {
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

const char* observationName(ObservationKind kind) {
    switch (kind) {
    case ObservationKind::Direction:
        return "direccao";
    case ObservationKind::Angle:
        return "angulo horizontal";
    case ObservationKind::HorizontalDistance:
        return "distancia horizontal";
    case ObservationKind::SlopeDistance:
        return "distancia inclinada";
    case ObservationKind::Zenith:
        return "angulo zenital";
    }
    return "?";
}

std::string itemName(const RecordItem& item, const std::string& name) {
    std::string text = fieldName(item.field);
    if (item.of == RecordOf::Point) {
        text += " do ponto " + number(item.index);
    } else if (item.of == RecordOf::ZenithObservation) {
        text += " da observacao zenital " + number(item.index);
    } else if (item.of == RecordOf::NamedPoint) {
        text += " do ponto " + name;
    } else if (item.of == RecordOf::Observation && item.field == Field::ObservationValue) {
        text += std::string(" da ") + observationName(item.kind);
    } else if (item.of == RecordOf::Observation) {
        text += std::string(" (") + observationName(item.kind) + ")";
    }
    return text;
}

std::string decimalCommaWarning(const std::string& fileName, long long line,
                                const std::string& text) {
    return "Aviso: ficheiro " + fileName + ", linha " + number(line) + ": " + shown(text) +
           " parece ter virgula decimal; a virgula separa valores e o que sobra na linha e "
           "ignorado: escreva as casas decimais com ponto.";
}

std::string stopMessage(const Stop& stop, AngleUnit unit) {
    const std::string file = stop.fileName;
    const std::string precision =
        messageNumber(precisionFromRadians(unit, stop.value)) + precisionUnitText(unit);
    switch (stop.reason()) {
    case StopReason::TooFewPoints:
        return "Numero insuficiente de dados para o calculo da interseccao inversa...";
    case StopReason::Terminated:
        return terminated;
    case StopReason::PositionNotConverging:
        return std::string(" Processo nao convergente...\r\n") + terminated;
    case StopReason::HeightNotConverging:
        return std::string(" Processo iterativo nao convergente...\r\n") + terminated;
    case StopReason::SingularMatrix:
        return "Matriz singular!";
    case StopReason::StationOnPoint:
        return "A estacao coincide com o ponto visado " + stop.name + " (ponto " +
               number(stop.count) + "): o calculo nao pode continuar.";
    case StopReason::NoFirstPosition:
        return "Nao foi possivel calcular uma posicao aproximada da estacao: a estacao esta "
               "alinhada com os pontos visados ou sobre a circunferencia que os contem.";
    case StopReason::UnreadableRecord:
        if (stop.item.field == Field::None) {
            return inFile(stop) + problemText(stop) + ".";
        }
        if (stop.problem == ReadProblem::MissingValue) {
            return inFile(stop) + "falta " + itemName(stop.item, stop.name) + ".";
        }
        if (stop.problem == ReadProblem::TooLong) {
            return inFile(stop) + itemName(stop.item, stop.name) + " " + problemText(stop) + ".";
        }
        return "Erro no ficheiro " + file + ", linha " + number(stop.line) + " (" +
               itemName(stop.item, stop.name) + "): " + problemText(stop) +
               (stop.problem >= ReadProblem::MissingValue ? "." : "");
    case StopReason::UnreadableJson:
        return inFile(stop) + jsonProblemText(stop) + ".";
    case StopReason::StationRefused:
        return inFile(stop) + stationProblemText(stop) + ".";
    case StopReason::DirectionsOnly:
        return "O ficheiro " + file + " e uma estacao livre" +
               (stop.count == 1 ? " em JSON" : " (forma de texto)") +
               ": o resection so calcula com leituras azimutais, todas com uma so precisao. "
               "Analise-o com resection-analise " +
               file + ".";
    case StopReason::LineTooLong:
        return "Erro no ficheiro " + file + ", linha " + number(stop.line) +
               ": linha com mais de " + number(stop.count) +
               " caracteres, longa demais para um registo (ou o ficheiro nao e de texto).";
    case StopReason::CannotStepBack:
        return "Erro no ficheiro " + file + ": nao foi possivel voltar atras " +
               number(stop.count) + " linhas.";
    case StopReason::UnknownUnitCode:
        return "Codigo de unidades desconhecido \"" + stop.text + "\" no ficheiro " + file +
               (stop.line > 0 ? ", linha " + number(stop.line) : std::string()) +
               ": use gd, gs ou gr.";
    case StopReason::TooManyPoints:
        return "Numero de pontos visados " + number(stop.count) + " no ficheiro " + file +
               ", linha " + number(stop.line) + ": o maximo e " + number(maxPointCount) + ".";
    case StopReason::TooFewZenithObservations:
        return "Numero de observacoes zenitais " + number(stop.count) + " no ficheiro " + file +
               ", linha " + number(stop.line) + ": e preciso pelo menos uma.";
    case StopReason::TooManyZenithObservations:
        return "Numero de observacoes zenitais " + number(stop.count) + " no ficheiro " + file +
               ", linha " + number(stop.line) + ": o maximo e " + number(maxZenithCount) + ".";
    case StopReason::FirstZenithReadingZero:
        return "Leitura zenital nula na primeira observacao zenital (ficheiro " + file +
               ", linha " + number(stop.line) +
               "): a primeira leitura serve para a cota inicial e nao pode ser 0.";
    case StopReason::HeightDiverged:
        return "O processo iterativo da cota divergiu: verifique as leituras zenitais (a "
               "primeira da a cota inicial).";
    case StopReason::NoHorizontalDistance:
        return "Todos os pontos visados para a cota estao a distancia horizontal nula da "
               "estacao: a cota nao pode ser calculada.";
    case StopReason::SearchNegativeAccepted:
        return std::string(
                   "Pesquisa da precisao interrompida: o teste do qui-quadrado aceita as ") +
               readingsText(stop.readings) + " com a precisao negativa de " + precision +
               ", e a pesquisa desceria sem fim; indique uma precisao a priori positiva.";
    case StopReason::SearchStepVanishes:
        return "Pesquisa da precisao interrompida: com a precisao de " + precision +
               " o passo de 0.1" + precisionUnitText(unit) +
               " ja nao altera a precisao, e a pesquisa das " + readingsText(stop.readings) +
               " nao terminaria; indique uma precisao a priori menor.";
    case StopReason::SearchToleranceUnresolved:
        return "Pesquisa da precisao interrompida: a tolerancia esta dentro do arredondamento "
               "das correccoes (cerca de " +
               twoDigits(stop.value) + " m), e a pesquisa das " + readingsText(stop.readings) +
               " teria de calcular " + everyPassCost(stop) + "; indique uma tolerancia maior.";
    case StopReason::SearchUnpredictable:
        return std::string("Pesquisa da precisao interrompida: os resultados das passagens nao "
                           "seguem a previsao, e a pesquisa das ") +
               readingsText(stop.readings) + " teria de calcular " + everyPassCost(stop) +
               "; verifique as leituras e a geometria.";
    case StopReason::ReadFault:
        return "Erro de leitura do ficheiro " + file + ", linha " + number(stop.line) + ".";
    case StopReason::CannotReposition:
        return "Erro de leitura do ficheiro " + file + ": nao foi possivel reposicionar a leitura.";
    case StopReason::CannotOpenInput:
        return "Nao foi possivel abrir o ficheiro de input \"" + stop.name + "\": " + stop.text +
               ".";
    case StopReason::ReportIsInput:
        return "O ficheiro de output \"" + stop.name +
               "\" e o proprio ficheiro de input: escolha outro nome.";
    case StopReason::CannotCreateReport:
        return "Nao foi possivel criar o ficheiro de output \"" + stop.name + "\": " + stop.text +
               ".";
    case StopReason::ReportWriteFault:
        return "Erro no ficheiro de output: " + stop.text + ".";
    case StopReason::NoFileName:
        return "Nenhum nome de ficheiro foi dado: a entrada da consola terminou.";
    case StopReason::OutputIsInput:
        return std::string("O ficheiro ") + outputName(stop.count) + " \"" + stop.name +
               "\" e o proprio ficheiro de input: escolha outro nome.";
    case StopReason::JsonIsSketch:
        return "O ficheiro JSON \"" + stop.name + "\" e o proprio ficheiro do esboco \"" +
               stop.text + "\": escolha outro nome.";
    case StopReason::CannotCreateOutput:
        return std::string("Nao foi possivel criar o ficheiro ") + outputName(stop.count) + " \"" +
               stop.name + "\": " + stop.text + ".";
    case StopReason::OutputWriteFault:
        return std::string("Erro no ficheiro ") + outputName(stop.count) + ": " + stop.text + ".";
    }
    return terminated;
}

const char* stopCode(StopReason reason) {
    switch (reason) {
    case StopReason::TooFewPoints:
        return "tooFewPoints";
    case StopReason::Terminated:
        return "terminated";
    case StopReason::PositionNotConverging:
        return "positionNotConverging";
    case StopReason::HeightNotConverging:
        return "heightNotConverging";
    case StopReason::SingularMatrix:
        return "singularMatrix";
    case StopReason::StationOnPoint:
        return "stationOnPoint";
    case StopReason::NoFirstPosition:
        return "noFirstPosition";
    case StopReason::UnreadableRecord:
        return "unreadableRecord";
    case StopReason::LineTooLong:
        return "lineTooLong";
    case StopReason::CannotStepBack:
        return "cannotStepBack";
    case StopReason::UnknownUnitCode:
        return "unknownUnitCode";
    case StopReason::TooManyPoints:
        return "tooManyPoints";
    case StopReason::TooFewZenithObservations:
        return "tooFewZenithObservations";
    case StopReason::TooManyZenithObservations:
        return "tooManyZenithObservations";
    case StopReason::FirstZenithReadingZero:
        return "firstZenithReadingZero";
    case StopReason::HeightDiverged:
        return "heightDiverged";
    case StopReason::NoHorizontalDistance:
        return "noHorizontalDistance";
    case StopReason::SearchNegativeAccepted:
        return "searchNegativeAccepted";
    case StopReason::SearchStepVanishes:
        return "searchStepVanishes";
    case StopReason::SearchToleranceUnresolved:
        return "searchToleranceUnresolved";
    case StopReason::SearchUnpredictable:
        return "searchUnpredictable";
    case StopReason::UnreadableJson:
        return "unreadableJson";
    case StopReason::StationRefused:
        return "stationRefused";
    case StopReason::DirectionsOnly:
        return "directionsOnly";
    case StopReason::ReadFault:
        return "readFault";
    case StopReason::CannotReposition:
        return "cannotReposition";
    case StopReason::CannotOpenInput:
        return "cannotOpenInput";
    case StopReason::ReportIsInput:
        return "reportIsInput";
    case StopReason::CannotCreateReport:
        return "cannotCreateReport";
    case StopReason::ReportWriteFault:
        return "reportWriteFault";
    case StopReason::NoFileName:
        return "noFileName";
    case StopReason::OutputIsInput:
        return "outputIsInput";
    case StopReason::JsonIsSketch:
        return "jsonIsSketch";
    case StopReason::CannotCreateOutput:
        return "cannotCreateOutput";
    case StopReason::OutputWriteFault:
        return "outputWriteFault";
    }
    return "unknown";
}

} // namespace resection
