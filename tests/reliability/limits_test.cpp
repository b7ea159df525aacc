// Limits that protect the machine: counts checked before anything is sized
// from them, and input lines of any length read a character at a time.
#include "support/run_harness.hpp"

#include <gtest/gtest.h>

#include <string>

namespace resection::testing {
namespace {

const std::string header = "gd 0.001 0.6\nEST1\n";
const std::string points[] = {
    "P1 43626.673 276557.347 268.71506", "P2 42211.532 274411.871 323.41615",
    "P3 41602.264 272166.734 62.62982", "P4 41621.891 274804.785 185.72903"};
const std::string zenith = "2 1.703\n"
                           "V1 43626.673 276557.347 372.404 86.128319 2.000\n"
                           "V2 42211.532 274411.871 401.338 85.170267 1.500\n";

std::string pointLines(const std::string& trailer = "") {
    std::string lines;
    for (const std::string& p : points) {
        lines += p + trailer + "\n";
    }
    return lines;
}

RunResult runFile(const std::string& file, const std::string& heightAnswer = "S") {
    return runInProcess({{"in", file}}, "in\nout\n" + heightAnswer + "\n");
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Limits, CountsAreCheckedBeforeSizing) {
    RunResult r = runFile(header + "2000000000\n" + pointLines());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(endsWith(r.console, "Numero de pontos visados 2000000000 no ficheiro in, linha 3: "
                                    "o maximo e 1001.\r\n"))
        << r.console;

    for (const char* count : {"2000000000", "-2000000000", "0"}) {
        SCOPED_TRACE(count);
        r = runFile(header + "4\n" + pointLines() + count + " 1.703\nV1 1 2 3 4 5\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.console.find(std::string("Numero de observacoes zenitais ") + count +
                                 " no ficheiro in, linha 8"),
                  std::string::npos)
            << r.console;
    }
    // Beyond the 32-bit range the value is refused as read.
    r = runFile(header + "99999999999\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.console.find("numero inteiro fora dos limites"), std::string::npos) << r.console;
}

// A line far longer than any record costs nothing but the reading: values and
// echo are those of the line without its long tail.
TEST(Limits, TenMegabyteLines) {
    const std::string plain = header + "4\n" + pointLines() + zenith;
    RunResult expected = runFile(plain);
    ASSERT_EQ(expected.status, 0) << expected.console;

    const std::string tail(10 << 20, 'x');
    // The echo shows the first 72 characters: the tail begins after them.
    RunResult r = runFile(header + "4\n" + pointLines(std::string(40, ' ') + tail) + zenith);
    EXPECT_EQ(r.status, 0) << r.console.substr(0, 500);
    EXPECT_EQ(r.console, expected.console);
    EXPECT_TRUE(r.files["out"] == expected.files["out"]);

    // A name of 10 MB is cut to its 12 characters.
    r = runFile("gd 0.001 0.6\nEST1" + tail + "\n4\n" + pointLines() + zenith);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.files["out"].find("EST1xxxxxxxx"), std::string::npos);

    // Numbers of 10 MB digits are refused, showing only their start.
    const std::string digits(10 << 20, '7');
    r = runFile(header + digits + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(endsWith(r.console, "numero inteiro fora dos limites: \"" + std::string(40, '7') +
                                        "...\"\r\n"))
        << r.console.substr(0, 500);
    r = runFile("gd " + digits + " 0.6\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(endsWith(r.console, "(tolerancia): esperava-se um numero, encontrado \"" +
                                        std::string(40, '7') + "...\"\r\n"))
        << r.console.substr(0, 500);

    // A quote that is never closed, over 10 MB without a line end.
    r = runFile("'" + tail);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(endsWith(r.console, "texto entre aspas sem aspas de fecho\r\n"));
}

TEST(Limits, FileWithoutLineEnds) {
    // The whole file as one line: the station record has no line of its own.
    std::string oneLine = header + "4\n" + pointLines() + zenith;
    for (char& c : oneLine) {
        if (c == '\n') {
            c = ' ';
        }
    }
    RunResult r = runFile(oneLine);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(endsWith(r.console, "Erro no ficheiro in, linha 2 (nome da estacao): fim do "
                                    "ficheiro antes do fim dos dados\r\n"))
        << r.console;

    // A last line without its line end counts as a line, for the echo too.
    const std::string complete = header + "4\n" + pointLines();
    RunResult expected = runFile(complete, "N");
    ASSERT_EQ(expected.status, 0);
    r = runFile(complete.substr(0, complete.size() - 1), "N");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.files["out"], expected.files["out"]);
    const std::string withZenith = complete + zenith;
    r = runFile(withZenith.substr(0, withZenith.size() - 1));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.files["out"], runFile(withZenith).files["out"]);
}

// Console answers are cut to their widths however long the line, with or
// without its line end.
TEST(Limits, TenMegabyteConsoleLines) {
    const std::string file = header + "4\n" + pointLines() + zenith;
    const std::string huge(10 << 20, 'x');
    RunResult r = runInProcess({{"in", file}}, "in\nout\n" + huge + "\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(endsWith(r.console, "(S/N)? \r\n")) << r.console.substr(0, 500);

    r = runInProcess({{"in", file}}, huge);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(endsWith(r.console, "Nao foi possivel abrir o ficheiro de input \"" +
                                        std::string(72, 'x') + "\": o ficheiro nao existe.\r\n"))
        << r.console.substr(0, 500);

    // At a UNIT prompt a name keeps up to 260 characters.
    r = runInProcess({{"in", file}}, "\n\r\n" + huge + "\r\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(endsWith(r.console, "UNIT 100? Nao foi possivel abrir o ficheiro de input \"" +
                                        std::string(260, 'x') + "\": o ficheiro nao existe.\r\n"))
        << r.console.substr(0, 500);
}

} // namespace
} // namespace resection::testing
