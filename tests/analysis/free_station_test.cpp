// The free station through the analysis, against figures computed apart
// from this program: the 60 networks of an independent adjustment engine and
// the worked examples of two textbooks (shared/freestation, found as the
// acceptance runs are: RESECTION_SHARED_DIR, else ../shared beside the
// checkout; skipped where absent). One test reads each file and checks every
// record; another writes each record in the text form and runs the analysis
// on both forms. Then the bad inputs as whole runs, and resection given a
// free station.
//
// Where the figures differ on purpose: the engine's standardised residuals
// divide by the a posteriori m0 and are judged against Student's t at 97.5 %;
// ours is Baarda's w-test, v / (sigma sqrt(r)) with the a priori sigma,
// against 3.29 (alpha 0.1 %). The engine's a priori standardised residual is
// exactly our w, and that is what is compared.
#include "analysis/station_analysis.hpp"
#include "base/constants.hpp"
#include "console/files.hpp"
#include "input/json.hpp"
#include "input/station_json.hpp"
#include "runs/analysis_run.hpp"
#include "support/run_harness.hpp"
#include "support/station_network.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

namespace resection {
namespace {

// A file of the shared folder, parsed; null where it is not there.
JsonValue sharedRecords(const std::string& name) {
    const char* env = std::getenv("RESECTION_SHARED_DIR");
    const std::string dir = env != nullptr && *env != '\0' ? env : RESECTION_SHARED_FOR_TESTS;
    std::ifstream in(dir + "/freestation/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? parseJson(text.str(), name) : JsonValue{};
}

double number(const JsonValue& v, const char* key) {
    const JsonValue* x = v.find(key);
    return x != nullptr && x->isNumber() ? x->number() : NAN;
}

// Radians in the record's unit: degrees or gon; seconds or mgon.
double angleUnit(AngleUnit unit, double radians) {
    return unit == AngleUnit::Grads ? radians * 200.0 / pi : radians * 180.0 / pi;
}
double sigmaUnit(AngleUnit unit, double radians) {
    return unit == AngleUnit::Grads ? radians * 200000.0 / pi : radians * 648000.0 / pi;
}

// Agreement to 4 significant digits.
void expectFourDigits(double ours, double theirs, const char* what) {
    EXPECT_NEAR(ours, theirs, 5e-5 * std::fabs(theirs) + 1e-12) << what;
}

// Agreement to 1 %.
void expectPerCent(double ours, double theirs, const char* what) {
    EXPECT_NEAR(ours, theirs, 0.01 * std::fabs(theirs)) << what;
}

// The figures of the adjustment of all observations, as the analysis gives
// them where it stands on it.
TEST(FreeStationReferences, TheSixtyNetworksAgreeWithTheIndependentEngine) {
    const JsonValue all = sharedRecords("cases.json");
    if (all.isNull()) {
        GTEST_SKIP() << "shared/freestation/cases.json not found (RESECTION_SHARED_DIR)";
    }
    ASSERT_EQ(all.find("cases")->items().size(), 60u);
    for (const JsonValue& record : all.find("cases")->items()) {
        SCOPED_TRACE(record.find("id")->text());
        const StationSurvey s = stationFromJson(record, "cases.json");
        const FreeStationAnalysis a = analyseFreeStation(s);
        ASSERT_TRUE(a.allSound);
        const FreeStation& f = a.all;
        const StationEstimate e = estimateOf(f, figuresOf(s, f), 1.0);
        const JsonValue& ref = *record.find("reference");
        const JsonValue& apriori = *ref.find("apriori");
        EXPECT_EQ(a.redundancy, static_cast<int>(number(ref, "dof")));
        EXPECT_FALSE(f.ambiguous);
        // The station within 0.1 mm; in fact to the rounding of the engine's
        // convergence.
        EXPECT_NEAR(e.m, number(ref, "M"), 1e-6);
        EXPECT_NEAR(e.p, number(ref, "P"), 1e-6);
        if (e.hasHeight) {
            EXPECT_NEAR(e.h, number(ref, "H"), 1e-6);
            expectFourDigits(e.heightPosteriori, number(ref, "sigma_H"), "sigma_H");
        }
        if (e.oriented) {
            // The orientation to a thousandth of its own standard deviation.
            const double sigma = number(apriori, "orientation_sigma");
            double diff = angleUnit(s.unit, e.orientation) - number(ref, "orientation");
            diff = std::remainder(diff, s.unit == AngleUnit::Grads ? 400.0 : 360.0);
            EXPECT_NEAR(diff * (s.unit == AngleUnit::Grads ? 1000.0 : 3600.0), 0.0, 1e-3 * sigma);
            expectFourDigits(sigmaUnit(s.unit, e.orientationPosteriori),
                             number(ref, "orientation_sigma"), "orientation_sigma");
            expectFourDigits(sigmaUnit(s.unit, e.orientationPriori), sigma,
                             "a priori orientation_sigma");
        }
        expectFourDigits(a.test.posterioriSigma, number(ref, "sigma0"), "sigma0");
        expectFourDigits(a.test.quadraticForm, number(ref, "pvv"), "pvv");
        expectFourDigits(std::sqrt(e.prioriMM), number(apriori, "sigma_M"), "a priori sigma_M");
        expectFourDigits(std::sqrt(e.prioriPP), number(apriori, "sigma_P"), "a priori sigma_P");

        // The ellipses to 1 %: a posteriori and a priori, standard and 95 %.
        const JsonValue& el = *ref.find("ellipse");
        const JsonValue& ea = *apriori.find("ellipse");
        expectPerCent(e.posteriori.major, number(el, "a"), "a");
        expectPerCent(e.posteriori.minor, number(el, "b"), "b");
        expectPerCent(e.priori.major, number(ea, "a"), "a priori a");
        expectPerCent(e.priori.minor, number(ea, "b"), "a priori b");
        const JsonValue& c95 = *ref.find("confidence_ellipse");
        expectPerCent(scaled(e.posteriori, posteriori95Factor(e.redundancy)).major,
                      number(c95, "a"), "95 % a");
        expectPerCent(scaled(e.priori, confidence95Factor()).minor,
                      number(*apriori.find("confidence_ellipse"), "b"), "a priori 95 % b");
        if ((number(el, "a") - number(el, "b")) / number(el, "a") > 1e-3) {
            const double half = s.unit == AngleUnit::Grads ? 200.0 : 180.0;
            const double diff = std::remainder(
                angleUnit(s.unit, e.posteriori.bearing) - number(el, "bearing"), half);
            EXPECT_NEAR(diff, 0.0, 0.01 * half / pi);
        }

        // Each observation: the residual, the redundancy number to 4 digits,
        // and w = the engine's a priori standardised residual (3 decimals).
        const auto& observations = ref.find("observations")->items();
        ASSERT_EQ(observations.size(), a.tests.size());
        for (std::size_t i = 0; i < a.tests.size(); ++i) {
            SCOPED_TRACE("observation " + std::to_string(i));
            const ReadingTest& t = a.tests[i];
            const JsonValue& o = observations[i];
            const double v =
                isDistance(s.observations[i].kind) ? t.residual : sigmaUnit(s.unit, t.residual);
            EXPECT_NEAR(v, number(o, "residual"), 1e-4 * std::fabs(number(o, "residual")) + 1e-6);
            expectFourDigits(t.redundancy, number(o, "redundancy"), "redundancy");
            const JsonValue* w = o.find("std_residual_apriori");
            if (t.tested && w != nullptr && w->isNumber()) {
                EXPECT_NEAR(t.w, w->number(), 6e-4 + 1e-5 * std::fabs(w->number()));
            }
        }

        // The gross error named with its size, or listed among the
        // observations that cannot be told apart from it.
        const JsonValue& gross = *record.find("gross_error");
        if (gross.isNull()) {
            EXPECT_TRUE(a.test.accepted || a.suspect.kind != Suspect::Kind::Flagged);
            continue;
        }
        const int wrong = static_cast<int>(number(gross, "observation_index")) + 1;
        const Suspect& named = a.suspect;
        if (named.kind == Suspect::Kind::Flagged) {
            EXPECT_EQ(named.reading, wrong);
            const Observation& o = s.observations[static_cast<std::size_t>(wrong - 1)];
            const double size = number(gross, "size");
            const double estimate = isDistance(o.kind) ? a.without.discrepancy
                                                       : sigmaUnit(s.unit, a.without.discrepancy);
            const double sigma = isDistance(o.kind) ? o.sigma : sigmaUnit(s.unit, o.sigma);
            EXPECT_NEAR(estimate, size, 0.02 * std::fabs(size) + 5.0 * sigma);
        } else {
            ASSERT_TRUE(named.kind == Suspect::Kind::Tied ||
                        named.kind == Suspect::Kind::Unidentifiable)
                << static_cast<int>(named.kind);
            EXPECT_NE(std::find(named.sharing.begin(), named.sharing.end(), wrong),
                      named.sharing.end());
        }
    }
}

// Printed to a number of decimals: agreement to half a unit of the last one.
void expectPrinted(double ours, double printed, int decimals, const char* what) {
    EXPECT_LE(std::fabs(ours - printed), 0.5 * std::pow(10.0, -decimals) * (1.0 + 1e-9)) << what;
}

TEST(FreeStationReferences, ThePublishedExamplesGiveTheirPrintedStations) {
    const JsonValue all = sharedRecords("published.json");
    if (all.isNull()) {
        GTEST_SKIP() << "shared/freestation/published.json not found (RESECTION_SHARED_DIR)";
    }
    ASSERT_EQ(all.find("cases")->items().size(), 2u);
    for (const JsonValue& record : all.find("cases")->items()) {
        SCOPED_TRACE(record.find("id")->text());
        const FreeStationAnalysis a = analyseFreeStation(stationFromJson(record, "p.json"));
        ASSERT_EQ(a.basis, Basis::All);
        const StationEstimate& e = a.station;
        // Coordinates printed to 0.1 mm, standard deviations (a posteriori)
        // in cm to 0.01 mm; the position's is sqrt of the sum of the
        // variances of M, P (and H).
        const JsonValue& ref = *record.find("reference");
        expectPrinted(e.m, number(ref, "M"), 4, "M");
        expectPrinted(e.p, number(ref, "P"), 4, "P");
        const double sigmaM = e.posteriori.major == 0.0 ? 0.0 : std::sqrt(e.prioriMM);
        const double factor = a.test.posterioriSigma;
        expectPrinted(sigmaM * factor, number(ref, "sigma_M"), 5, "sigma_M");
        expectPrinted(std::sqrt(e.prioriPP) * factor, number(ref, "sigma_P"), 5, "sigma_P");
        double position = (e.prioriMM + e.prioriPP) * factor * factor;
        if (e.hasHeight) {
            expectPrinted(e.h, number(ref, "H"), 4, "H");
            expectPrinted(e.heightPosteriori, number(ref, "sigma_H"), 5, "sigma_H");
            position += e.heightPosteriori * e.heightPosteriori;
        }
        expectPrinted(std::sqrt(position), number(ref, "sigma_position"), 5, "sigma_position");
    }
}

// A record written in the text form, every value as the shortest decimal
// that reads back as the same number.
std::string textFormOf(const JsonValue& record) {
    std::string text;
    // Values each after a blank (appended, not concatenated: GCC 12 warns
    // of a string built from a literal and a temporary).
    const auto value = [&text](double x) {
        char figure[40];
        std::snprintf(figure, sizeof figure, " %.17g", x);
        text.append(figure);
    };
    const auto name = [&text](const std::string& n) { text.append(" '").append(n).append("'"); };
    const JsonValue& station = *record.find("station");
    text.append("estacao-livre ")
        .append(record.find("angle_unit")->text() == "gon" ? "gr" : "gd")
        .append("\nestacao");
    name(station.find("name")->text());
    if (station.find("instrument_height") != nullptr) {
        value(number(station, "instrument_height"));
    }
    text.append("\npontos\n");
    for (const JsonValue& p : record.find("points")->items()) {
        name(p.find("name")->text());
        value(number(p, "M"));
        value(number(p, "P"));
        if (p.find("H") != nullptr && p.find("H")->isNumber()) {
            value(number(p, "H"));
        }
        text.append("\n");
    }
    text.append("observacoes\n");
    std::map<std::string, double> targetHeight;
    const std::map<std::string, std::string> word = {{"direction", "direccao"},
                                                     {"horizontal_distance", "distancia"},
                                                     {"slope_distance", "inclinada"},
                                                     {"zenith", "zenital"}};
    for (const JsonValue& o : record.find("observations")->items()) {
        const std::string kind = o.find("kind")->text();
        const std::string to = o.find("to")->text();
        if (kind == "angle") {
            name(o.find("from")->text());
            text.append(" angulo");
            name(to);
        } else {
            name(to);
            text.append(" ").append(word.at(kind));
        }
        value(number(o, "value"));
        value(number(o, "sigma"));
        text.append("\n");
        if (o.find("target_height") != nullptr) {
            targetHeight[to] = number(o, "target_height");
        }
    }
    for (const auto& [to, height] : targetHeight) {
        name(to);
        text.append(" alvo");
        value(height);
        text.append("\n");
    }
    return text;
}

struct Companion {
    int status = 0;
    std::string console, errors;
    std::map<std::string, std::string> files;
};

Companion analyse(const std::map<std::string, std::string>& files,
                  const std::vector<std::string>& args) {
    MemoryFileSystem memory;
    memory.files = files;
    std::ostringstream out, errors;
    const int status = runAnalysis(args, out, errors, memory);
    return {status, out.str(), errors.str(), memory.files};
}

// The whole output without the line that names the input file.
std::string withoutInputName(const std::string& text, const std::string& name) {
    std::string out = text;
    for (const std::string& line :
         {"Ficheiro de input: " + name + "\r\n", "\"input\":\"" + name + "\","}) {
        const auto at = out.find(line);
        if (at != std::string::npos) {
            out.erase(at, line.size());
        }
    }
    return out;
}

// A parsed JSON value written again as JSON text (numbers as the shortest
// decimal that reads back the same).
std::string jsonTextOf(const JsonValue& v) {
    switch (v.type()) {
    case JsonValue::Type::Null:
        return "null";
    case JsonValue::Type::Boolean:
        return v.boolean() ? "true" : "false";
    case JsonValue::Type::Number: {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", v.number());
        return text;
    }
    case JsonValue::Type::String:
        return "\"" + v.text() + "\""; // the shared files' texts need no escapes
    case JsonValue::Type::Array:
    case JsonValue::Type::Object: {
        const bool object = v.type() == JsonValue::Type::Object;
        std::string text = object ? "{" : "[";
        for (std::size_t i = 0; i < v.items().size(); ++i) {
            text += i > 0 ? ",\n" : "";
            if (object) {
                text += "\"" + v.keys()[i] + "\": ";
            }
            text += jsonTextOf(v.items()[i]);
        }
        return text + (object ? "}" : "]");
    }
    }
    return "null";
}

// The JSON output without what names the input: its file and the lines of
// the observations (a line of the text form is not a line of the JSON).
std::string comparableJson(const std::string& json, const std::string& name) {
    std::string out = withoutInputName(json, name);
    for (auto at = out.find("\"line\":"); at != std::string::npos; at = out.find("\"line\":")) {
        out.erase(at, out.find(',', at) + 1 - at);
    }
    return out;
}

// Every shared network and published example, in JSON and in the text form:
// the same text, sketch and JSON.
TEST(FreeStationForms, TheTextFormAndJsonGiveTheSameAnalysis) {
    int compared = 0;
    for (const char* file : {"cases.json", "published.json"}) {
        const JsonValue all = sharedRecords(file);
        if (all.isNull()) {
            continue;
        }
        for (const JsonValue& record : all.find("cases")->items()) {
            SCOPED_TRACE(record.find("id")->text());
            const std::vector<std::string> text = {"e.txt", "e.svg", "--json", "e.out"};
            const std::vector<std::string> json = {"e.json", "e.svg", "--json", "e.out"};
            const Companion byText = analyse({{"e.txt", textFormOf(record)}}, text);
            const Companion byJson = analyse({{"e.json", jsonTextOf(record)}}, json);
            ASSERT_EQ(byText.status, 0) << byText.errors;
            ASSERT_EQ(byJson.status, 0) << byJson.errors;
            EXPECT_EQ(withoutInputName(byText.console, "e.txt"),
                      withoutInputName(byJson.console, "e.json"));
            EXPECT_EQ(byText.files.at("e.svg"), byJson.files.at("e.svg"));
            EXPECT_EQ(comparableJson(byText.files.at("e.out"), "e.txt"),
                      comparableJson(byJson.files.at("e.out"), "e.json"));
            ++compared;
        }
    }
    if (compared == 0) {
        GTEST_SKIP() << "shared/freestation not found (RESECTION_SHARED_DIR)";
    }
}

// Hand-built stations as whole runs in the text form: the lines the
// analysis must hold (its closing line, its summary), and no number that is
// not one.
TEST(FreeStationRuns, HandBuiltStationsSayWhatTheyMust) {
    using K = ObservationKind;
    using Network = testing::StationNetwork;
    const double second = pi / 648000.0;
    struct Case {
        const char* what;
        std::function<void(Network&)> build;
        std::vector<std::string> lines; // each a part of the analysis
    };
    const auto ring = [](Network& n, int points, const std::function<void(int, int)>& observe) {
        for (int i = 0; i < points; ++i) {
            observe(i, n.point(i * 61.0, 200.0 + 40.0 * i, 90.0 + 8.0 * i));
        }
    };
    const std::vector<Case> cases = {
        {"clean directions and distances",
         [&](Network& n) {
             ring(n, 5, [&](int, int k) {
                 n.add(K::Direction, k, 1.0 * second);
                 n.add(K::HorizontalDistance, k, 0.002);
             });
         },
         {"  Teste global: aceite.", "Nenhuma observacao suspeita",
          "Proximo passo: Nada a fazer: as observacoes concordam com os seus desvios padrao."}},
        {"a distance 8 cm long",
         [&](Network& n) {
             ring(n, 6, [&](int i, int k) {
                 n.add(K::Direction, k, 1.0 * second);
                 n.add(K::HorizontalDistance, k, 0.002, i == 3 ? 0.08 : 0.0);
             });
         },
         {"Observacao suspeita: distancia horizontal a P4, erro estimado 80.0 mm",
          "Proximo passo: Repita a distancia horizontal a P4."}},
        {"a zenith angle 30\" off",
         [&](Network& n) {
             ring(n, 6, [&](int i, int k) {
                 n.add(K::Direction, k, 1.0 * second);
                 n.add(K::SlopeDistance, k, 0.002);
                 n.add(K::Zenith, k, 1.0 * second, i == 3 ? 30.0 * second : 0.0);
             });
         },
         {"Observacao suspeita: angulo zenital a P4, erro estimado 30.0\"", "  C(E) ="}},
        {"a direction 2 degrees off",
         [&](Network& n) {
             ring(n, 6, [&](int i, int k) {
                 n.add(K::Direction, k, 1.0 * second, i == 2 ? 7200.0 * second : 0.0);
                 n.add(K::HorizontalDistance, k, 0.002);
             });
         },
         {"Observacao suspeita: direccao a P3, erro estimado 7200.0\" (2.00000 graus)"}},
        {"two points, distances only: two stations",
         [&](Network& n) {
             n.add(K::HorizontalDistance, n.point(30.0, 330.0), 0.003);
             n.add(K::HorizontalDistance, n.point(100.0, 400.0), 0.003);
         },
         {"Sem redundancia: a estacao segue das observacoes", "admitem por igual outra estacao",
          "Nenhuma observacao pode ser testada (redundancia 0)"}},
        {"one point, a direction and a distance",
         [&](Network& n) {
             const int k = n.point(30.0, 330.0);
             n.add(K::Direction, k, 1.0 * second);
             n.add(K::HorizontalDistance, k, 0.003);
         },
         {"Incognitas: M, P e orientacao do circulo (3), mais do que as observacoes",
          "Estacao: nao determinada.", "Proximo passo: Meca mais observacoes"}},
        {"three distances, one 5 cm long: redundancy 1",
         [&](Network& n) {
             for (int i = 0; i < 3; ++i) {
                 n.add(K::HorizontalDistance, n.point(120.0 * i, 500.0), 0.002,
                       i == 1 ? 0.05 : 0.0);
             }
         },
         {"Com redundancia 1 os testes w de todas as observacoes controladas",
          "Observacao suspeita: nao identificavel entre"}},
        {"the scale estimated",
         [&](Network& n) {
             n.scale = 0.9996;
             n.s.options.estimateScale = true;
             ring(n, 5, [&](int, int k) {
                 n.add(K::Direction, k, 1.0 * second);
                 n.add(K::HorizontalDistance, k, 0.002);
             });
         },
         {"Incognitas: M, P, orientacao do circulo e escala",
          "  Escala das distancias: 0.99960000 (-400.0 ppm)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Network n;
        c.build(n);
        const Companion r = analyse({{"e.txt", testing::stationText(n.s)}}, {"e.txt", "e.svg"});
        EXPECT_EQ(r.status, 0) << r.errors;
        for (const std::string& line : c.lines) {
            EXPECT_NE(r.console.find(line), std::string::npos) << line << "\n" << r.console;
        }
        for (const char* bad : {"nan", "inf", "NaN", "Inf", "***** m"}) {
            EXPECT_EQ(r.console.find(bad), std::string::npos) << bad;
        }
        EXPECT_EQ(r.files.count("e.svg"), 1u);
    }
}

} // namespace
} // namespace resection
