// A whole run of the program: console dialogue, files, stages, stops.
#pragma once

#include "console/files.hpp"

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace resection {

struct SearchCounts;

struct RunOptions {
    // Compute with the straightforward dense matrix routines (the reference
    // of the tests and the benchmark); the printed bytes are the same.
    bool denseReference = false;
    // Compute every pass of the precision searches (the reference the
    // searches that skip passes are checked against); the same bytes again.
    bool passByPassSearch = false;
    // At most this many passes computed in either search (0: no bound); a
    // search over it throws PassBudgetExceeded out of runResection. For the
    // fuzzers, whose made-up data can send a search pass by pass through
    // millions of passes.
    std::int64_t passBudget = 0;
    // Where given, how the position and the height searches went.
    SearchCounts* positionSearch = nullptr;
    SearchCounts* heightSearch = nullptr;
};

// Runs one computation. 'arguments' are the command-line arguments without the
// program name; they serve as file names for blank answers. Returns the exit
// status: 0 for a normal end and every orderly stop, 1 when the input file's
// content is refused, 2 when a file cannot be opened, read or written.
int runResection(const std::vector<std::string>& arguments, std::istream& consoleIn,
                 std::ostream& consoleOut, FileSystem& files, const RunOptions& options = {});

} // namespace resection
