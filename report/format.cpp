#include "report/format.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace resection {

namespace {

std::string padLeft(const std::string& s, int width) {
    if (static_cast<int>(s.size()) > width) {
        return std::string(static_cast<std::size_t>(width), '*');
    }
    return std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
}

// The value times 10^decimals, rounded half up on the magnitude, as a string
// of decimal digits without leading zeros (empty for zero).
std::string scaledDigits(double magnitude, int decimals) {
    if (magnitude == 0.0) {
        return {};
    }
    // 17 significant digits, correctly rounded: d.dddddddddddddddde+XX
    char buf[48];
    const int length = std::snprintf(buf, sizeof buf, "%.16e", magnitude);
    // A finite positive value takes 22 or 23 characters; should the library
    // write anything else, more digits than a double has before its point
    // give the asterisks of a value too large for its field.
    if (length < 22 || length >= static_cast<int>(sizeof buf)) {
        return std::string(400, '9');
    }
    std::string digits;
    digits += buf[0];
    digits.append(buf + 2, 16);
    const int exponent = std::atoi(buf + 19);

    // Digits kept: from the place 10^exponent down to 10^-decimals, but never
    // more than 16 significant ones; the 17th only decides the rounding.
    int kept = exponent + 1 + decimals;
    if (kept > 16) {
        kept = 16;
    }
    if (kept < 0) {
        return {};
    }
    std::string result = digits.substr(0, static_cast<std::size_t>(kept));
    if (digits[static_cast<std::size_t>(kept)] >= '5') {
        int i = kept - 1;
        while (i >= 0 && result[static_cast<std::size_t>(i)] == '9') {
            result[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i < 0) {
            result.insert(result.begin(), '1');
        } else {
            ++result[static_cast<std::size_t>(i)];
        }
    }
    // The last kept digit stands at 10^(exponent - kept + 1); fill the places
    // below it, down to 10^-decimals, with zeros.
    const int fill = exponent - kept + 1 + decimals;
    result.append(static_cast<std::size_t>(fill), '0');
    const auto first = result.find_first_not_of('0');
    return first == std::string::npos ? std::string{} : result.substr(first);
}

} // namespace

std::string formatInteger(std::int32_t value, int width) {
    return padLeft(std::to_string(value), width);
}

std::string formatFixed(double value, int width, int decimals) {
    if (std::isnan(value)) {
        return padLeft("NaN", width);
    }
    if (std::isinf(value)) {
        return padLeft(value < 0 ? "-Inf" : "Inf", width);
    }
    const std::string digits = scaledDigits(std::fabs(value), decimals);
    const auto d = static_cast<std::size_t>(decimals);
    std::string text;
    if (!digits.empty() && std::signbit(value)) {
        text += '-';
    }
    if (digits.size() > d) {
        text += digits.substr(0, digits.size() - d);
        text += '.';
        text += digits.substr(digits.size() - d);
    } else {
        text += '.';
        text += std::string(d - digits.size(), '0');
        text += digits;
    }
    return padLeft(text, width);
}

std::string formatText(std::string_view text, int width) {
    const auto w = static_cast<std::size_t>(width);
    if (w <= text.size()) {
        return std::string(text.substr(0, w));
    }
    return std::string(w - text.size(), ' ') + std::string(text);
}

Item lit(std::string_view text) {
    Item item{Item::Kind::Literal, std::string(text)};
    return item;
}

Item fieldI(std::int32_t value, int width) {
    Item item{Item::Kind::Integer, {}};
    item.integer = value;
    item.width = width;
    return item;
}

Item fieldF(double value, int width, int decimals) {
    Item item{Item::Kind::Fixed, {}};
    item.real = value;
    item.width = width;
    item.decimals = decimals;
    return item;
}

Item fieldA(std::string_view text, int width) {
    Item item{Item::Kind::Text, std::string(text)};
    item.width = width;
    return item;
}

Item skip(int blanks) {
    Item item{Item::Kind::Skip, {}};
    item.width = blanks;
    return item;
}

Item byteItem(unsigned char byte) {
    return lit(std::string(1, static_cast<char>(byte)));
}

std::string buildRecord(const std::vector<Item>& layout) {
    std::string line;
    for (const Item& item : layout) {
        switch (item.kind) {
        case Item::Kind::Literal:
            line += item.text;
            break;
        case Item::Kind::Integer:
            line += formatInteger(item.integer, item.width);
            break;
        case Item::Kind::Fixed:
            line += formatFixed(item.real, item.width, item.decimals);
            break;
        case Item::Kind::Text:
            line += formatText(item.text, item.width);
            break;
        case Item::Kind::Skip:
            line.append(static_cast<std::size_t>(item.width), ' ');
            break;
        }
    }
    return line;
}

void writeRecord(std::ostream& out, const std::vector<Item>& layout) {
    out << buildRecord(layout) << "\r\n";
}

void writeBlankLine(std::ostream& out) {
    out << " \r\n";
}

void writeListText(std::ostream& out, std::string_view text) {
    out << ' ' << text << "\r\n";
}

} // namespace resection
