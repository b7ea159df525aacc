// The planimetric section of the input file.
#pragma once

#include "input/record_reader.hpp"
#include "input/survey.hpp"

#include <string>
#include <vector>

namespace resection {

// The header record (unit code, tolerance, a priori precision) and the
// station record. The unit code is kept as read: readPointCount refuses an
// unknown one, after the heading that shows what was read.
SurveyHeader readHeaderRecords(RecordReader& in);

// The count record. Ends the run for an unknown unit code, for fewer than
// three points and for more than the program takes.
std::int32_t readPointCount(RecordReader& in, const SurveyHeader& header);

// The point records, the readings converted to radians, and the echo: each
// point record's line as written in the file, cut or blank-filled to 72
// characters (the reader steps back over them).
struct PointRecords {
    Survey survey;
    std::vector<std::string> echo;
};
PointRecords readPointRecords(RecordReader& in, const SurveyHeader& header,
                              std::int32_t pointCount);

// The whole section: the three above.
PointRecords readPlanimetricSection(RecordReader& in);

} // namespace resection
