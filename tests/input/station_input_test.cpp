// The two input forms of a free station: the text form and JSON give the
// same observations; bad input ends the companion's run with a message that
// names the line; the JSON reader is strict and bounded on hostile text; the
// program given a free station refuses it and points to the companion.
#include "base/stop.hpp"
#include "console/files.hpp"
#include "input/json.hpp"
#include "input/station_json.hpp"
#include "input/station_text.hpp"
#include "report/messages.hpp"
#include "runs/analysis_run.hpp"
#include "support/run_harness.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace resection {
namespace {

StationSurvey fromText(const std::string& text) {
    std::istringstream in(text);
    return readStationText(in, "est.txt");
}

// The message a reading ends with ("" where it is read).
template <typename Read> std::string refusal(Read read) {
    try {
        read();
    } catch (const Stop& stop) {
        EXPECT_EQ(exitStatus(stop.reason()), exitBadInput);
        return stopMessage(stop);
    }
    return "";
}

const char* const textForm = R"(estacao-livre gd
estacao E1 1.600
precisao direccao 1.5
precisao zenital 3
precisao distancia 0.002 2
pontos
P1   1000.000  1201.171  108.680
P2   1371.217  1072.895  111.974
'P 3' 1016.437  952.352  117.312
observacoes
P1 direccao   0.0
P1 inclinada 223.6428 0.005
P1 zenital   95.9015
P1 alvo      1.572
P2 direccao 160.1838 2
P2 distancia 190.2878
P2 angulo 'P 3' 160.6046 4
'P 3' direccao 320.7884
)";

const char* const jsonForm =
    R"({"id": "ignored", "station": {"name": "E1", "instrument_height": 1.6},
 "angle_unit": "deg", "sigma_units": {"angle": "arcsec", "distance": "m"},
 "points": [{"name": "P1", "M": 1000.000, "P": 1201.171, "H": 108.680},
            {"name": "P2", "M": 1371.217, "P": 1072.895, "H": 111.974},
            {"name": "P 3", "M": 1016.437, "P": 952.352, "H": 117.312, "note": "ignored"}],
 "observations": [
  {"kind": "direction", "to": "P1", "value": 0.0, "sigma": 1.5},
  {"kind": "slope_distance", "to": "P1", "value": 223.6428, "sigma": 0.005, "target_height": 1.572},
  {"kind": "zenith", "to": "P1", "value": 95.9015, "sigma": 3, "target_height": 1.572},
  {"kind": "direction", "to": "P2", "value": 160.1838, "sigma": 2},
  {"kind": "horizontal_distance", "to": "P2", "value": 190.2878, "sigma": 0.0023805756},
  {"kind": "angle", "from": "P2", "to": "P 3", "value": 160.6046, "sigma": 4},
  {"kind": "direction", "to": "P 3", "value": 320.7884, "sigma": 1.5}]}
)";

TEST(StationInput, TheTextFormAndJsonGiveTheSameObservations) {
    const StationSurvey t = fromText(textForm);
    const StationSurvey j = readStationJson(jsonForm, "est.json");
    EXPECT_EQ(t.stationName, j.stationName);
    EXPECT_EQ(t.instrumentHeight, j.instrumentHeight);
    EXPECT_EQ(t.unit, j.unit);
    ASSERT_EQ(t.points.size(), j.points.size());
    for (std::size_t i = 0; i < t.points.size(); ++i) {
        EXPECT_EQ(t.points[i].name, j.points[i].name);
        EXPECT_EQ(t.points[i].m, j.points[i].m);
        EXPECT_EQ(t.points[i].p, j.points[i].p);
        EXPECT_EQ(t.points[i].h, j.points[i].h);
    }
    ASSERT_EQ(t.observations.size(), j.observations.size());
    for (std::size_t i = 0; i < t.observations.size(); ++i) {
        SCOPED_TRACE(i);
        const Observation& a = t.observations[i];
        const Observation& b = j.observations[i];
        EXPECT_EQ(a.kind, b.kind);
        EXPECT_EQ(a.target, b.target);
        EXPECT_EQ(a.from, b.from);
        EXPECT_EQ(a.value, b.value);
        EXPECT_EQ(a.targetHeight, b.targetHeight);
        if (a.kind == ObservationKind::HorizontalDistance) {
            // The header's 2 mm + 2 ppm of 190.2878 m.
            EXPECT_DOUBLE_EQ(a.sigma, 0.002 + 2e-6 * 190.2878);
            EXPECT_NEAR(b.sigma, a.sigma, 1e-10);
        } else {
            EXPECT_EQ(a.sigma, b.sigma);
        }
    }
    std::string scaled = textForm;
    scaled.replace(scaled.find("pontos"), 6, "escala 0.99962\ncurvatura sim\npontos");
    EXPECT_EQ(fromText(scaled).options.scale, 0.99962);
    EXPECT_TRUE(fromText(scaled).options.curvatureRefraction);
    // Degrees, minutes and seconds; grads and gon.
    std::string gs = textForm;
    gs.replace(gs.find("gd"), 2, "gs");
    gs.replace(gs.find("0.0\n"), 3, "0 0 0");
    gs.replace(gs.find("160.1838 2"), 10, "160 11 1.68 2");
    gs.replace(gs.find("160.6046"), 8, "160 36 16.56");
    gs.replace(gs.find("320.7884"), 8, "320 47 18.24");
    gs.replace(gs.find("95.9015"), 7, "95 54 5.4");
    const StationSurvey s = fromText(gs);
    for (std::size_t i = 0; i < t.observations.size(); ++i) {
        EXPECT_NEAR(s.observations[i].value, t.observations[i].value, 1e-12);
    }
    std::string gr = textForm, gon = jsonForm;
    gr.replace(gr.find("gd"), 2, "gr");
    gon.replace(gon.find("\"deg\""), 5, "\"gon\"");
    gon.replace(gon.find("arcsec"), 6, "mgon");
    const StationSurvey r = fromText(gr);
    const StationSurvey g = readStationJson(gon, "est.json");
    for (std::size_t i = 0; i < r.observations.size(); ++i) {
        EXPECT_EQ(r.observations[i].value, g.observations[i].value);
    }
}

