#include "analysis/sketch.hpp"

#include "base/constants.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>

namespace resection {

namespace {

constexpr double pictureWidth = 800.0;
constexpr double frameMargin = 20.0; // around the frame
// Under the frame: the scale bar and the north arrow, then the legend's
// lines.
constexpr double legendTop = 64.0;
constexpr double legendLine = 19.0;
// The major semi-axis of the magnified ellipse, at most, in pixels.
constexpr double ellipseTarget = 50.0;
// A point beyond the frame is drawn on its ray this far inside the frame.
constexpr double frameInset = 14.0;
// A circle or ellipse wider than this many frames is left out: it is a line
// or a fill here, and renderers do their arithmetic in narrower numbers.
constexpr double largestDrawn = 100.0;
// A point name is cut to a field of this many bytes as it is read.
constexpr std::size_t nameFieldWidth = 12;

// The largest of 1, 2 and 5 times a power of ten that is at most 'value'.
double roundDown125(double value) {
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (const double step : {5.0, 2.0, 1.0}) {
        if (step * power <= value) {
            return step * power;
        }
    }
    return power;
}

// Three significant digits with an exponent: "1.80e+308", "2.50e-07".
std::string scientificNumber(double value) {
    char text[32];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 2);
    return error == std::errc{} ? std::string(text, end) : std::string("nan");
}

// The shortest text that reads back as the value ("20", "0.5", "5e+99").
std::string shortestNumber(double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc{} ? std::string(text, end) : sketchNumber(value, 2);
}

// Decimals that give 'digits' significant digits of a positive value.
int decimalsFor(double value, int digits) {
    if (!(value > 0.0) || !std::isfinite(value)) {
        return 0;
    }
    return std::clamp(digits - 1 - static_cast<int>(std::floor(std::log10(value))), 0, 6);
}

// A length and the unit it is written in: millimetres below a metre, metres
// below a kilometre, else kilometres.
struct LengthUnit {
    double perMetre;
    const char* name;
};
LengthUnit unitFor(double metres) {
    if (metres < 1.0) {
        return {1000.0, " mm"};
    }
    return metres < 1000.0 ? LengthUnit{1.0, " m"} : LengthUnit{0.001, " km"};
}

// A length for a label, with three significant digits (at most six
// decimals), so that the semi-axes of an elongated ellipse read as different
// numbers.
std::string lengthText(double metres) {
    if (std::isnan(metres)) {
        return "indefinida";
    }
    if (std::isinf(metres)) {
        return "mais de 1e308 m";
    }
    const LengthUnit unit = unitFor(metres);
    const double value = metres * unit.perMetre;
    if (value > 0.0 && value < 1e-3) {
        return scientificNumber(value) + unit.name; // below a micrometre
    }
    return sketchNumber(value, decimalsFor(value, 3)) + unit.name;
}

// A round length (the scale bar) in its shortest form: "20 m", "0.5 m",
// "10 km".
std::string roundLengthText(double metres) {
    const bool km = metres >= 1000.0;
    return shortestNumber(km ? metres / 1000.0 : metres) + (km ? " km" : " m");
}

// A round magnification: "20", "5000", "5e+67".
std::string factorText(double factor) {
    if (factor < 1e15) {
        return sketchNumber(factor, 0);
    }
    // One significant digit: the factor is 1, 2 or 5 times a power of ten,
    // and a pow() a unit in the last place off (as some C libraries give)
    // must not show as 5.000000000000001e+66.
    char text[32];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, factor, std::chars_format::scientific, 0);
    return error == std::errc{} ? std::string(text, end) : shortestNumber(factor);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// The characters of the Windows code page 1252 for the bytes 0x80 to 0x9F
// (0 where it has none); from 0xA0 it is ISO 8859-1.
constexpr char32_t cp1252High[32] = {
    0x20ac, 0,      0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017d, 0,      0,      0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
    0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0,      0x017e, 0x0178};

constexpr char hexDigits[] = "0123456789abcdef";

std::string hexByte(unsigned byte) {
    return std::string("\\x") + hexDigits[(byte >> 4) & 0xf] + hexDigits[byte & 0xf];
}

// The length of the well-formed UTF-8 sequence at 'at' (no overlong form, no
// surrogate, at most U+10FFFF) and its code point; 0 when there is none.
// 'cut' is set when the bytes are a good beginning that the text ends in.
std::size_t utf8Sequence(const std::string& text, std::size_t at, char32_t& code, bool& cut) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    cut = false;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t min = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        min = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        min = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    code = lead & (0x7f >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i == text.size()) {
            cut = true;
            return 0;
        }
        if ((byte(at + i) & 0xc0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(at + i) & 0x3f);
    }
    if (code < min || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
        cut = false;
        return 0;
    }
    return length;
}

