// The two programs as the web page calls them: a whole run over files held
// in memory, with the console answers given and the console bytes kept.
//
// The page hands over one request and gets one result, each a sequence of
// byte strings, every string a 32-bit little-endian length and its bytes:
//   request: argument count, the arguments; the console input; file count,
//            then each file's name and contents
//   result:  exit status (as four bytes); the console output; file count,
//            then each file the run wrote, name and contents
#include "console/files.hpp"
#include "runs/analysis_run.hpp"
#include "runs/run.hpp"

#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The files in memory, and which of them the run created or replaced, by
// their names in the folder ("./est1.rel" writes est1.rel).
class PageFiles : public resection::MemoryFileSystem {
  public:
    std::set<std::string> written;

    std::unique_ptr<std::ostream> createReport(const std::string& name,
                                               std::string& error) override {
        auto stream = MemoryFileSystem::createReport(name, error);
        if (stream) {
            written.insert(resection::folderName(name));
        }
        return stream;
    }
};

class Reader {
  public:
    Reader(const char* data, std::size_t size) : data_(data), size_(size) {}

    std::uint32_t count() {
        std::uint32_t value = 0;
        if (size_ - at_ >= 4) {
            for (int i = 3; i >= 0; --i) {
                value = value << 8 | static_cast<unsigned char>(data_[at_ + i]);
            }
            at_ += 4;
        }
        return value;
    }
    std::string bytes() {
        const std::size_t length = count();
        const std::size_t taken = length < size_ - at_ ? length : size_ - at_;
        std::string text(data_ + at_, taken);
        at_ += taken;
        return text;
    }

  private:
    const char* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void putCount(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
    }
}

void putBytes(std::string& out, const std::string& bytes) {
    putCount(out, static_cast<std::uint32_t>(bytes.size()));
    out += bytes;
}

struct Request {
    std::vector<std::string> arguments;
    std::string consoleIn;
    PageFiles files;
};

Request readRequest(const char* data, std::size_t size) {
    Reader in(data, size);
    Request request;
    for (std::uint32_t n = in.count(); n > 0; --n) {
        request.arguments.push_back(in.bytes());
    }
    request.consoleIn = in.bytes();
    for (std::uint32_t n = in.count(); n > 0; --n) {
        std::string name = in.bytes();
        request.files.files[name] = in.bytes();
    }
    return request;
}

// The last result, kept until the next run.
std::string result;

const char* writeResult(int status, const std::string& console, const PageFiles& files) {
    result.clear();
    putCount(result, static_cast<std::uint32_t>(status));
    putBytes(result, console);
    putCount(result, static_cast<std::uint32_t>(files.written.size()));
    for (const std::string& name : files.written) {
        putBytes(result, name);
        putBytes(result, files.files.at(name));
    }
    return result.data();
}

} // namespace

extern "C" {

// A run of resection. Returns the result; its size is page_result_size().
EMSCRIPTEN_KEEPALIVE const char* page_run(const char* request, std::size_t size) {
    Request r = readRequest(request, size);
    std::istringstream in(r.consoleIn);
    std::ostringstream out;
    const int status = resection::runResection(r.arguments, in, out, r.files);
    return writeResult(status, out.str(), r.files);
}

// A run of resection-analise; the console input is not read. Its errors
// follow its text in one console, as in a terminal that shows both.
EMSCRIPTEN_KEEPALIVE const char* page_analyse(const char* request, std::size_t size) {
    Request r = readRequest(request, size);
    std::ostringstream out;
    const int status = resection::runAnalysis(r.arguments, out, out, r.files);
    return writeResult(status, out.str(), r.files);
}

EMSCRIPTEN_KEEPALIVE std::size_t page_result_size() {
    return result.size();
}

} // extern "C"
