// The precision searches end on any input: an a priori precision so large
// that a step of 0.1" no longer changes it used to walk without end, and one
// of 1e5" took a million passes; such values are refused as read.
#include "support/run_harness.hpp"

#include <gtest/gtest.h>

#include <string>

namespace resection::testing {
namespace {

std::string fileWithPrecision(const std::string& code, const std::string& precision) {
    return code + " 0.001 " + precision +
           "\nEST1\n4\n"
           "P1 43626.673 276557.347 268.71506\n"
           "P2 42211.532 274411.871 323.41615\n"
           "P3 41602.264 272166.734 62.62982\n"
           "P4 41621.891 274804.785 185.72903\n"
           "2 1.703\n"
           "V1 43626.673 276557.347 372.404 86.128319 2.000\n"
           "V2 42211.532 274411.871 401.338 85.170267 1.500\n";
}

TEST(PrecisionSearchBounds, HugeAprioriPrecisionIsRefused) {
    const std::pair<std::string, std::string> cases[] = {
        {"1e20", "1e+20 segundos"}, {"-1e20", "-1e+20 segundos"}, {"100000", "1e+05 segundos"}};
    for (const auto& [precision, shown] : cases) {
        SCOPED_TRACE(precision);
        const RunResult r =
            runInProcess({{"in", fileWithPrecision("gd", precision)}}, "in\nout\nS\n");
        EXPECT_EQ(r.status, 1);
        const std::string message = "Precisao a priori " + shown.substr(0, shown.find(' ')) +
                                    " no ficheiro in, linha 1: o maximo e 1000" +
                                    shown.substr(shown.find(' ')) + ".\r\n";
        EXPECT_NE(r.console.find(message), std::string::npos) << r.console;
    }
    const RunResult r = runInProcess({{"in", fileWithPrecision("gr", "1000.5")}}, "in\nout\nS\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.console.find("Precisao a priori 1000.5 no ficheiro in, linha 1: o maximo e 1000 "
                             "mgon.\r\n"),
              std::string::npos)
        << r.console;
}

// At the bound both searches still run their walks to an end: the planimetric
// one down to its floor or up to 1000" above the start, then the height one
// (whose made-up readings are rejected up to its ceiling).
TEST(PrecisionSearchBounds, LargestAprioriPrecisionsRun) {
    for (const char* precision : {"1000", "-1000"}) {
        SCOPED_TRACE(precision);
        const RunResult r =
            runInProcess({{"in", fileWithPrecision("gd", precision)}}, "in\nout\nS\n");
        EXPECT_EQ(r.status, 0) << r.console;
        EXPECT_NE(r.files.at("out").find("Redundancia (altimetria):   1"), std::string::npos);
    }
}

} // namespace
} // namespace resection::testing