// One character as XML character data; the controls (C0, DEL, C1) and the
// two characters XML forbids (U+FFFE, U+FFFF) as a visible escape.
void appendXmlCharacter(std::string& out, char32_t code, const char* begin, std::size_t length) {
    switch (code) {
    case '&':
        out += "&amp;";
        return;
    case '<':
        out += "&lt;";
        return;
    case '>':
        out += "&gt;";
        return;
    case '"':
        out += "&quot;";
        return;
    case '\'':
        out += "&apos;";
        return;
    default:
        break;
    }
    if (code < 0x20 || code == 0x7f) {
        out += hexByte(code);
    } else if ((code >= 0x80 && code <= 0x9f) || code == 0xfffe || code == 0xffff) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) {
            out += hexDigits[(code >> shift) & 0xf];
        }
    } else {
        out.append(begin, length);
    }
}

} // namespace

std::string sketchNumber(double value, int decimals) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0.0 ? "-inf" : "inf";
    }
    char text[48];
    std::to_chars_result r{text, std::errc::value_too_large};
    // Fixed where it stays short (at most 15 digits before the point), else
    // three significant digits with an exponent; both are SVG numbers.
    if (std::fabs(value) < 1e15) {
        r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                          std::clamp(decimals, 0, 6));
    }
    if (r.ec != std::errc{}) {
        return scientificNumber(value);
    }
    std::string out(text, r.ptr);
    // A value that rounds to zero carries no sign.
    if (out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos) {
        out.erase(0, 1);
    }
    return out;
}

std::string xmlText(const std::string& text) {
    std::string out;
    // Valid UTF-8 stays UTF-8. A name whose field cut its last character in
    // two keeps the characters before the cut; a single lead byte at the end
    // of plain ASCII is more likely a character of a single-byte code page.
    bool utf8 = true, multibyte = false;
    std::size_t end = text.size();
    for (std::size_t at = 0; at < text.size();) {
        char32_t code = 0;
        bool cut = false;
        const std::size_t length = utf8Sequence(text, at, code, cut);
        if (length == 0) {
            utf8 = cut && text.size() == nameFieldWidth && (multibyte || text.size() - at > 1);
            end = at;
            break;
        }
        multibyte = multibyte || length > 1;
        at += length;
    }
    if (utf8) {
        for (std::size_t at = 0; at < end;) {
            char32_t code = 0;
            bool cut = false;
            const std::size_t length = utf8Sequence(text, at, code, cut);
            appendXmlCharacter(out, code, text.data() + at, length);
            at += length;
        }
        return out;
    }
    // Other bytes as the console reads a name that is not UTF-8: in the
    // Windows code page 1252, in which older editors save text; its five
    // unassigned bytes as escapes.
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        const char32_t code = byte >= 0x80 && byte < 0xa0 ? cp1252High[byte - 0x80] : byte;
        if (byte >= 0x80 && code == 0) {
            out += hexByte(byte);
        } else if (byte >= 0x80) {
            std::string reference = "&#x";
            bool digits = false;
            for (int shift = 12; shift >= 0; shift -= 4) {
                const unsigned digit = (code >> shift) & 0xf;
                digits = digits || digit != 0 || shift == 4;
                if (digits) {
                    reference += hexDigits[digit];
                }
            }
            out += reference + ";";
        } else {
            appendXmlCharacter(out, code, &ch, 1);
        }
    }
    return out;
}

