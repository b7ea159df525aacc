#include "console/files.hpp"

#include <sstream>

namespace resection {

const char* impossibleFileName(const std::string& name) {
    if (name.find('\0') != std::string::npos) {
        return "o nome contem um byte nulo, que nenhum nome de ficheiro pode ter";
    }
    return nullptr;
}

std::unique_ptr<std::istream> MemoryFileSystem::openInput(const std::string& name,
                                                          std::string& error) {
    if (const char* reason = impossibleFileName(name)) {
        error = reason;
        return nullptr;
    }
    const auto it = files.find(name);
    if (it == files.end()) {
        error = "o ficheiro nao existe";
        return nullptr;
    }
    return std::make_unique<std::istringstream>(it->second, std::ios::in | std::ios::binary);
}

std::unique_ptr<std::ostream> MemoryFileSystem::createReport(const std::string& name,
                                                             std::string& error) {
    if (name.empty()) {
        error = "nome vazio";
        return nullptr;
    }
    if (const char* reason = impossibleFileName(name)) {
        error = reason;
        return nullptr;
    }
    auto stream = std::make_unique<std::ostringstream>(std::ios::out | std::ios::binary);
    openReports_[stream.get()] = name;
    files[name].clear();
    return stream;
}

bool MemoryFileSystem::sameFile(const std::string& a, const std::string& b) {
    return a == b;
}

bool MemoryFileSystem::closeReport(std::ostream& report, std::string& error) {
    const auto it = openReports_.find(&report);
    if (it == openReports_.end()) {
        error = "relatorio desconhecido";
        return false;
    }
    files[it->second] = static_cast<std::ostringstream&>(report).str();
    openReports_.erase(it);
    return true;
}

} // namespace resection
