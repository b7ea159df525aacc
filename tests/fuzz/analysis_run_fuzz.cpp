// Fuzz target: a whole run of the analysis program in-process, with a
// sketch, over an in-memory input file (the data, whole).
//
// Beyond the sanitizers' findings it stops on an exit status other than the
// program's three, an input file that the run changed, a console that says
// the sketch was written where there is none, and a sketch that is not
// well-formed XML (raw bytes, a tag left open, an attribute unquoted, bytes
// that are not UTF-8): the check and what it found go to standard error.
#include "base/stop.hpp"
#include "console/files.hpp"
#include "runs/analysis_run.hpp"
#include "support/xml_check.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

void check(bool condition, const std::string& what) {
    if (!condition) {
        std::fprintf(stderr, "analysis_run_fuzz: %s\n", what.c_str());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    resection::MemoryFileSystem files;
    files.files["in"] = file;
    std::ostringstream console;
    const int status = resection::runAnalysis({"in", "esboco.svg"}, console, console, files);
    check(status == resection::exitOrderly || status == resection::exitBadInput ||
              status == resection::exitFileFault,
          "exit status " + std::to_string(status));
    check(files.files["in"] == file, "the input file was changed");
    const auto sketch = files.files.find("esboco.svg");
    const bool written = console.str().find("Esboco escrito em esboco.svg") != std::string::npos;
    check(!written || sketch != files.files.end(), "no sketch where the console says one");
    if (sketch != files.files.end()) {
        const std::string error = resection::testing::xmlWellFormednessError(sketch->second);
        check(error.empty(), "the sketch is not well-formed XML: " + error);
    }
    return 0;
}
