#include "support/survey_input.hpp"

#include <cmath>
#include <cstdio>

namespace resection::testing {

std::string surveyInput(std::mt19937_64& rng, const MadeUpSurvey& s) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, s.noiseSeconds);
    const double pi = 4.0 * std::atan(1.0);
    const double m0 = 40000.0 + 2000.0 * unit(rng);
    const double p0 = 270000.0 + 2000.0 * unit(rng);
    const double orientation = 360.0 * unit(rng);
    char line[200];
    std::snprintf(line, sizeof line, "%s %.4f %.3f\nEST1\n%d\n", s.code.c_str(), s.tolerance,
                  s.apriori, s.points);
    if (s.apriori != 0.0 && std::fabs(s.apriori) < 0.01) {
        std::snprintf(line, sizeof line, "%s %.4f %.6g\nEST1\n%d\n", s.code.c_str(), s.tolerance,
                      s.apriori, s.points);
    }
    std::string text = line;
    if (s.tolerance != 0.0 && std::fabs(s.tolerance) < 0.0001) {
        const std::size_t from = text.find(' ') + 1;
        std::snprintf(line, sizeof line, "%.6g", s.tolerance);
        text.replace(from, text.find(' ', from) - from, line);
    }
    auto angleText = [&s](double degrees) {
        char buffer[64];
        if (s.code == "gr") {
            std::snprintf(buffer, sizeof buffer, "%.6f", degrees * 400.0 / 360.0);
        } else if (s.code == "gs") {
            const int d = static_cast<int>(degrees);
            const int m = static_cast<int>((degrees - d) * 60.0);
            std::snprintf(buffer, sizeof buffer, "%d %d %.2f", d, m,
                          ((degrees - d) * 60.0 - m) * 60.0);
        } else {
            std::snprintf(buffer, sizeof buffer, "%.6f", degrees);
        }
        return std::string(buffer);
    };
    // On a circle of 1000 m through the points, the station insideCircle
    // from it towards its centre.
    const double radius = 1000.0;
    const double centreM = m0, centreP = p0 + (radius - s.insideCircle);
    auto place = [&](double& m, double& p, double& d) {
        if (s.onCircle) {
            const double angle = 2.0 * pi * unit(rng);
            m = centreM + radius * std::sin(angle);
            p = centreP + radius * std::cos(angle);
            d = std::hypot(m - m0, p - p0);
            return;
        }
        d = 150.0 + 5000.0 * unit(rng);
        const double az = 2.0 * pi * unit(rng);
        m = m0 + d * std::sin(az);
        p = p0 + d * std::cos(az);
    };
    for (int i = 1; i <= s.points; ++i) {
        double m = 0.0, p = 0.0, d = 0.0;
        place(m, p, d);
        double reading =
            std::atan2(m - m0, p - p0) * 180.0 / pi - orientation + noise(rng) / 3600.0;
        if (i == s.grossDirection) {
            reading += s.grossSeconds / 3600.0;
        }
        reading = std::fmod(reading + 720.0, 360.0);
        std::snprintf(line, sizeof line, "P%d %.3f %.3f ", i, m, p);
        text += line;
        text += angleText(reading) + "\n";
    }
    std::snprintf(line, sizeof line, "%d 1.550\n", s.zenithCount);
    text += line;
    for (int i = 1; i <= s.zenithCount; ++i) {
        double m = 0.0, p = 0.0, d = 0.0;
        place(m, p, d);
        const double h = 150.0 + 200.0 * unit(rng);
        double zenith = std::atan2(d, (h + 1.3) - 200.0 - 1.55) * 180.0 / pi + noise(rng) / 3600.0;
        if (i == s.grossZenith) {
            zenith += s.grossSeconds / 3600.0;
        }
        std::snprintf(line, sizeof line, "Z%d %.3f %.3f %.3f ", i, m, p, h);
        text += line;
        text += angleText(zenith) + " 1.3\n";
    }
    return text;
}

} // namespace resection::testing
