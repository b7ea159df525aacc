// The one way a stage ends the run early.
//
// Stages never call exit(): they throw a RunStop, which the driver catches.
// It writes the console text, closes the report and returns the exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace resection {

// Exit statuses of the program.
inline constexpr int exitOrderly = 0;   // normal end and every orderly stop
inline constexpr int exitBadInput = 1;  // input file content refused
inline constexpr int exitFileFault = 2; // a file could not be opened, read or written

class RunStop : public std::runtime_error {
  public:
    // consoleText: written to the console as it stands, followed by CR LF
    // (empty: nothing is written).
    RunStop(std::string consoleText, int exitStatus)
        : std::runtime_error(consoleText), consoleText_(std::move(consoleText)),
          exitStatus_(exitStatus) {}

    // An orderly stop without a message of its own.
    static RunStop terminated() { return {"Stop - Program terminated.", exitOrderly}; }
    // An orderly stop whose only console line is the message.
    static RunStop message(const std::string& text) { return {text, exitOrderly}; }
    // A plain text line (the console shows the text, not the blank that
    // begins its record) followed by "Stop - Program terminated.".
    static RunStop withPlainLine(const std::string& text) {
        return {text + "\r\nStop - Program terminated.", exitOrderly};
    }
    static RunStop badInput(const std::string& text) { return {text, exitBadInput}; }
    static RunStop fileFault(const std::string& text) { return {text, exitFileFault}; }

    const std::string& consoleText() const { return consoleText_; }
    int exitStatus() const { return exitStatus_; }

  private:
    std::string consoleText_;
    int exitStatus_;
};

} // namespace resection
