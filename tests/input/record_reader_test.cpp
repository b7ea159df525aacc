// The free-form records of the input file, read from memory.
#include "input/record_reader.hpp"

#include "report/messages.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace resection {
namespace {

struct Reader {
    std::istringstream text;
    RecordReader in;
    explicit Reader(const std::string& content, const std::string& name = "dados.txt")
        : text(content), in(text, name) {}
};

// The console text of the stop that the read ends with; it must be the stop
// of refused input.
std::string stopText(const std::function<void()>& read) {
    try {
        read();
    } catch (const Stop& stop) {
        EXPECT_EQ(exitStatus(stop.reason()), 1);
        return stopMessage(stop);
    }
    ADD_FAILURE() << "the read did not stop";
    return {};
}

TEST(RecordReader, BlanksAndCommasSeparateValues) {
    Reader r("gd,0.001 , 0.6\n  A  ,B,  C\n");
    r.in.beginRecord();
    EXPECT_EQ(r.in.readText(2, {}), "gd");
    EXPECT_EQ(r.in.readReal({}), 0.001);
    EXPECT_EQ(r.in.readReal({}), 0.6);
    r.in.beginRecord();
    EXPECT_EQ(r.in.readText(1, {}), "A");
    EXPECT_EQ(r.in.readText(1, {}), "B");
    EXPECT_EQ(r.in.readText(1, {}), "C");
}

// A comma separates values: "1500,25" is 1500 and 25, never 1500.25.
TEST(RecordReader, CommaIsNeverADecimalPoint) {
    Reader r("1500,25\n");
    r.in.beginRecord();
    EXPECT_EQ(r.in.readReal({}), 1500.0);
    EXPECT_EQ(r.in.readReal({}), 25.0);
}

// A record ending on a line that still holds values, with a comma between
// two digits on it, draws one warning naming the line and the text; values
// are read as always. Commas that separate needed values draw none.
TEST(RecordReader, LikelyDecimalCommaIsWarnedOf) {
    const std::pair<const char*, int> rows[] = {
        {"1500,25\n", 2},
        {"P1,42357.407,274237.360,81.221711\n", 4},
        {"P1 1500 , 25 7 8,x\n", 4},
        {"gd 0.001 0,6\n", 3},
        {"P4 41621.891 274804.785 185,72903\n", 4},
        {"1 2 x=2,5\r\n", 2},
        {"1 2,5", 1}, // the last line, without its line end
    };
    const char* expected[] = {"", "", "", "\"0,6\"", "\"185,72903\"", "\"x=2,5\"", "\"2,5\""};
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        SCOPED_TRACE(rows[row].first);
        const std::string content = rows[row].first;
        std::istringstream text(content.back() == '\n' ? content + "next\n" : content);
        std::vector<std::string> warnings;
        RecordReader in(text, "dados.txt", [&](long long line, const std::string& w) {
            warnings.push_back(decimalCommaWarning("dados.txt", line, w));
        });
        in.beginRecord();
        for (int i = 0; i < rows[row].second; ++i) {
            in.readText(12, {});
        }
        in.beginRecord();
        if (*expected[row] == '\0') {
            EXPECT_TRUE(warnings.empty()) << warnings.front();
            continue;
        }
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0],
                  "Aviso: ficheiro dados.txt, linha 1: " + std::string(expected[row]) +
                      " parece ter virgula decimal; a virgula separa valores e o que "
                      "sobra na linha e ignorado: escreva as casas decimais com ponto.");
    }
}

TEST(RecordReader, NumberForms) {
    Reader r("4 +4 -4 1e3 .5 -.5 5. 1.5E-2 +.25 1.5d2 007\n");
    r.in.beginRecord();
    EXPECT_EQ(r.in.readInteger({}), 4);
    EXPECT_EQ(r.in.readInteger({}), 4);
    EXPECT_EQ(r.in.readInteger({}), -4);
    const double expected[] = {1000.0, 0.5, -0.5, 5.0, 0.015, 0.25, 150.0, 7.0};
    for (double value : expected) {
        EXPECT_EQ(r.in.readReal({}), value);
    }
}

TEST(RecordReader, Texts) {
    Reader r("P1 'A B' \"C,D\" 'It''s' \"say \"\"hi\"\"\" \"O'Neil\" 'x\"y' "
             "ABCDEFGHIJKLMNOP '' 'E/F'\n");
    r.in.beginRecord();
    const char* expected[] = {"P1          ",   "A B         ", "C,D         ",  "It's        ",
                              "say \"hi\"    ", "O'Neil      ", "x\"y         ", "ABCDEFGHIJKL",
                              "            ",   "E/F         "};
    for (const char* text : expected) {
        EXPECT_EQ(r.in.readText(12, {}), text);
    }
}

