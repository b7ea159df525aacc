// resection-analise: the analysis of a resection's input file. Which reading
// is wrong, the shape of the station's uncertainty, how strong the sighting
// geometry is, and, on request, a sketch of the station in SVG.
#include "platform/platform.hpp"
#include "runs/analysis_run.hpp"

#include <iostream>
#include <string>
#include <vector>

namespace {

int runProgram(const std::vector<std::string>& arguments) {
    resection::prepareStandardStreams();
    resection::DiskFileSystem files;
    const int status = resection::statusAfterConsole(
        resection::runAnalysis(arguments, std::cout, std::cerr, files), "a analise perdeu-se.");
    // Started by a double click (or with a data file dropped on it), its
    // window would close before the analysis could be read.
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
