#include "support/xml_check.hpp"

#include <vector>

namespace resection::testing {

namespace {

bool xmlCharacter(char32_t c) {
    return c == 0x9 || c == 0xa || c == 0xd || (c >= 0x20 && c <= 0xd7ff) ||
           (c >= 0xe000 && c <= 0xfffd) || (c >= 0x10000 && c <= 0x10ffff);
}

class Checker {
  public:
    explicit Checker(std::string_view text) : s_(text) {}

    std::string run() {
        if (!characters()) {
            return error_;
        }
        at_ = 0;
        if (startsWith("<?xml")) {
            instruction();
        }
        misc();
        if (error_.empty() && !startsWith("<")) {
            fail("no root element");
        }
        if (error_.empty()) {
            elements();
        }
        misc();
        if (error_.empty() && at_ < s_.size()) {
            fail("content after the root element");
        }
        return error_;
    }

  private:
    std::string_view s_;
    std::size_t at_ = 0;
    std::string error_;

    bool fail(const std::string& what) {
        if (error_.empty()) {
            error_ = what + " at byte " + std::to_string(at_);
        }
        at_ = s_.size();
        return false;
    }
    bool startsWith(std::string_view t) const { return s_.substr(at_).substr(0, t.size()) == t; }
    char peek() const { return at_ < s_.size() ? s_[at_] : '\0'; }
    bool skipSpace() {
        const std::size_t from = at_;
        while (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r') {
            ++at_;
        }
        return at_ > from;
    }
    bool expect(char c) {
        if (peek() != c) {
            return fail(std::string("expected '") + c + "'");
        }
        ++at_;
        return true;
    }

    // Strict UTF-8 (no overlong form, no surrogate) of characters XML allows.
    bool characters() {
        for (at_ = 0; at_ < s_.size();) {
            const auto lead = static_cast<unsigned char>(s_[at_]);
            std::size_t length = 1;
            char32_t code = lead, min = 0;
            if (lead >= 0xc0 && lead < 0xe0) {
                length = 2;
                min = 0x80;
            } else if (lead >= 0xe0 && lead < 0xf0) {
                length = 3;
                min = 0x800;
            } else if (lead >= 0xf0 && lead < 0xf8) {
                length = 4;
                min = 0x10000;
            } else if (lead >= 0x80) {
                return fail("a byte that begins no UTF-8 character");
            }
            if (length > 1) {
                code = lead & (0x7f >> length);
            }
            for (std::size_t i = 1; i < length; ++i) {
                if (at_ + i >= s_.size() ||
                    (static_cast<unsigned char>(s_[at_ + i]) & 0xc0) != 0x80) {
                    return fail("a UTF-8 character cut short");
                }
                code = (code << 6) | (static_cast<unsigned char>(s_[at_ + i]) & 0x3f);
            }
            if (code < min) {
                return fail("an overlong UTF-8 form");
            }
            if (!xmlCharacter(code)) {
                return fail("a character XML does not allow");
            }
            at_ += length;
        }
        return true;
    }

    bool name(std::string& out) {
        const std::size_t from = at_;
        const auto nameByte = [](char c, bool first) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' ||
                   static_cast<unsigned char>(c) >= 0x80 ||
                   (!first && ((c >= '0' && c <= '9') || c == '.' || c == '-'));
        };
        while (at_ < s_.size() && nameByte(s_[at_], at_ == from)) {
            ++at_;
        }
        if (at_ == from) {
            return fail("a name expected");
        }
        out = std::string(s_.substr(from, at_ - from));
        return true;
    }

