// A whole run of the analysis program: the input file and, where named, the
// sketch to write; the analysis on the console.
#pragma once

#include "console/files.hpp"

#include <ostream>
#include <string>
#include <vector>

namespace resection {

// 'arguments' are the command-line arguments without the program name:
// options (-h/--help, --version), the input file and optionally the SVG
// file of the sketch. The analysis goes to 'consoleOut', every error
// message (and the usage after wrong arguments) to 'errorOut'. Returns the
// exit status as the main program does: 0 for a normal end, every orderly
// stop and the help, 1 when the input file's content is refused, 2 when a
// file cannot be opened, read or written, or the arguments cannot be used.
int runAnalysis(const std::vector<std::string>& arguments, std::ostream& consoleOut,
                std::ostream& errorOut, FileSystem& files);

} // namespace resection
