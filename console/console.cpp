#include "console/console.hpp"

#include <exception>

namespace resection {

std::string printable(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7f) {
            shown += "\\x";
            shown += hex[byte >> 4];
            shown += hex[byte & 0xf];
        } else {
            shown += ch;
        }
    }
    return shown;
}

void Console::plainLine(const std::string& text) {
    out_ << text << "\r\n";
    afterPrompt_ = false;
}

void Console::prompt(const std::string& record) {
    out_ << record.substr(1);
    out_.flush();
    afterPrompt_ = true;
}

void Console::direct(const std::string& text) {
    const std::string_view all(text);
    std::size_t start = 0;
    while (true) {
        const std::size_t end = all.find("\r\n", start);
        out_ << printable(all.substr(start, end - start)) << "\r\n";
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 2;
    }
    out_.flush();
    afterPrompt_ = false;
}

void Console::warning(const std::string& text) {
    if (afterPrompt_) {
        out_ << "\r\n";
    }
    direct(text);
}

std::optional<std::string> Console::readLine() {
    // Read a character at a time and keep only the start of a long line, so
    // that a console fed from a file without line ends costs no memory.
    std::streambuf* buf = in_.rdbuf();
    if (buf == nullptr || !in_.good()) {
        return std::nullopt;
    }
    if (in_.tie() != nullptr) {
        in_.tie()->flush();
    }
    constexpr int eof = std::char_traits<char>::eof();
    std::string line;
    bool any = false;
    bool lastWasCr = false;
    while (true) {
        int c = eof;
        try {
            c = buf->sbumpc();
        } catch (const std::exception&) {
            // A console that cannot be read (a folder as standard input)
            // counts as one that has ended.
            in_.setstate(std::ios::badbit);
        }
        if (c == eof) {
            in_.setstate(std::ios::eofbit);
            if (!any) {
                return std::nullopt;
            }
            break;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        if (line.size() <= maxLineKept) {
            line += static_cast<char>(c);
            lastWasCr = c == '\r';
        } else {
            lastWasCr = false;
        }
    }
    // The CR of a CR LF line end is no part of the answer.
    if (lastWasCr) {
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
