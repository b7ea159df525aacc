// Figures as the analysis writes them: every figure in full, with an
// exponent where it is large, and in words where it is not a number; and
// tables whose columns are as wide as their widest entry, so that no figure
// is ever cut or turned into asterisks.
#pragma once

#include "angles/units.hpp"

#include <string>
#include <vector>

namespace resection {

// A value with the given decimals and a zero before the point below 1;
// beyond 1e15 in magnitude with six significant digits and an exponent
// ("1.234568e+20"); "nao calculavel" where it is not a number.
std::string figure(double value, int decimals);

// A length in metres: figure(value, decimals) + " m".
std::string metres(double value, int decimals);

// A small angle (a residual, an error, a precision) in seconds of arc, or in
// mgon for grads, with its unit sign.
std::string smallAngle(AngleUnit unit, double radians, int decimals);

// A precision as smallAngle gives it, or, where the file's value lies
// beyond the range of the arithmetic, said so.
std::string precisionText(AngleUnit unit, double radians);

// A larger angle in decimal degrees, or in gon for grads.
std::string largeAngle(AngleUnit unit, double radians, int decimals);

// An estimated error: the small unit, and the large one when it is a minute
// of arc (a centigon) or more.
std::string errorSize(AngleUnit unit, double radians);

// "A, B e C", or with "ou": "A, B ou C".
std::string nameList(const std::vector<std::string>& names, const char* last = " e ");

// The text padded with blanks on the right to 'width' (never cut).
std::string padRight(const std::string& text, std::size_t width);

// Rows of cells as lines: each column as wide as its widest cell, 'gap'
// blanks between columns and 'indent' blanks before the first. align[j] is
// 'l' for a column aligned on the left, else it is aligned on the right;
// columns beyond align are aligned on the right. The last cell of a row
// shorter than the others runs on over the columns it lacks.
std::vector<std::string> alignedRows(const std::vector<std::vector<std::string>>& rows,
                                     std::size_t indent, std::size_t gap,
                                     const std::string& align = "l");

} // namespace resection