TEST(RecordReader, RecordContinuesOnTheNextLines) {
    Reader r("P1 100\n\n   200 45\n30 0\nnext\n");
    r.in.beginRecord();
    EXPECT_EQ(r.in.readText(12, {}), "P1          ");
    EXPECT_EQ(r.in.readReal({}), 100.0);
    EXPECT_EQ(r.in.readReal({}), 200.0);
    EXPECT_EQ(r.in.readReal({}), 45.0);
    EXPECT_EQ(r.in.readReal({}), 30.0);
    EXPECT_EQ(r.in.readReal({}), 0.0);
    EXPECT_EQ(r.in.lineNumber(), 4);
    r.in.beginRecord();
    EXPECT_EQ(r.in.readText(4, {}), "next");
}

TEST(RecordReader, EachRecordBeginsOnANewLine) {
    Reader r("4 extra values 'and text' 9\n5\n6 7\n");
    r.in.beginRecord();
    EXPECT_EQ(r.in.readInteger({}), 4);
    r.in.beginRecord();
    EXPECT_EQ(r.in.readInteger({}), 5);
    r.in.beginRecord();
    EXPECT_EQ(r.in.readInteger({}), 6);
    EXPECT_EQ(r.in.lineNumber(), 3);
}

TEST(RecordReader, CrLfLinesReadLikeLf) {
    Reader r("gd 0.001 0.6\r\nEST1\r\n'A B'\r\n3\r\nP1 1 2 3\r\n");
    r.in.beginRecord();
    EXPECT_EQ(r.in.readText(2, {}), "gd");
    EXPECT_EQ(r.in.readReal({}), 0.001);
    EXPECT_EQ(r.in.readReal({}), 0.6);
    r.in.beginRecord();
    EXPECT_EQ(r.in.readText(12, {}), "EST1        ");
    r.in.beginRecord();
    EXPECT_EQ(r.in.readText(12, {}), "A B         ");
    r.in.beginRecord();
    EXPECT_EQ(r.in.readInteger({}), 3);
    EXPECT_EQ(r.in.lineNumber(), 4);
    r.in.beginRecord();
    EXPECT_EQ(r.in.readText(12, {}), "P1          ");
    EXPECT_EQ(r.in.readReal({}), 1.0);
    EXPECT_EQ(r.in.readReal({}), 2.0);
    EXPECT_EQ(r.in.readReal({}), 3.0);
    r.in.endRecord();
    r.in.stepBackLines(2);
    EXPECT_EQ(r.in.readLineText(6), "3     ");
    EXPECT_EQ(r.in.readLineText(10), "P1 1 2 3  ");
}

TEST(RecordReader, EchoOfLinesCutOrFilledTo72) {
    // Lines of 80 and 30 characters.
    const std::string longLine =
        "L----------------------------------------------------------------------XYZ++++++";
    const std::string shortLine = "S............................E";
    const std::string exact = std::string(71, 'x') + "\r";
    Reader r(longLine + "\n" + shortLine + "\r\n" + exact + "\nlast");
    for (int i = 0; i < 4; ++i) {
        r.in.beginRecord();
        r.in.readText(1, {});
    }
    r.in.endRecord(); // a last line without its line end
    r.in.stepBackLines(4);
    EXPECT_EQ(r.in.readLineText(72), longLine.substr(0, 72));
    EXPECT_EQ(r.in.readLineText(72), shortLine + std::string(42, ' '));
    EXPECT_EQ(r.in.readLineText(72), std::string(71, 'x') + " ");
    EXPECT_EQ(r.in.readLineText(72), "last" + std::string(68, ' '));
}

TEST(RecordReader, EchoLeavesTheReaderAfterTheLines) {
    Reader r("P1 1 2 3\nP2 4 5 6\n7 8\n");
    for (int i = 0; i < 2; ++i) {
        r.in.beginRecord();
        r.in.readText(12, {});
        r.in.readReal({});
        r.in.readReal({});
        r.in.readReal({});
    }
    r.in.endRecord();
    r.in.stepBackLines(2);
    r.in.readLineText(72);
    r.in.readLineText(72);
    r.in.beginRecord();
    EXPECT_EQ(r.in.readInteger({}), 7);
    EXPECT_EQ(r.in.readReal({}), 8.0);
    EXPECT_EQ(r.in.lineNumber(), 3);
}

