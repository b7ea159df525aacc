#include "analysis/reading_tests.hpp"

#include <cmath>

namespace resection {

bool testablePrecision(double sigma) {
    const double size = std::fabs(sigma);
    return size >= 1e-150 && size <= 4.0 * std::atan(1.0);
}

Suspect findSuspect(const std::vector<ReadingTest>& tests, double critical) {
    Suspect s;
    double largest = 0.0;
    for (std::size_t i = 0; i < tests.size(); ++i) {
        if (tests[i].tested && std::fabs(tests[i].w) > largest) {
            largest = std::fabs(tests[i].w);
            s.reading = static_cast<int>(i) + 1;
        }
    }
    // A w that is not a number (a precision of 0 has ended the run before
    // this) never exceeds the critical value.
    if (!(largest > critical)) {
        s.reading = 0;
        return s;
    }
    for (std::size_t i = 0; i < tests.size(); ++i) {
        if (tests[i].tested && std::fabs(tests[i].w) >= largest * (1.0 - sameW)) {
            s.sharing.push_back(static_cast<int>(i) + 1);
        }
    }
    if (s.sharing.size() > 1) {
        s.kind = Suspect::Kind::Unidentifiable;
    } else {
        s.kind = Suspect::Kind::Flagged;
        s.sharing.clear();
    }
    return s;
}

} // namespace resection
