// resection-analise: the analysis of a resection's input file. Which reading
// is wrong, the shape of the station's uncertainty, how strong the sighting
// geometry is, and, on request, a sketch of the station in SVG.
#include "driver/analysis_run.hpp"
#include "driver/platform.hpp"
#include "driver/run_stop.hpp"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    resection::protectStandardDescriptors();
    std::ios::sync_with_stdio(false);
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    resection::DiskFileSystem files;
    const int status = resection::runAnalysis(arguments, std::cout, files);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "Nao foi possivel escrever na consola (saida padrao): a analise "
                     "perdeu-se.\r\n";
        std::cerr.flush();
        return resection::exitFileFault;
    }
    return status;
}
