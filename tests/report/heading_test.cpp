// The heading lines, written into a report held in memory.
#include "report/heading.hpp"

#include "angles/units.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace resection {
namespace {

std::vector<std::string> linesOf(const std::string& report) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < report.size()) {
        const std::size_t end = report.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "line without CR LF";
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(report.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

struct Heading {
    std::ostringstream report;
    SurveyHeader header;

    Heading(const std::string& unitCode, double tolerance, double precisionAsRead,
            const std::string& station = "EST1        ") {
        header.unitCode = unitCode;
        header.unit = unitFromCode(unitCode);
        header.tolerance = tolerance;
        header.aprioriPrecision = precisionToRadians(header.unit, precisionAsRead);
        header.stationName = station;
    }
    std::vector<std::string> lines() {
        writeHeading(report, header);
        return linesOf(report.str());
    }
};

TEST(ReportHeading, AllLines) {
    // A two-letter station name keeps its blank fill: the line has 69 characters.
    Heading h("gd", 0.001, 0.6, "AB          ");
    const std::vector<std::string> expected = {
        std::string(56, '*'),
        "Calculo por interseccao inversa das coordenadas do ponto AB          ",
        std::string(56, '*'),
        " ",
        "Leituras de direccao em: graus decimais",
        " ",
        "Tolerancia entre iteracoes consecutivas das coordenadas: .001 m",
        " ",
        "Precisao a priori das leituras azimutais:   .6 segundos",
        " ",
    };
    EXPECT_EQ(h.lines(), expected);
}

struct ValueLineRow {
    const char* unitCode;
    double tolerance;
    double precision;
    const char* unitLine;
    const char* toleranceLine;
    const char* precisionLine;
};

TEST(ReportHeading, UnitToleranceAndPrecisionLines) {
    const char* tol = "Tolerancia entre iteracoes consecutivas das coordenadas:";
    const char* pre = "Precisao a priori das leituras azimutais:";
    const std::string gd = "Leituras de direccao em: graus decimais";
    const std::string gs = "Leituras de direccao em: graus sexagesimais";
    const std::string gr = "Leituras de direccao em: grados";
    const ValueLineRow rows[] = {
        {"gd", 0.001, 5.0, gd.c_str(), " .001 m", "  5.0 segundos"},
        {"gs", 10.0, 2.0, gs.c_str(), "***** m", "  2.0 segundos"},
        {"gr", 0.0005, 150.0, gr.c_str(), " .001 m", "150.0 mgon"},
        {"gr", 9.9994, 1.5, gr.c_str(), "9.999 m", "  1.5 mgon"},
        {"gs", 0.001, 999.95, gs.c_str(), " .001 m", "***** segundos"},
        {"gr", 0.001, 999.94, gr.c_str(), " .001 m", "999.9 mgon"},
        // Precisions that overflow on the way to radians and back.
        {"gd", 0.001, 1e308, gd.c_str(), " .001 m", "***** segundos"},
        {"gs", 0.001, 1.7976931348623157e308, gs.c_str(), " .001 m", "***** segundos"},
        {"gr", 0.001, 1e308, gr.c_str(), " .001 m", "***** mgon"},
        {"gd", 1e308, 1e-308, gd.c_str(), "***** m", "   .0 segundos"},
        // A code that is none of the three: grads, precision in mgon.
        {"GD", 0.001, 2.0, gr.c_str(), " .001 m", "  2.0 mgon"},
        {"g ", 0.001, 2.0, gr.c_str(), " .001 m", "  2.0 mgon"},
    };
    for (const ValueLineRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.unitCode << " " << row.precision);
        Heading h(row.unitCode, row.tolerance, row.precision);
        const std::vector<std::string> lines = h.lines();
        ASSERT_EQ(lines.size(), 10u);
        EXPECT_EQ(lines[4], row.unitLine);
        EXPECT_EQ(lines[6], std::string(tol) + row.toleranceLine);
        EXPECT_EQ(lines[8], std::string(pre) + row.precisionLine);
    }
}

TEST(ReportHeading, RedundancyLine) {
    const std::pair<int, const char*> rows[] = {
        {1, "Redundancia (planimetria):  1"},
        {10, "Redundancia (planimetria): 10"},
        {99, "Redundancia (planimetria): 99"},
        {100, "Redundancia (planimetria): **"},
    };
    for (const auto& [redundancy, expected] : rows) {
        std::ostringstream report;
        writeRedundancy(report, redundancy);
        EXPECT_EQ(report.str(), std::string(expected) + "\r\n");
    }
}

} // namespace
} // namespace resection
