// The console side of a run.
//
// Every console record begins with a blank, the line-control character of an
// ordinary line, which the console does not show. Lines end with CR LF.
#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace resection {

// The text with every byte below 0x20 and the byte 0x7F written as \xHH
// (ESC as \x1b), so that input quoted in a message cannot move the cursor,
// clear the screen or retitle the terminal. Other bytes stand as they are:
// accented letters of the file's code page are no threat.
std::string printable(std::string_view text);

class Console {
  public:
    Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

    // A plain text line: the record is one blank and the text; the console
    // shows the text. An empty text gives an empty line.
    void plainLine(const std::string& text);
    // A prompt record: shown without its first character and without a line
    // end, so that the answer is typed behind it.
    void prompt(const std::string& record);
    // A message, followed by CR LF; CR LF inside it separates its lines.
    // Each line is shown through printable(), since messages quote input.
    void direct(const std::string& text);
    // A message that does not end the run: like direct(), but always on a
    // line of its own. Behind a prompt whose answer came from a pipe nothing
    // has ended the prompt's line, so the warning ends it first.
    void warning(const std::string& text);

    // One console line without its line end (and without a CR before it),
    // cut to its first maxLineKept characters; nothing when the console input
    // has ended.
    std::optional<std::string> readLine();
    // An answer: the first 'width' characters of one line, blank-filled; a
    // line that cannot be read counts as a blank answer.
    std::string readAnswer(std::size_t width);

    // Longer than any answer the dialogue takes (72, or 260 at a UNIT prompt).
    static constexpr std::size_t maxLineKept = 1024;

  private:
    std::istream& in_;
    std::ostream& out_;
    bool afterPrompt_ = false; // the last record written was a prompt
};

} // namespace resection
