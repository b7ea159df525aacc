// The sketch at the limits: numbers of every size, names in every encoding,
// the move without the suspect reading beside the magnified ellipse; each
// document checked for well-formed XML.
#include "analysis/sketch.hpp"
#include "support/xml_check.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

namespace resection {
namespace {

using Limits = std::numeric_limits<double>;

TEST(Sketch, NumbersAtTheLimitsOfDouble) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } rows[] = {
        {Limits::max(), 2, "1.80e+308"},
        {Limits::lowest(), 0, "-1.80e+308"},
        {1e100, 2, "1.00e+100"},
        {1e15, 0, "1.00e+15"},
        {999999999999999.0, 0, "999999999999999"},
        {-12.3456, 3, "-12.346"},
        {Limits::denorm_min(), 2, "0.00"},
        {-Limits::denorm_min(), 2, "0.00"},
        {Limits::min(), 9, "0.000000"}, // at most six decimals
        {-0.0, 1, "0.0"},
        {-0.004, 2, "0.00"},
        {Limits::infinity(), 2, "inf"},
        {-Limits::infinity(), 2, "-inf"},
        {Limits::quiet_NaN(), 2, "nan"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(sketchNumber(row.value, row.decimals), row.text) << row.value;
    }
}

TEST(Sketch, NamesInEveryEncoding) {
    const struct {
        const char* name;
        const char* text;
    } rows[] = {
        {"Esta\xc3\xa7\xc3\xa3o", "Esta\xc3\xa7\xc3\xa3o"},              // UTF-8 stays
        {"\xe2\x82\xac<&>\"'", "\xe2\x82\xac&lt;&amp;&gt;&quot;&apos;"}, // markup escaped
        {"S\xe9", "S&#xe9;"},                                            // Latin-1
        {"\x80\x9f\xff", "&#x20ac;&#x178;&#xff;"},                       // code page 1252
        {"A\x81", "A\\x81"},                                             // unassigned there
        {"X\x1bY\x7f", "X\\x1bY\\x7f"},                                  // controls
        {"C\xc2\x85", "C\\u0085"},                                       // C1 in UTF-8
        {"N\xef\xbf\xbe", "N\\ufffe"},                                   // not an XML character
        {"\xc0\xaf", "&#xc0;&#xaf;"},                                    // overlong: no UTF-8
        {"\xed\xa0\x80", "&#xed;&#xa0;&#x20ac;"},                        // a surrogate
        // Cut in two by the 12-byte field: the part before the cut stays.
        {"Esta\xc3\xa7\xc3\xa3o N\xc3", "Esta\xc3\xa7\xc3\xa3o N"},
        {"ABCDEFGHIJ\xe2\x82", "ABCDEFGHIJ"},
        // One lead byte after plain ASCII is more likely a code page letter.
        {"ABCDEFGHIJK\xc9", "ABCDEFGHIJK&#xc9;"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(xmlText(row.name), row.text) << row.name;
    }
}

// Six points 30 to 55 m around a station, an ellipse of 1 cm.
SketchData around() {
    SketchData data;
    data.stationName = "EST";
    data.stationM = 1000.0;
    data.stationP = 2000.0;
    for (int i = 0; i < 6; ++i) {
        const double d = 30.0 + 5.0 * i;
        data.points.push_back({std::string(1, static_cast<char>('A' + i)), 1000.0 + d * std::sin(i),
                               2000.0 + d * std::cos(i), i == 2});
    }
    data.ellipse = {0.01, 0.002, 0.3};
    data.ellipseLabel = "95 % a priori";
    data.circle =
        dangerCircle(data.points[0].m, data.points[0].p, data.points[1].m, data.points[1].p,
                     data.points[2].m, data.points[2].p, data.stationM, data.stationP);
    return data;
}

std::string sketchOf(const SketchData& data) {
    std::ostringstream out;
    writeSketch(out, data);
    return out.str();
}

// Whatever the numbers, a well-formed document whose legend says what
// became of what could not be drawn.
TEST(Sketch, WellFormedWhateverTheNumbers) {
    const struct {
        const char* what;
        void (*change)(SketchData&);
        const char* legend;
    } rows[] = {
        {"a point 1e100 m away", [](SketchData& d) { d.points[1].m = 1e100; }, "(1.00e+97 km)"},
        {"a point at the largest double", [](SketchData& d) { d.points[1].m = Limits::max(); },
         "(1.80e+305 km)"},
        {"points beyond the largest difference",
         [](SketchData& d) {
             d.points[1].m = Limits::max();
             d.stationM = Limits::lowest();
         },
         "M = -1.80e+308 m"},
        {"an ellipse of 1e-66 m",
         [](SketchData& d) {
             d.ellipse = {1e-66, 5e-67, 0.0};
         },
         "ampliada 5e+66 vezes: a = 1.00e-63 mm, b = 5.00e-64 mm"},
        {"an ellipse of 1e-320 m",
         [](SketchData& d) {
             d.ellipse = {1e-320, 0.0, 0.0};
         },
         "pequena demais para o esboco: a = "},
        {"an ellipse of 1e200 m",
         [](SketchData& d) {
             d.ellipse = {1e200, 1.0, 0.0};
         },
         "maior do que o esboco: a = 1.00e+197 km, b = 1.00 m"},
        {"an ellipse of nan", [](SketchData& d) { d.ellipse.major = Limits::quiet_NaN(); },
         "(95 % a priori) indefinida"},
        {"a danger circle of 1e300 m",
         [](SketchData& d) { d.circle = {true, 0.0, 1e300, 1e300, 1e300, 1.0}; },
         "Circunferencia perigosa (raio 1.00e+297 km) fora do esboco"},
        {"two candidates", [](SketchData& d) { d.points[4].suspect = true; },
         "A vermelho: as leituras suspeitas C ou E"},
        {"a station at infinity", [](SketchData& d) { d.stationM = Limits::infinity(); },
         "M = inf m"},
        {"a move of 1e100 m",
         [](SketchData& d) {
             d.readjusted = true;
             d.readjustedM = 1e100;
             d.readjustedP = d.stationP;
         },
         "a 1.00e+97 km (fora do esboco: na margem, na sua direccao)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SketchData data = around();
        row.change(data);
        const std::string svg = sketchOf(data);
        EXPECT_EQ(testing::xmlWellFormednessError(svg), "");
        EXPECT_NE(svg.find(row.legend), std::string::npos) << svg;
        EXPECT_EQ(svg.find("nan"), std::string::npos);
        EXPECT_EQ(svg.find("=\"inf"), std::string::npos);
    }
}

// The cross where the station goes without the suspect reading lies at the
// ellipse's magnification from the station; a move too large for the frame
// at that magnification is shown at a smaller one, which the legend gives.
TEST(Sketch, MoveWithoutSuspectAtTheEllipsesMagnification) {
    SketchData data = around();
    data.readjusted = true;
    data.readjustedM = data.stationM + 0.004; // east
    data.readjustedP = data.stationP;
    const SketchLayout l = layoutSketch(data);
    ASSERT_GT(l.ellipseFactor, 1.0);
    const std::string factor = sketchNumber(l.ellipseFactor, 0);
    std::string svg = sketchOf(data);
    const double x = l.x(data.stationM) + 0.004 * l.scale * l.ellipseFactor;
    EXPECT_NE(svg.find("x2=\"" + sketchNumber(x) + "\" y2=\"" + sketchNumber(l.y(data.stationP)) +
                       "\" stroke=\"#d01010\""),
              std::string::npos)
        << svg;
    EXPECT_NE(svg.find("a 4.00 mm (ampliado " + factor + " vezes, como a elipse)"),
              std::string::npos);

    data.readjustedM = data.stationM + 10.0;
    svg = sketchOf(data);
    EXPECT_NE(svg.find("vezes; a elipse " + factor + " vezes)"), std::string::npos) << svg;
    EXPECT_EQ(testing::xmlWellFormednessError(svg), "");
}

TEST(Sketch, XmlCheckFindsWhatIsMalformed) {
    const char* const bad[] = {
        "<a><b></a></b>",
        "<a x=1/>",
        "<a x=\"1\" x=\"2\"/>",
        "<a>&nbsp;</a>",
        "<a>&#0;</a>",
        "<a>\x01</a>",
        "<a>\xc3</a>",
        "<a/><b/>",
        "<a>x < y</a>",
        "<a x=\"<\"/>",
        "<a",
        "<a>\xef\xbf\xbf</a>",
        "<a y=\"1\"x=\"2\"/>",
        "<a>\xc0\xaf</a>",
        "text",
    };
    for (const char* document : bad) {
        EXPECT_NE(testing::xmlWellFormednessError(document), "") << document;
    }
    EXPECT_EQ(testing::xmlWellFormednessError(
                  "<?xml version=\"1.0\"?>\n<a x='1'><!-- c --><b y=\"&amp;&#x20ac;\"/>t</a>\n"),
              "");
}

} // namespace
} // namespace resection
