#include "input/planimetric_section.hpp"

#include "angles/units.hpp"
#include "base/constants.hpp"

namespace resection {

SurveyHeader readHeaderRecords(RecordReader& in) {
    SurveyHeader header;
    in.beginRecord();
    header.unitCode = in.readText(2, {Field::UnitCode});
    header.unit = unitFromCode(header.unitCode);
    header.tolerance = in.readReal({Field::Tolerance});
    header.aprioriPrecision =
        precisionToRadians(header.unit, in.readReal({Field::AprioriPrecision}));
    in.beginRecord();
    header.stationName = in.readText(12, {Field::StationName});
    return header;
}

std::int32_t readPointCount(RecordReader& in, const SurveyHeader& header) {
    // An unknown code would read no point record; refuse it rather than
    // compute with readings that were never converted.
    if (header.unit == AngleUnit::Unknown) {
        throw Stop(StopReason::UnknownUnitCode).withFile(in.fileName()).withText(header.unitCode);
    }
    in.beginRecord();
    const std::int32_t count = in.readInteger({Field::PointCount});
    if (count < 3) {
        throw Stop(StopReason::TooFewPoints);
    }
    if (count > maxPointCount) {
        throw in.stopHere(StopReason::TooManyPoints).withCount(count);
    }
    return count;
}

PointRecords readPointRecords(RecordReader& in, const SurveyHeader& header,
                              std::int32_t pointCount) {
    PointRecords records;
    Survey& survey = records.survey;
    const int n = pointCount;
    survey.header = header;
    survey.pointCount = n;
    survey.redundancy = n - 3;
    survey.pointName.assign(static_cast<std::size_t>(n), std::string(12, ' '));
    survey.pointCoords = Matrix(n, 2);
    survey.directionReading = Matrix(n, 1);

    const bool sexagesimal = header.unit == AngleUnit::Sexagesimal;
    for (int i = 1; i <= n; ++i) {
        const auto item = [i](Field field) { return RecordItem{field, RecordOf::Point, i}; };
        in.beginRecord();
        survey.pointName[static_cast<std::size_t>(i - 1)] = in.readText(12, item(Field::Name));
        survey.pointCoords(i, 1) = in.readReal(item(Field::CoordinateM));
        survey.pointCoords(i, 2) = in.readReal(item(Field::CoordinateP));
        if (sexagesimal) {
            const double degrees = in.readReal(item(Field::Degrees));
            const double minutes = in.readReal(item(Field::Minutes));
            const double seconds = in.readReal(item(Field::Seconds));
            survey.directionReading(i) = toRadians(header.unit, degrees, minutes, seconds);
        } else {
            survey.directionReading(i) = toRadians(header.unit, in.readReal(item(Field::Reading)));
        }
    }
    in.endRecord();

    // The echo: the last N lines again, as text.
    in.stepBackLines(n);
    records.echo.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i) {
        records.echo.push_back(in.readLineText(72));
    }
    return records;
}

PointRecords readPlanimetricSection(RecordReader& in) {
    const SurveyHeader header = readHeaderRecords(in);
    const std::int32_t count = readPointCount(in, header);
    return readPointRecords(in, header, count);
}

} // namespace resection
