// The planimetric section read from memory: values, readings in radians, the
// echo, and where the reader is left; the report of a refused unit code.
#include "input/planimetric_section.hpp"

#include "input/record_reader.hpp"
#include "report/messages.hpp"
#include "support/run_harness.hpp"

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
    explicit Section(const std::string& content) : text(content), reader(text, "in") {}
};

// The console text and status of the stop the reading ends with.
std::pair<std::string, int> stopOf(Section& s) {
    try {
        readPlanimetricSection(s.reader);
    } catch (const Stop& stop) {
        return {stopMessage(stop), exitStatus(stop.reason())};
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
    const PointRecords records = readPlanimetricSection(s.reader);
    const Survey& survey = records.survey;
    const std::vector<std::string>& echo = records.echo;

    EXPECT_EQ(survey.header.unit, AngleUnit::Sexagesimal);
    EXPECT_EQ(survey.header.tolerance, 0.001);
    EXPECT_DOUBLE_EQ(survey.header.aprioriPrecision, 2.0 / 3600.0 * pi / 180.0);
    EXPECT_EQ(survey.header.stationName, "EST 1       ");
    EXPECT_EQ(survey.pointCount, 4);
    EXPECT_EQ(survey.redundancy, 1);
    EXPECT_EQ(survey.pointName[2], "C D         ");
    EXPECT_EQ(survey.pointName[3], "ABCDEFGHIJKL");
    EXPECT_EQ(survey.pointCoords(2, 1), 1500.0);
    EXPECT_EQ(survey.pointCoords(3, 2), -500.0);
    EXPECT_DOUBLE_EQ(survey.directionReading(1), 45.5 * pi / 180.0);
    EXPECT_DOUBLE_EQ(survey.directionReading(2), 11.0 * pi / 180.0);
    // -10 30 and, on the next line, 0: minutes are added to negative degrees.
    EXPECT_DOUBLE_EQ(survey.directionReading(3), -9.5 * pi / 180.0);
    EXPECT_DOUBLE_EQ(survey.directionReading(4), (3.0 + 4.0 / 60.0 + 5.0 / 3600.0) * pi / 180.0);

    // The echo holds the last four lines read, as written, filled to 72.
    ASSERT_EQ(echo.size(), 4u);
    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(echo[static_cast<std::size_t>(i - 1)],
                  lines[i] + std::string(72 - lines[i].size(), ' '));
    }

    // The reader stands at the altimetric section.
    s.reader.beginRecord();
    EXPECT_EQ(s.reader.readInteger({Field::ZenithCount}), 3);
}

TEST(PlanimetricSection, TooFewPoints) {
    Section s("gd 0.001 2\nEST1\n2\nA 0 1 0\nB 1 0 90\n");
    const auto [text, status] = stopOf(s);
    EXPECT_EQ(text, "Numero insuficiente de dados para o calculo da interseccao inversa...");
    EXPECT_EQ(status, 0);
}

TEST(PlanimetricSection, UnknownUnitCodeIsRefusedAfterTheHeading) {
    for (const char* code : {"GD", "g", "dg"}) {
        const auto r = testing::runInProcess(
            {{"in", std::string(code) + " 0.001 2\nEST1\n4\nA 0 1 0\nB 1 0 90\n"}}, "in\nout\n");
        EXPECT_EQ(r.status, 1) << code;
        const std::string& report = r.files.at("out");
        EXPECT_NE(report.find("Leituras de direccao em: grados\r\n"), std::string::npos);
        EXPECT_EQ(report.size() - report.rfind(" mgon\r\n \r\n"), 10u) << report;
        EXPECT_NE(r.console.find("Codigo de unidades desconhecido"), std::string::npos);
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
