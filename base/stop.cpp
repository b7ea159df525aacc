#include "base/stop.hpp"

namespace resection {

int exitStatus(StopReason reason) {
    switch (reason) {
    case StopReason::TooFewPoints:
    case StopReason::Terminated:
    case StopReason::PositionNotConverging:
    case StopReason::HeightNotConverging:
    case StopReason::SingularMatrix:
    case StopReason::StationOnPoint:
    case StopReason::NoFirstPosition:
        return exitOrderly;
    case StopReason::UnreadableRecord:
    case StopReason::LineTooLong:
    case StopReason::CannotStepBack:
    case StopReason::UnknownUnitCode:
    case StopReason::TooManyPoints:
    case StopReason::TooFewZenithObservations:
    case StopReason::TooManyZenithObservations:
    case StopReason::FirstZenithReadingZero:
    case StopReason::HeightDiverged:
    case StopReason::NoHorizontalDistance:
    case StopReason::SearchNegativeAccepted:
    case StopReason::SearchStepVanishes:
    case StopReason::SearchToleranceUnresolved:
    case StopReason::SearchUnpredictable:
        return exitBadInput;
    case StopReason::ReadFault:
    case StopReason::CannotReposition:
    case StopReason::CannotOpenInput:
    case StopReason::ReportIsInput:
    case StopReason::CannotCreateReport:
    case StopReason::ReportWriteFault:
    case StopReason::NoFileName:
        return exitFileFault;
    }
    return exitBadInput;
}

} // namespace resection
