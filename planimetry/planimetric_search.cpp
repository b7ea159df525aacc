#include "planimetry/planimetric_search.hpp"

#include <cmath>

namespace resection {

double aprioriAngleDeviation(const Survey& survey, const FirstPosition& first,
                             const ComputeOptions& options) {
    PlanimetricAdjustment adjustment(survey, first, options.denseReference);
    return std::sqrt(adjustment.angleCofactor(survey.header.aprioriPrecision).diagonal);
}

PlanimetricSearch searchDirectionPrecision(const Survey& survey, const FirstPosition& first,
                                           const ComputeOptions& options) {
    PlanimetricAdjustment adjustment(survey, first, options.denseReference);
    PlanimetricSearch search;
    // The last pass the search computes is the last pass of its walk.
    const SearchResult result = searchReadingPrecision(
        [&](double precision) {
            search.last = adjustment.pass(precision);
            return search.last.search;
        },
        searchSettings(survey.header.aprioriPrecision, survey.header.unit, options),
        adjustment.criticalValue(), Readings::Directions);
    search.precision = result.precision;
    search.counts = result.counts;
    return search;
}

} // namespace resection
