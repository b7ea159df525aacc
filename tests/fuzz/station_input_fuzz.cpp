// Fuzz target: the free station's two input forms on arbitrary bytes, and
// the adjustment of whatever they accept.
//
// Byte 0 picks the form (even: the text form, odd: JSON); the rest is the
// file. A refusal must be a bad-input stop that names the file; an accepted
// station must adjust to finite figures or say why it does not.
#include "adjustment/free_station.hpp"
#include "base/stop.hpp"
#include "input/station_json.hpp"
#include "input/station_text.hpp"
#include "report/messages.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string file(reinterpret_cast<const char*>(data + 1), size - 1);
    resection::StationSurvey survey;
    try {
        if ((data[0] & 1) == 0) {
            std::istringstream in(file, std::ios::in | std::ios::binary);
            survey = resection::readStationText(in, "est.txt");
        } else {
            survey = resection::readStationJson(file, "est.json");
        }
    } catch (const resection::Stop& stop) {
        check(resection::exitStatus(stop.reason()) == resection::exitBadInput);
        const std::string message = resection::stopMessage(stop);
        check(message.find(" ficheiro est.") != std::string::npos);
        return 0;
    }
    const resection::FreeStation f = resection::adjustFreeStation(survey);
    if (!f.adjusted()) {
        check(f.fault != resection::AdjustmentFault::None);
        return 0;
    }
    check(std::isfinite(f.stationM) && std::isfinite(f.stationP) &&
          std::isfinite(f.stationHeight) && std::isfinite(f.quadraticForm) &&
          std::isfinite(f.sigma0) && std::isfinite(f.posteriori.major));
    for (const double v : f.residual) {
        check(std::isfinite(v));
    }
    return 0;
}
