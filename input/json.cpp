#include "input/json.hpp"

#include "base/stop.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace resection {

const JsonValue* JsonValue::find(std::string_view key) const {
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i] == key) {
            return &items_[i];
        }
    }
    return nullptr;
}

class JsonParser {
  public:
    JsonParser(std::string_view text, const std::string& fileName)
        : text_(text), fileName_(fileName) {}

    JsonValue document() {
        if (text_.size() > maxJsonSize) {
            throw stop(ReadProblem::JsonTooLarge)
                .withCount(static_cast<long long>(maxJsonSize / (std::size_t{1024} * 1024)));
        }
        if (text_.substr(0, 3) == "\xef\xbb\xbf") {
            at_ = 3;
        }
        skipBlanks();
        if (at_ == text_.size()) {
            fail(ReadProblem::EmptyFile);
        }
        JsonValue v = value(0);
        skipBlanks();
        if (at_ != text_.size()) {
            fail(ReadProblem::JsonTextAfterValue);
        }
        return v;
    }

  private:
    Stop stop(ReadProblem problem) const {
        return Stop(StopReason::UnreadableJson)
            .withFile(fileName_)
            .withLine(line_)
            .withItem({}, problem);
    }

    [[noreturn]] void fail(ReadProblem problem) const { throw stop(problem); }

    // Where a character was expected and another (or the end) was found.
    [[noreturn]] void failFound(ReadProblem problem) const {
        throw stop(problem).withText(at_ < text_.size() ? std::string(1, text_[at_])
                                                        : std::string());
    }

    int peek() const { return at_ < text_.size() ? static_cast<unsigned char>(text_[at_]) : -1; }

