// Texts every layer builds: a name without its blank fill, a number quoted in
// a message.
#pragma once

#include <string>
#include <string_view>

namespace resection {

// The text without the blanks that end it. Names are read as 12 characters,
// blank-filled on the right; a leading blank and any other character stay.
std::string trimmedName(std::string_view name);

// A value for a message: at most 12 significant digits in the shortest form
// ("0.6", "-100000", "1e+20"), independent of the locale.
std::string messageNumber(double value);

} // namespace resection
