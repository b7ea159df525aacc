// Limits that protect the machine: counts checked before anything is sized
// from them, and input lines bounded in length.
#include "input/record_reader.hpp"
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

// No record comes near maxLineLength bytes: a longer line, of text or of
// NULs (a device, a damaged file), ends the run where it is found instead of
// being read on for ever as one value.
TEST(Limits, LongLinesAreRefused) {
    const std::string plain = header + "4\n" + pointLines() + zenith;
    RunResult expected = runFile(plain);
    ASSERT_EQ(expected.status, 0) << expected.console;

    // A line of exactly the longest length reads as before; the echo shows
    // its first 72 characters, the same as without the blanks behind them.
    const std::size_t longest = RecordReader::maxLineLength;
    const std::string longestLine = points[0] + std::string(longest - points[0].size(), ' ');
    RunResult r =
        runFile(header + "4\n" + longestLine + "\n" + plain.substr(plain.find(points[1])));
    EXPECT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(r.console, expected.console);
    EXPECT_TRUE(r.files["out"] == expected.files["out"]);

    const std::string tail(2 << 20, 'x');
    const std::pair<std::string, int> rows[] = {
        {header + "4\n" + longestLine + " \n", 4},
        {header + "4\n" + pointLines(std::string(40, ' ') + tail) + zenith, 4},
        {"gd 0.001 0.6\nEST1" + tail + "\n4\n" + pointLines(), 2},
        {header + std::string(2 << 20, '7') + "\n", 3},
        {"'" + tail, 1},                 // a quote never closed
        {std::string(2 << 20, '\0'), 1}, // NULs, as from /dev/zero
        {header + std::string(2 << 20, '\0'), 3},
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        SCOPED_TRACE(row);
        const auto& [file, line] = rows[row];
        r = runFile(file);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(endsWith(r.console, "Erro no ficheiro in, linha " + std::to_string(line) +
                                            ": linha com mais de 4096 caracteres, longa demais "
                                            "para um registo (ou o ficheiro nao e de texto).\r\n"))
            << r.console.substr(0, 500);
    }

    // A long number is refused showing only its start.
    const std::string digits(1000, '7');
    r = runFile(header + digits + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(endsWith(r.console, "numero inteiro fora dos limites: \"" + std::string(40, '7') +
                                        "...\"\r\n"))
        << r.console;
    r = runFile("gd " + digits + " 0.6\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(endsWith(r.console, "(tolerancia): esperava-se um numero, encontrado \"" +
                                        std::string(40, '7') + "...\"\r\n"))
        << r.console;
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
