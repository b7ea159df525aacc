// resection: the station's plane coordinates (and, on request, its height)
// from direction and zenith readings to points of known position.
#include "driver/platform.hpp"
#include "driver/run.hpp"
#include "driver/run_stop.hpp"

#include <iostream>
#include <string>
#include <vector>

namespace {

int runProgram(const std::vector<std::string>& arguments) {
    resection::prepareStandardStreams();
    resection::DiskFileSystem files;
    int status = resection::runResection(arguments, std::cin, std::cout, files);
    // The dialogue and the stop messages were lost (standard output on a
    // full disk, closed, or a pipe nobody reads): whatever the run did, the
    // person never saw how it ended.
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "Nao foi possivel escrever na consola (saida padrao): as perguntas e "
                     "mensagens do programa perderam-se.\r\n";
        std::cerr.flush();
        status = resection::exitFileFault;
    }
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
