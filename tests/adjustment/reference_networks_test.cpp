// The free station against figures computed apart from this program: the 60
// networks of an independent adjustment engine and the worked examples of
// two textbooks (shared/freestation, found as the acceptance runs are:
// RESECTION_SHARED_DIR, else ../shared beside the checkout; skipped where
// absent). One test reads each file and checks every record.
//
// Where the figures differ on purpose: the engine's standardised residuals
// divide by the a posteriori m0 and are judged against Student's t at 97.5 %;
// ours is Baarda's w-test, v / (sigma sqrt(r)) with the a priori sigma,
// against 3.29 (alpha 0.1 %). The engine's a priori standardised residual is
// exactly our w, and that is what is compared.
#include "adjustment/free_station.hpp"
#include "analysis/geometry.hpp"
#include "analysis/reliability.hpp"
#include "base/constants.hpp"
#include "input/json.hpp"
#include "input/station_json.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace resection {
namespace {

// A file of the shared folder, parsed; null where it is not there.
JsonValue sharedRecords(const std::string& name) {
    const char* env = std::getenv("RESECTION_SHARED_DIR");
    const std::string dir = env != nullptr && *env != '\0' ? env : RESECTION_SHARED_FOR_TESTS;
    std::ifstream in(dir + "/freestation/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? parseJson(text.str(), name) : JsonValue{};
}

double number(const JsonValue& v, const char* key) {
    const JsonValue* x = v.find(key);
    return x != nullptr && x->isNumber() ? x->number() : NAN;
}

// Radians in the record's unit: degrees or gon; seconds or mgon.
double angleUnit(AngleUnit unit, double radians) {
    return unit == AngleUnit::Grads ? radians * 200.0 / pi : radians * 180.0 / pi;
}
double sigmaUnit(AngleUnit unit, double radians) {
    return unit == AngleUnit::Grads ? radians * 200000.0 / pi : radians * 648000.0 / pi;
}

// Agreement to 4 significant digits.
void expectFourDigits(double ours, double theirs, const char* what) {
    EXPECT_NEAR(ours, theirs, 5e-5 * std::fabs(theirs) + 1e-12) << what;
}

TEST(FreeStationReferences, TheSixtyNetworksAgreeWithTheIndependentEngine) {
    const JsonValue all = sharedRecords("cases.json");
    if (all.isNull()) {
        GTEST_SKIP() << "shared/freestation/cases.json not found (RESECTION_SHARED_DIR)";
    }
    ASSERT_EQ(all.find("cases")->items().size(), 60u);
    for (const JsonValue& record : all.find("cases")->items()) {
        SCOPED_TRACE(record.find("id")->text());
        const StationSurvey s = stationFromJson(record, "cases.json");
        const FreeStation f = adjustFreeStation(s);
        ASSERT_TRUE(f.adjusted());
        const std::vector<ReadingTest> tests = observationTests(figuresOf(s, f));
        const JsonValue& ref = *record.find("reference");
        const JsonValue& apriori = *ref.find("apriori");
        EXPECT_EQ(f.degreesOfFreedom, static_cast<int>(number(ref, "dof")));
        EXPECT_FALSE(f.ambiguous);
        // The station within 0.1 mm (in fact to the rounding of the
        // engine's convergence).
        EXPECT_NEAR(f.stationM, number(ref, "M"), 1e-6);
        EXPECT_NEAR(f.stationP, number(ref, "P"), 1e-6);
        if (f.heightIndex > 0) {
            EXPECT_NEAR(f.stationHeight, number(ref, "H"), 1e-6);
            expectFourDigits(f.posterioriSigma(f.heightIndex), number(ref, "sigma_H"), "sigma_H");
        }
        if (f.orientationIndex > 0) {
            // The orientation to a millionth of its own standard deviation.
            const double sigma = number(apriori, "orientation_sigma");
            double diff = angleUnit(s.unit, f.orientation) - number(ref, "orientation");
            const double circle = s.unit == AngleUnit::Grads ? 400.0 : 360.0;
            diff = std::remainder(diff, circle);
            EXPECT_NEAR(diff * (s.unit == AngleUnit::Grads ? 1000.0 : 3600.0), 0.0, 1e-3 * sigma);
            expectFourDigits(sigmaUnit(s.unit, f.posterioriSigma(f.orientationIndex)),
                             number(ref, "orientation_sigma"), "orientation_sigma");
            expectFourDigits(sigmaUnit(s.unit, f.prioriSigma(f.orientationIndex)), sigma,
                             "a priori orientation_sigma");
        }
        expectFourDigits(f.sigma0, number(ref, "sigma0"), "sigma0");
        expectFourDigits(f.quadraticForm, number(ref, "pvv"), "pvv");
        expectFourDigits(f.posterioriSigma(1), number(ref, "sigma_M"), "sigma_M");
        expectFourDigits(f.posterioriSigma(2), number(ref, "sigma_P"), "sigma_P");
        expectFourDigits(f.prioriSigma(1), number(apriori, "sigma_M"), "a priori sigma_M");

        // The ellipses to 1 %, a posteriori and a priori, and the factors of
        // the 95 % ones.
        const JsonValue& e = *ref.find("ellipse");
        EXPECT_NEAR(f.posteriori.major, number(e, "a"), 0.01 * number(e, "a"));
        EXPECT_NEAR(f.posteriori.minor, number(e, "b"), 0.01 * number(e, "b"));
        const JsonValue& ea = *apriori.find("ellipse");
        EXPECT_NEAR(f.priori.major, number(ea, "a"), 0.01 * number(ea, "a"));
        EXPECT_NEAR(f.priori.minor, number(ea, "b"), 0.01 * number(ea, "b"));
        if ((number(e, "a") - number(e, "b")) / number(e, "a") > 1e-3) {
            double diff = angleUnit(s.unit, f.posteriori.bearing) - number(e, "bearing");
            diff = std::remainder(diff, s.unit == AngleUnit::Grads ? 200.0 : 180.0);
            EXPECT_NEAR(diff, 0.0, 0.01 * (s.unit == AngleUnit::Grads ? 200.0 : 180.0) / pi);
        }
        EXPECT_NEAR(posteriori95Factor(f.degreesOfFreedom),
                    number(*ref.find("confidence_ellipse"), "scale"), 1e-4);
        EXPECT_NEAR(confidence95Factor(), number(*apriori.find("confidence_ellipse"), "scale"),
                    1e-4);

        // Each observation: the residual, the redundancy number to 4 digits,
        // and w = the engine's a priori standardised residual (3 decimals).
        const auto& observations = ref.find("observations")->items();
        ASSERT_EQ(observations.size(), tests.size());
        for (std::size_t i = 0; i < tests.size(); ++i) {
            SCOPED_TRACE("observation " + std::to_string(i));
            const ReadingTest& fit = tests[i];
            const JsonValue& o = observations[i];
            const bool angular = s.observations[i].kind != ObservationKind::HorizontalDistance &&
                                 s.observations[i].kind != ObservationKind::SlopeDistance;
            const double v = angular ? sigmaUnit(s.unit, fit.residual) : fit.residual;
            EXPECT_NEAR(v, number(o, "residual"), 1e-4 * std::fabs(number(o, "residual")) + 1e-6);
            expectFourDigits(fit.redundancy, number(o, "redundancy"), "redundancy");
            const JsonValue* w = o.find("std_residual_apriori");
            if (fit.controlled && w != nullptr && w->isNumber()) {
                EXPECT_NEAR(fit.w, w->number(), 6e-4 + 1e-5 * std::fabs(w->number()));
            }
        }

        // The gross error named: the largest |w| above 3.29, or listed
        // among those that cannot be told apart from it.
        const JsonValue& gross = *record.find("gross_error");
        if (!gross.isNull()) {
            const int wrong = static_cast<int>(number(gross, "observation_index"));
            Suspect named = findSuspect(tests, wTestCritical);
            ASSERT_NE(named.kind, Suspect::Kind::None);
            if (named.kind == Suspect::Kind::Flagged) {
                named.sharing = {named.reading};
            }
            EXPECT_TRUE(std::find(named.sharing.begin(), named.sharing.end(), wrong + 1) !=
                        named.sharing.end())
                << "named " << named.reading << " of " << named.sharing.size();
        }
    }
}

// Printed to a number of decimals: agreement to half a unit of the last one.
void expectPrinted(double ours, double printed, int decimals, const char* what) {
    EXPECT_LE(std::fabs(ours - printed), 0.5 * std::pow(10.0, -decimals) * (1.0 + 1e-9)) << what;
}

TEST(FreeStationReferences, ThePublishedExamplesGiveTheirPrintedStations) {
    const JsonValue all = sharedRecords("published.json");
    if (all.isNull()) {
        GTEST_SKIP() << "shared/freestation/published.json not found (RESECTION_SHARED_DIR)";
    }
    ASSERT_EQ(all.find("cases")->items().size(), 2u);
    for (const JsonValue& record : all.find("cases")->items()) {
        SCOPED_TRACE(record.find("id")->text());
        const FreeStation f = adjustFreeStation(stationFromJson(record, "published.json"));
        ASSERT_TRUE(f.adjusted());
        // Coordinates printed to 0.1 mm, standard deviations (a posteriori)
        // in cm to 0.01 mm; the position's is sqrt of the sum of the
        // variances of M, P (and H).
        const JsonValue& ref = *record.find("reference");
        expectPrinted(f.stationM, number(ref, "M"), 4, "M");
        expectPrinted(f.stationP, number(ref, "P"), 4, "P");
        expectPrinted(f.posterioriSigma(1), number(ref, "sigma_M"), 5, "sigma_M");
        expectPrinted(f.posterioriSigma(2), number(ref, "sigma_P"), 5, "sigma_P");
        double position = std::pow(f.posterioriSigma(1), 2) + std::pow(f.posterioriSigma(2), 2);
        if (f.heightIndex > 0) {
            expectPrinted(f.stationHeight, number(ref, "H"), 4, "H");
            expectPrinted(f.posterioriSigma(f.heightIndex), number(ref, "sigma_H"), 5, "sigma_H");
            position += std::pow(f.posterioriSigma(f.heightIndex), 2);
        }
        expectPrinted(std::sqrt(position), number(ref, "sigma_position"), 5, "sigma_position");
    }
}

} // namespace
} // namespace resection