// One fault put into a good file: the text replaced, the line the message
// must name and words it must hold.
struct Fault {
    const char* replace;
    const char* with;
    const char* line;  // "linha L"
    const char* words; // in the message
};

// The fault put into the good file, as a whole run of the companion: status
// 1, the message on standard error naming the file and the line, no
// analysis, and no number that is not one.
void expectRefused(const std::string& good, const Fault& f, const std::string& file) {
    std::string text = good;
    const auto at = text.find(f.replace);
    ASSERT_NE(at, std::string::npos) << f.replace;
    text.replace(at, std::string(f.replace).size(), f.with);
    SCOPED_TRACE(text);
    MemoryFileSystem memory;
    memory.files[file] = text;
    std::ostringstream out, errors;
    EXPECT_EQ(runAnalysis({file, "e.svg", "--json", "e.out"}, out, errors, memory), exitBadInput);
    const std::string message = errors.str();
    EXPECT_NE(message.find(" ficheiro " + file + ", " + f.line), std::string::npos) << message;
    EXPECT_NE(message.find(f.words), std::string::npos) << message;
    EXPECT_EQ(out.str().find("Resumo"), std::string::npos);
    EXPECT_EQ(memory.files.count("e.svg"), 0u);
    const std::string json = memory.files["e.out"];
    EXPECT_NE(json.find("\"status\":1"), std::string::npos) << json;
    for (const char* bad : {"nan", "inf", "NaN", "Inf"}) {
        EXPECT_EQ((out.str() + message).find(bad), std::string::npos) << bad;
    }
}

TEST(StationInput, BadTextNamesTheLine) {
    const Fault faults[] = {
        {"P2 distancia 190.2878", "P2 distancia 0", "linha 16", "maior do que 0"},
        {"P2 distancia 190.2878", "P2 distancia -5", "linha 16", "maior do que 0"},
        {"P2 direccao 160.1838 2", "P2 direccao 160.1838 0", "linha 15", "desvio padrao"},
        {"P2 direccao 160.1838 2", "P2 direccao 160.1838 1e-300", "linha 15", "peso excede"},
        {"precisao direccao 1.5", "precisao direccao -1.5", "linha 3", "desvio padrao"},
        {"precisao distancia 0.002 2", "precisao distancia 0 2", "linha 5", "desvio padrao"},
        {"P2 distancia 190.2878", "P4 distancia 190.2878", "linha 16", "P4 nao tem coordenadas"},
        {"P2 distancia 190.2878", "P2 direccao 10", "linha 16", "segunda direccao a P2"},
        {"P1 zenital   95.9015", "P1 distancia 5", "linha 12", "sem o angulo zenital"},
        {"P2 distancia 190.2878", "P2 distancia 190,2878", "linha 16", "virgula"},
        {"P2 distancia 190.2878", "P2 distancia", "linha 16", "falta"},
        {"P2 distancia 190.2878", "P2 distancia 190.2 1 2", "linha 16", "valor a mais"},
        {"P2 distancia 190.2878", "P2 lonjura 190.2", "linha 16", "desconhecido"},
        {"P1 alvo      1.572", "P1 alvo 1.5\nP1 alvo 1.6", "linha 15", "segunda altura"},
        {"P1 alvo      1.572", "", "linha 12", "falta a altura do alvo"},
        {"estacao E1 1.600", "estacao E1", "linha 12", "altura do instrumento"},
        {"estacao E1 1.600", "", "linha 6", "falta a linha \"estacao"},
        {"P1   1000.000", "P2   1000.000", "linha 8", "duas vezes"},
        {"estacao-livre gd", "estacao-livre GD", "linha 1", "unidade"},
        {"estacao E1 1.600", "estacao E1 1.600\nescala 0,9996", "linha 3", "virgula"},
        {"P1 zenital   95.9015", "P1 zenital 200", "linha 13", "entre 0 e 180"},
    };
    for (const Fault& f : faults) {
        expectRefused(textForm, f, "est.txt");
    }
}

