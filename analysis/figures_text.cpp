#include "analysis/figures_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace resection {

std::string figure(double value, int decimals) {
    if (!std::isfinite(value)) {
        return "nao calculavel";
    }
    // to_chars: the same digits on every platform and in every locale.
    char text[64];
    if (std::fabs(value) >= 1e15) {
        const auto end =
            std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 6).ptr;
        return std::string(text, end);
    }
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    std::string out(text, end);
    // A value that rounds to zero carries no sign.
    if (out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos) {
        out.erase(0, 1);
    }
    return out;
}

std::string metres(double value, int decimals) {
    return figure(value, decimals) + " m";
}

std::string smallAngle(AngleUnit unit, double radians, int decimals) {
    return figure(precisionFromRadians(unit, radians), decimals) +
           (precisionInSeconds(unit) ? "\"" : " mgon");
}

std::string precisionText(AngleUnit unit, double radians) {
    return std::isfinite(precisionFromRadians(unit, radians))
               ? smallAngle(unit, radians, 2)
               : std::string("fora do alcance do calculo");
}

std::string largeAngle(AngleUnit unit, double radians, int decimals) {
    return unit == AngleUnit::Grads ? figure(radiansToGon(radians), decimals) + " gon"
                                    : figure(radiansToDegrees(radians), decimals) + " graus";
}

std::string errorSize(AngleUnit unit, double radians) {
    if (!std::isfinite(radians)) {
        return "nao calculavel (a leitura excede o alcance do calculo)";
    }
    std::string text = smallAngle(unit, radians, 1);
    if (std::fabs(precisionFromRadians(unit, radians)) >=
        (precisionInSeconds(unit) ? 60.0 : 10.0)) {
        text += " (" + largeAngle(unit, radians, 5) + ")";
    }
    return text;
}

std::string nameList(const std::vector<std::string>& names, const char* last) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            text += i + 1 == names.size() ? last : ", ";
        }
        text += names[i];
    }
    return text;
}

std::string padRight(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::vector<std::string> alignedRows(const std::vector<std::vector<std::string>>& rows,
                                     std::size_t indent, std::size_t gap,
                                     const std::string& align) {
    std::size_t columns = 0;
    for (const auto& row : rows) {
        columns = std::max(columns, row.size());
    }
    // The last cell of a shorter row runs on over the columns it lacks.
    std::vector<std::size_t> widths(columns, 0);
    for (const auto& row : rows) {
        for (std::size_t j = 0; j < row.size(); ++j) {
            if (j + 1 < row.size() || row.size() == columns) {
                widths[j] = std::max(widths[j], row[j].size());
            }
        }
    }
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        std::string line(indent, ' ');
        for (std::size_t j = 0; j < row.size(); ++j) {
            if (j > 0) {
                line += std::string(gap, ' ');
            }
            const std::string fill(widths[j] - std::min(widths[j], row[j].size()), ' ');
            line += j < align.size() && align[j] == 'l' ? row[j] + fill : fill + row[j];
        }
        line.erase(line.find_last_not_of(' ') + 1);
        lines.push_back(line);
    }
    return lines;
}

} // namespace resection
