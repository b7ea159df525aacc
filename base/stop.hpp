// The one way a stage ends the run early: a Stop, thrown by the stage that
// meets the condition and caught by the run.
//
// A stop carries why the run ends (its reason) and the figures a message
// needs: a file and a line, the item of a record, a name, a count, a value.
// The computing stages word nothing: the message of every reason is written
// once, in the report layer's message table, which the console and the
// companion's text and JSON share.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace resection {

// Exit statuses of the programs.
inline constexpr int exitOrderly = 0;   // normal end and every orderly stop
inline constexpr int exitBadInput = 1;  // input file content refused
inline constexpr int exitFileFault = 2; // a file could not be opened, read or written

enum class StopReason {
    // Orderly ends of the computation (exit status 0).
    TooFewPoints,          // fewer than three sighted points
    Terminated,            // three points: the direct solution was written
    PositionNotConverging, // ten solutions of the position without convergence
    HeightNotConverging,   // an eleventh correction of the height
    SingularMatrix,        // a matrix to invert has a row of zeros
    StationOnPoint,        // the station within a micrometre of point 'count' named 'name'
    NoFirstPosition,       // no three points give a closed-form position
    // The input's content refused (exit status 1).
    UnreadableRecord,         // a value of a record: 'item', 'problem', 'text' as found
    LineTooLong,              // a line longer than the reader takes
    CannotStepBack,           // the echo cannot step back over 'count' lines
    UnknownUnitCode,          // the unit code 'text'
    TooManyPoints,            // a point count 'count' above the largest
    TooFewZenithObservations, // a zenith count 'count' below one
    TooManyZenithObservations,
    FirstZenithReadingZero,    // the starting height divides by its tangent
    HeightDiverged,            // the height's normal equation vanished
    NoHorizontalDistance,      // every point for the height on the station
    SearchNegativeAccepted,    // the test accepts a negative precision ('value')
    SearchStepVanishes,        // the step no longer changes the precision ('value')
    SearchToleranceUnresolved, // 'value' rounding (m), 'passes', 'seconds' of work
    SearchUnpredictable,       // 'passes', 'seconds'
    // File faults (exit status 2).
    ReadFault,          // the input could not be read (at 'line')
    CannotReposition,   // the echo could not seek back in the input
    CannotOpenInput,    // 'name', the reason in 'text'
    ReportIsInput,      // the report named 'name' is the input
    CannotCreateReport, // 'name', the reason in 'text'
    ReportWriteFault,   // the reason in 'text'
    NoFileName,         // the console ended before a file name was given
};

// What a record's item is, for the messages about a value that cannot be
// read: a field, of the header or of point or zenith observation 'index'.
enum class Field {
    None,
    UnitCode,
    Tolerance,
    AprioriPrecision,
    StationName,
    PointCount,
    Name,
    CoordinateM,
    CoordinateP,
    Degrees, // of a reading given as degrees, minutes and seconds
    Minutes,
    Seconds,
    Reading,
    ZenithCount,
    InstrumentHeight,
    PointHeight,
    ZenithReading,
    SignalHeight,
};
enum class RecordOf { Header, Point, ZenithObservation };
struct RecordItem {
    Field field = Field::None;
    RecordOf of = RecordOf::Header;
    int index = 0; // from 1, of the point or the zenith observation
};

// What is wrong with a value that cannot be read.
enum class ReadProblem {
    None,
    EmptyValue,    // two commas with nothing between them
    EmptyFile,     // the file holds nothing
    EndOfFile,     // the file ends before the record
    Slash,         // a slash outside quotes
    UnclosedQuote, // a quoted text without its closing quote
    IntegerButText,
    IntegerOutOfRange,
    NotAnInteger,
    NumberButText,
    NumberOutOfRange,
    NotANumber,
};

// Which readings a precision search walked.
enum class Readings { Directions, Zeniths };

class Stop : public std::exception {
  public:
    explicit Stop(StopReason reason) : reason_(reason) {}

    StopReason reason() const { return reason_; }
    const char* what() const noexcept override { return "the run stops"; }

    // The figures set one at a time on a stop being built:
    // throw Stop(StopReason::X).withName(name).withCount(k);
    Stop withFile(std::string file) && {
        fileName = std::move(file);
        return std::move(*this);
    }
    Stop withLine(long long lineNumber) && {
        line = lineNumber;
        return std::move(*this);
    }
    Stop withName(std::string named) && {
        name = std::move(named);
        return std::move(*this);
    }
    Stop withText(std::string found) && {
        text = std::move(found);
        return std::move(*this);
    }
    Stop withCount(long long n) && {
        count = n;
        return std::move(*this);
    }
    Stop withItem(const RecordItem& what, ReadProblem why) && {
        item = what;
        problem = why;
        return std::move(*this);
    }
    Stop withSearch(Readings which, double figure, double passCount, double cost) && {
        readings = which;
        value = figure;
        passes = passCount;
        seconds = cost;
        return std::move(*this);
    }

    // The figures of the message, as the reason says (see StopReason).
    std::string fileName;
    long long line = 0;
    std::string name;
    std::string text;
    long long count = 0;
    double value = 0.0; // radians for a precision, metres for a rounding
    double passes = 0.0;
    double seconds = 0.0;
    RecordItem item;
    ReadProblem problem = ReadProblem::None;
    Readings readings = Readings::Directions;

  private:
    StopReason reason_;
};

// The exit status of a run that ends with this reason.
int exitStatus(StopReason reason);

} // namespace resection