    // At '&': one of the five predefined entities or a character reference
    // to a character XML allows.
    bool reference() {
        ++at_;
        if (peek() == '#') {
            ++at_;
            const bool hex = peek() == 'x';
            at_ += hex ? 1 : 0;
            char32_t code = 0;
            std::size_t digits = 0;
            for (;; ++at_, ++digits) {
                const char c = peek();
                int digit = -1;
                if (c >= '0' && c <= '9') {
                    digit = c - '0';
                } else if (hex && c >= 'a' && c <= 'f') {
                    digit = c - 'a' + 10;
                } else if (hex && c >= 'A' && c <= 'F') {
                    digit = c - 'A' + 10;
                }
                if (digit < 0) {
                    break;
                }
                code =
                    code > 0x10ffff ? code : code * (hex ? 16 : 10) + static_cast<char32_t>(digit);
            }
            if (digits == 0 || !xmlCharacter(code)) {
                return fail("a bad character reference");
            }
            return expect(';');
        }
        std::string entity;
        if (!name(entity)) {
            return false;
        }
        if (entity != "amp" && entity != "lt" && entity != "gt" && entity != "quot" &&
            entity != "apos") {
            return fail("an undeclared entity &" + entity + ";");
        }
        return expect(';');
    }

    bool closedBy(std::string_view end, const char* what) {
        const auto found = s_.find(end, at_);
        if (found == std::string_view::npos) {
            return fail(std::string("an unclosed ") + what);
        }
        at_ = found + end.size();
        return true;
    }
    bool comment() {
        at_ += 4;
        const auto end = s_.find("--", at_);
        if (end == std::string_view::npos || s_.substr(end, 3) != "-->") {
            return fail("a comment holding -- or unclosed");
        }
        at_ = end + 3;
        return true;
    }
    bool instruction() {
        at_ += 2;
        std::string target;
        return name(target) && closedBy("?>", "processing instruction");
    }
    void misc() {
        while (error_.empty()) {
            skipSpace();
            if (startsWith("<!--")) {
                comment();
            } else if (startsWith("<?")) {
                instruction();
            } else {
                return;
            }
        }
    }

    // From the root's start tag to its end tag.
    void elements() {
        std::vector<std::string> open;
        while (error_.empty()) {
            if (startsWith("</")) {
                at_ += 2;
                std::string tag;
                if (!name(tag)) {
                    return;
                }
                skipSpace();
                if (!expect('>')) {
                    return;
                }
                if (open.empty() || open.back() != tag) {
                    fail("</" + tag + "> closes no open element");
                    return;
                }
                open.pop_back();
            } else if (startsWith("<!--")) {
                comment();
            } else if (startsWith("<?")) {
                instruction();
            } else if (startsWith("<!")) {
                fail("a declaration or CDATA section");
                return;
            } else {
                ++at_;
                std::string tag;
                if (!name(tag) || !attributes(tag, open)) {
                    return;
                }
            }
            if (open.empty()) {
                return;
            }
            while (at_ < s_.size() && s_[at_] != '<') {
                if (s_[at_] == '&') {
                    reference();
                } else if (startsWith("]]>")) {
                    fail("]]> in text");
                } else {
                    ++at_;
                }
            }
            if (at_ >= s_.size()) {
                fail("<" + open.back() + "> never closed");
            }
        }
    }

    // After a start tag's name: its attributes and its end, '>' (the
    // element opens) or '/>'.
    bool attributes(const std::string& tag, std::vector<std::string>& open) {
        std::vector<std::string> seen;
        for (;;) {
            const bool space = skipSpace();
            if (startsWith("/>")) {
                at_ += 2;
                return true;
            }
            if (peek() == '>') {
                ++at_;
                open.push_back(tag);
                return true;
            }
            if (!space) {
                return fail("no blank before an attribute of <" + tag + ">");
            }
            std::string attribute;
            if (!name(attribute)) {
                return false;
            }
            for (const std::string& s : seen) {
                if (s == attribute) {
                    return fail("attribute " + attribute + " twice");
                }
            }
            seen.push_back(attribute);
            skipSpace();
            if (!expect('=')) {
                return false;
            }
            skipSpace();
            const char quote = peek();
            if (quote != '"' && quote != '\'') {
                return fail("attribute " + attribute + " not quoted");
            }
            ++at_;
            while (peek() != quote) {
                if (at_ >= s_.size() || peek() == '<') {
                    return fail("attribute " + attribute + " not closed");
                }
                if (peek() == '&') {
                    if (!reference()) {
                        return false;
                    }
                } else {
                    ++at_;
                }
            }
            ++at_;
        }
    }
};

} // namespace

std::string xmlWellFormednessError(std::string_view document) {
    return Checker(document).run();
}

} // namespace resection::testing
