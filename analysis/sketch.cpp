#include "analysis/sketch.hpp"

#include "base/constants.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace resection {

namespace {

constexpr double pictureWidth = 800.0;
constexpr double frameMargin = 20.0; // around the frame
// Under the frame: the scale bar and the north arrow, then up to five lines.
constexpr double legendHeight = 170.0;
// The major semi-axis of the magnified ellipse, at most, in pixels.
constexpr double ellipseTarget = 50.0;

// A number for an attribute: fixed, with a point whatever the locale.
std::string num(double value, int decimals = 2) {
    char text[64];
    const auto r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, r.ptr);
}

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

// A length for a label: millimetres below a metre, metres below a
// kilometre, else kilometres.
std::string lengthText(double metres) {
    if (metres < 1.0) {
        return num(metres * 1000.0, 1) + " mm";
    }
    if (metres >= 1000.0) {
        const double km = metres / 1000.0;
        return num(km, km < 10.0 ? 2 : 1) + " km";
    }
    return num(metres, metres < 10.0 ? 2 : (metres < 100.0 ? 1 : 0)) + " m";
}

// A round length (the scale bar) in its shortest form: "20 m", "0.5 m",
// "10 km".
std::string roundLengthText(double metres) {
    const bool km = metres >= 1000.0;
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, km ? metres / 1000.0 : metres);
    return std::string(text, r.ptr) + (km ? " km" : " m");
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

} // namespace

std::string xmlText(const std::string& text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        switch (ch) {
        case '&':
            out += "&amp;";
            continue;
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        case '"':
            out += "&quot;";
            continue;
        case '\'':
            out += "&apos;";
            continue;
        default:
            break;
        }
        if (byte < 0x20 || byte == 0x7f) {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0xf];
        } else if (byte >= 0x80) {
            out += "&#x" + std::string(1, hex[byte >> 4]) + hex[byte & 0xf] + ";";
        } else {
            out += ch;
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
    l.height = l.size + 2.0 * frameMargin + legendHeight;

    std::vector<double> sights;
    for (const SketchPoint& pt : data.points) {
        sights.push_back(std::hypot(pt.m - data.stationM, pt.p - data.stationP));
    }
    const double typical = sights.empty() ? 1.0 : median(sights);
    // The station and the bulk of the points in a box.
    double minM = data.stationM, maxM = data.stationM;
    double minP = data.stationP, maxP = data.stationP;
    for (std::size_t i = 0; i < data.points.size(); ++i) {
        const bool far = sights[i] > farFactor * typical;
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
        l.ellipseFactor =
            std::max(1.0, roundDown125(ellipseTarget / (data.ellipse.major * l.scale)));
    }
    l.scaleBarMetres = roundDown125(0.3 * extent);
    return l;
}

