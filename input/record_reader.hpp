// Free-form (list-directed) records of the input file.
//
// Values are separated by blanks or by one comma with or without blanks
// around it; a text is bare (no blank, comma or slash in it) or enclosed in
// apostrophes or double quotes (a doubled quote inside stands for one). Each
// record begins on a new line; a record that needs more values than its line
// holds continues on the following lines, and what is left on the line after
// its last item is ignored. A CR before the LF is part of no value. A UTF-8
// byte-order mark at the start of the file is skipped.
//
// The reader works on the stream a character at a time and keeps the start
// of the last lines read, so that the echo can step back over them. A line
// longer than maxLineLength ends the run: no record comes near it, and an
// endless run of bytes without a line end (a file of NULs) must not be read
// for ever as one value.
//
// Since a comma separates values, "185,72903" typed for 185.72903 reads as
// 185 and 72903, and the value left over is ignored without a word. So when
// a record ends on a line that still holds values and a comma stands between
// two digits on that line, the reader hands a warning to its warning sink.
//
// A value that cannot be read ends the run with a Stop naming the file, the
// line, the item (see RecordItem) and what was found.
#pragma once

#include "base/stop.hpp"

#include <cstdint>
#include <deque>
#include <functional>
#include <istream>
#include <string>

namespace resection {

class RecordReader {
  public:
    // The line and the text around the comma that looks decimal.
    using WarningSink = std::function<void(long long line, const std::string& text)>;

    RecordReader(std::istream& in, std::string fileName, WarningSink warn = {});

    // Move to the start of the next line unless already at the start of one.
    void beginRecord();
    // Skip what is left of the current line.
    void endRecord();

    // The next value of the record, the item it is (for the stop when it
    // cannot be read). A text is cut or blank-filled to 'width' characters.
    std::string readText(int width, const RecordItem& item);
    std::int32_t readInteger(const RecordItem& item);
    double readReal(const RecordItem& item);

    // Step back over the last n whole lines; the reader must stand at the
    // start of a line. At most maxStepBack lines can be stepped back over.
    void stepBackLines(int n);
    // One whole line as text: its first 'width' characters, blank-filled.
    std::string readLineText(int width);

    // Number of the line the reader stands on, from 1.
    long long lineNumber() const { return lineNumber_; }
    const std::string& fileName() const { return fileName_; }
    // A stop of this file at the current line.
    Stop stopHere(StopReason reason) const;

    static constexpr int maxStepBack = 1100;
    // Bytes of one line before its LF (a CR counted).
    static constexpr std::size_t maxLineLength = 4096;

  private:
    void skipByteOrderMark();
    int peek();
    int get();
    void newLine();
    [[noreturn]] void readFault() const;
    [[noreturn]] void lineTooLong() const;
    void warnOfDecimalComma() const;
    [[noreturn]] void fail(const RecordItem& item, ReadProblem problem,
                           const std::string& found = "") const;
    // Skip blanks, line ends and one comma before a value; false at end of file.
    bool skipToValue(const RecordItem& item);
    // A bare or quoted token; sets quoted.
    std::string readToken(const RecordItem& item, bool& quoted);

    std::istream& in_;
    std::streambuf* buf_;
    std::string fileName_;
    WarningSink warn_;
    std::streamoff offset_ = 0;    // bytes of the file consumed
    std::streamoff dataStart_ = 0; // after a UTF-8 byte-order mark, 3
    long long lineNumber_ = 1;
    bool atLineStart_ = true;
    bool lineHasData_ = false; // a character of the current line was consumed
    bool firstValueOfRecord_ = true;
    std::string lineText_;                  // the bytes of the current line read so far
    std::deque<std::streamoff> lineStarts_; // starts of the last lines, the current one last
};

} // namespace resection
