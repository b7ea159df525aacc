// A whole run of the analysis program: the input file and, where named, the
// sketch to write; the analysis on the console.
#pragma once

#include "console/files.hpp"

#include <ostream>
#include <string>
#include <vector>

namespace resection {

// 'arguments' are the command-line arguments without the program name: the
// input file and optionally the SVG file of the sketch. Returns the exit
// status as the main program does: 0 for a normal end and every orderly
// stop, 1 when the input file's content is refused, 2 when a file cannot be
// opened, read or written (or the arguments name none).
int runAnalysis(const std::vector<std::string>& arguments, std::ostream& consoleOut,
                FileSystem& files);

} // namespace resection
