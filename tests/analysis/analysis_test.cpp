// The analysis program: the reading it names for a known error, the station
// of the direction model against the program's own adjustment, the error
// ellipse and the geometry against hand values, and whole runs.
#include "analysis/analysis.hpp"
#include "analysis/analysis_json.hpp"
#include "analysis/sketch.hpp"
#include "console/files.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "runs/analysis_run.hpp"
#include "support/run_harness.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);

struct Companion {
    int status;
    std::string console;
    std::map<std::string, std::string> files;
    std::string errors; // standard error
};

Companion analyse(std::map<std::string, std::string> files, std::vector<std::string> args) {
    MemoryFileSystem memory;
    memory.files = std::move(files);
    std::ostringstream out;
    std::ostringstream errors;
    const int status = runAnalysis(args, out, errors, memory);
    return {status, out.str(), memory.files, errors.str()};
}

// The line of the console that begins with 'start' ("" when there is none).
std::string lineStarting(const std::string& console, const std::string& start) {
    const auto at = console.find("\r\n" + start);
    return at == std::string::npos ? ""
                                   : console.substr(at + 2, console.find("\r\n", at + 2) - at - 2);
}

// N points around a station at (1000, 2000), at distances between 0.6 and 1
// times 'reach' metres and in all directions, with exact readings in degrees
// (orientation 37.123 degrees) except reading 'wrong', which is off by 'error'
// degrees. With 'zenith' the wrong reading is the zenith reading of point
// 'wrong' in an altimetric section (the station's mark at 100 m, points 20 m
// above and 15 m below it by turns).
std::string madeUp(int n, double reach, int wrong, double error, bool zenith = false) {
    std::string text = "gd 0.0001 1\nEST\n" + std::to_string(n) + "\n";
    std::string heights = std::to_string(n) + " 1.5\n";
    for (int i = 0; i < n; ++i) {
        const double bearing = (i * 360.0 / n + 17.0 * (i % 3)) * pi / 180.0;
        const double d = reach * (0.6 + 0.1 * ((i * 7) % 5));
        const double m = 1000.0 + d * std::sin(bearing);
        const double p = 2000.0 + d * std::cos(bearing);
        double reading = bearing * 180.0 / pi - 37.123 + (i + 1 == wrong && !zenith ? error : 0.0);
        reading = std::fmod(reading + 720.0, 360.0);
        char line[160];
        std::snprintf(line, sizeof line, "Q%d %.4f %.4f %.12f\n", i + 1, m, p, reading);
        text += line;
        const double h = 100.0 + (i % 2 == 0 ? 20.0 : -15.0);
        double z = std::atan2(d, (h + 1.2) - 100.0 - 1.5) * 180.0 / pi;
        z += i + 1 == wrong && zenith ? error : 0.0;
        std::snprintf(line, sizeof line, "Z%d %.4f %.4f %.4f %.12f 1.2\n", i + 1, m, p, h, z);
        heights += line;
    }
    return zenith ? text + heights : text;
}

// One reading wrong by 1' to 10 degrees, near and far: from five points on
// the w-tests name it, and the reading compared with the station adjusted
// without it gives its error within 1 %. With four points (one redundancy)
// every |w| is the same: the program says the error is there but not where.
TEST(Analysis, NamesTheWrongReading) {
    for (const double reach : {50.0, 20000.0}) {
        for (const int n : {4, 5, 8, 13}) {
            for (const double error : {1.0 / 60.0, 10.0, -3.0}) {
                for (const int wrong : {1, 3, n}) {
                    SCOPED_TRACE(::testing::Message() << "D=" << reach << " N=" << n
                                                      << " error=" << error << " in Q" << wrong);
                    const Companion r = analyse({{"in", madeUp(n, reach, wrong, error)}}, {"in"});
                    ASSERT_EQ(r.status, 0) << r.console;
                    const std::string verdict = lineStarting(r.console, "Leitura suspeita: ");
                    if (n == 4) {
                        EXPECT_EQ(verdict.rfind("Leitura suspeita: nao identificavel entre Q1, "
                                                "Q2, Q3 e Q4",
                                                0),
                                  0u)
                            << verdict;
                        EXPECT_NE(r.console.find("Com redundancia 1 os testes w de todas as "
                                                 "leituras tem o mesmo valor"),
                                  std::string::npos);
                        continue;
                    }
                    const std::string named = "Leitura suspeita: Q" + std::to_string(wrong) + ",";
                    ASSERT_EQ(verdict.rfind(named, 0), 0u) << verdict;
                    double seconds = 0.0;
                    ASSERT_EQ(std::sscanf(verdict.c_str() + verdict.find("estimado ") + 9, "%lf",
                                          &seconds),
                              1);
                    EXPECT_NEAR(seconds, error * 3600.0, 0.01 * std::fabs(error * 3600.0));
                }
            }
        }
    }
}

