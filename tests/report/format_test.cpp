// The field rules of the report lines: each row is one value, its field and
// the exact characters the field must hold.
#include "report/format.hpp"

#include "angles/units.hpp"
#include "base/text.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>

namespace resection {
namespace {

struct IntegerRow {
    std::int32_t value;
    int width;
    const char* expected;
};

TEST(ReportFormat, IntegerField) {
    const IntegerRow rows[] = {
        {0, 3, "  0"},
        {-5, 4, "  -5"},
        {1000, 3, "***"},
        {999, 3, "999"},
        {-99, 3, "-99"},
        {-100, 3, "***"},
        {7, 1, "7"},
        {std::numeric_limits<std::int32_t>::min(), 11, "-2147483648"},
        {std::numeric_limits<std::int32_t>::min(), 10, "**********"},
        {std::numeric_limits<std::int32_t>::max(), 12, "  2147483647"},
    };
    for (const IntegerRow& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(formatInteger(row.value, row.width), row.expected);
    }
}

struct FixedRow {
    double value;
    int width;
    int decimals;
    const char* expected;
};

TEST(ReportFormat, FixedField) {
    const FixedRow rows[] = {
        {0.124, 6, 2, "   .12"},
        {0.125, 6, 2, "   .13"}, // exactly half: up
        {0.5, 6, 2, "   .50"},   // no zero before the point
        {999.996, 6, 2, "******"},
        {999.994, 6, 2, "999.99"},
        {-0.004, 6, 2, "   .00"}, // prints as zeros: no sign
        {-0.004, 10, 2, "       .00"},
        {-0.006, 6, 2, "  -.01"},
        {-0.006, 10, 2, "      -.01"},
        {59.996, 6, 2, " 60.00"},
        {9.996, 6, 2, " 10.00"},
        {0.0, 12, 3, "        .000"},
        {-0.0, 12, 3, "        .000"},
        {12.5, 5, 3, "*****"},
        {9.999, 5, 3, "9.999"},
        {-9.999, 5, 3, "*****"},
        {-0.5, 3, 2, "***"},
        {0.5, 3, 2, ".50"},
        {-2.5, 5, 1, " -2.5"},
        {-1.25, 5, 1, " -1.3"}, // half up on the magnitude
        {0.95, 3, 1, " .9"},    // 0.94999999999999996
        // The 17-significant-digit expansion decides, not the shortest one:
        // 0.145 is 0.14499999999999999 and 2.675 is 2.6749999999999998.
        {0.145, 4, 2, " .14"},
        {2.675, 5, 2, " 2.67"},
        {1.005, 5, 2, " 1.00"},
        // 0.3 - 0.1 is 0.19999999999999998: the 17th digit rounds the 16th up.
        {0.3 - 0.1, 18, 17, ".20000000000000000"},
        // At most 16 significant digits are printed, then zeros.
        {0.1, 19, 18, ".100000000000000000"},
        {123456789012345678.0, 22, 3, "123456789012345700.000"},
        {1.0 / 3.0, 20, 19, ".3333333333333333000"},
    };
    for (const FixedRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.value << " F" << row.width << "." << row.decimals);
        EXPECT_EQ(formatFixed(row.value, row.width, row.decimals), row.expected);
    }
}

// The value 1.0000000000000695 is 1.00000000000006949996... in binary; its
// 17-digit expansion 1.0000000000000695 is exactly half way at 15 decimals and
// rounds up, where rounding the binary value itself would round down.
TEST(ReportFormat, FixedFieldRoundsHalfUpFromSeventeenDigits) {
    EXPECT_EQ(formatFixed(1.0000000000000695, 17, 15), "1.000000000000070");
    EXPECT_EQ(formatFixed(-1.0000000000000695, 18, 15), "-1.000000000000070");
    EXPECT_EQ(formatFixed(1.0 + 0x1p-52, 17, 15), "1.000000000000000");
}

// The largest double has 309 integer digits: 16 significant ones (its 17
// digits 17976931348623157 rounded half up), then zeros.
TEST(ReportFormat, FixedFieldAtTheLimitsOfDouble) {
    const double largest = std::numeric_limits<double>::max();
    const std::string digits = "1797693134862316" + std::string(293, '0') + ".0";
    const FixedRow rows[] = {
        {largest, 5, 1, "*****"},
        {-largest, 5, 1, "*****"},
        {std::numeric_limits<double>::denorm_min(), 12, 3, "        .000"},
        {-std::numeric_limits<double>::denorm_min(), 12, 3, "        .000"},
        {std::numeric_limits<double>::min(), 5, 1, "   .0"},
        {1e308, 5, 1, "*****"},
        {999.95, 5, 1, "*****"},             // 999.95000000000005: 1000.0
        {999.94999999999993, 5, 1, "999.9"}, // the double below it
        {4.9e-324, 30, 28, " .0000000000000000000000000000"},
    };
    for (const FixedRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.value << " F" << row.width << "." << row.decimals);
        EXPECT_EQ(formatFixed(row.value, row.width, row.decimals), row.expected);
    }
    EXPECT_EQ(formatFixed(largest, 311, 1), digits);
    EXPECT_EQ(formatFixed(largest, 310, 1), std::string(310, '*'));
    EXPECT_EQ(formatFixed(-largest, 312, 1), "-" + digits);
}