SketchLayout layoutSketch(const SketchData& data) {
    SketchLayout l;
    l.size = pictureWidth - 2.0 * frameMargin;
    l.left = frameMargin;
    l.top = frameMargin;
    l.width = pictureWidth;
    // The station (and its ellipse) and the circle, and the lines that
    // depend on the data: the suspects, the cross, the weak readings, the
    // marks and the notes.
    const auto any = [&data](bool SketchPoint::*flag) {
        return std::any_of(data.points.begin(), data.points.end(),
                           [flag](const SketchPoint& pt) { return pt.*flag; });
    };
    const bool known = data.stationKnown;
    const auto lines = static_cast<double>((known ? 3 : 2) + (any(&SketchPoint::suspect) ? 1 : 0) +
                                           (known && data.readjusted ? 1 : 0) +
                                           (known && any(&SketchPoint::weak) ? 1 : 0) +
                                           (data.marks.empty() ? 0 : 1) + data.notes.size());
    l.height = l.size + 2.0 * frameMargin + legendTop + legendLine * lines;

    std::vector<double> sights;
    for (const SketchPoint& pt : data.points) {
        sights.push_back(std::hypot(pt.m - data.stationM, pt.p - data.stationP));
    }
    const double typical = sights.empty() ? 1.0 : median(sights);
    // The station and the bulk of the points in a box.
    double minM = data.stationM, maxM = data.stationM;
    double minP = data.stationP, maxP = data.stationP;
    for (std::size_t i = 0; i < data.points.size(); ++i) {
        const bool far = !(sights[i] <= farFactor * typical);
        l.far.push_back(far);
        if (!far) {
            minM = std::min(minM, data.points[i].m);
            maxM = std::max(maxM, data.points[i].m);
            minP = std::min(minP, data.points[i].p);
            maxP = std::max(maxP, data.points[i].p);
        }
    }
    // A square around the box with room for the names, never narrower than
    // a metre (all points on the station) .
    const double extent = std::max({maxM - minM, maxP - minP, 1.0}) * 1.3;
    l.originM = 0.5 * (minM + maxM) - 0.5 * extent;
    l.originP = 0.5 * (minP + maxP) + 0.5 * extent;
    l.scale = l.size / extent;

    if (data.ellipse.major > 0.0 && std::isfinite(data.ellipse.major)) {
        const double factor = roundDown125(ellipseTarget / (data.ellipse.major * l.scale));
        // An ellipse too small for any double factor is left at 1 (and not
        // drawn).
        l.ellipseFactor = std::isfinite(factor) ? std::max(1.0, factor) : 1.0;
    }
    l.scaleBarMetres = roundDown125(0.3 * extent);
    return l;
}

namespace {

// The drawing under way: the stream, what is drawn, where, and the lines of
// the legend that the parts of the drawing leave for it.
struct Drawing {
    std::ostream& out;
    const SketchData& data;
    const SketchLayout& l;
    double sx, sy; // the station, pixels
    // The lines the parts of the drawing leave for the legend, each with the
    // attributes of its text.
    using Line = std::pair<std::string, const char*>;
    Line ellipseLine, circleLine, readjustedLine;
    std::vector<std::string> suspects; // their names, as XML text
    std::vector<std::string> weak;     // their names, as XML text

