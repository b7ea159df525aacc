// A stop whose console text is already worded: what the companion's analysis
// catches from the program's passes (see analysis/run_state.hpp), and throws
// for its own file faults.
#pragma once

#include "base/stop.hpp"

#include <stdexcept>
#include <string>

namespace resection {

class RunStop : public std::runtime_error {
  public:
    // consoleText: written to the console as it stands, followed by CR LF
    // (empty: nothing is written).
    RunStop(std::string consoleText, int exitStatus)
        : std::runtime_error(consoleText), consoleText_(std::move(consoleText)),
          exitStatus_(exitStatus) {}

    static RunStop message(const std::string& text) { return {text, exitOrderly}; }
    static RunStop badInput(const std::string& text) { return {text, exitBadInput}; }
    static RunStop fileFault(const std::string& text) { return {text, exitFileFault}; }

    const std::string& consoleText() const { return consoleText_; }
    int exitStatus() const { return exitStatus_; }

  private:
    std::string consoleText_;
    int exitStatus_;
};

} // namespace resection
