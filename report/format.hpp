// Fixed-width field formatting and line output for the report.
//
// Every report line is a sequence of literal texts and fixed-width fields
// (integer Iw, fixed-point Fw.d, text Aw, blank skip nX, single byte) written
// left to right; each line ends with CR LF and a blank line holds one blank.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace resection {

// Iw: the value right-justified in exactly w columns, w asterisks when it does
// not fit.
std::string formatInteger(std::int32_t value, int width);

// Fw.d: the value rounded half up (from its 17-significant-digit decimal
// expansion, at most 16 of them kept) to d decimals, with no zero before the
// point below 1, no sign on a value that prints as zeros, right-justified in w
// columns; w asterisks when it does not fit. A value that is not a finite
// number prints as "NaN", "Inf" or "-Inf", right-justified, or asterisks.
std::string formatFixed(double value, int width, int decimals);

// Aw: the text cut to its first w characters, or right-justified in w columns.
std::string formatText(std::string_view text, int width);

// One item of a record layout, holding its value.
struct Item {
    enum class Kind { Literal, Integer, Fixed, Text, Skip };
    Kind kind;
    std::string text;
    double real = 0.0;
    std::int32_t integer = 0;
    int width = 0;
    int decimals = 0;
};

Item lit(std::string_view text);
Item fieldI(std::int32_t value, int width);
Item fieldF(double value, int width, int decimals);
Item fieldA(std::string_view text, int width);
Item skip(int blanks);
Item byteItem(unsigned char byte);

// Degree sign after a decimal-degree value (0xBA) and between degrees and
// minutes (0xF8); they are the only bytes above 0x7F the program writes itself.
inline constexpr unsigned char decimalDegreeSign = 0xBA;
inline constexpr unsigned char sexagesimalDegreeSign = 0xF8;

std::string buildRecord(const std::vector<Item>& layout);

// Appends the finished line and its CR LF.
void writeRecord(std::ostream& out, const std::vector<Item>& layout);
// A line holding exactly one blank.
void writeBlankLine(std::ostream& out);
// One blank followed by the text.
void writeListText(std::ostream& out, std::string_view text);

} // namespace resection
