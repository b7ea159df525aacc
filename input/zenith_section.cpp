#include "input/zenith_section.hpp"

#include "angles/units.hpp"
#include "base/constants.hpp"

namespace resection {

ZenithSection readZenithSection(RecordReader& in, const SurveyHeader& header) {
    ZenithSection z;
    in.beginRecord();
    z.count = in.readInteger({Field::ZenithCount});
    const long long countLine = in.lineNumber();
    z.instrumentHeight = in.readReal({Field::InstrumentHeight});
    if (z.count < 1 || z.count > maxZenithCount) {
        throw in
            .stopHere(z.count < 1 ? StopReason::TooFewZenithObservations
                                  : StopReason::TooManyZenithObservations)
            .withLine(countLine)
            .withCount(z.count);
    }
    const int n = z.count;
    z.pointName.assign(static_cast<std::size_t>(n), std::string(12, ' '));
    z.pointM = Matrix(n, 1);
    z.pointP = Matrix(n, 1);
    z.pointHeight = Matrix(n, 1);
    z.reading = Matrix(n, 1);
    z.signalHeight = Matrix(n, 1);

    const bool sexagesimal = header.unit == AngleUnit::Sexagesimal;
    long long firstReadingLine = 0;
    for (int i = 1; i <= n; ++i) {
        const auto item = [i](Field field) {
            return RecordItem{field, RecordOf::ZenithObservation, i};
        };
        in.beginRecord();
        z.pointName[static_cast<std::size_t>(i - 1)] = in.readText(12, item(Field::Name));
        z.pointM(i) = in.readReal(item(Field::CoordinateM));
        z.pointP(i) = in.readReal(item(Field::CoordinateP));
        z.pointHeight(i) = in.readReal(item(Field::PointHeight));
        double reading = 0.0;
        if (sexagesimal) {
            const double degrees = in.readReal(item(Field::Degrees));
            const double minutes = in.readReal(item(Field::Minutes));
            const double seconds = in.readReal(item(Field::Seconds));
            reading = sexagesimalToDegrees(degrees, minutes, seconds);
        } else {
            reading = in.readReal(item(Field::ZenithReading));
        }
        if (i == 1) {
            firstReadingLine = in.lineNumber();
        }
        z.reading(i) = zenithToRadians(header.unit, reading);
        z.signalHeight(i) = in.readReal(item(Field::SignalHeight));
    }
    in.endRecord();
    // The starting value divides by the tangent of the first reading.
    if (z.reading(1) == 0.0) {
        throw in.stopHere(StopReason::FirstZenithReadingZero).withLine(firstReadingLine);
    }
    return z;
}

} // namespace resection
