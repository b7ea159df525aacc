// The precision searches end on any a priori precision: a long walk is
// walked (and gives the report that computing every pass gives), and a walk
// that could never end stops with a message.
#include "support/run_harness.hpp"

#include <gtest/gtest.h>

#include <string>

namespace resection::testing {
namespace {

std::string fileWithPrecision(const std::string& precision) {
    return "gd 0.001 " + precision +
           "\nEST1\n4\n"
           "P1 43626.673 276557.347 268.71506\n"
           "P2 42211.532 274411.871 323.41615\n"
           "P3 41602.264 272166.734 62.62982\n"
           "P4 41621.891 274804.785 185.72903\n"
           "2 1.703\n"
           "V1 43626.673 276557.347 372.404 86.128319 2.000\n"
           "V2 42211.532 274411.871 401.338 85.170267 1.500\n";
}

TEST(PrecisionSearchBounds, EveryWalkEnds) {
    struct Row {
        const char* precision;
        int status;
        const char* console; // a part of the console text
    };
    const Row rows[] = {
        // 50000 passes down, then the height's walk down as far.
        {"5000", 0, "(S/N)? \r\n"},
        // Rejected at -0.2", up through zero to where the test accepts.
        {"-0.2", 0, "(S/N)? \r\n"},
        // At 1e20" a step of 0.1" is lost in the rounding of the value.
        {"1e20", 1,
         "Pesquisa da precisao interrompida: com a precisao de 1e+20 segundos o passo de 0.1 "
         "segundos ja nao altera a precisao, e a pesquisa das leituras azimutais nao "
         "terminaria; indique uma precisao a priori menor.\r\n"},
        // Accepted at a negative precision, the walk would go down for ever.
        {"-1e5", 1,
         "Pesquisa da precisao interrompida: o teste do qui-quadrado aceita as leituras "
         "azimutais com a precisao negativa de -100000 segundos, e a pesquisa desceria sem "
         "fim; indique uma precisao a priori positiva.\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.precision);
        const std::string input = fileWithPrecision(row.precision);
        const RunResult fast = runInProcess({{"in", input}}, "in\nout\nS\n");
        EXPECT_EQ(fast.status, row.status);
        EXPECT_NE(fast.console.find(row.console), std::string::npos) << fast.console;
        RunOptions reference;
        reference.passByPassSearch = true;
        const RunResult passByPass = runInProcess({{"in", input}}, "in\nout\nS\n", {}, reference);
        EXPECT_EQ(fast.console, passByPass.console);
        EXPECT_TRUE(fast.files.at("out") == passByPass.files.at("out"));
    }
}

} // namespace
} // namespace resection::testing
