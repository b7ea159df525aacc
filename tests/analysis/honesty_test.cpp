// The analysis tells the truth where it is hardest: four points (an error
// can be detected but not placed), an adjustment of all readings that stops
// or runs away, precisions and readings beyond the range of the arithmetic,
// and outputs named twice. Whole runs over files in memory.
#include "console/files.hpp"
#include "runs/analysis_run.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <sstream>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);

struct Outcome {
    int status = 0;
    std::string console;
    std::map<std::string, std::string> files;
};

Outcome analyse(const std::string& input, std::vector<std::string> args = {"in"}) {
    MemoryFileSystem memory;
    memory.files["in"] = input;
    std::ostringstream out;
    const int status = runAnalysis(args, out, out, memory);
    return {status, out.str(), memory.files};
}

std::string lineStarting(const std::string& console, const std::string& start) {
    const auto at = console.find("\r\n" + start);
    return at == std::string::npos ? ""
                                   : console.substr(at + 2, console.find("\r\n", at + 2) - at - 2);
}

// Nothing the arithmetic could not finish, and no field too narrow (after
// the banner of asterisks).
void expectPlainFigures(const std::string& console) {
    const std::string text = console.substr(console.find("Ficheiro de input"));
    for (const char* bad : {"inf", "Inf", "nan", "NaN", "**"}) {
        EXPECT_EQ(text.find(bad), std::string::npos) << bad << " in\n" << text;
    }
}

// Four points around a station at (5000, 5000), one in each quarter, 300 m
// to 2 km away; readings in degrees with a noise of 1", reading 'wrong' off
// by 'error' degrees; the file states the a priori precision 'stated'.
std::string fourPoints(std::uint64_t seed, int wrong, double error, double stated) {
    std::mt19937_64 engine(seed);
    const auto uniform = [&engine] { return static_cast<double>(engine() >> 11) * 0x1.0p-53; };
    const auto normal = [&uniform] {
        return std::sqrt(-2.0 * std::log(1.0 - uniform())) * std::cos(2.0 * pi * uniform());
    };
    char line[160];
    std::snprintf(line, sizeof line, "gd 0.0001 %g\nEST\n4\n", stated);
    std::string text = line;
    const double orientation = 360.0 * uniform();
    for (int i = 1; i <= 4; ++i) {
        const double bearing = (90.0 * i + 60.0 * (uniform() - 0.5)) * pi / 180.0;
        const double d = 300.0 + 1700.0 * uniform();
        double reading = bearing * 180.0 / pi - orientation + normal() / 3600.0;
        reading += i == wrong ? error : 0.0;
        std::snprintf(line, sizeof line, "Q%d %.4f %.4f %.10f\n", i, 5000.0 + d * std::sin(bearing),
                      5000.0 + d * std::cos(bearing), std::fmod(reading + 3600.0, 360.0));
        text += line;
    }
    return text;
}

// Every "M = x m, P = y m" of a text, with the line it is on.
std::vector<std::tuple<double, double, std::string>> stations(const std::string& text) {
    std::vector<std::tuple<double, double, std::string>> found;
    for (std::size_t at = text.find("M = "); at != std::string::npos;
         at = text.find("M = ", at + 1)) {
        double m = 0.0, p = 0.0;
        if (std::sscanf(text.c_str() + at, "M = %lf m, P = %lf m", &m, &p) == 2) {
            const std::size_t begin = text.rfind('\n', at) + 1;
            found.emplace_back(m, p, text.substr(begin, text.find('\r', at) - begin));
        }
    }
    return found;
}

