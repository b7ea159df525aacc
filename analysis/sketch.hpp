// An SVG sketch of a resection: the sighted points with their names, a ray
// from the station to each, the station with its error ellipse magnified,
// the danger circle, the suspect reading's ray with a red cross where the
// station goes without it, a north arrow and a scale bar.
//
// The scale fits the bulk of the points: a point more than farFactor times
// the median sight length away is drawn where its ray leaves the frame, with
// its distance written beside its name, so that one far point does not
// shrink the others to a dot. The ellipse is magnified by a round factor (1,
// 2 or 5 times a power of ten) that the sketch states, and so is the move of
// the station without the suspect reading, so that the two compare.
#pragma once

#include "analysis/geometry.hpp"

#include <ostream>
#include <string>
#include <vector>

namespace resection {

struct SketchPoint {
    std::string name; // as in the input file: any bytes
    double m = 0.0, p = 0.0;
    bool suspect = false;
    bool weak = false; // weakly controlled: its ray is drawn dashed
};

// A station beside the one drawn (the station of three readings, with four
// points): a small grey cross with its label.
struct SketchMark {
    double m = 0.0, p = 0.0;
    std::string label; // as XML text
};

struct SketchData {
    std::string stationName;
    // The station the analysis stands on. Where it is none, the sketch is
    // centred on stationM, stationP (the points' centre) and shows no
    // station, rays or ellipse; stationNote says why.
    bool stationKnown = true;
    std::string stationNote; // after the name in the bold legend line, as plain text
    double stationM = 0.0, stationP = 0.0;
    std::vector<SketchPoint> points;
    ErrorEllipse ellipse;     // metres, as drawn before magnification
    std::string ellipseLabel; // what the ellipse is, e.g. "95 % a posteriori"
    DangerCircle circle;
    // A second station to compare, as a red cross: the station adjusted
    // without the suspect reading, or, where the station drawn is that one,
    // the station of all readings; readjustedLabel says which.
    bool readjusted = false;
    double readjustedM = 0.0, readjustedP = 0.0;
    std::string readjustedLabel = "a estacao sem a leitura suspeita";
    std::vector<SketchMark> marks;
    std::string marksLabel; // the legend line of the marks
    // More lines for the legend, plain text.
    std::vector<std::string> notes;
};

// A sight longer than this many median sights is drawn at the frame.
inline constexpr double farFactor = 4.0;

// Where everything goes, in pixels of the drawing area (x to the right, y
// down) from metres.
struct SketchLayout {
    double width = 0.0, height = 0.0;         // of the whole picture
    double left = 0.0, top = 0.0, size = 0.0; // the square frame of the drawing
    double originM = 0.0, originP = 0.0;      // M and P at the frame's top left corner
    double scale = 0.0;                       // pixels per metre
    std::vector<bool> far;                    // [i]: point i drawn at the frame
    double ellipseFactor = 1.0;               // the magnification of the ellipse
    double scaleBarMetres = 0.0;
    double x(double m) const { return left + (m - originM) * scale; }
    double y(double p) const { return top + (originP - p) * scale; }
};

SketchLayout layoutSketch(const SketchData& data);

// The whole SVG document (UTF-8, names of the input escaped). Whatever the
// numbers, it is well-formed XML: a number too long for the fixed form is
// written with an exponent, and a shape too large for a renderer's
// arithmetic is left out, the legend saying so.
void writeSketch(std::ostream& out, const SketchData& data);

// A number for the sketch, whatever the locale: fixed with 'decimals' (0 to
// 6) below 1e15 in magnitude, else three significant digits with an
// exponent ("1.80e+308"); no sign on a value that rounds to zero; "nan",
// "inf" and "-inf" for what is no finite number (which the drawing never
// puts into an attribute).
std::string sketchNumber(double value, int decimals = 2);

// A text of the input file as XML character data, markup characters as
// entities. Valid UTF-8 stays UTF-8 (a last character that the name's field
// of 12 bytes cut in two is dropped); other bytes are read as the console
// reads a name that is not UTF-8, in the Windows code page 1252, and written
// as character references. Control characters (C0, DEL, C1) and U+FFFE,
// U+FFFF, which XML does not allow, are written as \xHH or \uHHHH.
std::string xmlText(const std::string& text);

} // namespace resection
