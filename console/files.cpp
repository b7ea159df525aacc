#include "console/files.hpp"

#include <sstream>
#include <vector>

namespace resection {

const char* impossibleFileName(const std::string& name) {
    if (name.find('\0') != std::string::npos) {
        return "o nome contem um byte nulo, que nenhum nome de ficheiro pode ter";
    }
    return nullptr;
}

std::string folderName(const std::string& name) {
    if (name.empty()) {
        return name;
    }
    const bool absolute = name.front() == '/';
    std::vector<std::string> parts;
    std::string last; // the last part says whether the path ends in a folder
    for (std::size_t at = 0;;) {
        const std::size_t end = name.find('/', at);
        last = name.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (last == "..") {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
            } else if (!absolute) { // "/.." is "/"
                parts.push_back(last);
            }
        } else if (!last.empty() && last != ".") {
            parts.push_back(last);
        }
        if (end == std::string::npos) {
            break;
        }
        at = end + 1;
    }
    std::string normal = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        normal += (i > 0 ? "/" : "") + parts[i];
    }
    const bool folder = last.empty() || last == "." || last == "..";
    if (normal.empty()) {
        return "./";
    }
    return folder && normal.back() != '/' ? normal + "/" : normal;
}

namespace {

bool namesFolder(const std::string& inFolder) {
    return !inFolder.empty() && inFolder.back() == '/';
}

} // namespace

std::unique_ptr<std::istream> MemoryFileSystem::openInput(const std::string& name,
                                                          std::string& error) {
    if (const char* reason = impossibleFileName(name)) {
        error = reason;
        return nullptr;
    }
    const std::string inFolder = folderName(name);
    if (namesFolder(inFolder)) {
        error = folderReason;
        return nullptr;
    }
    const auto it = files.find(inFolder);
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
    const std::string inFolder = folderName(name);
    if (namesFolder(inFolder)) {
        error = folderReason;
        return nullptr;
    }
    if (inFolder.find('/') != std::string::npos) {
        error = "a pasta nao existe";
        return nullptr;
    }
    auto stream = std::make_unique<std::ostringstream>(std::ios::out | std::ios::binary);
    openReports_[stream.get()] = inFolder;
    files[inFolder].clear();
    return stream;
}

bool MemoryFileSystem::sameFile(const std::string& a, const std::string& b) {
    // One place in the folder, whether the file is there or still to be
    // written.
    return impossibleFileName(a) == nullptr && impossibleFileName(b) == nullptr &&
           folderName(a) == folderName(b);
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