namespace {

// Where the ray from (x0, y0) towards (x1, y1) leaves the frame, drawn a
// little inside it.
void clipToFrame(const SketchLayout& l, double x0, double y0, double& x1, double& y1) {
    const double inset = 14.0;
    const double lo = l.left + inset, hiX = l.left + l.size - inset;
    const double hiY = l.top + l.size - inset, loY = l.top + inset;
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

void text(std::ostream& out, double x, double y, const std::string& body, const char* anchor,
          const char* extra = "") {
    out << "<text x=\"" << num(x) << "\" y=\"" << num(y) << "\" text-anchor=\"" << anchor << "\""
        << extra << ">" << body << "</text>\n";
}

} // namespace

void writeSketch(std::ostream& out, const SketchData& data) {
    const SketchLayout l = layoutSketch(data);
    const double sx = l.x(data.stationM);
    const double sy = l.y(data.stationP);
    const double right = l.left + l.size;
    const double bottom = l.top + l.size;

    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << num(l.width, 0) << "\" height=\""
        << num(l.height, 0) << "\" viewBox=\"0 0 " << num(l.width, 0) << " " << num(l.height, 0)
        << "\" font-family=\"sans-serif\" font-size=\"13\">\n"
        << "<title>Interseccao inversa: " << xmlText(data.stationName) << "</title>\n"
        << "<defs><clipPath id=\"frame\"><rect x=\"" << num(l.left) << "\" y=\"" << num(l.top)
        << "\" width=\"" << num(l.size) << "\" height=\"" << num(l.size)
        << "\"/></clipPath></defs>\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<rect x=\"" << num(l.left) << "\" y=\"" << num(l.top) << "\" width=\"" << num(l.size)
        << "\" height=\"" << num(l.size) << "\" fill=\"none\" stroke=\"#999999\"/>\n"
        << "<g clip-path=\"url(#frame)\">\n";

    // The danger circle, unless it is so large that it is a line here (or
    // could upset a renderer's arithmetic).
    const DangerCircle& c = data.circle;
    const bool circleDrawn = c.exists && c.radius * l.scale < 100.0 * l.size;
    if (circleDrawn) {
        out << "<circle cx=\"" << num(l.x(c.centreM)) << "\" cy=\"" << num(l.y(c.centreP))
            << "\" r=\"" << num(c.radius * l.scale)
            << "\" fill=\"none\" stroke=\"#3060c0\" stroke-width=\"1.2\" "
               "stroke-dasharray=\"8 5\"/>\n";
    }

    // Rays first, so that symbols and names lie on top of them.
    std::vector<std::pair<double, double>> at;
    for (std::size_t i = 0; i < data.points.size(); ++i) {
        const SketchPoint& pt = data.points[i];
        double x = l.x(pt.m);
        double y = l.y(pt.p);
        if (l.far[i]) {
            clipToFrame(l, sx, sy, x, y);
        }
        at.emplace_back(x, y);
        out << "<line x1=\"" << num(sx) << "\" y1=\"" << num(sy) << "\" x2=\"" << num(x)
            << "\" y2=\"" << num(y) << "\" "
            << (pt.suspect ? "stroke=\"#d01010\" stroke-width=\"2.5\""
                           : "stroke=\"#707070\" stroke-width=\"1\"")
            << "/>\n";
    }
    for (std::size_t i = 0; i < data.points.size(); ++i) {
        const SketchPoint& pt = data.points[i];
        const auto [x, y] = at[i];
        const char* colour = pt.suspect ? "#d01010" : "black";
        if (l.far[i]) {
            // An arrowhead where the ray leaves the frame.
            const double len = std::hypot(x - sx, y - sy);
            const double ux = len > 0.0 ? (x - sx) / len : 0.0;
            const double uy = len > 0.0 ? (y - sy) / len : -1.0;
            out << "<path d=\"M " << num(x + 9 * ux) << " " << num(y + 9 * uy) << " L "
                << num(x - 4 * uy) << " " << num(y + 4 * ux) << " L " << num(x + 4 * uy) << " "
                << num(y - 4 * ux) << " Z\" fill=\"" << colour << "\"/>\n";
        } else {
            out << "<path d=\"M " << num(x) << " " << num(y - 6) << " L " << num(x + 5.5) << " "
                << num(y + 4) << " L " << num(x - 5.5) << " " << num(y + 4)
                << " Z\" fill=\"white\" stroke=\"" << colour << "\" stroke-width=\"1.5\"/>\n";
        }
        // The name beyond the point, on the far side from the station.
        const double len = std::hypot(x - sx, y - sy);
        const double ux = len > 0.0 ? (x - sx) / len : 0.0;
        const double uy = len > 0.0 ? (y - sy) / len : -1.0;
        const char* anchor = ux > 0.35 ? "start" : (ux < -0.35 ? "end" : "middle");
        double tx = ux > 0.35 ? x + 9.0 : (ux < -0.35 ? x - 9.0 : x);
        // The baseline clear of the symbol (6 above, 4 below the point).
        double ty = uy < -0.35 ? y - 10.0 : (uy > 0.35 ? y + 18.0 : y + 4.0);
        // Inside the frame, whatever the direction.
        if (l.far[i]) {
            tx = x - 18.0 * ux;
            ty = y - 18.0 * uy + 4.0;
            anchor = ux > 0.35 ? "end" : (ux < -0.35 ? "start" : "middle");
        }
        std::string label = xmlText(pt.name);
        if (l.far[i]) {
            label +=
                " (" + lengthText(std::hypot(pt.m - data.stationM, pt.p - data.stationP)) + ")";
        }
        text(out, tx, ty, label, anchor,
             pt.suspect ? " fill=\"#d01010\" font-weight=\"bold\"" : "");
    }

    // The station, its ellipse magnified, and its name.
    const double rx = data.ellipse.major * l.ellipseFactor * l.scale;
    const double ry = data.ellipse.minor * l.ellipseFactor * l.scale;
    if (std::isfinite(rx) && std::isfinite(ry) && rx > 0.0) {
        // SVG turns clockwise from the x axis (east); the bearing counts
        // clockwise from north.
        out << "<ellipse cx=\"" << num(sx) << "\" cy=\"" << num(sy) << "\" rx=\"" << num(rx)
            << "\" ry=\"" << num(std::max(ry, 0.3)) << "\" transform=\"rotate("
            << num(data.ellipse.bearing * 180.0 / pi - 90.0, 3) << " " << num(sx) << " " << num(sy)
            << ")\" fill=\"#f0c020\" fill-opacity=\"0.35\" stroke=\"#b08000\" "
            << "stroke-width=\"1.5\"/>\n";
    }
    out << "<circle cx=\"" << num(sx) << "\" cy=\"" << num(sy)
        << "\" r=\"4\" fill=\"white\" stroke=\"black\" stroke-width=\"2\"/>\n"
        << "<circle cx=\"" << num(sx) << "\" cy=\"" << num(sy) << "\" r=\"1.2\"/>\n";
    text(out, sx + 8.0, sy - 8.0, xmlText(data.stationName), "start", " font-weight=\"bold\"");
    // Where the station goes without the suspect reading: a red cross, when
    // it lies apart from the station in the sketch.
    std::string readjustedLabel;
    if (data.readjusted) {
        const double qx = l.x(data.readjustedM);
        const double qy = l.y(data.readjustedP);
        if (std::hypot(qx - sx, qy - sy) >= 4.0) {
            out << "<path d=\"M " << num(qx - 5) << " " << num(qy - 5) << " L " << num(qx + 5)
                << " " << num(qy + 5) << " M " << num(qx - 5) << " " << num(qy + 5) << " L "
                << num(qx + 5) << " " << num(qy - 5)
                << "\" stroke=\"#d01010\" stroke-width=\"2\"/>\n";
            readjustedLabel = "A cruz vermelha: a estacao sem a leitura suspeita (" +
                              lengthText(std::hypot(data.readjustedM - data.stationM,
                                                    data.readjustedP - data.stationP)) +
                              " ao lado)";
        }
    }
    out << "</g>\n";

    // Under the frame, where no point or ray can hide them: the scale bar
    // (two halves, black and white) on the left, the north arrow on the
    // right.
    const double barPx = l.scaleBarMetres * l.scale;
    const double bx = l.left + 5.0;
    const double by = bottom + 30.0;
    out << "<rect x=\"" << num(bx) << "\" y=\"" << num(by) << "\" width=\"" << num(barPx / 2)
        << "\" height=\"6\" fill=\"black\" stroke=\"black\"/>\n"
        << "<rect x=\"" << num(bx + barPx / 2) << "\" y=\"" << num(by) << "\" width=\""
        << num(barPx / 2) << "\" height=\"6\" fill=\"white\" stroke=\"black\"/>\n";
    text(out, bx, by - 5.0, "0", "middle");
    text(out, bx + barPx, by - 5.0, roundLengthText(l.scaleBarMetres), "middle");
    const double nx = right - 12.0;
    const double ny = bottom + 8.0;
    out << "<path d=\"M " << num(nx) << " " << num(ny) << " L " << num(nx + 7) << " "
        << num(ny + 26) << " L " << num(nx) << " " << num(ny + 21) << " L " << num(nx - 7) << " "
        << num(ny + 26) << " Z\" fill=\"black\"/>\n";
    text(out, nx - 14.0, ny + 22.0, "N", "end", " font-weight=\"bold\" font-size=\"15\"");

    // The legend under the frame.
    double ly = bottom + 64.0;
    const auto legend = [&](const std::string& body, const char* extra = "") {
        text(out, l.left, ly, body, "start", extra);
        ly += 19.0;
    };
    legend("Estacao " + xmlText(data.stationName) + ": M = " + num(data.stationM, 3) +
               " m, P = " + num(data.stationP, 3) + " m",
           " font-weight=\"bold\"");
    if (rx > 0.0 && std::isfinite(rx)) {
        legend("Elipse de erro (" + xmlText(data.ellipseLabel) + ") " +
               (l.ellipseFactor > 1.0 ? "ampliada " + num(l.ellipseFactor, 0) + " vezes"
                                      : std::string("em verdadeira grandeza")) +
               ": a = " + lengthText(data.ellipse.major) +
               ", b = " + lengthText(data.ellipse.minor));
    } else {
        legend("Elipse de erro nula (" + xmlText(data.ellipseLabel) + ")");
    }
    if (circleDrawn) {
        legend("A tracejado: circunferencia perigosa pelos tres primeiros pontos");
    } else if (c.exists) {
        legend("Circunferencia perigosa (raio " + lengthText(c.radius) + ") fora do esboco");
    } else {
        legend("Os tres primeiros pontos estao alinhados: sem circunferencia perigosa");
    }
    for (const SketchPoint& pt : data.points) {
        if (pt.suspect) {
            legend("A vermelho: a leitura suspeita, " + xmlText(pt.name), " fill=\"#d01010\"");
        }
    }
    if (!readjustedLabel.empty()) {
        legend(readjustedLabel, " fill=\"#d01010\"");
    }
    out << "</svg>\n";
}

} // namespace resection
