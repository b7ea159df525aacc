// The report's heading and the echo of the sighted points.
#pragma once

#include "state/run_context.hpp"

namespace resection {

// Title with the station name, unit line, tolerance, a priori reading
// precision, each followed by a blank line.
void writeHeading(RunContext& ctx);
void writeRedundancy(RunContext& ctx);
// Caption and column header of the table of sighted points.
void writeEchoHeader(RunContext& ctx);
void writeEchoLine(RunContext& ctx, const std::string& echoLine);
void writeEchoEnd(RunContext& ctx);

} // namespace resection