// Four points, clean and with one reading off by 1' to 180 degrees, or the
// a priori precision too optimistic: the closing line never names one
// reading; the station of the summary, where there is one, is the true one
// within centimetres; the station without the wrong reading is the true one;
// nothing far away is printed.
TEST(FourPoints, NeverOneNameNeverAStationFarAway) {
    struct Row {
        std::uint64_t seed;
        int wrong;
        double error;  // degrees
        double stated; // seconds
        bool gross;    // the summary must give no station
    };
    const Row rows[] = {
        {1, 0, 0.0, 1.0, false},      {2, 0, 0.0, 1.0, false},  {3, 2, 1.0 / 60, 1.0, true},
        {4, 1, 10.0 / 60, 1.0, true}, {5, 4, 1.0, 1.0, true},   {6, 3, -20.0, 1.0, true},
        {7, 2, 90.0, 1.0, true},      {8, 1, 180.0, 1.0, true}, {9, 4, -45.0, 1.0, true},
        {10, 0, 0.0, 0.5, false},     {11, 0, 0.0, 0.6, false}, {12, 3, 3.0 / 3600, 1.0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "seed " << row.seed << ", Q" << row.wrong << " off "
                                          << row.error << " deg, a priori " << row.stated << "\"");
        const Outcome r = analyse(fourPoints(row.seed, row.wrong, row.error, row.stated),
                                  {"in", "--json", "out.json"});
        ASSERT_EQ(r.status, 0) << r.console;
        expectPlainFigures(r.console);
        const std::string closing = lineStarting(r.console, "Leitura suspeita: ");
        EXPECT_TRUE(
            closing.rfind("Leitura suspeita: nao identificavel entre Q1, Q2, Q3 e Q4", 0) == 0 ||
            (closing.empty() && !lineStarting(r.console, "Nenhuma leitura suspeita").empty()))
            << r.console;
        const std::string summary = lineStarting(r.console, "  Estacao EST");
        const std::string& json = r.files.at("out.json");
        if (row.gross) {
            EXPECT_NE(summary.find("nao determinada"), std::string::npos) << r.console;
            EXPECT_NE(json.find("\"basis\":\"none\""), std::string::npos);
        } else {
            double m = 0.0, p = 0.0;
            ASSERT_EQ(std::sscanf(summary.c_str(), "  Estacao EST: M = %lf m, P = %lf m", &m, &p),
                      2)
                << r.console;
            EXPECT_LT(std::hypot(m - 5000.0, p - 5000.0), 0.05) << summary;
            EXPECT_NE(json.find("\"basis\":\"all\""), std::string::npos);
        }
        for (const auto& [m, p, line] : stations(r.console)) {
            const double off = std::hypot(m - 5000.0, p - 5000.0);
            EXPECT_LT(off, 20000.0) << line;
            if (row.wrong > 0 && line.find("sem Q" + std::to_string(row.wrong) + ":") == 4) {
                EXPECT_LT(off, 0.05) << line;
            }
        }
    }
}

// Three points: no test at all, said so, and "notApplicable" in the JSON.
TEST(FourPoints, ThreePointsHaveNoTest) {
    std::string text = fourPoints(21, 0, 0.0, 1.0);
    text.replace(text.find("\n4\n"), 3, "\n3\n");
    text.erase(text.find("Q4"));
    const Outcome r = analyse(text, {"in", "--json", "out.json"});
    EXPECT_NE(r.console.find("Teste global: nao aplicavel"), std::string::npos) << r.console;
    EXPECT_FALSE(
        lineStarting(r.console, "Nenhuma leitura pode ser testada (redundancia 0)").empty());
    EXPECT_NE(r.files.at("out.json").find("\"test\":\"notApplicable\""), std::string::npos);
}

// Five points and one reading 10 gon off, where the program's adjustment of
// all readings stops: the analysis stands on the station without it, and
// every figure after the verdict comes from there.
TEST(Runaway, FiguresComeFromTheStationWithoutTheSuspect) {
    const std::string input = "gr 0.001 1\nEST\n5\n"
                              "Q1 3391.2766 4916.9099 47.55459152\n"
                              "Q2 4927.2688 5137.0009 119.76914152\n"
                              "Q3 5405.5811 3151.5959 347.08799027\n"
                              "Q4 5647.0902 5750.8752 196.12117354\n"
                              "Q5 6132.8829 5024.3987 249.46841026\n";
    const Outcome r = analyse(input, {"in", "esboco.svg", "--json", "out.json"});
    ASSERT_EQ(r.status, 0);
    expectPlainFigures(r.console);
    EXPECT_NE(r.console.find("parou: Processo nao convergente"), std::string::npos) << r.console;
    EXPECT_FALSE(lineStarting(r.console, "Leitura suspeita: Q3, erro estimado 999").empty());
    for (const auto& [m, p, line] : stations(r.console)) {
        EXPECT_LT(std::hypot(m - 5000.0, p - 5000.0), 0.05) << line;
    }
    EXPECT_NE(r.console.find("Estacao sem a leitura Q3 (a analise assenta nela):"),
              std::string::npos);
    // The geometry of that station: a few per cent of the radius, G about 1.
    double percent = 0.0, g = 0.0;
    std::sscanf(lineStarting(r.console, "  Distancia da estacao").c_str(),
                "  Distancia da estacao a essa circunferencia: %*f m (%lf", &percent);
    std::sscanf(lineStarting(r.console, "  Figura de robustez G = ").c_str(),
                "  Figura de robustez G = %lf", &g);
    EXPECT_TRUE(percent > 1.0 && percent < 20.0) << percent;
    EXPECT_TRUE(g > 0.3 && g < 3.0) << g;
    const std::string& svg = r.files.at("esboco.svg");
    EXPECT_NE(svg.find("Estacao EST (sem a leitura Q3): M = 5000.0"), std::string::npos);
    const std::string& json = r.files.at("out.json");
    EXPECT_NE(json.find("\"basis\":\"without\",\"without\":\"Q3\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"station\":{\"m\":5000.0"), std::string::npos) << json;
}

