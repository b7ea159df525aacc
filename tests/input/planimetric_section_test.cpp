// The planimetric section read from memory: values, readings in radians, the
// report lines written meanwhile, and where the reader is left.
#include "input/planimetric_section.hpp"

#include "base/run_stop.hpp"
#include "input/record_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

namespace resection {
namespace {

const double pi = 4.0 * std::atan(1.0);

struct Section {
    std::istringstream text;
    RecordReader reader;
    std::ostringstream report;
    RunContext ctx;
    explicit Section(const std::string& content) : text(content), reader(text, "in") {
        ctx.input = &reader;
        ctx.report = &report;
        ctx.inputFileName = "in";
    }
};

// The console text and status of the stop the reading ends with.
std::pair<std::string, int> stopOf(Section& s) {
    try {
        readPlanimetricSection(s.ctx);
    } catch (const RunStop& stop) {
        return {stop.consoleText(), stop.exitStatus()};
    }
    return {"(no stop)", -1};
}

TEST(PlanimetricSection, SexagesimalRecordsAndTheirEcho) {
    const std::string lines[] = {
        "A 500 1500 45 30 0",         "B,1500,1500,10,59,60 extra 'items'",
        "'C D' 500 -500 -10 30",      "0",
        "ABCDEFGHIJKLMNOP 1 2 3 4 5",
    };
    Section s("gs 0.001 2\n'EST 1'\n4\n" + lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n" +
              lines[3] + "\n" + lines[4] + "\n3 1.5\n");
    readPlanimetricSection(s.ctx);

    EXPECT_EQ(s.ctx.unit, AngleUnit::Sexagesimal);
    EXPECT_EQ(s.ctx.tolerance, 0.001);
    EXPECT_DOUBLE_EQ(s.ctx.directionPrecision, 2.0 / 3600.0 * pi / 180.0);
    EXPECT_EQ(s.ctx.zenithPrecision, s.ctx.directionPrecision);
    EXPECT_EQ(s.ctx.stationName, "EST 1       ");
    EXPECT_EQ(s.ctx.pointCount, 4);
    EXPECT_EQ(s.ctx.redundancy, 1);
    EXPECT_EQ(s.ctx.pointName[3], "C D         ");
    EXPECT_EQ(s.ctx.pointName[4], "ABCDEFGHIJKL");
    EXPECT_EQ(s.ctx.pointCoords(2, 1), 1500.0);
    EXPECT_EQ(s.ctx.pointCoords(3, 2), -500.0);
    EXPECT_DOUBLE_EQ(s.ctx.directionReading(1), 45.5 * pi / 180.0);
    EXPECT_DOUBLE_EQ(s.ctx.directionReading(2), 11.0 * pi / 180.0);
    // -10 30 and, on the next line, 0: minutes are added to negative degrees.
    EXPECT_DOUBLE_EQ(s.ctx.directionReading(3), -9.5 * pi / 180.0);
    EXPECT_DOUBLE_EQ(s.ctx.directionReading(4), (3.0 + 4.0 / 60.0 + 5.0 / 3600.0) * pi / 180.0);

    // The echo shows the last four lines read, as written, filled to 72.
    const std::string report = s.report.str();
    for (int i = 1; i < 5; ++i) {
        const std::string echo = lines[i] + std::string(72 - lines[i].size(), ' ') + "\r\n";
        EXPECT_NE(report.find(echo), std::string::npos) << lines[i];
    }
    EXPECT_EQ(report.find(lines[0]), std::string::npos);
    EXPECT_NE(report.find("Redundancia (planimetria):  1\r\n \r\nPontos visados"),
              std::string::npos);

    // The reader stands at the altimetric section.
    s.reader.beginRecord();
    EXPECT_EQ(s.reader.readInteger("n"), 3);
}

TEST(PlanimetricSection, TooFewPointsEndAfterTheHeading) {
    Section s("gd 0.001 2\nEST1\n2\nA 0 1 0\nB 1 0 90\n");
    const auto [text, status] = stopOf(s);
    EXPECT_EQ(text, "Numero insuficiente de dados para o calculo da interseccao inversa...");
    EXPECT_EQ(status, 0);
    const std::string report = s.report.str();
    EXPECT_EQ(report.size() - report.rfind("segundos\r\n \r\n"), 13u) << report;
    EXPECT_EQ(report.find("Redundancia"), std::string::npos);
}

TEST(PlanimetricSection, UnknownUnitCodeIsRefusedAfterTheHeading) {
    for (const char* code : {"GD", "g", "dg"}) {
        Section s(std::string(code) + " 0.001 2\nEST1\n4\nA 0 1 0\nB 1 0 90\n");
        const auto [text, status] = stopOf(s);
        EXPECT_EQ(status, 1) << code;
        EXPECT_NE(s.report.str().find("Leituras de direccao em: grados\r\n"), std::string::npos);
        EXPECT_NE(s.report.str().find(" mgon\r\n"), std::string::npos);
    }
}

TEST(PlanimetricSection, EndOfFileInsideAPointRecord) {
    Section s("gd 0.001 2\nEST1\n4\nA 0 1 0\nB 1 0 90\nC 5 6\n");
    const auto [text, status] = stopOf(s);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(text.rfind("Erro no ficheiro in, linha 7 (leitura do ponto 3): ", 0), 0u) << text;
}

} // namespace
} // namespace resection
