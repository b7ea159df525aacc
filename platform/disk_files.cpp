#include "platform/platform.hpp"

#include "base/stop.hpp"
#include "platform/native.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <system_error>

namespace resection {

namespace fs = std::filesystem;

namespace {

const char* const notWrittenCompletely = "nao foi possivel escrever o relatorio por completo";

bool refusedName(const std::string& name, std::string& error) {
    if (const char* reason = impossibleFileName(name)) {
        error = reason;
        return true;
    }
#ifdef _WIN32
    if (isWindowsDeviceName(name)) {
        error = "o nome e de um dispositivo do Windows (CON, PRN, AUX, NUL, COM1 a COM9, LPT1 a "
                "LPT9, com qualquer extensao), nao de um ficheiro: escolha outro nome";
        return true;
    }
#endif
    return false;
}

} // namespace

// Why a file could not be created or written, from the system's error
// number; 'otherwise' where the number says nothing a person could act on.
std::string reasonOf(int errorNumber, const std::string& name, const char* otherwise) {
    switch (errorNumber) {
    case ENOENT: {
        // Also what some system folders (/proc) answer to a new file: name
        // the missing folder only where it is missing.
        std::error_code ec;
        const fs::path folder = nativePath(name).parent_path();
        return folder.empty() || fs::is_directory(folder, ec) ? otherwise : "a pasta nao existe";
    }
    case ENOTDIR:
        return "uma parte do caminho nao e uma pasta";
    case EISDIR:
        return folderReason;
    case EACCES:
    case EPERM:
        return "permissao negada";
    case EROFS:
        return "o disco so pode ser lido";
    case ENOSPC:
        return "o disco esta cheio";
#ifdef EDQUOT
    case EDQUOT:
        return "a quota do disco esta esgotada";
#endif
    case EFBIG:
        return "o ficheiro excede o tamanho maximo permitido";
    case ENAMETOOLONG:
        return "o nome e demasiado comprido";
    case EIO:
        return "erro de leitura ou escrita no disco";
    default:
        return otherwise;
    }
}

namespace {

// The path of a name that may denote a file (not a folder), or nothing with
// the reason in 'error'.
std::optional<fs::path> filePath(const std::string& name, std::string& error) {
    if (refusedName(name, error)) {
        return std::nullopt;
    }
    std::error_code ec;
    fs::path path = nativePath(name);
    if (fs::is_directory(path, ec)) {
        error = folderReason;
        return std::nullopt;
    }
    return path;
}

} // namespace

std::unique_ptr<std::istream> DiskFileSystem::openInput(const std::string& name,
                                                        std::string& error) {
    const std::optional<fs::path> path = filePath(name, error);
    return path ? openRegularFile(name, *path, error) : nullptr;
}

std::unique_ptr<std::ostream> DiskFileSystem::createReport(const std::string& name,
                                                           std::string& error) {
    const std::optional<fs::path> path = filePath(name, error);
    return path ? createReportFile(name, *path, error) : nullptr;
}

bool DiskFileSystem::sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    std::string unused;
    if (refusedName(a, unused) || refusedName(b, unused)) {
        return false;
    }
    const fs::path first = nativePath(a);
    const fs::path second = nativePath(b);
    if (fs::exists(first, ec) && fs::exists(second, ec)) {
        return fs::equivalent(first, second, ec);
    }
    // A file still to be written: the same place, however it is named
    // ("out.svg", "./out.svg", "dir/../out.svg", through a linked folder).
    const auto place = [&ec](const fs::path& name) {
        const fs::path whole = fs::absolute(name, ec);
        return ec ? fs::path() : fs::weakly_canonical(whole, ec);
    };
    const fs::path firstPlace = place(first);
    if (ec) {
        return false;
    }
    const fs::path secondPlace = place(second);
    return !ec && firstPlace == secondPlace;
}

bool DiskFileSystem::closeReport(std::ostream& report, std::string& error) {
    // A full disk shows only when the buffered lines are written out, at the
    // flush or the close: check after both.
    const int errorNumber = finishReportFile(report);
    if (report.fail()) {
        const std::string reason = reasonOf(errorNumber, "", "");
        error = reason.empty() ? notWrittenCompletely : notWrittenCompletely + (": " + reason);
        return false;
    }
    return true;
}

bool isWindowsDeviceName(std::string_view name) {
    // The last part of the path, without a drive letter.
    const auto separator = name.find_last_of("/\\");
    if (separator != std::string_view::npos) {
        name.remove_prefix(separator + 1);
    }
    if (name.size() >= 2 && name[1] == ':') {
        name.remove_prefix(2);
    }
    // Windows looks only at what comes before the first point (or the colon
    // of "NUL:" and of a stream name), without the blanks that end it.
    name = name.substr(0, name.find_first_of(".:"));
    name = name.substr(0, name.find_last_not_of(' ') + 1);
    std::string upper(name);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    static constexpr std::array<std::string_view, 6> plain = {"CON", "PRN",    "AUX",
                                                              "NUL", "CONIN$", "CONOUT$"};
    if (std::find(plain.begin(), plain.end(), upper) != plain.end()) {
        return true;
    }
    // COM1 to COM9 and LPT1 to LPT9, and with the superscript digits 1 to 3
    // (UTF-8), which Windows takes for the same ports.
    if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) {
        return false;
    }
    const std::string_view number = std::string_view(upper).substr(3);
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xc2\xb9" ||
           number == "\xc2\xb2" || number == "\xc2\xb3";
}

int statusAfterConsole(int status, std::string_view lost) {
    std::cout.flush();
    if (std::cout) {
        return status;
    }
    std::cerr << "Nao foi possivel escrever na consola (saida padrao): " << lost << "\r\n";
    std::cerr.flush();
    return exitFileFault;
}

} // namespace resection