// What the test cannot see: Q3, 49 m from the station, has a redundancy of
// 0.003, and its reading 1' off passes every test. The analysis says so
// (weakly controlled, in the summary and the table, dashed in the sketch),
// and the detectable bias it prints exceeds the error, whose shift of the
// station (36 mm) stays within the external reliability it prints.
TEST(Reliability, WhatTheTestCannotSee) {
    const std::string input = "gd 0.001 1\nEST\n6\n"
                              "Q1 5661.4168 3635.9462 6.59984727\n"
                              "Q2 5947.6843 4456.9225 332.28354618\n"
                              "Q3 5041.6122 4892.6388 11.29947483\n"
                              "Q4 5571.5547 4828.8244 319.14117831\n"
                              "Q5 4180.2201 3963.9372 70.82084848\n"
                              "Q6 4827.5628 4126.4876 43.63583362\n";
    const Outcome r = analyse(input, {"in", "esboco.svg"});
    EXPECT_FALSE(lineStarting(r.console, "Nenhuma leitura suspeita").empty()) << r.console;
    EXPECT_FALSE(lineStarting(r.console, "  Controlo fraco (redundancia abaixo de 0.1): um erro "
                                         "em Q3 pode passar despercebido.")
                     .empty());
    const std::string row = lineStarting(r.console, "  Q3 ");
    double redundancy = 0.0, bias = 0.0, shift = 0.0;
    ASSERT_EQ(std::sscanf(row.c_str(), "  Q3 %*f\" %lf %*f %*f\" %lf\" %lf m fraco", &redundancy,
                          &bias, &shift),
              3)
        << row;
    EXPECT_NEAR(redundancy, 0.003, 0.0015);
    EXPECT_GT(bias, 60.0);
    double m = 0.0, p = 0.0;
    std::sscanf(lineStarting(r.console, "  Estacao EST: ").c_str(),
                "  Estacao EST: M = %lf m, P = %lf", &m, &p);
    const double moved = std::hypot(m - 5000.0, p - 5000.0);
    EXPECT_TRUE(moved > 0.02 && moved < shift) << moved << " " << shift;
    EXPECT_NE(r.files.at("esboco.svg").find("controlo fraco (redundancia abaixo de 0.1): Q3"),
              std::string::npos);
}

