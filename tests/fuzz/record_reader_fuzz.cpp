// Fuzz target: the free-form record reader on arbitrary file bytes, driven by
// a script of reads taken from the front of the data.
//
// Layout of the data: byte 0 is the length L of the script (0..255), the next
// L bytes are the script, the rest is the file. Each script byte picks one
// reader call (low 3 bits) and its argument (high 5 bits).
#include "input/record_reader.hpp"
#include "report/messages.hpp"

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
    const std::size_t scriptLength = data[0] < size - 1 ? data[0] : size - 1;
    const std::uint8_t* script = data + 1;
    const std::string file(reinterpret_cast<const char*>(data + 1 + scriptLength),
                           size - 1 - scriptLength);
    std::istringstream stream(file, std::ios::in | std::ios::binary);
    resection::RecordReader reader(stream, "fuzz", [](long long line, const std::string& text) {
        check(line >= 1);
        check(resection::decimalCommaWarning("fuzz", line, text)
                  .rfind("Aviso: ficheiro fuzz, linha ", 0) == 0);
    });
    for (std::size_t i = 0; i < scriptLength; ++i) {
        const int op = script[i] & 7;
        const int arg = script[i] >> 3; // 0..31
        try {
            switch (op) {
            case 0:
                reader.beginRecord();
                break;
            case 1:
                reader.endRecord();
                break;
            case 2: {
                const std::string text = reader.readText(arg, {});
                check(text.size() == static_cast<std::size_t>(arg));
                break;
            }
            case 3:
                reader.readInteger({});
                break;
            case 4: {
                const double value = reader.readReal({});
                check(value == value && value - value == 0.0); // finite
                break;
            }
            case 5:
                reader.beginRecord();
                reader.stepBackLines(arg - 2); // also a negative count
                break;
            case 6: {
                const int width = arg * 3;
                const std::string text = reader.readLineText(width);
                check(text.size() == static_cast<std::size_t>(width));
                break;
            }
            default: {
                // A whole point record of the "gs" form.
                reader.beginRecord();
                reader.readText(12, {});
                for (int k = 0; k < 5; ++k) {
                    reader.readReal({});
                }
                break;
            }
            }
        } catch (const resection::Stop& stop) {
            check(!resection::stopMessage(stop).empty());
            check(resection::exitStatus(stop.reason()) != resection::exitOrderly);
        }
        check(reader.lineNumber() >= 1);
        check(reader.lineNumber() <= static_cast<long long>(file.size()) + 2);
    }
    return 0;
}