TEST(Analysis, NamesTheWrongZenithReading) {
    for (const double error : {1.0 / 60.0, 2.0, -5.0}) {
        SCOPED_TRACE(error);
        const Companion r = analyse({{"in", madeUp(6, 800.0, 4, error, true)}}, {"in"});
        const std::string verdict = lineStarting(r.console, "Leitura zenital suspeita: ");
        ASSERT_EQ(verdict.rfind("Leitura zenital suspeita: Z4,", 0), 0u) << r.console;
        double seconds = 0.0;
        std::sscanf(verdict.c_str() + verdict.find("estimado ") + 9, "%lf", &seconds);
        EXPECT_NEAR(seconds, error * 3600.0, 0.01 * std::fabs(error * 3600.0));
    }
}

// The direction model with its orientation unknown and the program's
// adjustment of the correlated angles give one station, one v^T P v and one
// covariance of M and P (the program iterating to a micrometre here).
TEST(Analysis, DirectionModelIsTheAngleModel) {
    for (const auto& [n, wrong, error] :
         std::vector<std::tuple<int, int, double>>{{4, 2, 0.002}, {7, 5, 0.01}, {13, 1, 0.3}}) {
        SCOPED_TRACE(n);
        std::string text = madeUp(n, 1500.0, wrong, error);
        text.replace(3, 6, "1e-9  "); // the tolerance
        std::istringstream in(text);
        RecordReader reader(in, "in");
        RunContext ctx;
        ctx.input = &reader;
        readPlanimetricSection(ctx);
        const PlanimetricAnalysis a = analysePlanimetry(ctx);
        ASSERT_TRUE(a.directions.converged);
        EXPECT_GT(std::hypot(a.allM - 1000.0, a.allP - 2000.0), 1e-3); // not exact
        EXPECT_NEAR(a.directions.stationM, ctx.adjustedM, 1e-8);
        EXPECT_NEAR(a.directions.stationP, ctx.adjustedP, 1e-8);
        const double s2 = a.sigma * a.sigma;
        EXPECT_NEAR(a.directions.sumOfSquares / s2, a.test.quadraticForm,
                    1e-8 * a.test.quadraticForm);
        const Matrix& q = a.directions.unitCofactor;
        EXPECT_NEAR(s2 * q(1, 1), ctx.coordCofactor(1, 1), 1e-8 * ctx.coordCofactor(1, 1));
        EXPECT_NEAR(s2 * q(2, 2), ctx.coordCofactor(2, 2), 1e-8 * ctx.coordCofactor(2, 2));
        EXPECT_NEAR(s2 * q(1, 2), ctx.coordCofactor(1, 2), 1e-8 * ctx.coordCofactor(1, 1));
        // The redundancy numbers share out the redundancy.
        double sum = 0.0;
        for (const ReadingTest& t : a.directions.readings) {
            sum += t.redundancy;
        }
        EXPECT_NEAR(sum, n - 3, 1e-9);
    }
}

