// Every message of the programs' stops, worded once: the console text of a
// Stop, its stable code for the companion's JSON, and the reader's warning.
#pragma once

#include "angles/units.hpp"
#include "base/stop.hpp"

#include <string>

namespace resection {

// The console text of a stop, as the console shows it (several lines
// separated by CR LF, without the last line end). 'unit' words the
// precisions of the search stops.
std::string stopMessage(const Stop& stop, AngleUnit unit = AngleUnit::Unknown);

// A stable name of the reason, for programs that read the companion's JSON
// ("positionNotConverging", "singularMatrix", ...).
const char* stopCode(StopReason reason);

// The name of a record's item in the messages ("coordenada M do ponto 3").
std::string itemName(const RecordItem& item);

// The warning of a line that looks as if it used a decimal comma: the file,
// the line and the text around the comma.
std::string decimalCommaWarning(const std::string& fileName, long long line,
                                const std::string& text);

// " segundos" or " mgon": the unit of a precision of the readings.
const char* precisionUnitText(AngleUnit unit);

} // namespace resection
