// A strict JSON reader for the input files that other programs write.
//
// The text is the whole file; it is parsed into a tree of values, each of
// which keeps the line it began on, so that a reader of the tree can name the
// line of a value it refuses. The grammar is exactly JSON's: no comments, no
// trailing commas, no single quotes, no NaN or Infinity, strings of valid
// UTF-8 without raw control characters, and no member named twice in one
// object. A UTF-8 byte-order mark at the start is skipped.
//
// The input may come from anywhere, so the reader bounds what it takes: the
// size of the text, the depth of nesting (the parser recurses once per level)
// and the length of one string. Anything outside the grammar or the bounds
// ends the run with a message that names the file and the line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace resection {

class JsonValue {
  public:
    enum class Type { Null, Boolean, Number, String, Array, Object };

    Type type() const { return type_; }
    long long line() const { return line_; }
    bool isNull() const { return type_ == Type::Null; }
    bool isNumber() const { return type_ == Type::Number; }
    bool isString() const { return type_ == Type::String; }
    bool isArray() const { return type_ == Type::Array; }
    bool isObject() const { return type_ == Type::Object; }

    bool boolean() const { return boolean_; }
    double number() const { return number_; }
    const std::string& text() const { return text_; }
    // The elements of an array, or the values of an object's members in
    // their order (keys() gives their names).
    const std::vector<JsonValue>& items() const { return items_; }
    const std::vector<std::string>& keys() const { return keys_; }
    // An object's member of that name; nullptr when it has none (or this is
    // not an object).
    const JsonValue* find(std::string_view key) const;

  private:
    friend class JsonParser;
    Type type_ = Type::Null;
    long long line_ = 1;
    bool boolean_ = false;
    double number_ = 0.0;
    std::string text_;
    std::vector<JsonValue> items_;
    std::vector<std::string> keys_;
};

// Bounds of what the reader takes.
inline constexpr std::size_t maxJsonSize = 16 * 1024 * 1024; // bytes of text
inline constexpr int maxJsonDepth = 64;                      // arrays and objects nested
inline constexpr std::size_t maxJsonString = 64 * 1024;      // bytes of one string

// The value that the whole text holds. fileName names the file in messages.
// Throws a Stop (UnreadableJson) on anything the grammar or the bounds
// refuse, with the line.
JsonValue parseJson(std::string_view text, const std::string& fileName);

} // namespace resection