TEST(StationInput, BadJsonNamesTheLine) {
    const Fault faults[] = {
        {"\"value\": 190.2878", "\"value\": 0", "linha 11", "maior do que 0"},
        {"\"sigma\": 2}", "\"sigma\": 0}", "linha 10", "desvio padrao"},
        {"\"to\": \"P2\", \"value\": 190.2878", "\"to\": \"P9\", \"value\": 190.2878", "linha 11",
         "P9 nao tem coordenadas"},
        {"\"kind\": \"zenith\"", "\"kind\": \"azimuth\"", "linha 9", "\"kind\""},
        {"\"kind\": \"zenith\"", "\"kind\": \"horizontal_distance\"", "linha 8",
         "sem o angulo zenital"},
        {"\"value\": 95.9015", "\"value\": 95.9015, \"value\": 1", "linha 9", "duas vezes"},
        {"\"arcsec\"", "\"mgon\"", "linha 2", "sigma_units"},
        {", \"target_height\": 1.572}", "}", "linha 8", "target_height"},
        {"\"angle_unit\": \"deg\"", "\"angle_unit\": \"grad\"", "linha 2", "angle_unit"},
    };
    for (const Fault& f : faults) {
        expectRefused(jsonForm, f, "est.json");
    }
}

TEST(StationInput, TheJsonReaderIsStrictAndBounded) {
    struct Case {
        std::string text;
        const char* words; // "" where the text is read
    };
    const std::vector<Case> cases = {
        {"\xef\xbb\xbf{\"a\": [1, -0.5e-3, true, false, null, \"\\u00e7\\ud83d\\ude00\"]}", ""},
        {"{\"a\": \"\xc3\xa7\xf0\x9f\x98\x80\"}", ""},
        {"1e-400", ""},
        {"", "vazio"},
        {"{\"a\": 1,}", "nome de um membro"},
        {"[1, 2,]", "valor JSON"},
        {"[01]", "zero a esquerda"},
        {"[1.]", "depois do ponto"},
        {"[.5]", "valor JSON"},
        {"[NaN]", "valor JSON"},
        {"[1e999]", "fora dos limites"},
        {"{'a': 1}", "nome de um membro"},
        {"{\"a\": 1} x", "texto a mais"},
        {"[\"a\nb\"]", "caracter de controlo"},
        {"[\"\xc0\xaf\"]", "UTF-8"},
        {"[\"\xed\xa0\x80\"]", "UTF-8"},
        {"[\"\\ud800\"]", "substituto"},
        {"[\"\\x\"]", "escape desconhecido"},
        {"[\"abc", "aspas de fecho"},
        {"{\"a\": 1, \"a\": 2}", "duas vezes"},
        {std::string(65, '[') + std::string(65, ']'), "niveis"},
        {std::string(100000, '['), "niveis"},
        {"[\n\n  tru]", "linha 3"},
    };
    for (const Case& c : cases) {
        const std::string message = refusal([&c]() { parseJson(c.text, "x.json"); });
        SCOPED_TRACE(c.text.substr(0, 40));
        if (*c.words == '\0') {
            EXPECT_EQ(message, "");
        } else {
            EXPECT_NE(message.find("Erro no ficheiro x.json, linha "), std::string::npos);
            EXPECT_NE(message.find(c.words), std::string::npos) << message;
        }
    }
    // 64 levels are taken; the size bound holds before anything is parsed.
    EXPECT_EQ(refusal([]() { parseJson(std::string(64, '[') + std::string(64, ']'), "x"); }), "");
    EXPECT_NE(refusal([]() { parseJson(std::string(maxJsonSize + 1, ' '), "x"); }).find("MB"),
              std::string::npos);
    const JsonValue v = parseJson("{\"a\": [1, 2.5], \"b\": \"\\u00e7\"}", "x");
    EXPECT_EQ(v.find("a")->items()[1].number(), 2.5);
    EXPECT_EQ(v.find("b")->text(), "\xc3\xa7");
    EXPECT_EQ(v.find("c"), nullptr);
}

// The program given a free station in either form: the message that it
// takes directions only and names the companion, status 1, no report.
TEST(StationInput, TheProgramRefusesAFreeStation) {
    for (const std::string& text : {std::string(textForm), std::string(jsonForm),
                                    std::string("\xef\xbb\xbf\n  ESTACAO-LIVRE gd\n")}) {
        const testing::RunResult r = testing::runInProcess({{"in", text}}, "in\nout\nS\n");
        EXPECT_EQ(r.status, exitBadInput);
        EXPECT_NE(r.console.find("o resection so calcula com leituras azimutais"),
                  std::string::npos)
            << r.console;
        EXPECT_NE(r.console.find("Analise-o com resection-analise in."), std::string::npos);
        EXPECT_EQ(r.files.count("out"), 0u);
    }
}

} // namespace
} // namespace resection
