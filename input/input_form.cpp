#include "input/input_form.hpp"

#include "input/station_text.hpp"

#include <string>
#include <string_view>

namespace resection {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

} // namespace

InputForm inputFormOf(std::istream& in) {
    std::streambuf* buf = in.rdbuf();
    if (buf == nullptr) {
        return InputForm::ProgramFile;
    }
    // The first few kilobytes decide: blank lines before the first value
    // are passed over, a longer run of them is no input of either form.
    std::string head(4096, '\0');
    std::streamsize got = 0;
    try {
        got = buf->sgetn(head.data(), static_cast<std::streamsize>(head.size()));
        buf->pubseekpos(0, std::ios_base::in);
    } catch (const std::exception&) {
        // A file that cannot be read is the reader's to report.
        return InputForm::ProgramFile;
    }
    in.clear();
    head.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    std::string_view text = head;
    if (text.substr(0, 3) == "\xef\xbb\xbf") {
        text.remove_prefix(3);
    }
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at])) {
        ++at;
    }
    if (at < text.size() && text[at] == '{') {
        return InputForm::StationJson;
    }
    std::string word;
    while (at < text.size() && !isBlank(text[at]) && text[at] != ',') {
        const char c = text[at++];
        word += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return word == freeStationKeyword ? InputForm::StationText : InputForm::ProgramFile;
}

} // namespace resection
