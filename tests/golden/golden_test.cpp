// Whole runs against the console and report bytes stored beside them.
#include "support/run_harness.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>

namespace resection::testing {
namespace {

class GoldenRun : public ::testing::TestWithParam<GoldenCase> {};

void expectRun(const GoldenCase& c) {
    const RunResult r = runInProcess(c.files, c.consoleInput, c.arguments);
    EXPECT_EQ(r.status, c.expectedStatus);
    EXPECT_EQ(r.console, c.expectedConsole);
    for (const auto& [name, bytes] : c.expectedFiles) {
        const auto it = r.files.find(name);
        ASSERT_NE(it, r.files.end()) << "missing file " << name;
        EXPECT_EQ(it->second, bytes) << "file " << name;
    }
    // No file beyond those expected (and those given) may appear.
    for (const auto& [name, bytes] : r.files) {
        EXPECT_TRUE(c.files.count(name) != 0 || c.expectedFiles.count(name) != 0)
            << "unexpected file " << name;
    }
}

TEST_P(GoldenRun, ConsoleAndFilesMatch) {
    expectRun(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenRun,
                         ::testing::ValuesIn(loadGoldenCases(RESECTION_GOLDEN_DIR)),
                         [](const auto& param) {
                             std::string name = param.param.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

// A file saved as UTF-8 by a Windows editor begins with a byte-order mark:
// each run reads its files as they would be without it, echo included.
TEST(GoldenRunByteOrderMark, SameBytes) {
    for (GoldenCase c : loadGoldenCases(RESECTION_GOLDEN_DIR)) {
        SCOPED_TRACE(c.name);
        for (auto& [name, bytes] : c.files) {
            bytes.insert(0, "\xef\xbb\xbf");
        }
        expectRun(c);
    }
}

// The same runs with the process under a locale whose decimal separator is a
// comma: reading and printing numbers must not notice.
TEST(GoldenRunCommaLocale, SameBytes) {
    const char* names[] = {"pt_PT.UTF-8", "pt_PT.utf8", "de_DE.UTF-8", "de_DE.utf8"};
    const char* found = nullptr;
    for (const char* name : names) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            found = name;
            break;
        }
    }
    if (found == nullptr) {
        GTEST_SKIP() << "no comma-decimal locale installed";
    }
    std::locale::global(std::locale(found));
    for (const GoldenCase& c : loadGoldenCases(RESECTION_GOLDEN_DIR)) {
        SCOPED_TRACE(c.name);
        expectRun(c);
    }
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");
}

} // namespace
} // namespace resection::testing