// A whole UTF-8 byte-order mark is skipped (golden_test runs every golden
// file with one); bytes that only begin like it are read as they stand.
TEST(RecordReader, PartOfAByteOrderMarkIsRead) {
    for (const std::string start : {"\xef", "\xef\xbb", "\xef\xbf\xbb"}) {
        Reader r(start + "gd 1\n");
        r.in.beginRecord();
        EXPECT_EQ(r.in.readText(5, {}), start + "gd" + std::string(3 - start.size(), ' '));
        EXPECT_EQ(r.in.readInteger({}), 1);
    }
}

struct RefusedRow {
    const char* content;
    int reads; // values read before the refused one (reals)
    RecordItem item;
    const char* expectedStart;
};

TEST(RecordReader, RefusedValuesNameFileLineAndItem) {
    const RefusedRow rows[] = {
        {"1 0.001 abc\n",
         2,
         {Field::AprioriPrecision},
         "Erro no ficheiro dados.txt, linha 1 (precisao a priori): "},
        {"1\n2\n'3'\n",
         2,
         {Field::Reading, RecordOf::Point, 2},
         "Erro no ficheiro dados.txt, linha 3 (leitura do ponto 2): "},
        {"1 nan\n", 1, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 NaN\n", 1, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 inf\n", 1, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 -Infinity\n",
         1,
         {Field::Tolerance},
         "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 0x10\n", 1, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 1e999\n", 1, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 1,,2\n", 2, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 12abc\n", 1, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 +-5\n", 1, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 --5\n", 1, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 1.2.3\n", 1, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 -\n", 1, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1 .\n", 1, {Field::Tolerance}, "Erro no ficheiro dados.txt, linha 1 (tolerancia): "},
        {"1\n2\n",
         2,
         {Field::CoordinateP, RecordOf::Point, 1},
         "Erro no ficheiro dados.txt, linha 3 (coordenada P do ponto 1): fim do ficheiro"},
        {"1 2",
         2,
         {Field::CoordinateP, RecordOf::Point, 1},
         "Erro no ficheiro dados.txt, linha 1 (coordenada P do ponto 1): fim do ficheiro"},
        {"",
         0,
         {Field::UnitCode},
         "Erro no ficheiro dados.txt, linha 1 (codigo das unidades): o ficheiro esta vazio"},
        {"\xef\xbb\xbf",
         0,
         {Field::UnitCode},
         "Erro no ficheiro dados.txt, linha 1 (codigo das unidades): o ficheiro esta vazio"},
    };
    for (const RefusedRow& row : rows) {
        SCOPED_TRACE(row.content);
        Reader r(row.content);
        r.in.beginRecord();
        for (int i = 0; i < row.reads; ++i) {
            r.in.readReal({});
        }
        const std::string text = stopText([&] { r.in.readReal(row.item); });
        EXPECT_EQ(text.rfind(row.expectedStart, 0), 0u) << text;
    }
}

TEST(RecordReader, IntegersOutsideTheirRangeAreRefused) {
    Reader ok("2147483647 -2147483648\n");
    ok.in.beginRecord();
    EXPECT_EQ(ok.in.readInteger({}), 2147483647);
    EXPECT_EQ(ok.in.readInteger({}), -2147483647 - 1);

    for (const char* token :
         {"2147483648", "-2147483649", "99999999999999999999", "3.5", "1e2", "abc", "'4'", "+-5"}) {
        SCOPED_TRACE(token);
        Reader r(std::string(token) + "\n");
        r.in.beginRecord();
        const std::string text = stopText([&] { r.in.readInteger({Field::PointCount}); });
        EXPECT_EQ(text.rfind("Erro no ficheiro dados.txt, linha 1 (numero de pontos visados): ", 0),
                  0u)
            << text;
    }
}

TEST(RecordReader, TextWhereANumberIsExpectedIsShownInTheMessage) {
    Reader r("P1 ABC 200\n");
    r.in.beginRecord();
    r.in.readText(12, {});
    const std::string text = stopText([&] {
        r.in.readReal({Field::CoordinateM, RecordOf::Point, 1});
    });
    EXPECT_NE(text.find("(coordenada M do ponto 1)"), std::string::npos) << text;
    EXPECT_NE(text.find("ABC"), std::string::npos) << text;
}

} // namespace
} // namespace resection