// Ellipses whose axes are known by hand: variances of M and P, covariance ->
// semi-axes and bearing of the major axis in degrees.
TEST(Analysis, ErrorEllipseByHand) {
    const double rows[][6] = {
        {1, 4, 0, 2, 1, 0},
        {4, 1, 0, 2, 1, 90},
        {3, 3, 1, 2, std::sqrt(2.0), 45},
        {3, 3, -1, 2, std::sqrt(2.0), 135},
        {2, 2, 0, std::sqrt(2.0), std::sqrt(2.0), 0},
        {7, 13, 3 * std::sqrt(3.0), 4, 2, 30}, // eigenvalues 16, 4; major axis at 30 degrees
    };
    for (const auto& r : rows) {
        const ErrorEllipse e = errorEllipse(r[0], r[1], r[2]);
        EXPECT_NEAR(e.major, r[3], 1e-12);
        EXPECT_NEAR(e.minor, r[4], 1e-12);
        EXPECT_NEAR(e.bearing * 180.0 / pi, r[5], 1e-10);
    }
    EXPECT_NEAR(confidence95Factor(), 2.4477, 5e-5);
    // A posteriori: F(2, r) has the distribution function 1 - (1 + 2x/r)^(-r/2),
    // so at x = factor^2 / 2 that is 0.95. By hand: F(2, 1) = (400 - 1) / 2,
    // factor sqrt(399); F(2, 2) = 20 - 1, factor sqrt(38) = 6.1644; towards
    // sqrt(-2 ln 0.05) = 2.4477 for a large redundancy.
    EXPECT_NEAR(posteriori95Factor(1), std::sqrt(399.0), 1e-12);
    EXPECT_NEAR(posteriori95Factor(2), std::sqrt(38.0), 1e-12);
    for (const int r : {1, 3, 7, 27, 1000}) {
        const double x = posteriori95Factor(r) * posteriori95Factor(r) / 2.0;
        EXPECT_NEAR(1.0 - std::pow(1.0 + 2.0 * x / r, -r / 2.0), 0.95, 1e-12) << r;
    }
    EXPECT_NEAR(posteriori95Factor(1000000), std::sqrt(-2.0 * std::log(0.05)), 1e-5);
}

// Names go into the JSON as valid UTF-8 whatever the file's bytes; numbers
// read back exactly, and what is not a number is null.
TEST(Analysis, JsonTextsAndNumbers) {
    EXPECT_EQ(jsonString("Esta\xc3\xa7\xc3\xa3o"), "\"Esta\xc3\xa7\xc3\xa3o\"");
    EXPECT_EQ(jsonString("Esta\xe7\xe3o"), "\"Esta\\u00e7\\u00e3o\"");
    EXPECT_EQ(jsonString("a\"\\\x1b\xc3"), "\"a\\\"\\\\\\u001b\\u00c3\"");
    EXPECT_EQ(jsonString("\xed\xa0\x80"), "\"\\u00ed\\u00a0\\u0080\""); // a surrogate
    EXPECT_EQ(jsonNumber(0.1), "0.1");
    EXPECT_EQ(jsonNumber(-1.7976931348623157e308), "-1.7976931348623157e+308");
    EXPECT_EQ(jsonNumber(std::nan("")), "null");
    EXPECT_EQ(jsonNumber(-HUGE_VAL), "null");
}

// Zenith readings exact without curvature to points all 2000 m away: with
// the term k d^2 in the equations the height comes out k d^2 = 0.2728 m
// lower, more than its a priori standard deviation, and the analysis warns.
TEST(Analysis, HeightWithCurvatureByHand) {
    std::string text = madeUp(6, 800.0, 0, 0.0);
    text += "4 1.5\n";
    for (const double a : {20.0, 110.0, 200.0, 290.0}) {
        const double m = 1000.0 + 2000.0 * std::sin(a * pi / 180.0);
        const double p = 2000.0 + 2000.0 * std::cos(a * pi / 180.0);
        const double h = 100.0 + a / 10.0;
        char line[160];
        std::snprintf(line, sizeof line, "Z%.0f %.6f %.6f %.3f %.12f 1.2\n", a, m, p, h,
                      std::atan2(2000.0, (h + 1.2) - 100.0 - 1.5) * 180.0 / pi);
        text += line;
    }
    const Companion r = analyse({{"in", text}}, {"in"});
    EXPECT_FALSE(lineStarting(r.console, "  C(EST) = 100.000 m").empty()) << r.console;
    EXPECT_NE(r.console.find("C(EST) = 99.727 m, diferenca -0.2728 m"), std::string::npos)
        << r.console;
    EXPECT_NE(r.console.find("AVISO: a diferenca excede o desvio padrao a priori da cota"),
              std::string::npos);
}

