// The one way a stage ends the run early: a Stop, thrown by the stage that
// meets the condition and caught by the run.
//
// A stop carries why the run ends (its reason) and the figures a message
// needs: a file and a line, the item of a record, a name, a count, a value.
// The computing stages word nothing: the message of every reason is written
// once, in the report layer's message table, which the console and the
// companion's text and JSON share.
#pragma once

#include "base/observation_kind.hpp"

#include <exception>
#include <string>
#include <string_view>
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
    UnreadableJson,            // a JSON text: 'problem' at 'line', 'text' the byte found
    StationRefused,            // a free station's content: 'station' at 'line'
    DirectionsOnly,            // the program given a free station ('count': 1 for JSON)
    // File faults (exit status 2).
    ReadFault,          // the input could not be read (at 'line')
    CannotReposition,   // the echo could not seek back in the input
    CannotOpenInput,    // 'name', the reason in 'text'
    ReportIsInput,      // the report named 'name' is the input
    CannotCreateReport, // 'name', the reason in 'text'
    ReportWriteFault,   // the reason in 'text'
    NoFileName,         // the console ended before a file name was given
    // The companion's outputs ('count': 0 the sketch, 1 the JSON).
    OutputIsInput,      // the output named 'name' is the input
    JsonIsSketch,       // the JSON named 'name' is the sketch named 'text'
    CannotCreateOutput, // 'name', the reason in 'text'
    OutputWriteFault,   // the reason in 'text'
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
    // The free station's text form.
    FormKeyword,       // its first word
    HeaderWord,        // the first word of a header line
    KindWord,          // the kind of an observation or of a precision
    Target,            // the target of an observation
    SecondTarget,      // the target an angle ends on
    ObservationValue,  // the value of an observation of 'kind'
    StandardDeviation, // an observation's own
    Precision,         // a header's precision of one kind
    DistancePrecision, // its metres
    DistancePpm,       // its parts per million
    ScaleFactor,
    TargetHeight,
    Answer, // sim or nao
};
enum class RecordOf {
    Header,
    Point,             // of the planimetric section, 'index'
    ZenithObservation, // 'index'
    NamedPoint,        // a point of a free station, 'name'
    Observation,       // a free station's observation of 'kind'
    // The objects of a free station in JSON whose member is missing or wrong.
    StationRecord, // the record itself
    Station,       // its "station"
    KnownPoint,    // an element of "points"
    Angle,         // an observation of the kind angle
    Options,       // its "options"
};
struct RecordItem {
    Field field = Field::None;
    RecordOf of = RecordOf::Header;
    int index = 0; // from 1, of the point or the zenith observation
    ObservationKind kind = ObservationKind::Direction; // of RecordOf::Observation
    // Of RecordOf::NamedPoint; the stop keeps a copy (Stop::name).
    std::string_view name = {};
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
    // A free station's text form, where a line holds exactly its record.
    MissingValue, // the line ends before the item
    TooLong,      // a name longer than 'count' characters
    ExtraValue,   // a value after the last item of the line
    DecimalComma, // a comma between two digits on the line
    // JSON's grammar and the reader's bounds ('text' the byte found where
    // one is named: empty at the end of the text).
    JsonTooLarge,               // more than 'count' MB
    JsonTextAfterValue,         // something after the value that is the whole text
    JsonExpectedValue,          // 'text' found
    JsonExpectedMemberName,     // 'text' found
    JsonExpectedColon,          // 'text' found
    JsonExpectedCommaOrBrace,   // 'text' found
    JsonExpectedCommaOrBracket, // 'text' found
    JsonTooDeep,                // more than 'count' levels
    JsonRepeatedMember,         // the member 'text'
    JsonMalformedNumber,
    JsonNoFraction, // no digit after the point
    JsonNoExponent, // no digit in the exponent
    JsonLeadingZero,
    JsonBadHexEscape, // \u without four hexadecimal digits
    JsonLoneLowSurrogate,
    JsonLoneHighSurrogate,
    JsonUnknownEscape, // 'text' found after the backslash
    JsonInvalidUtf8,
    JsonStringTooLong, // more than 'count' bytes
    JsonUnclosedString,
    JsonControlCharacter,
};

// What is wrong with a free station beyond a value that cannot be read: the
// figures are the stop's 'name' (a point), 'text' (a word or a member as
// found), 'kind' (of the observation) and 'count', as each says.
enum class StationProblem {
    None,
    NotStationText,       // the text form's first word is not its keyword
    NoStationLine,        // the header has no station line
    NoPointsLine,         // the file ends in the header
    NoObservationsLine,   // the file ends in the points
    SecondHeaderLine,     // 'text'
    UnknownHeaderLine,    // 'text'
    CurvatureAnswer,      // neither yes nor no
    UnknownPrecision,     // a precision of the kind 'text'
    SecondPrecision,      // of 'kind'
    PrecisionNotPositive, // of 'kind'
    ScaleFactor,          // 'text' is no factor
    UnknownKind,          // an observation of the kind 'text'
    MissingSigma,         // of 'kind', without a default
    MissingTargetHeight,  // of the target 'name'
    SecondTargetHeight,   // of the target 'name', the first on line 'count'
    SecondPoint,          // 'name'
    TooManyPoints,        // more than 'count'
    TooManyObservations,  // more than 'count'
    NoObservations,
    ScaleNotPositive,
    UnknownTarget,         // 'name'
    ValueNotFinite,        // of 'kind' to 'name'
    SigmaNotPositive,      // of 'kind' to 'name'
    SigmaTooSmall,         // of 'kind' to 'name': its weight beyond the arithmetic
    DistanceNotPositive,   // of 'kind' to 'name'
    ZenithOutOfRange,      // to 'name'
    AngleToItself,         // to 'name'
    TargetHeightNotFinite, // of 'kind' to 'name'
    PointWithoutHeight,    // of 'kind' to 'name'
    NoInstrumentHeight,    // of 'kind' to 'name'
    SecondObservation,     // of 'kind' to 'name', the first on line 'count' (0: unknown)
    SlopeWithoutZenith,    // to 'name'
    // The JSON form: the member 'text' of the object 'item.of'.
    NotAStation, // the text is not one object
    MissingMember,
    NotANumber,
    NotAName,    // not a text, or an empty one
    NameTooLong, // longer than 'count'
    NotAFlag,
    NotAList,
    NotAnObject, // the member, or ('text' empty) an element of a list
    UnknownAngleUnit,
    SigmaUnits,            // 'text' the unit of the angles' standard deviations
    CoordinatesOutOfRange, // of the point 'name'
    UnknownJsonKind,
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
    Stop withStation(StationProblem what) && {
        station = what;
        return std::move(*this);
    }
    Stop withKind(ObservationKind observed) && {
        kind = observed;
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
    StationProblem station = StationProblem::None;
    ObservationKind kind = ObservationKind::Direction;

  private:
    StopReason reason_;
};

// The exit status of a run that ends with this reason.
int exitStatus(StopReason reason);

} // namespace resection