TEST(ReportFormat, NonFiniteValuesKeepTheFieldWidth) {
    const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()};
    for (double value : values) {
        for (int width : {1, 2, 5, 12}) {
            EXPECT_EQ(formatFixed(value, width, 1).size(), static_cast<std::size_t>(width));
        }
    }
}

TEST(ReportFormat, TextField) {
    EXPECT_EQ(formatText("AB", 5), "   AB");
    EXPECT_EQ(formatText("ABCDE", 2), "AB");
    EXPECT_EQ(formatText("ABC", 3), "ABC");
    EXPECT_EQ(formatText("A B  ", 5), "A B  "); // trailing blanks are written
}

TEST(ReportFormat, IntegerFieldOfTruncatedValue) {
    EXPECT_EQ(formatInteger(truncateToInt32(-2.9), 3), " -2");
    EXPECT_EQ(formatInteger(truncateToInt32(1e10), 5), "*****");
    EXPECT_EQ(formatInteger(truncateToInt32(-1e10), 5), "*****");
    EXPECT_EQ(formatInteger(truncateToInt32(std::numeric_limits<double>::quiet_NaN()), 2), " 0");
}

TEST(ReportFormat, NameFieldIsAsWideAsTheTrimmedName) {
    EXPECT_EQ(trimmedName("P1          "), "P1");
    EXPECT_EQ(trimmedName(" P1         "), " P1"); // a leading blank is kept
    EXPECT_EQ(trimmedName("A B         "), "A B");
    EXPECT_EQ(trimmedName("ABCDEFGHIJKL"), "ABCDEFGHIJKL");
    EXPECT_EQ(trimmedName("            "), "");
    EXPECT_EQ(trimmedName("P1\t         "), "P1\t"); // only blanks are trailing

    const std::string leading = trimmedName(" P1         ");
    std::ostringstream out;
    writeRecord(out, {lit("M("), fieldA(leading, static_cast<int>(leading.size())), lit(") =")});
    EXPECT_EQ(out.str(), "M( P1) =\r\n");
}

TEST(ReportFormat, Lines) {
    std::ostringstream out;
    writeBlankLine(out);
    EXPECT_EQ(out.str(), " \r\n");

    out.str("");
    writeListText(out, "Redundancia=0");
    EXPECT_EQ(out.str(), " Redundancia=0\r\n");

    // Nothing after the last field; skips always appear.
    out.str("");
    writeRecord(out, {lit("Redundancia (planimetria): "), fieldI(1, 2)});
    writeRecord(out, {skip(3), fieldF(2.79, 6, 2), lit(" \"")});
    writeRecord(out, {lit(" Mp="), fieldF(500.0, 12, 3), lit(" m"), lit(" ;Pp="),
                      fieldF(500.0, 12, 3), lit(" m")});
    EXPECT_EQ(out.str(), "Redundancia (planimetria):  1\r\n"
                         "     2.79 \"\r\n"
                         " Mp=     500.000 m ;Pp=     500.000 m\r\n");
}

TEST(ReportFormat, DegreeSignBytes) {
    EXPECT_EQ(decimalDegreeSign, 0xBA);
    EXPECT_EQ(sexagesimalDegreeSign, 0xF8);
    const std::string line =
        buildRecord({fieldI(88, 3), byteItem(sexagesimalDegreeSign), fieldI(29, 3), lit("'"),
                     fieldF(88.5, 9, 4), byteItem(decimalDegreeSign)});
    EXPECT_EQ(line, " 88\xF8 29'  88.5000\xBA");
}

} // namespace
} // namespace resection
