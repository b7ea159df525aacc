// Inputs that once made the computation itself run for minutes, or end with
// a wrong cause or Inf in the report: whole runs of the real programs, each
// under a timeout so that a regression fails its test instead of hanging
// (4 minutes: the run that computes a second's worth of passes before it
// stops takes 50 s under the sanitizers).
// Each ends with the status and console text given, and the report with the
// text given.
#ifndef _WIN32
#include "support/run_harness.hpp"
#include "support/survey_input.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace resection::testing {
namespace {

namespace fs = std::filesystem;

// 1001 points, a tolerance of 1e-9 or 1e-10 m and one reading 90 or 5
// degrees off: every decision of the iteration lies within rounding of the
// tolerance.
std::string tinyTolerance(double tolerance, double grossDegrees) {
    std::mt19937_64 rng(17);
    MadeUpSurvey s;
    s.points = 1001;
    s.tolerance = tolerance;
    s.apriori = 1.5;
    s.noiseSeconds = 1.0;
    s.zenithCount = 10;
    s.grossDirection = 500;
    s.grossSeconds = grossDegrees * 3600.0;
    return surveyInput(rng, s);
}

// 1001 points on a circle of 1000 m, the station 80.5 m inside it, one
// reading 5 degrees off, and a tolerance of 1e-10 m: the iteration takes ten
// solutions, the last within rounding of the tolerance, so that a pass not
// computed could reach the largest number of solutions.
std::string unresolvedTolerance() {
    std::mt19937_64 rng(4);
    MadeUpSurvey s;
    s.onCircle = true;
    s.insideCircle = 80.5;
    s.points = 1001;
    s.tolerance = 1e-10;
    s.apriori = 1.5;
    s.zenithCount = 5;
    s.grossDirection = 2;
    s.grossSeconds = 5.0 * 3600.0;
    return surveyInput(rng, s);
}

// 1001 points whose first three give no position, nor any other three.
std::string noTriple(const std::function<std::string(int)>& record) {
    std::string text = "gd 0.001 1.5\nEST1\n1001\n";
    for (int i = 1; i <= 1001; ++i) {
        text += 'P';
        text += std::to_string(i);
        text += ' ';
        text += record(i);
        text += '\n';
    }
    return text + "2 1.5\n";
}

std::string coordinates(int i) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f %.3f", 1000.0 + 37.0 * (i % 97),
                  2000.0 + 53.0 * (i % 89));
    return text;
}

// Four points around a station at (0, 0); the first zenith reading as given.
std::string heightInput(const char* precision, const char* firstZenith) {
    return std::string("gd 0.001 ") + precision +
           "\nEST1\n4\n"
           "P1 900.000 0.000 90.000000\nP2 0.000 900.000 0.000000\n"
           "P3 -900.000 0.000 270.000000\nP4 0.000 -900.000 180.000000\n"
           "4 1.500\n"
           "Z1 900.000 0.000 100.000 " +
           firstZenith +
           " 1.500\n"
           "Z2 0.000 900.000 110.000 89.363406 1.500\n"
           "Z3 -900.000 0.000 120.000 88.726970 1.500\n"
           "Z4 0.000 -900.000 130.000 88.090848 1.500\n";
}

const std::string noPosition = "Nao foi possivel calcular uma posicao aproximada da estacao: a "
                               "estacao esta alinhada com os pontos visados ou sobre a "
                               "circunferencia que os contem.";
const std::string diverged =
    "O processo iterativo da cota divergiu: verifique as leituras zenitais (a primeira da a "
    "cota inicial).";

struct HostileInput {
    const char* what;
    std::function<std::string()> input;
    bool analysis; // resection-analise instead of resection
    int status;
    std::string console; // a part of the console text (standard output)
    std::string report;  // a part of the report (resection only)
};

void PrintTo(const HostileInput& row, std::ostream* os) {
    *os << row.what;
}

class HostileInputRun : public ::testing::TestWithParam<HostileInput> {};

