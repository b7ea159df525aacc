// The report's heading and the echo of the sighted points.
#pragma once

#include "input/survey.hpp"

#include <ostream>
#include <string>
#include <vector>

namespace resection {

// Title with the station name, unit line, tolerance, a priori reading
// precision, each followed by a blank line: the header and station records
// as read.
void writeHeading(std::ostream& out, const SurveyHeader& header);
void writeRedundancy(std::ostream& out, int redundancy);
// A blank line, the caption and column header of the table of sighted
// points, the point records as read (72 characters each) and a blank line.
void writeEcho(std::ostream& out, const std::vector<std::string>& echo);

} // namespace resection