// The circle through (0, 1), (1, 0), (0, -1) is the unit circle; three points
// in line have none, and the distance is then to their line. Points evenly
// around at one distance give G = 2 / sqrt(N).
TEST(Analysis, GeometryByHand) {
    const DangerCircle c = dangerCircle(0, 1, 1, 0, 0, -1, 0.5, 0);
    EXPECT_TRUE(c.exists);
    EXPECT_NEAR(c.centreM, 0.0, 1e-15);
    EXPECT_NEAR(c.centreP, 0.0, 1e-15);
    EXPECT_NEAR(c.radius, 1.0, 1e-15);
    EXPECT_NEAR(c.relative, 0.5, 1e-15);
    const DangerCircle line = dangerCircle(0, 0, 1, 0, 2, 0, 1, 3);
    EXPECT_FALSE(line.exists);
    EXPECT_NEAR(line.distance, 3.0, 1e-15);
    for (const int n : {4, 8}) {
        Matrix coords(n, 2), readings(n, 1);
        for (int i = 1; i <= n; ++i) {
            coords(i, 1) = 500.0 * std::sin(2 * pi * i / n);
            coords(i, 2) = 500.0 * std::cos(2 * pi * i / n);
            readings(i) = 2 * pi * i / n;
        }
        const DirectionAdjustment d = adjustDirections(coords, readings, 1e-5, 3.0, -2.0);
        ASSERT_TRUE(d.converged);
        EXPECT_NEAR(strengthFigure(d.unitCofactor, 500.0), 2.0 / std::sqrt(n), 1e-9);
    }
}

// Points on a circle of 1000 m, the station 0.5 m inside it: a run that the
// program computes as normal, where the analysis warns.
TEST(Analysis, WarnsOfTheDangerCircle) {
    std::string text = "gd 0.001 1\nEST\n4\n";
    const double station = (1000.0 - 0.5) / std::sqrt(2.0);
    for (const double a : {10.0, 100.0, 200.0, 290.0}) {
        const double m = 1000.0 * std::sin(a * pi / 180.0);
        const double p = 1000.0 * std::cos(a * pi / 180.0);
        char line[128];
        std::snprintf(line, sizeof line, "C%.0f %.4f %.4f %.12f\n", a, m, p,
                      std::fmod(std::atan2(m - station, p - station) * 180.0 / pi + 360.0, 360.0));
        text += line;
    }
    const Companion r = analyse({{"in", text}}, {"in"});
    EXPECT_NE(r.console.find("(0.05 % do raio)"), std::string::npos) << r.console;
    EXPECT_NE(r.console.find("AVISO: a estacao esta perto da circunferencia perigosa"),
              std::string::npos);
    EXPECT_NE(r.console.find("AVISO: geometria muito fraca"), std::string::npos);
}

// Bad input gets the main program's message and status; the sketch never
// replaces the input.
TEST(Analysis, StopsAsTheProgramDoes) {
    const std::string good = madeUp(5, 300.0, 0, 0.0);
    const std::pair<const char*, std::string> inputs[] = {
        {"unreadable", "gd 0.001 1\nE\n4\nA 1 2 3\nB norte 2 3\n"},
        {"unit", "GD 0.001 1\nE\n4\n"},
        {"two points", "gd 0.001 1\nE\n2\n"},
        {"precision 0", "gd 0.001 0" + good.substr(good.find('\n'))},
        {"height", good + "2 1.5\nV 1 2 100 0 1\n"},
    };
    for (const auto& [what, text] : inputs) {
        SCOPED_TRACE(what);
        const testing::RunResult program = testing::runInProcess({{"in", text}}, "in\nout\nS\n");
        const Companion r = analyse({{"in", text}}, {"in"});
        // The message ends both consoles (the program's behind a prompt);
        // the companion's errors are on standard error, after the analysis.
        const std::string all = r.console + r.errors;
        const std::string last = all.substr(all.rfind("\r\n", all.size() - 3) + 2);
        EXPECT_TRUE(
            program.console.size() >= last.size() &&
            program.console.compare(program.console.size() - last.size(), last.size(), last) == 0)
            << all << "\n---\n"
            << program.console;
        EXPECT_EQ(r.status, program.status);
    }
    const Companion same = analyse({{"in", good}}, {"in", "in"});
    EXPECT_EQ(same.status, 2);
    EXPECT_EQ(same.files.at("in"), good);
    EXPECT_EQ(analyse({{"in", good}}, {}).status, 2);
    EXPECT_EQ(analyse({}, {"in"}).status, 2);
    EXPECT_EQ(analyse({{"in", good}}, {"in", "esboco.svg"}).files.count("esboco.svg"), 1u);
    // The JSON likewise; "--json" without a name writes nothing.
    const Companion json = analyse({{"in", good}}, {"in", "--json", "in"});
    EXPECT_EQ(json.status, 2);
    EXPECT_EQ(json.files.at("in"), good);
    const Companion nameless = analyse({{"in", good}}, {"in", "esboco.svg", "--json"});
    EXPECT_EQ(nameless.status, 2);
    EXPECT_EQ(nameless.files.size(), 1u);
    EXPECT_EQ(analyse({{"in", good}}, {"--json", "r.json", "in"}).files.count("r.json"), 1u);
}

