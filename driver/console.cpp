#include "driver/console.hpp"

namespace resection {

void Console::plainLine(const std::string& text) {
    out_ << text << "\r\n";
}

void Console::prompt(const std::string& record) {
    out_ << record.substr(1);
    out_.flush();
}

void Console::direct(const std::string& text) {
    out_ << text << "\r\n";
    out_.flush();
}

std::optional<std::string> Console::readLine() {
    std::string line;
    if (!std::getline(in_, line)) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::string Console::readAnswer(std::size_t width) {
    std::string line = readLine().value_or("");
    line.resize(width, ' ');
    return line;
}

} // namespace resection