    double right() const { return l.left + l.size; }
    double bottom() const { return l.top + l.size; }
};

// True when every coordinate is a number a renderer can take: nothing drawn
// lies more than a hundred frames outside the picture.
bool drawable(std::initializer_list<double> coordinates) {
    return std::all_of(coordinates.begin(), coordinates.end(), [](double c) {
        return std::isfinite(c) && std::fabs(c) < largestDrawn * pictureWidth;
    });
}

// Where the ray from (x0, y0) towards (x1, y1) leaves the frame, drawn a
// little inside it.
void clipToFrame(const SketchLayout& l, double x0, double y0, double& x1, double& y1) {
    const double lo = l.left + frameInset, hiX = l.left + l.size - frameInset;
    const double hiY = l.top + l.size - frameInset, loY = l.top + frameInset;
    double t = 1.0;
    const double dx = x1 - x0, dy = y1 - y0;
    if (dx > 0.0) {
        t = std::min(t, (hiX - x0) / dx);
    } else if (dx < 0.0) {
        t = std::min(t, (lo - x0) / dx);
    }
    if (dy > 0.0) {
        t = std::min(t, (hiY - y0) / dy);
    } else if (dy < 0.0) {
        t = std::min(t, (loY - y0) / dy);
    }
    t = std::max(t, 0.0);
    x1 = x0 + t * dx;
    y1 = y0 + t * dy;
}

// The unit vector in the drawing (x to the right, y down) from the station
// towards M, P, whatever the size of the difference; straight up for the
// station itself.
std::pair<double, double> directionTo(const Drawing& d, double m, double p) {
    double dm = m - d.data.stationM, dp = p - d.data.stationP;
    if (std::isinf(dm) || std::isinf(dp)) {
        dm = std::isinf(dm) ? std::copysign(1.0, dm) : 0.0;
        dp = std::isinf(dp) ? std::copysign(1.0, dp) : 0.0;
    }
    const double big = std::max(std::fabs(dm), std::fabs(dp));
    if (!(big > 0.0)) {
        return {0.0, -1.0};
    }
    dm /= big;
    dp /= big;
    const double len = std::hypot(dm, dp);
    return {dm / len, -dp / len};
}

// Where the ray from the station in direction (ux, uy) leaves the frame.
std::pair<double, double> atFrame(const Drawing& d, double ux, double uy) {
    double x = d.sx + 4.0 * d.l.size * ux, y = d.sy + 4.0 * d.l.size * uy;
    clipToFrame(d.l, d.sx, d.sy, x, y);
    return {x, y};
}

void text(std::ostream& out, double x, double y, const std::string& body, const char* anchor,
          const char* extra = "") {
    out << "<text x=\"" << sketchNumber(x) << "\" y=\"" << sketchNumber(y) << "\" text-anchor=\""
        << anchor << "\"" << extra << ">" << body << "</text>\n";
}

void writeFrame(Drawing& d) {
    const std::string left = sketchNumber(d.l.left), top = sketchNumber(d.l.top);
    const std::string size = sketchNumber(d.l.size);
    const std::string width = sketchNumber(d.l.width, 0), height = sketchNumber(d.l.height, 0);
    d.out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\""
          << height << "\" viewBox=\"0 0 " << width << " " << height
          << "\" font-family=\"sans-serif\" font-size=\"13\">\n"
          << "<title>Interseccao inversa: " << xmlText(d.data.stationName) << "</title>\n"
          << "<defs><clipPath id=\"frame\"><rect x=\"" << left << "\" y=\"" << top << "\" width=\""
          << size << "\" height=\"" << size << "\"/></clipPath></defs>\n"
          << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
          << "<rect x=\"" << left << "\" y=\"" << top << "\" width=\"" << size << "\" height=\""
          << size << "\" fill=\"none\" stroke=\"#999999\"/>\n";
}

// The circle through the first three points, unless it is so large that it
// is a line here.
void writeDangerCircle(Drawing& d) {
    const DangerCircle& c = d.data.circle;
    const double cx = d.l.x(c.centreM), cy = d.l.y(c.centreP), r = c.radius * d.l.scale;
    if (c.exists && r < largestDrawn * d.l.size && drawable({cx, cy, r})) {
        d.out << "<circle cx=\"" << sketchNumber(cx) << "\" cy=\"" << sketchNumber(cy) << "\" r=\""
              << sketchNumber(r)
              << "\" fill=\"none\" stroke=\"#3060c0\" stroke-width=\"1.2\" "
                 "stroke-dasharray=\"8 5\"/>\n";
        d.circleLine =
            Drawing::Line("A tracejado: circunferencia perigosa pelos tres primeiros pontos", "");
    } else if (c.exists) {
        d.circleLine = Drawing::Line(
            "Circunferencia perigosa (raio " + lengthText(c.radius) + ") fora do esboco", "");
    } else {
        d.circleLine = Drawing::Line(
            "Os tres primeiros pontos estao alinhados: sem circunferencia perigosa", "");
    }
}

// Where point i is drawn: at its place, or, for a far point, where its ray
// leaves the frame (at its place if that is inside).
std::pair<double, double> pointAt(const Drawing& d, std::size_t i) {
    const SketchPoint& pt = d.data.points[i];
    double x = d.l.x(pt.m), y = d.l.y(pt.p);
    if (!drawable({x, y})) {
        const auto [ux, uy] = directionTo(d, pt.m, pt.p);
        return atFrame(d, ux, uy);
    }
    if (d.l.far[i]) {
        clipToFrame(d.l, d.sx, d.sy, x, y);
    }
    return {x, y};
}

// A ray from the station to each point, first, so that symbols and names lie
// on top of them.
// A weakly controlled reading's ray is dashed in orange.
void writeRays(Drawing& d) {
    for (std::size_t i = 0; i < d.data.points.size(); ++i) {
        const SketchPoint& pt = d.data.points[i];
        const auto [x, y] = pointAt(d, i);
        d.out << "<line x1=\"" << sketchNumber(d.sx) << "\" y1=\"" << sketchNumber(d.sy)
              << "\" x2=\"" << sketchNumber(x) << "\" y2=\"" << sketchNumber(y) << "\" "
              << (pt.suspect ? "stroke=\"#d01010\" stroke-width=\"2.5\""
                  : pt.weak  ? "stroke=\"#e08000\" stroke-width=\"2\" stroke-dasharray=\"7 4\""
                             : "stroke=\"#707070\" stroke-width=\"1\"")
              << "/>\n";
        if (pt.weak && !pt.suspect) {
            d.weak.push_back(xmlText(pt.name));
        }
    }
}

// The stations beside the one drawn, as small grey crosses with their
// labels, where they fall inside the frame.
void writeMarks(Drawing& d) {
    const auto n = [](double v) { return sketchNumber(v); };
    for (const SketchMark& mark : d.data.marks) {
        const double x = d.l.x(mark.m), y = d.l.y(mark.p);
        if (!drawable({x, y}) || x < d.l.left || x > d.right() || y < d.l.top || y > d.bottom()) {
            continue;
        }
        d.out << "<path d=\"M " << n(x - 4) << " " << n(y - 4) << " L " << n(x + 4) << " "
              << n(y + 4) << " M " << n(x - 4) << " " << n(y + 4) << " L " << n(x + 4) << " "
              << n(y - 4) << "\" stroke=\"#606060\" stroke-width=\"1.5\"/>\n";
        text(d.out, x + 6.0, y - 6.0, mark.label, "start", " fill=\"#606060\" font-size=\"11\"");
    }
}

// Each point's symbol (a triangle, or an arrowhead at the frame for a point
// beyond it) and its name, on the far side from the station.
void writePoints(Drawing& d) {
    for (std::size_t i = 0; i < d.data.points.size(); ++i) {
        const SketchPoint& pt = d.data.points[i];
        const auto [x, y] = pointAt(d, i);
        const bool far = d.l.far[i] || !drawable({d.l.x(pt.m), d.l.y(pt.p)});
        const char* colour = pt.suspect ? "#d01010" : "black";
        const double len = std::hypot(x - d.sx, y - d.sy);
        const double ux = len > 0.0 ? (x - d.sx) / len : 0.0;
        const double uy = len > 0.0 ? (y - d.sy) / len : -1.0;
        const auto n = [](double v) { return sketchNumber(v); };
        if (far) {
            d.out << "<path d=\"M " << n(x + 9 * ux) << " " << n(y + 9 * uy) << " L "
                  << n(x - 4 * uy) << " " << n(y + 4 * ux) << " L " << n(x + 4 * uy) << " "
                  << n(y - 4 * ux) << " Z\" fill=\"" << colour << "\"/>\n";
        } else {
            d.out << "<path d=\"M " << n(x) << " " << n(y - 6) << " L " << n(x + 5.5) << " "
                  << n(y + 4) << " L " << n(x - 5.5) << " " << n(y + 4)
                  << " Z\" fill=\"white\" stroke=\"" << colour << "\" stroke-width=\"1.5\"/>\n";
        }
        const char* anchor = ux > 0.35 ? "start" : (ux < -0.35 ? "end" : "middle");
        double tx = ux > 0.35 ? x + 9.0 : (ux < -0.35 ? x - 9.0 : x);
        // The baseline clear of the symbol (6 above, 4 below the point).
        double ty = uy < -0.35 ? y - 10.0 : (uy > 0.35 ? y + 18.0 : y + 4.0);
        std::string label = xmlText(pt.name);
        if (far) {
            // Inside the frame, whatever the direction, with the distance.
            tx = x - 18.0 * ux;
            ty = y - 18.0 * uy + 4.0;
            anchor = ux > 0.35 ? "end" : (ux < -0.35 ? "start" : "middle");
            label +=
                " (" + lengthText(std::hypot(pt.m - d.data.stationM, pt.p - d.data.stationP)) + ")";
        }
        text(d.out, tx, ty, label, anchor,
             pt.suspect ? " fill=\"#d01010\" font-weight=\"bold\"" : "");
        if (pt.suspect) {
            d.suspects.push_back(xmlText(pt.name));
        }
    }
}

// The error ellipse, magnified, around the station.
void writeEllipse(Drawing& d, bool placed) {
    const ErrorEllipse& e = d.data.ellipse;
    const std::string label = xmlText(d.data.ellipseLabel);
    if (!std::isfinite(e.major) || !std::isfinite(e.minor)) {
        d.ellipseLine = Drawing::Line("Elipse de erro (" + label + ") indefinida", "");
        return;
    }
    if (!(e.major > 0.0)) {
        d.ellipseLine = Drawing::Line("Elipse de erro nula (" + label + ")", "");
        return;
    }
    const std::string axes = "a = " + lengthText(e.major) + ", b = " + lengthText(e.minor);
    if (!placed) {
        d.ellipseLine = Drawing::Line("Elipse de erro (" + label + "): " + axes, "");
        return;
    }
    const double rx = e.major * d.l.ellipseFactor * d.l.scale;
    const double ry = e.minor * d.l.ellipseFactor * d.l.scale;
    if (rx < 0.5) {
        d.ellipseLine = Drawing::Line(
            "Elipse de erro (" + label + ") pequena demais para o esboco: " + axes, "");
        return;
    }
    if (rx > largestDrawn * d.l.size || !drawable({rx, ry})) {
        d.ellipseLine =
            Drawing::Line("Elipse de erro (" + label + ") maior do que o esboco: " + axes, "");
        return;
    }
    // SVG turns clockwise from the x axis (east); the bearing counts
    // clockwise from north.
    const double bearing = std::isfinite(e.bearing) ? e.bearing : 0.0;
    d.out << "<ellipse cx=\"" << sketchNumber(d.sx) << "\" cy=\"" << sketchNumber(d.sy)
          << "\" rx=\"" << sketchNumber(rx) << "\" ry=\"" << sketchNumber(std::max(ry, 0.3))
          << "\" transform=\"rotate(" << sketchNumber(bearing * 180.0 / pi - 90.0, 3) << " "
          << sketchNumber(d.sx) << " " << sketchNumber(d.sy)
          << ")\" fill=\"#f0c020\" fill-opacity=\"0.35\" stroke=\"#b08000\" "
          << "stroke-width=\"1.5\"/>\n";
    d.ellipseLine = Drawing::Line("Elipse de erro (" + label + ") " +
                                      (d.l.ellipseFactor > 1.0
                                           ? "ampliada " + factorText(d.l.ellipseFactor) + " vezes"
                                           : std::string("em verdadeira grandeza")) +
                                      ": " + axes,
                                  "");
}

void writeStation(Drawing& d) {
    const std::string x = sketchNumber(d.sx), y = sketchNumber(d.sy);
    d.out << "<circle cx=\"" << x << "\" cy=\"" << y
          << "\" r=\"4\" fill=\"white\" stroke=\"black\" stroke-width=\"2\"/>\n"
          << "<circle cx=\"" << x << "\" cy=\"" << y << "\" r=\"1.2\"/>\n";
    text(d.out, d.sx + 8.0, d.sy - 8.0, xmlText(d.data.stationName), "start",
         " font-weight=\"bold\"");
}

// Where the station goes without the suspect reading: a red cross, its move
// from the station magnified as the ellipse is, so that the two compare.
// Where that puts it outside the frame (a gross error moves the station by
// many ellipses), the move is magnified by the largest round factor that
// keeps the cross inside, and at the frame when even its true size leaves
// it; the legend says which.
void writeReadjusted(Drawing& d) {
    const SketchData& data = d.data;
    if (!data.readjusted) {
        return;
    }
    const double move = std::hypot(data.readjustedM - data.stationM,
                                   data.readjustedP - data.stationP); // metres
    const std::string moved =
        "Cruz vermelha: " + xmlText(data.readjustedLabel) + ", a " + lengthText(move);
    const auto [ux, uy] = directionTo(d, data.readjustedM, data.readjustedP);
    const auto [ex, ey] = atFrame(d, ux, uy);
    const double room = std::hypot(ex - d.sx, ey - d.sy); // pixels to the frame
    const double atTrueSize = move * d.l.scale;           // pixels
    double factor = d.l.ellipseFactor;
    if (!(atTrueSize * factor <= room)) {
        factor = std::max(1.0, roundDown125(room / atTrueSize));
    }
    const double length = std::min(atTrueSize * factor, room);
    const double qx = d.sx + length * ux, qy = d.sy + length * uy;
    if (!(length >= 4.0) || !drawable({qx, qy})) {
        d.readjustedLine =
            Drawing::Line(moved + " (dentro do simbolo da estacao)", " fill=\"#d01010\"");
        return;
    }
    const auto n = [](double v) { return sketchNumber(v); };
    d.out << "<line x1=\"" << n(d.sx) << "\" y1=\"" << n(d.sy) << "\" x2=\"" << n(qx) << "\" y2=\""
          << n(qy) << "\" stroke=\"#d01010\" stroke-width=\"1\" "
          << "stroke-dasharray=\"3 3\"/>\n"
          << "<path d=\"M " << n(qx - 5) << " " << n(qy - 5) << " L " << n(qx + 5) << " "
          << n(qy + 5) << " M " << n(qx - 5) << " " << n(qy + 5) << " L " << n(qx + 5) << " "
          << n(qy - 5) << "\" stroke=\"#d01010\" stroke-width=\"2\"/>\n";
    std::string how;
    if (atTrueSize > room) {
        how = " (fora do esboco: na margem, na sua direccao)";
    } else if (factor == d.l.ellipseFactor && factor > 1.0) {
        how = " (ampliado " + factorText(factor) + " vezes, como a elipse)";
    } else if (factor > 1.0) {
        how = " (ampliado " + factorText(factor) + " vezes; a elipse " +
              factorText(d.l.ellipseFactor) + " vezes)";
    } else if (d.l.ellipseFactor > 1.0) {
        how = " (em verdadeira grandeza; a elipse ampliada " + factorText(d.l.ellipseFactor) +
              " vezes)";
    } else {
        how = " (em verdadeira grandeza)";
    }
    d.readjustedLine = Drawing::Line(moved + how, " fill=\"#d01010\"");
}

// Under the frame, where no point or ray can hide it: the scale bar, two
// halves, black and white.
void writeScaleBar(Drawing& d) {
    const double barPx = d.l.scaleBarMetres * d.l.scale;
    const double bx = d.l.left + 5.0;
    const double by = d.bottom() + 30.0;
    if (!drawable({barPx})) {
        return;
    }
    d.out << "<rect x=\"" << sketchNumber(bx) << "\" y=\"" << sketchNumber(by) << "\" width=\""
          << sketchNumber(barPx / 2) << "\" height=\"6\" fill=\"black\" stroke=\"black\"/>\n"
          << "<rect x=\"" << sketchNumber(bx + barPx / 2) << "\" y=\"" << sketchNumber(by)
          << "\" width=\"" << sketchNumber(barPx / 2)
          << "\" height=\"6\" fill=\"white\" stroke=\"black\"/>\n";
    text(d.out, bx, by - 5.0, "0", "middle");
    text(d.out, bx + barPx, by - 5.0, roundLengthText(d.l.scaleBarMetres), "middle");
}

// Under the frame on the right.
void writeNorthArrow(Drawing& d) {
    const double nx = d.right() - 12.0;
    const double ny = d.bottom() + 8.0;
    const auto n = [](double v) { return sketchNumber(v); };
    d.out << "<path d=\"M " << n(nx) << " " << n(ny) << " L " << n(nx + 7) << " " << n(ny + 26)
          << " L " << n(nx) << " " << n(ny + 21) << " L " << n(nx - 7) << " " << n(ny + 26)
          << " Z\" fill=\"black\"/>\n";
    text(d.out, nx - 14.0, ny + 22.0, "N", "end", " font-weight=\"bold\" font-size=\"15\"");
}

// The legend under the frame: the station, then what the parts of the
// drawing left for it.
void writeLegend(Drawing& d) {
    double ly = d.bottom() + legendTop;
    const auto line = [&](const std::string& body, const char* extra) {
        text(d.out, d.l.left, ly, body, "start", extra);
        ly += legendLine;
    };
    const std::string note =
        d.data.stationNote.empty() ? "" : " (" + xmlText(d.data.stationNote) + ")";
    if (d.data.stationKnown) {
        line("Estacao " + xmlText(d.data.stationName) + note +
                 ": M = " + sketchNumber(d.data.stationM, 3) +
                 " m, P = " + sketchNumber(d.data.stationP, 3) + " m",
             " font-weight=\"bold\"");
        line(d.ellipseLine.first, d.ellipseLine.second);
    } else {
        line("Estacao " + xmlText(d.data.stationName) + ": nao determinada" + note,
             " font-weight=\"bold\"");
    }
    line(d.circleLine.first, d.circleLine.second);
    // Several suspects are the candidates between which the readings cannot
    // decide: one line for them all.
    if (d.suspects.size() == 1) {
        line("A vermelho: a leitura suspeita, " + d.suspects[0], " fill=\"#d01010\"");
    } else if (!d.suspects.empty()) {
        std::string names = d.suspects[0];
        for (std::size_t i = 1; i < d.suspects.size(); ++i) {
            names += (i + 1 < d.suspects.size() ? ", " : " ou ") + d.suspects[i];
        }
        line("A vermelho: as leituras suspeitas " + names, " fill=\"#d01010\"");
    }
    if (!d.readjustedLine.first.empty()) {
        line(d.readjustedLine.first, d.readjustedLine.second);
    }
    if (!d.weak.empty()) {
        std::string names = d.weak[0];
        for (std::size_t i = 1; i < d.weak.size(); ++i) {
            names += (i + 1 < d.weak.size() ? ", " : " e ") + d.weak[i];
        }
        line("Tracejado laranja: controlo fraco (redundancia abaixo de 0.1): " + names,
             " fill=\"#b06000\"");
    }
    if (!d.data.marks.empty()) {
        line(xmlText(d.data.marksLabel), " fill=\"#606060\"");
    }
    for (const std::string& extra : d.data.notes) {
        line(xmlText(extra), "");
    }
}

} // namespace

void writeSketch(std::ostream& out, const SketchData& data) {
    const SketchLayout l = layoutSketch(data);
    Drawing d{out, data, l, l.x(data.stationM), l.y(data.stationP), {}, {}, {}, {}, {}};
    writeFrame(d);
    out << "<g clip-path=\"url(#frame)\">\n";
    writeDangerCircle(d);
    // A station that cannot be placed (a coordinate no longer finite) leaves
    // the frame empty; the legend still says what there is.
    const bool placed = drawable({d.sx, d.sy});
    if (placed && data.stationKnown) {
        writeRays(d);
    }
    if (placed) {
        writePoints(d);
    }
    if (data.stationKnown) {
        writeEllipse(d, placed);
    }
    writeMarks(d);
    if (placed && data.stationKnown) {
        writeStation(d);
        writeReadjusted(d);
    }
    out << "</g>\n";
    writeScaleBar(d);
    writeNorthArrow(d);
    writeLegend(d);
    out << "</svg>\n";
}

} // namespace resection
