// resection: the station's plane coordinates (and, on request, its height)
// from direction and zenith readings to points of known position.
#include "driver/platform.hpp"
#include "driver/run.hpp"
#include "driver/run_stop.hpp"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    resection::protectStandardDescriptors();
    std::ios::sync_with_stdio(false);
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    resection::DiskFileSystem files;
    const int status = resection::runResection(arguments, std::cin, std::cout, files);
    // The dialogue and the stop messages were lost (standard output on a
    // full disk, closed, or a pipe nobody reads): whatever the run did, the
    // person never saw how it ended.
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "Nao foi possivel escrever na consola (saida padrao): as perguntas e "
                     "mensagens do programa perderam-se.\r\n";
        std::cerr.flush();
        return resection::exitFileFault;
    }
    return status;
}
