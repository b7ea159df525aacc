// The planimetric section of the input file.
#pragma once

#include "state/run_context.hpp"

namespace resection {

// Reads the header, station, count and point records, converting the readings
// to radians, sizes the work arrays, and writes the heading, redundancy line
// and echo as it goes. Ends the run for fewer than three points.
void readPlanimetricSection(RunContext& ctx);

// Steps back over the N point records and copies each line to the report, cut
// or blank-filled to 72 characters; the reader ends where it was.
void echoPointRecords(RunContext& ctx);

// Sizes the work arrays of the planimetric adjustment from N (the dense
// intermediates that only the reference computation uses are sized by it).
void sizeWorkArrays(RunContext& ctx);

} // namespace resection
