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
    }
    return "";
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
    }
    return "";
}

// A search that would have to compute every pass, and what that would cost.
std::string everyPassCost(const Stop& stop) {
    return std::isfinite(stop.passes)
               ? "cada uma das cerca de " + twoDigits(std::ceil(stop.passes)) +
                     " passagens que faltam (cerca de " + twoDigits(stop.seconds) + " s de calculo)"
               : std::string("cada passagem, sem fim previsivel");
}

constexpr const char* terminated = "Stop - Program terminated.";

} // namespace

const char* precisionUnitText(AngleUnit unit) {
    return precisionInSeconds(unit) ? " segundos" : " mgon";
}

std::string itemName(const RecordItem& item) {
    std::string name = fieldName(item.field);
    if (item.of == RecordOf::Point) {
        name += " do ponto " + number(item.index);
    } else if (item.of == RecordOf::ZenithObservation) {
        name += " da observacao zenital " + number(item.index);
    }
    return name;
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
        return "Erro no ficheiro " + file + ", linha " + number(stop.line) + " (" +
               itemName(stop.item) + "): " + problemText(stop);
    case StopReason::LineTooLong:
        return "Erro no ficheiro " + file + ", linha " + number(stop.line) +
               ": linha com mais de " + number(stop.count) +
               " caracteres, longa demais para um registo (ou o ficheiro nao e de texto).";
    case StopReason::CannotStepBack:
        return "Erro no ficheiro " + file + ": nao foi possivel voltar atras " +
               number(stop.count) + " linhas.";
    case StopReason::UnknownUnitCode:
        return "Codigo de unidades desconhecido \"" + stop.text + "\" no ficheiro " + file +
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
    }
    return "unknown";
}

} // namespace resection
