#include "input/record_reader.hpp"

#include <charconv>
#include <cmath>
#include <exception>
#include <limits>

namespace resection {

namespace {

constexpr int eof = std::char_traits<char>::eof();
// Longest token kept; a number never needs more, a text is cut anyway.
constexpr std::size_t maxTokenLength = 256;

bool isBlank(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

RecordReader::RecordReader(std::istream& in, std::string fileName, WarningSink warn)
    : in_(in), buf_(in.rdbuf()), fileName_(std::move(fileName)), warn_(std::move(warn)) {
    skipByteOrderMark();
    lineStarts_.push_back(offset_);
    lineText_.reserve(maxLineLength);
}

// Editors on Windows (Notepad among them) begin a file saved as UTF-8 with
// the bytes EF BB BF. They are no part of the first record: skipped, the
// file reads as it would without them, and the echo steps back to offsets
// counted from the start of the file as always. Any other start of the file
// is read from its first byte again.
void RecordReader::skipByteOrderMark() {
    static constexpr unsigned char mark[] = {0xef, 0xbb, 0xbf};
    for (const unsigned char byte : mark) {
        if (peek() != byte) {
            if (offset_ != 0 && buf_->pubseekpos(0, std::ios_base::in) != std::streampos(0)) {
                readFault();
            }
            offset_ = 0;
            return;
        }
        buf_->sbumpc();
        ++offset_;
    }
    dataStart_ = offset_;
}

// A file buffer reports a failed read (an I/O error, a device that cannot be
// read) by throwing rather than by the stream's state: turn it into the stop
// of a file fault.
int RecordReader::peek() {
    if (buf_ == nullptr) {
        return eof;
    }
    try {
        return buf_->sgetc();
    } catch (const std::exception&) {
        readFault();
    }
}

int RecordReader::get() {
    if (buf_ == nullptr) {
        return eof;
    }
    int c = eof;
    try {
        c = buf_->sbumpc();
    } catch (const std::exception&) {
        readFault();
    }
    if (c != eof) {
        ++offset_;
        if (c == '\n') {
            newLine();
        } else {
            if (lineText_.size() == maxLineLength) {
                lineTooLong();
            }
            lineText_ += static_cast<char>(c);
            lineHasData_ = true;
            atLineStart_ = false;
        }
    }
    return c;
}

void RecordReader::newLine() {
    ++lineNumber_;
    atLineStart_ = true;
    lineHasData_ = false;
    lineText_.clear();
    lineStarts_.push_back(offset_);
    if (lineStarts_.size() > static_cast<std::size_t>(maxStepBack) + 1) {
        lineStarts_.pop_front();
    }
}

Stop RecordReader::stopHere(StopReason reason) const {
    Stop stop(reason);
    stop.fileName = fileName_;
    stop.line = lineNumber_;
    return stop;
}

void RecordReader::readFault() const {
    throw stopHere(StopReason::ReadFault);
}

void RecordReader::lineTooLong() const {
    throw stopHere(StopReason::LineTooLong).withCount(static_cast<long long>(maxLineLength));
}

void RecordReader::fail(const RecordItem& item, ReadProblem problem,
                        const std::string& found) const {
    throw stopHere(StopReason::UnreadableRecord).withText(found).withItem(item, problem);
}

void RecordReader::beginRecord() {
    if (!atLineStart_) {
        endRecord();
    }
    firstValueOfRecord_ = true;
}

void RecordReader::endRecord() {
    bool valuesLeft = false;
    while (true) {
        const int c = peek();
        if (c == '\n' || c == eof) {
            break;
        }
        get();
        valuesLeft = valuesLeft || !(isBlank(c) || c == ',');
    }
    if (valuesLeft) {
        warnOfDecimalComma();
    }
    // A last line without its line end still counts as a line.
    if (get() == eof && lineHasData_) {
        newLine();
    }
}

void RecordReader::warnOfDecimalComma() const {
    if (!warn_) {
        return;
    }
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const std::string& line = lineText_;
    for (std::size_t i = 1; i + 1 < line.size(); ++i) {
        if (line[i] != ',' || !digit(line[i - 1]) || !digit(line[i + 1])) {
            continue;
        }
        // The text around the comma, from blank to blank.
        const char* const blanks = " \t\r\f\v";
        const std::size_t before = line.find_last_of(blanks, i);
        const std::size_t begin = before == std::string::npos ? 0 : before + 1;
        const std::size_t end = line.find_first_of(blanks, i);
        warn_(lineNumber_, line.substr(begin, end - begin));
        return;
    }
}

bool RecordReader::skipToValue(const RecordItem& item) {
    bool comma = false;
    while (true) {
        const int c = peek();
        if (c == eof) {
            return false;
        }
        if (c == '\n' || isBlank(c)) {
            get();
            continue;
        }
        if (c == ',') {
            if (comma || firstValueOfRecord_) {
                fail(item, ReadProblem::EmptyValue);
            }
            comma = true;
            get();
            continue;
        }
        return true;
    }
}

std::string RecordReader::readToken(const RecordItem& item, bool& quoted) {
    if (!skipToValue(item)) {
        if (in_.bad()) {
            readFault();
        }
        if (offset_ == dataStart_) {
            fail(item, ReadProblem::EmptyFile);
        }
        fail(item, ReadProblem::EndOfFile);
    }
    firstValueOfRecord_ = false;
    std::string token;
    const int first = peek();
    if (first == '/') {
        fail(item, ReadProblem::Slash);
    }
    quoted = (first == '\'' || first == '"');
    if (quoted) {
        get();
        while (true) {
            const int c = get();
            if (c == eof || c == '\n') {
                fail(item, ReadProblem::UnclosedQuote);
            }
            if (c == first) {
                if (peek() == first) { // a doubled quote stands for one
                    get();
                } else {
                    break;
                }
            }
            if (token.size() < maxTokenLength) {
                token += static_cast<char>(c);
            }
        }
        return token;
    }
    while (true) {
        const int c = peek();
        if (c == eof || c == '\n' || isBlank(c) || c == ',' || c == '/') {
            break;
        }
        get();
        if (token.size() < maxTokenLength) {
            token += static_cast<char>(c);
        } else if (token.size() == maxTokenLength) {
            token += '~'; // marks a token too long to be a number
        }
    }
    return token;
}

std::string RecordReader::readText(int width, const RecordItem& item) {
    bool quoted = false;
    std::string token = readToken(item, quoted);
    token.resize(static_cast<std::size_t>(width), ' ');
    return token;
}

std::int32_t RecordReader::readInteger(const RecordItem& item) {
    bool quoted = false;
    const std::string token = readToken(item, quoted);
    if (quoted) {
        fail(item, ReadProblem::IntegerButText, token);
    }
    const char* begin = token.data();
    const char* end = token.data() + token.size();
    // One sign at most: "+-5" is no number.
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && *begin == '-') {
            begin = end;
        }
    }
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec == std::errc::result_out_of_range ||
        (ec == std::errc{} && ptr == end &&
         (value < std::numeric_limits<std::int32_t>::min() ||
          value > std::numeric_limits<std::int32_t>::max()))) {
        fail(item, ReadProblem::IntegerOutOfRange, token);
    }
    if (ec != std::errc{} || ptr != end || begin == end) {
        fail(item, ReadProblem::NotAnInteger, token);
    }
    return static_cast<std::int32_t>(value);
}

