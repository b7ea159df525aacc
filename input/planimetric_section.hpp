// The planimetric section of the input file.
#pragma once

#include "state/run_context.hpp"

#include <string>
#include <vector>

namespace resection {

// The header record (unit code, tolerance, a priori precision) and the
// station record. The unit code is kept as read: readPointCount refuses an
// unknown one, after the heading that shows what was read.
void readHeaderRecords(RunContext& ctx);

// The count record. Ends the run for an unknown unit code, for fewer than
// three points and for more than the program takes; sets the redundancy.
void readPointCount(RunContext& ctx);

// The point records, the readings converted to radians, and the work arrays
// sized. Returns the echo: each point record's line as written in the file,
// cut or blank-filled to 72 characters (the reader steps back over them).
std::vector<std::string> readPointRecords(RunContext& ctx);

// The whole section: the three above, the echo returned.
std::vector<std::string> readPlanimetricSection(RunContext& ctx);

// Sizes the work arrays of the planimetric adjustment from N (the dense
// intermediates that only the reference computation uses are sized by it).
void sizeWorkArrays(RunContext& ctx);

} // namespace resection