// Inputs a mutation of the example makes: the analysis says what it can,
// with no figure the arithmetic could not finish, and no column run into
// the next.
TEST(Hostile, NoInfNanOrAsterisks) {
    const std::string example = "gd 0.001 0.6\nEST1\n4\n"
                                "P1 43626.673 276557.347 268.71506\n"
                                "P2 42211.532 274411.871 323.41615\n"
                                "P3 41602.264 272166.734 62.62982\n"
                                "P4 41621.891 274804.785 185.72903\n"
                                "2 1.703\n"
                                "V1 43626.673 276557.347 372.404 86.128319 2.000\n"
                                "Z02 41755.750 274145.562 202.412 88.455148 1.500\n";
    const auto with = [&example](const std::string& from, const std::string& to) {
        std::string text = example;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    struct Row {
        const char* what;
        std::string input;
        const char* said; // a line that must be there
    };
    const Row rows[] = {
        {"precision 0,6", with("0.6", "0,6"),
         "  Teste global: nao ha: a precisao a priori (0.00\")"},
        {"precision 1e308", with("0.6", "1e308"),
         "Precisao a priori de uma leitura: fora do alcance"},
        {"precision -1e308", with("0.6", "-1e308"), "Nenhuma leitura pode ser testada"},
        {"precision 1e-320", with("0.6", "1e-320"), "Nenhuma leitura pode ser testada"},
        {"reading 1e308", with("62.62982", "1e308"), "Leitura suspeita: nao identificavel"},
        {"reading -1e308", with("268.71506", "-1e308"), "Leitura suspeita: nao identificavel"},
        {"zenith 1e308", with("86.128319", "1e308"),
         "A cota nao e calculada: a leitura zenital V1"},
        {"coordinate 1e308", with("41621.891", "1e308"), "Leitura suspeita"},
        {"P3 20 degrees off", with("62.62982", "82.62982"), "  Estacao EST1: nao determinada"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Outcome r = analyse(row.input, {"in", "esboco.svg", "--json", "out.json"});
        EXPECT_EQ(r.status, 0);
        expectPlainFigures(r.console);
        EXPECT_NE(r.console.find(row.said), std::string::npos) << r.console;
        for (const char* bad : {"inf", "nan", "Infinity", "NaN"}) {
            EXPECT_EQ(r.files.at("out.json").find(bad), std::string::npos) << bad;
            EXPECT_EQ(r.files.at("esboco.svg").find(std::string("\"") + bad), std::string::npos);
        }
    }
}

// Eight points, one reading 90 degrees off: the table's columns stay apart,
// each row holding its seven figures.
TEST(Hostile, TableColumnsStayApart) {
    std::string text = "gd 0.001 1\nEST\n8\n";
    for (int i = 0; i < 8; ++i) {
        const double bearing = (45.0 * i + 7.0 * (i % 3)) * pi / 180.0;
        const double d = 400.0 + 150.0 * i;
        char line[160];
        std::snprintf(line, sizeof line, "Q%d %.4f %.4f %.9f\n", i + 1,
                      5000.0 + d * std::sin(bearing), 5000.0 + d * std::cos(bearing),
                      std::fmod(bearing * 180.0 / pi + (i == 3 ? 90.0 : 0.0) + 360.0, 360.0));
        text += line;
    }
    const Outcome r = analyse(text);
    expectPlainFigures(r.console);
    EXPECT_FALSE(lineStarting(r.console, "Leitura suspeita: Q4, erro estimado 324000.0\"").empty())
        << r.console;
    for (int i = 1; i <= 8; ++i) {
        const std::string row = lineStarting(r.console, "  Q" + std::to_string(i) + " ");
        std::istringstream cells(row);
        std::vector<std::string> fields;
        for (std::string cell; cells >> cell;) {
            fields.push_back(cell);
        }
        // Name, residual, redundancy, w, error, detectable bias, shift, "m".
        ASSERT_GE(fields.size(), 8u) << row;
        for (std::size_t k = 1; k < 7; ++k) {
            EXPECT_EQ(std::count(fields[k].begin(), fields[k].end(), '.'), 1) << row;
        }
    }
}

// The JSON named as the sketch is refused as the input is: status 2,
// nothing written, and the reason.
TEST(Hostile, JsonNamedAsTheSketchIsRefused) {
    const Outcome r = analyse(fourPoints(1, 0, 0.0, 1.0), {"in", "sk.svg", "--json", "sk.svg"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.files.count("sk.svg"), 0u);
    EXPECT_NE(r.console.find("O ficheiro JSON \"sk.svg\" e o proprio ficheiro do esboco"),
              std::string::npos)
        << r.console;
}

// A file the reader refuses: its message on a line of its own, after the
// name of the input.
TEST(Hostile, RefusalOnItsOwnLine) {
    const Outcome r = analyse("{\"format\": 1}\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.console.find("Ficheiro de input: in\r\nErro no ficheiro in, linha 1"),
              std::string::npos)
        << r.console;
}

} // namespace
} // namespace resection
