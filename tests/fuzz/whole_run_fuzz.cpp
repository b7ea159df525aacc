// Fuzz target: a whole run in-process over an in-memory input file.
//
// Layout of the data: the console text up to the first NUL byte, then the
// input file "in". The program is started with the arguments "in" and "out",
// so that blank answers name those files too.
//
// A precision search computes a few of its passes, but where its prediction
// is not borne out it computes every pass of its walk, which after a gross
// error runs to thousands, at a cost that grows with N^2: with 100 points
// such a run takes seconds under the sanitizers. Files of more than maxPoints
// points are therefore left out (counts above the program's maximum still
// run, since they are refused as read), and a search may compute at most
// passBudget passes.
#include "base/constants.hpp"
#include "base/stop.hpp"
#include "console/files.hpp"
#include "input/record_reader.hpp"
#include "precision/precision_search.hpp"
#include "runs/run.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

constexpr int maxPoints = 32;
// Passes one search may compute: far more than any walk whose passes are
// predicted; about a millisecond each under the sanitizers at 30 points, so
// that a walk computed pass by pass (a tolerance within rounding) stays a
// few seconds, well inside the fuzzer's timeout on a busy machine.
constexpr std::int64_t passBudget = 2000;

// The point count of the file, as the run will read it; 0 when the file ends
// or is refused before it.
int pointCount(const std::string& file) {
    std::istringstream stream(file);
    resection::RecordReader reader(stream, "in");
    try {
        reader.beginRecord();
        reader.readText(2, {});
        reader.readReal({});
        reader.readReal({});
        reader.beginRecord();
        reader.readText(12, {});
        reader.beginRecord();
        return reader.readInteger({});
    } catch (const resection::Stop&) {
        return 0;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(bytes, '\0', size);
    const std::size_t consoleLength =
        nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : size;
    const std::string console(bytes, consoleLength);
    const std::string file = consoleLength < size
                                 ? std::string(bytes + consoleLength + 1, size - consoleLength - 1)
                                 : std::string();

    const int count = pointCount(file);
    if (count > maxPoints && count <= resection::maxPointCount) {
        return -1; // not kept in the corpus
    }

    resection::MemoryFileSystem files;
    files.files["in"] = file;
    std::istringstream consoleIn(console);
    std::ostringstream consoleOut;
    resection::RunOptions options;
    options.passBudget = passBudget;
    int status = resection::exitOrderly;
    try {
        status = resection::runResection({"in", "out"}, consoleIn, consoleOut, files, options);
    } catch (const resection::PassBudgetExceeded&) {
        return -1; // slow, not wrong: not kept in the corpus
    }
    if (status != resection::exitOrderly && status != resection::exitBadInput &&
        status != resection::exitFileFault) {
        std::abort();
    }
    // The input is never replaced or changed by a run.
    if (files.files["in"] != file) {
        std::abort();
    }
    return 0;
}