double RecordReader::readReal(const RecordItem& item) {
    bool quoted = false;
    std::string token = readToken(item, quoted);
    if (quoted) {
        fail(item, ReadProblem::NumberButText, token);
    }
    const std::string original = token;
    // Exponents may also be written with D, as older survey software does.
    for (char& c : token) {
        if (c == 'd' || c == 'D') {
            c = 'e';
        }
    }
    const char* begin = token.data();
    const char* end = token.data() + token.size();
    // One sign at most: "+-5" is no number.
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && *begin == '-') {
            begin = end;
        }
    }
    // Only ordinary decimal notation: no "nan", "inf" or hexadecimal forms.
    const bool decimal = begin != end && (std::isdigit(static_cast<unsigned char>(*begin)) ||
                                          *begin == '.' || *begin == '-');
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        fail(item, ReadProblem::NumberOutOfRange, original);
    }
    if (!decimal || ec != std::errc{} || ptr != end || !std::isfinite(value) ||
        original.find_first_of("xXnNiI") != std::string::npos) {
        fail(item, ReadProblem::NotANumber, original);
    }
    return value;
}

void RecordReader::stepBackLines(int n) {
    // lineStarts_ ends with the start of the line the reader stands on.
    const auto available = static_cast<long long>(lineStarts_.size()) - 1;
    if (n < 0 || n > available) {
        throw stopHere(StopReason::CannotStepBack).withCount(n);
    }
    for (int i = 0; i < n; ++i) {
        lineStarts_.pop_back();
    }
    const std::streamoff target = lineStarts_.back();
    lineStarts_.pop_back();
    if (buf_ == nullptr || buf_->pubseekpos(target, std::ios_base::in) != std::streampos(target)) {
        throw stopHere(StopReason::CannotReposition);
    }
    offset_ = target;
    lineNumber_ -= n;
    lineStarts_.push_back(target);
    lineText_.clear();
    atLineStart_ = true;
    lineHasData_ = false;
    firstValueOfRecord_ = true;
}

std::string RecordReader::readLineText(int width) {
    const auto w = static_cast<std::size_t>(width);
    std::string text;
    std::size_t length = 0;
    int last = eof;
    while (true) {
        const int c = get();
        if (c == '\n') {
            break;
        }
        if (c == eof) {
            if (lineHasData_) {
                newLine();
            }
            break;
        }
        ++length;
        last = c;
        if (text.size() <= w) {
            text += static_cast<char>(c);
        }
    }
    // The CR of a CR LF line end belongs to no echoed line.
    if (last == '\r' && length - 1 < text.size()) {
        text.resize(length - 1);
    }
    text.resize(w, ' ');
    return text;
}

} // namespace resection
