// Included before every source of the web build. The C++ library of the
// WebAssembly tool chain (libc++ before 14) declares the conversions of
// <charconv> for integers only; the programs also read and print doubles
// with them. These stand in for the missing ones with the same results:
// printf's %e, %f and %g are exact in the C locale, which is the only locale
// a WebAssembly run has, and strtod rounds correctly.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000

namespace std {

inline to_chars_result charconvCompatCopy(char* first, char* last, const char* text, int length) {
    if (length < 0 || length > last - first) {
        return {last, errc::value_too_large};
    }
    for (int i = 0; i < length; ++i) {
        first[i] = text[i];
    }
    return {first + length, errc{}};
}

inline to_chars_result to_chars(char* first, char* last, double value, chars_format format,
                                int precision) {
    char text[400];
    const char* spec = format == chars_format::fixed        ? "%.*f"
                       : format == chars_format::scientific ? "%.*e"
                                                            : "%.*g";
    const int length = std::snprintf(text, sizeof text, spec, precision, value);
    return charconvCompatCopy(first, last, text, length);
}

// The shortest text that reads back as the same double, in fixed notation
// where that is not longer than the scientific one.
inline to_chars_result to_chars(char* first, char* last, double value) {
    char text[400];
    if (!std::isfinite(value) || value == 0.0) {
        const int length = std::snprintf(text, sizeof text, "%g", value);
        return charconvCompatCopy(first, last, text, length);
    }
    char scientific[64];
    int digits = 1;
    for (; digits < 17; ++digits) {
        std::snprintf(scientific, sizeof scientific, "%.*e", digits - 1, value);
        if (std::strtod(scientific, nullptr) == value) {
            break;
        }
    }
    std::snprintf(scientific, sizeof scientific, "%.*e", digits - 1, value);
    // scientific: [-]d[.ddd]e(+|-)xx
    const std::string s = scientific;
    const std::size_t e = s.find('e');
    const bool negative = s[0] == '-';
    std::string mantissa;
    for (std::size_t i = negative ? 1 : 0; i < e; ++i) {
        if (s[i] != '.') {
            mantissa += s[i];
        }
    }
    const int exponent = std::atoi(s.c_str() + e + 1);
    std::string shortScientific = (negative ? "-" : "") + mantissa.substr(0, 1);
    if (mantissa.size() > 1) {
        shortScientific += "." + mantissa.substr(1);
    }
    const int shownExponent = exponent < 0 ? -exponent : exponent;
    shortScientific += std::string("e") + (exponent < 0 ? "-" : "+") +
                       (shownExponent < 10 ? "0" : "") + std::to_string(shownExponent);
    std::string fixed = negative ? "-" : "";
    const int count = static_cast<int>(mantissa.size());
    if (exponent < 0) {
        fixed += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + mantissa;
    } else if (exponent >= count - 1) {
        fixed += mantissa + std::string(static_cast<std::size_t>(exponent - (count - 1)), '0');
    } else {
        fixed += mantissa.substr(0, static_cast<std::size_t>(exponent) + 1) + "." +
                 mantissa.substr(static_cast<std::size_t>(exponent) + 1);
    }
    const std::string& chosen = fixed.size() <= shortScientific.size() ? fixed : shortScientific;
    return charconvCompatCopy(first, last, chosen.data(), static_cast<int>(chosen.size()));
}

} // namespace std

#endif

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 200000

namespace std {

// strtod, with the common case taken first: a decimal of at most 15
// significant digits whose point stands at most 22 places from its end
// ("43626.673", "185.72903", "-0.6"). Its digits as a whole number and the
// power of ten are then both exact doubles, and one multiplication or
// division rounds their product or quotient correctly, as strtod does: the
// same double (Clinger's fast path). The WebAssembly C library's strtod
// works in software-emulated 128-bit arithmetic, about a tenth of a large
// run's time in the page. Anything else (more digits, an exponent far off,
// "inf", no digit at all) goes to strtod.
inline double charconvCompatStrtod(const char* text, char** end) {
    static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* at = text;
    const bool negative = *at == '-';
    at += negative ? 1 : 0;
    long long digits = 0;
    int significant = 0;
    int scale = 0; // the value is digits * 10^scale
    bool any = false;
    for (; *at >= '0' && *at <= '9'; ++at, any = true) {
        if (digits != 0 || *at != '0') {
            digits = digits * 10 + (*at - '0');
            ++significant;
        }
        if (significant > 15) {
            return std::strtod(text, end);
        }
    }
    if (*at == '.') {
        for (++at; *at >= '0' && *at <= '9'; ++at, any = true) {
            if (digits != 0 || *at != '0') {
                digits = digits * 10 + (*at - '0');
                ++significant;
            }
            --scale;
            if (significant > 15) {
                return std::strtod(text, end);
            }
        }
    }
    if (!any || *at == 'e' || *at == 'E' || scale < -22) {
        return std::strtod(text, end);
    }
    *end = const_cast<char*>(at);
    const double whole = static_cast<double>(digits);
    const double value = scale == 0 ? whole : whole / powers[-scale];
    return negative ? -value : value;
}

// As the native library reads: no leading blanks or plus sign, no "0x" form
// (strtod would take it; the digits stop at the x), a value beyond the range
// of a double, or one that would come out as zero from digits that are not,
// is out of range and leaves 'value' as it was.
inline from_chars_result from_chars(const char* first, const char* last, double& value,
                                    chars_format = chars_format::general) {
    std::string text(first, last);
    const std::size_t x = text.find_first_of("xX");
    if (x != std::string::npos) {
        text.resize(x);
    }
    if (text.empty() || text[0] == ' ' || text[0] == '+' ||
        (text[0] < '0' && text[0] != '.' && text[0] != '-')) {
        return {first, errc::invalid_argument};
    }
    char* end = nullptr;
    const double read = charconvCompatStrtod(text.c_str(), &end);
    const std::size_t used = static_cast<std::size_t>(end - text.c_str());
    if (used == 0) {
        return {first, errc::invalid_argument};
    }
    bool nonzeroDigit = false;
    for (std::size_t i = 0; i < used && text[i] != 'e' && text[i] != 'E'; ++i) {
        nonzeroDigit = nonzeroDigit || (text[i] >= '1' && text[i] <= '9');
    }
    const bool finiteText = text.find_first_of("nNiI") == std::string::npos;
    if ((finiteText && std::isinf(read)) || (read == 0.0 && nonzeroDigit)) {
        return {first + used, errc::result_out_of_range};
    }
    value = read;
    return {first + used, errc{}};
}

} // namespace std

#endif
