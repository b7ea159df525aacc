// resection: the station's plane coordinates (and, on request, its height)
// from direction and zenith readings to points of known position.
#include "driver/run.hpp"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    resection::DiskFileSystem files;
    return resection::runResection(arguments, std::cin, std::cout, files);
}
