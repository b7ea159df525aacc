// The altimetric section of the input file.
#pragma once

#include "input/record_reader.hpp"
#include "input/survey.hpp"

namespace resection {

// The section that follows the point records: count and instrument height,
// then one record per observation (name, M, P, point height, zenith reading,
// signal height; the reading as degrees, minutes and seconds for "gs").
// Readings in radians. Ends the run for a count below one or above the
// largest, and for a first reading of 0 (the starting height divides by its
// tangent).
ZenithSection readZenithSection(RecordReader& in, const SurveyHeader& header);

} // namespace resection
