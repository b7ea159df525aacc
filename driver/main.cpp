// resection: the station's plane coordinates (and, on request, its height)
// from direction and zenith readings to points of known position.
#include "platform/platform.hpp"
#include "runs/run.hpp"

#include <iostream>
#include <string>
#include <vector>

namespace {

int runProgram(const std::vector<std::string>& arguments) {
    resection::prepareStandardStreams();
    resection::DiskFileSystem files;
    const int status = resection::statusAfterConsole(
        resection::runResection(arguments, std::cin, std::cout, files),
        "as perguntas e mensagens do programa perderam-se.");
    resection::holdOwnConsoleWindow();
    return status;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return runProgram(resection::programArguments(argc, argv));
}
#else
int main(int argc, char** argv) {
    return runProgram(resection::programArguments(argc, argv));
}
#endif
