// The search for the precision of the direction readings at which the
// variance test of the position changes its verdict.
#pragma once

#include "input/survey.hpp"
#include "planimetry/adjustment.hpp"
#include "planimetry/position.hpp"
#include "precision/precision_search.hpp"

namespace resection {

// The standard deviation of one angle at the a priori precision of the
// readings, sqrt(Qll(1,1)) = sqrt(2) sigma_d, from the weights of the first
// pass. Ends the run as the first pass would where those weights cannot be
// formed (a precision of exactly 0: "Matriz singular!").
double aprioriAngleDeviation(const Survey& survey, const FirstPosition& first,
                             const ComputeOptions& options = {});

struct PlanimetricSearch {
    double precision = 0.0; // the a posteriori precision of the readings, radians
    PlanimetricPass last;   // the last pass, whose results the report prints
    SearchCounts counts;
};

// The search from the a priori precision of the survey.
PlanimetricSearch searchDirectionPrecision(const Survey& survey, const FirstPosition& first,
                                           const ComputeOptions& options = {});

} // namespace resection
