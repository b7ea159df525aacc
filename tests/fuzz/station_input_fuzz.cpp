// Fuzz target: a free station in either input form, as a whole run of the
// analysis program in-process with its sketch and JSON.
//
// Byte 0 picks the form (even: the text form, its keyword put first; odd:
// JSON, its opening brace put first); the rest is the file. Beyond the
// sanitizers' findings it stops on an exit status other than 0 (analysed)
// or 1 (refused), a refusal that does not name the file, a figure written
// as nan or inf in the text or the JSON, a JSON that is not one object,
// and a sketch that is not well-formed XML.
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
        std::fprintf(stderr, "station_input_fuzz: %s\n", what.c_str());
        std::abort();
    }
}

// A figure that is no number, as the text or the JSON would write it.
bool holdsNoNumber(const std::string& text) {
    for (const char* bad : {"nan", "inf", "NaN", "Inf"}) {
        if (text.find(bad) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool json = (data[0] & 1) != 0;
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string file = json ? "{" + rest : "estacao-livre " + rest;
    const std::string name = json ? "est.json" : "est.txt";
    resection::MemoryFileSystem files;
    files.files[name] = file;
    std::ostringstream out, errors;
    const int status =
        resection::runAnalysis({name, "e.svg", "--json", "e.out"}, out, errors, files);
    check(status == resection::exitOrderly || status == resection::exitBadInput,
          "exit status " + std::to_string(status) + ": " + errors.str());
    if (status == resection::exitBadInput) {
        check(errors.str().find(" ficheiro " + name) != std::string::npos,
              "a refusal without the file: " + errors.str());
    }
    // Names are quoted from the input; the analysis's own words and
    // figures come after the summary's heading.
    const std::string text = out.str();
    const auto analysis = text.find("Resumo:");
    check(analysis == std::string::npos || !holdsNoNumber(text.substr(analysis)) ||
              holdsNoNumber(file),
          "a figure that is no number in the text");
    const std::string& result = files.files["e.out"];
    check(!result.empty() && result.front() == '{' && result.back() == '\n',
          "the JSON is not one object");
    const auto sketch = files.files.find("e.svg");
    if (sketch != files.files.end()) {
        const std::string error = resection::testing::xmlWellFormednessError(sketch->second);
        check(error.empty(), "the sketch is not well-formed XML: " + error);
    }
    return 0;
}
