#include "driver/platform.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace resection {

namespace fs = std::filesystem;

std::unique_ptr<std::istream> DiskFileSystem::openInput(const std::string& name,
                                                        std::string& error) {
    std::error_code ec;
    if (fs::is_directory(name, ec)) {
        error = "e uma pasta, nao um ficheiro";
        return nullptr;
    }
    auto file = std::make_unique<std::ifstream>(name, std::ios::in | std::ios::binary);
    if (!file->is_open()) {
        error = errno == ENOENT ? "o ficheiro nao existe" : "nao pode ser lido";
        return nullptr;
    }
    return file;
}

std::unique_ptr<std::ostream> DiskFileSystem::createReport(const std::string& name,
                                                           std::string& error) {
    std::error_code ec;
    if (fs::is_directory(name, ec)) {
        error = "e uma pasta, nao um ficheiro";
        return nullptr;
    }
    auto file =
        std::make_unique<std::ofstream>(name, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file->is_open()) {
        error = "nao pode ser criado";
        return nullptr;
    }
    return file;
}

bool DiskFileSystem::sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

bool DiskFileSystem::closeReport(std::ostream& report, std::string& error) {
    // A full disk shows only when the buffered lines are written out, at the
    // flush or the close: check after both.
    report.flush();
    if (auto* file = dynamic_cast<std::ofstream*>(&report)) {
        file->close();
    }
    if (report.fail()) {
        error = "nao foi possivel escrever o relatorio por completo";
        return false;
    }
    return true;
}

std::unique_ptr<std::istream> MemoryFileSystem::openInput(const std::string& name,
                                                          std::string& error) {
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
    auto stream = std::make_unique<std::ostringstream>(std::ios::out | std::ios::binary);
    openReports_[stream.get()] = name;
    files[name].clear();
    return stream;
}

bool MemoryFileSystem::sameFile(const std::string& a, const std::string& b) {
    return a == b && files.count(a) != 0;
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
