#include "base/text.hpp"

#include <charconv>
#include <system_error>

namespace resection {

std::string trimmedName(std::string_view name) {
    const auto last = name.find_last_not_of(' ');
    return std::string(name.substr(0, last == std::string_view::npos ? 0 : last + 1));
}

std::string messageNumber(double value) {
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 12);
    // At most 19 characters ("-1.23456789012e-308"); never the buffer's bytes
    // after a conversion that failed.
    return result.ec == std::errc{} ? std::string(text, result.ptr) : std::string("?");
}

} // namespace resection