// The command line: help and version on standard output with status 0;
// arguments that cannot be used say why on standard error, with the usage,
// status 2 and nothing on standard output; an input that cannot be opened is
// said on standard error after the banner.
TEST(Analysis, CommandLine) {
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out;    // the start of standard output
        std::string errors; // the start of standard error
    };
    const std::string usage = "Uso: resection-analise [OPCOES] FICHEIRO_DE_INPUT [ESBOCO.svg]\r\n";
    const std::string banner(52, '*');
    const Row rows[] = {
        {{"-h"}, 0, usage, ""},
        {{"in", "--help"}, 0, usage, ""},
        {{"--version"}, 0, "resection-analise 1.", ""},
        {{}, 2, "", "resection-analise: falta o nome do ficheiro de input\r\n" + usage},
        {{"--bogus", "in"}, 2, "", "resection-analise: opcao desconhecida: --bogus\r\n" + usage},
        {{"in", "a.svg", "b"}, 2, "", "resection-analise: demasiados nomes de ficheiros\r\n"},
        {{"in", "-"}, 2, "", "resection-analise: o nome \"-\" nao serve"},
        {{"-"}, 2, "", "resection-analise: o nome \"-\" nao serve"},
        {{"--", "-in"}, 0, banner, ""},
        {{"absent"},
         2,
         banner,
         "Nao foi possivel abrir o ficheiro de input \"absent\": o ficheiro nao existe.\r\n"},
    };
    const std::string good = madeUp(5, 300.0, 0, 0.0);
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        const Companion r = analyse({{"in", good}, {"-in", good}}, row.args);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.console.rfind(row.out, 0), 0u) << r.console;
        EXPECT_EQ(r.errors.rfind(row.errors, 0), 0u) << r.errors;
        if (row.out.empty()) {
            EXPECT_EQ(r.console, "");
        }
        EXPECT_EQ(r.files.size(), 2u); // nothing written, not even a file named "-"
    }
}

// The scale fits the bulk of the points whether they are 50 m or 20 km away;
// one point far out is drawn at the frame; the ellipse is magnified to a
// visible size and the scale bar takes a fair share of the frame.
TEST(Sketch, LayoutReadsAtEveryScale) {
    for (const double reach : {50.0, 20000.0}) {
        for (const bool oneFarOut : {false, true}) {
            SCOPED_TRACE(::testing::Message() << reach << (oneFarOut ? " far" : ""));
            SketchData data;
            data.stationM = 1000.0;
            data.stationP = 2000.0;
            for (int i = 0; i < 6; ++i) {
                const double d = reach * (i == 5 && oneFarOut ? 300.0 : 0.5 + 0.1 * i);
                data.points.push_back({"P", 1000.0 + d * std::sin(i), 2000.0 + d * std::cos(i)});
            }
            data.ellipse = {reach * 2e-6, reach * 1e-6, 0.3};
            const SketchLayout l = layoutSketch(data);
            for (std::size_t i = 0; i < data.points.size(); ++i) {
                EXPECT_EQ(l.far[i], oneFarOut && i == 5);
                if (!l.far[i]) {
                    const double x = l.x(data.points[i].m), y = l.y(data.points[i].p);
                    EXPECT_TRUE(x > l.left + 40 && x < l.left + l.size - 40) << x;
                    EXPECT_TRUE(y > l.top + 40 && y < l.top + l.size - 40) << y;
                }
            }
            const double major = data.ellipse.major * l.ellipseFactor * l.scale;
            EXPECT_TRUE(major > 15.0 && major <= 50.0) << major;
            const double bar = l.scaleBarMetres * l.scale / l.size;
            EXPECT_TRUE(bar > 0.1 && bar <= 0.3) << bar;
        }
    }
    EXPECT_EQ(xmlText("A<&>\"'\x1b\xe9"), "A&lt;&amp;&gt;&quot;&apos;\\x1b&#xe9;");
}

} // namespace
} // namespace resection
