// resection-analise: the analysis of a resection's input file. Which reading
// is wrong, the shape of the station's uncertainty, how strong the sighting
// geometry is, and, on request, a sketch of the station in SVG.
#include "driver/analysis_run.hpp"
#include "driver/platform.hpp"
#include "driver/run_stop.hpp"

#include <iostream>
#include <string>
#include <vector>

namespace {

int runProgram(const std::vector<std::string>& arguments) {
    resection::prepareStandardStreams();
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

} // namespace

#ifdef _WIN32
// The file names as typed: Windows hands them over as UTF-16, and they
// become UTF-8 like every name inside the program (linked with -municode).
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(resection::utf8FromWide(argv[i]));
    }
    return runProgram(arguments);
}
#else
int main(int argc, char** argv) {
    return runProgram({argv + (argc > 0 ? 1 : 0), argv + argc});
}
#endif