    void skipBlanks() {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '\n') {
                ++line_;
            } else if (c != ' ' && c != '\t' && c != '\r') {
                return;
            }
            ++at_;
        }
    }

    void expect(char c, ReadProblem otherwise) {
        skipBlanks();
        if (peek() != static_cast<unsigned char>(c)) {
            failFound(otherwise);
        }
        ++at_;
    }

    // Recursive descent, one level a nesting of the text, bounded by
    // maxJsonDepth.
    JsonValue value(int depth) { // NOLINT(misc-no-recursion)
        skipBlanks();
        JsonValue v;
        v.line_ = line_;
        const int c = peek();
        if (c == '{' || c == '[') {
            if (depth >= maxJsonDepth) {
                throw stop(ReadProblem::JsonTooDeep).withCount(maxJsonDepth);
            }
            ++at_;
            if (c == '{') {
                object(v, depth + 1);
            } else {
                array(v, depth + 1);
            }
        } else if (c == '"') {
            v.type_ = JsonValue::Type::String;
            v.text_ = string();
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            v.type_ = JsonValue::Type::Number;
            v.number_ = number();
        } else if (word("true")) {
            v.type_ = JsonValue::Type::Boolean;
            v.boolean_ = true;
        } else if (word("false")) {
            v.type_ = JsonValue::Type::Boolean;
        } else if (!word("null")) {
            failFound(ReadProblem::JsonExpectedValue);
        }
        return v;
    }

    bool word(std::string_view w) {
        if (text_.substr(at_, w.size()) != w) {
            return false;
        }
        at_ += w.size();
        return true;
    }

    void object(JsonValue& v, int depth) { // NOLINT(misc-no-recursion)
        v.type_ = JsonValue::Type::Object;
        skipBlanks();
        if (peek() == '}') {
            ++at_;
            return;
        }
        while (true) {
            skipBlanks();
            if (peek() != '"') {
                failFound(ReadProblem::JsonExpectedMemberName);
            }
            std::string key = string();
            if (v.find(key) != nullptr) {
                throw stop(ReadProblem::JsonRepeatedMember).withText(key);
            }
            expect(':', ReadProblem::JsonExpectedColon);
            v.keys_.push_back(std::move(key));
            v.items_.push_back(value(depth));
            skipBlanks();
            if (peek() == ',') {
                ++at_;
                continue;
            }
            expect('}', ReadProblem::JsonExpectedCommaOrBrace);
            return;
        }
    }

    void array(JsonValue& v, int depth) { // NOLINT(misc-no-recursion)
        v.type_ = JsonValue::Type::Array;
        skipBlanks();
        if (peek() == ']') {
            ++at_;
            return;
        }
        while (true) {
            v.items_.push_back(value(depth));
            skipBlanks();
            if (peek() == ',') {
                ++at_;
                continue;
            }
            expect(']', ReadProblem::JsonExpectedCommaOrBracket);
            return;
        }
    }

    // JSON's number grammar exactly: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    double number() {
        const std::size_t begin = at_;
        const auto digits = [this]() {
            const std::size_t from = at_;
            while (peek() >= '0' && peek() <= '9') {
                ++at_;
            }
            return at_ - from;
        };
        if (peek() == '-') {
            ++at_;
        }
        if (peek() == '0') {
            ++at_;
        } else if (digits() == 0) {
            fail(ReadProblem::JsonMalformedNumber);
        }
        if (peek() == '.') {
            ++at_;
            if (digits() == 0) {
                fail(ReadProblem::JsonNoFraction);
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-') {
                ++at_;
            }
            if (digits() == 0) {
                fail(ReadProblem::JsonNoExponent);
            }
        }
        if (peek() >= '0' && peek() <= '9') {
            fail(ReadProblem::JsonLeadingZero);
        }
        double x = 0.0;
        const char* first = text_.data() + begin;
        const char* last = text_.data() + at_;
        const auto [ptr, ec] = std::from_chars(first, last, x, std::chars_format::general);
        if (ec == std::errc::result_out_of_range || !std::isfinite(x)) {
            // An underflow to zero is a number all the same; an overflow is not.
            if (ec == std::errc::result_out_of_range && decimalMagnitude(first, last) < 0) {
                return 0.0;
            }
            throw stop(ReadProblem::NumberOutOfRange).withText(std::string(first, last));
        }
        if (ec != std::errc{} || ptr != last) {
            fail(ReadProblem::JsonMalformedNumber);
        }
        return x;
    }

    // Roughly the power of ten of a number in JSON's grammar: the digits
    // before the point (without leading zeros), less the zeros after it
    // where there are none before, plus the exponent.
    static long long decimalMagnitude(const char* first, const char* last) {
        const char* at = first + (*first == '-' ? 1 : 0);
        while (at != last && *at == '0') {
            ++at;
        }
        long long magnitude = 0;
        while (at != last && *at >= '0' && *at <= '9') {
            ++at;
            ++magnitude;
        }
        if (at != last && *at == '.') {
            ++at;
            while (magnitude == 0 && at != last && *at == '0') {
                ++at;
                --magnitude;
            }
        }
        while (at != last && *at != 'e' && *at != 'E') {
            ++at;
        }
        if (at != last) {
            long long exponent = 0;
            const auto [ptr, ec] = std::from_chars(at + 1 + (at[1] == '+' ? 1 : 0), last, exponent);
            if (ec == std::errc::result_out_of_range) {
                return at[1] == '-' ? -1 : 1;
            }
            magnitude += exponent;
        }
        return magnitude;
    }

    unsigned hex4() {
        unsigned u = 0;
        for (int i = 0; i < 4; ++i) {
            const int c = peek();
            u <<= 4;
            if (c >= '0' && c <= '9') {
                u |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                u |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                u |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                fail(ReadProblem::JsonBadHexEscape);
            }
            ++at_;
        }
        return u;
    }

    static void appendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xc0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xe0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        }
    }

    // The bytes of one UTF-8 character beyond ASCII, checked: no overlong
    // forms, no surrogates, nothing above U+10FFFF.
    void utf8(std::string& out) {
        const auto lead = static_cast<unsigned>(peek());
        int more = 0;
        unsigned cp = 0;
        if (lead >= 0xc2 && lead <= 0xdf) {
            more = 1;
            cp = lead & 0x1f;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            more = 2;
            cp = lead & 0x0f;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            more = 3;
            cp = lead & 0x07;
        } else {
            fail(ReadProblem::JsonInvalidUtf8);
        }
        const std::size_t begin = at_;
        ++at_;
        for (int i = 0; i < more; ++i) {
            const int c = peek();
            if (c < 0x80 || c > 0xbf) {
                fail(ReadProblem::JsonInvalidUtf8);
            }
            cp = (cp << 6) | (static_cast<unsigned>(c) & 0x3f);
            ++at_;
        }
        if ((more == 2 && (cp < 0x800 || (cp >= 0xd800 && cp <= 0xdfff))) ||
            (more == 3 && (cp < 0x10000 || cp > 0x10ffff))) {
            fail(ReadProblem::JsonInvalidUtf8);
        }
        out.append(text_.substr(begin, at_ - begin));
    }

    std::string string() {
        ++at_; // the opening quote
        std::string out;
        while (true) {
            if (out.size() > maxJsonString) {
                throw stop(ReadProblem::JsonStringTooLong)
                    .withCount(static_cast<long long>(maxJsonString));
            }
            const int c = peek();
            if (c < 0) {
                fail(ReadProblem::JsonUnclosedString);
            }
            if (c == '"') {
                ++at_;
                return out;
            }
            if (c < 0x20) {
                fail(ReadProblem::JsonControlCharacter);
            }
            if (c >= 0x80) {
                utf8(out);
                continue;
            }
            ++at_;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            const int e = peek();
            ++at_;
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += static_cast<char>(e);
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned cp = hex4();
                if (cp >= 0xdc00 && cp <= 0xdfff) {
                    fail(ReadProblem::JsonLoneLowSurrogate);
                }
                if (cp >= 0xd800 && cp <= 0xdbff) {
                    if (!word("\\u")) {
                        fail(ReadProblem::JsonLoneHighSurrogate);
                    }
                    const unsigned low = hex4();
                    if (low < 0xdc00 || low > 0xdfff) {
                        fail(ReadProblem::JsonLoneHighSurrogate);
                    }
                    cp = 0x10000 + ((cp - 0xd800) << 10) + (low - 0xdc00);
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                --at_;
                failFound(ReadProblem::JsonUnknownEscape);
            }
        }
    }

    std::string_view text_;
    const std::string& fileName_;
    std::size_t at_ = 0;
    long long line_ = 1;
};

JsonValue parseJson(std::string_view text, const std::string& fileName) {
    return JsonParser(text, fileName).document();
}

} // namespace resection