TEST_P(HostileInputRun, EndsPromptlyWithTheCauseNamed) {
    const HostileInput& row = GetParam();
    std::string pattern = (fs::temp_directory_path() / "resection-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    std::ofstream(dir / "in.txt", std::ios::binary) << row.input();
    std::ofstream(dir / "answers", std::ios::binary) << "in.txt\nout.txt\nS\n";
    const fs::path program = row.analysis
                                 ? fs::path(RESECTION_BINARY).parent_path() / "resection-analise"
                                 : fs::path(RESECTION_BINARY);
    const std::string command = "cd '" + dir.string() + "' && timeout -k 5 240 '" +
                                program.string() + "' " + (row.analysis ? "in.txt" : "") +
                                " < answers > console 2> errors";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, row.status);
    // The companion may say it on standard error.
    const std::string console =
        readFile((dir / "console").string()) + readFile((dir / "errors").string());
    EXPECT_NE(console.find(row.console), std::string::npos) << console;
    if (!row.report.empty()) {
        const std::string report = readFile((dir / "out.txt").string());
        EXPECT_NE(report.find(row.report), std::string::npos) << report;
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
}

INSTANTIATE_TEST_SUITE_P(
    Computation, HostileInputRun,
    ::testing::Values(
        // Computing every pass would take minutes: refused at once, with the
        // cost said.
        HostileInput{"TinyTolerance90Degrees", [] { return tinyTolerance(1e-9, 90.0); }, false, 1,
                     "passagens que faltam (cerca de ", "Precisao a priori dos angulos azimutais:"},
        HostileInput{"TinierTolerance5Degrees", [] { return tinyTolerance(1e-10, 5.0); }, false, 1,
                     "a tolerancia esta dentro do arredondamento",
                     "Precisao a priori dos angulos azimutais:"},
        HostileInput{"ToleranceWithinRounding", unresolvedTolerance, false, 1,
                     "Pesquisa da precisao interrompida: a tolerancia esta dentro do "
                     "arredondamento das correccoes (cerca de ",
                     "Precisao a priori dos angulos azimutais:"},
        // Seconds of sets of three points, none of which can give a position.
        HostileInput{"ReadingsAllZero",
                     [] { return noTriple([](int i) { return coordinates(i) + " 0"; }); }, false, 0,
                     noPosition, "EST1"},
        HostileInput{"ReadingsAllEqual",
                     [] { return noTriple([](int i) { return coordinates(i) + " 37.25"; }); },
                     false, 0, noPosition, "EST1"},
        HostileInput{"OnePointRepeated",
                     [] {
                         return noTriple(
                             [](int i) { return "1234.500 2345.500 " + std::to_string(0.3 * i); });
                     },
                     false, 0, noPosition, "EST1"},
        HostileInput{"OnePointRepeatedAnalysed",
                     [] {
                         return noTriple(
                             [](int i) { return "1234.500 2345.500 " + std::to_string(0.3 * i); });
                     },
                     true, 0, noPosition, ""},
        HostileInput{"ReadingsAllZeroAnalysed",
                     [] { return noTriple([](int i) { return coordinates(i) + " 0"; }); }, true, 0,
                     noPosition, ""},
        // A precision that overflows on its way to radians: asterisks, not Inf.
        HostileInput{"PrecisionOf1e308", [] { return heightInput("1e308", "88.7"); }, false, 0,
                     "Matriz singular!",
                     "Precisao a priori das leituras azimutais:***** segundos\r\n"},
        // The height iteration runs away; no sight is at zero distance.
        HostileInput{"FirstZenith60DegreesOff", [] { return heightInput("1.5", "150.0"); }, false,
                     1, diverged, "Redundancia (altimetria):   3"},
        HostileInput{"FirstZenithOf1e-300", [] { return heightInput("1.5", "1e-300"); }, false, 1,
                     diverged, "Redundancia (altimetria):   3"}),
    [](const auto& test) {
        std::string name = test.param.what;
        for (char& c : name) {
            c = c == '-' ? '_' : c;
        }
        return name;
    });

} // namespace
} // namespace resection::testing
#endif
