#include "support/run_harness.hpp"

#include "platform/platform.hpp"
#include "runs/run.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace resection::testing {

namespace fs = std::filesystem;

RunResult runInProcess(const std::map<std::string, std::string>& files,
                       const std::string& consoleInput, const std::vector<std::string>& arguments,
                       const RunOptions& options) {
    MemoryFileSystem memory;
    memory.files = files;
    std::istringstream in(consoleInput);
    std::ostringstream out;
    RunResult result;
    result.status = runResection(arguments, in, out, memory, options);
    result.console = out.str();
    result.files = memory.files;
    return result;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<GoldenCase> loadGoldenCases(const std::string& folder) {
    std::vector<GoldenCase> cases;
    if (!fs::is_directory(folder)) {
        return cases;
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_directory() || !fs::exists(entry.path() / "expected")) {
            continue;
        }
        GoldenCase c;
        c.name = entry.path().filename().string();
        if (fs::is_directory(entry.path() / "run")) {
            for (const auto& f : fs::directory_iterator(entry.path() / "run")) {
                c.files[f.path().filename().string()] = readFile(f.path().string());
            }
        }
        c.consoleInput = readFile((entry.path() / "stdin").string());
        std::istringstream args(readFile((entry.path() / "args").string()));
        for (std::string line; std::getline(args, line);) {
            c.arguments.push_back(line);
        }
        for (const auto& f : fs::directory_iterator(entry.path() / "expected")) {
            const std::string name = f.path().filename().string();
            if (name == "console") {
                c.expectedConsole = readFile(f.path().string());
            } else if (name == "status") {
                c.expectedStatus = std::stoi(readFile(f.path().string()));
            } else {
                c.expectedFiles[name] = readFile(f.path().string());
            }
        }
        cases.push_back(std::move(c));
    }
    std::sort(cases.begin(), cases.end(),
              [](const GoldenCase& a, const GoldenCase& b) { return a.name < b.name; });
    return cases;
}

} // namespace resection::testing
