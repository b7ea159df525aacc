// Whole runs of the program in-process, and the golden run folders.
#pragma once

#include "runs/run.hpp"

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace resection::testing {

struct RunResult {
    int status = -1;
    std::string console;
    std::map<std::string, std::string> files; // every file after the run
};

// Runs the program on in-memory files with the given console input.
RunResult runInProcess(const std::map<std::string, std::string>& files,
                       const std::string& consoleInput,
                       const std::vector<std::string>& arguments = {},
                       const RunOptions& options = {});

// A run folder: run/ (files before the run), stdin, args (one a line) and
// expected/ (console and every file the run creates or changes).
struct GoldenCase {
    std::string name;
    std::map<std::string, std::string> files;
    std::string consoleInput;
    std::vector<std::string> arguments;
    std::string expectedConsole;
    std::map<std::string, std::string> expectedFiles;
    int expectedStatus = 0; // from expected/status when present
};

// gtest shows a case by its folder name.
inline void PrintTo(const GoldenCase& c, std::ostream* os) {
    *os << c.name;
}

std::string readFile(const std::string& path);
std::vector<GoldenCase> loadGoldenCases(const std::string& folder);

} // namespace resection::testing
