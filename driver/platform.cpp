#include "driver/platform.hpp"

#include "driver/run_stop.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace resection {

namespace fs = std::filesystem;

namespace {

const char* const folderReason = "e uma pasta, nao um ficheiro";
const char* const otherTypeReason = "nao e um ficheiro comum";
const char* const notCreated = "nao pode ser criado";
const char* const notWrittenCompletely = "nao foi possivel escrever o relatorio por completo";

bool refusedName(const std::string& name, std::string& error) {
    if (name.find('\0') != std::string::npos) {
        error = "o nome contem um byte nulo, que nenhum nome de ficheiro pode ter";
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

// The name as the file system takes it. Windows: the characters the person
// typed, from the UTF-8 the program holds; elsewhere the bytes as they are.
fs::path nativePath(const std::string& name) {
#ifdef _WIN32
    return fs::path(wideFromName(name));
#else
    return fs::path(name);
#endif
}

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

#ifndef _WIN32

// Reads an open descriptor of a regular file; seeking serves the stepping
// back over lines. A failed read throws, as a file buffer does, and the
// record reader turns that into the stop of a read fault.
class DescriptorBuffer : public std::streambuf {
  public:
    explicit DescriptorBuffer(int fd) : fd_(fd) {}
    ~DescriptorBuffer() override { ::close(fd_); }
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

  protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        ssize_t count = 0;
        do {
            count = ::read(fd_, buffer_, sizeof buffer_);
        } while (count < 0 && errno == EINTR);
        if (count < 0) {
            throw std::ios_base::failure(std::strerror(errno));
        }
        if (count == 0) {
            return traits_type::eof();
        }
        setg(buffer_, buffer_, buffer_ + count);
        return traits_type::to_int_type(*gptr());
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
        const off_t at = (which & std::ios_base::in) != 0
                             ? ::lseek(fd_, static_cast<off_t>(position), SEEK_SET)
                             : -1;
        if (at < 0) {
            return pos_type(off_type(-1));
        }
        setg(buffer_, buffer_, buffer_);
        return pos_type(at);
    }

  private:
    int fd_;
    char buffer_[8192];
};

class DescriptorStream : public std::istream {
  public:
    explicit DescriptorStream(int fd) : std::istream(nullptr), buffer_(fd) { rdbuf(&buffer_); }

  private:
    DescriptorBuffer buffer_;
};

// Writes to an open descriptor of the report. The first failure of a write
// is kept with its error number, so that the message can say why (a full
// disk, a file grown past the limit); later lines are dropped.
class DescriptorOutputBuffer : public std::streambuf {
  public:
    explicit DescriptorOutputBuffer(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }
    ~DescriptorOutputBuffer() override { close(); }
    DescriptorOutputBuffer(const DescriptorOutputBuffer&) = delete;
    DescriptorOutputBuffer& operator=(const DescriptorOutputBuffer&) = delete;

    // Writes out what is left and closes; false when a write or the close
    // failed, with the error number in error().
    bool close() {
        if (fd_ >= 0) {
            writeOut();
            if (::close(fd_) != 0 && error_ == 0) {
                error_ = errno;
            }
            fd_ = -1;
        }
        return error_ == 0;
    }
    int error() const { return error_; }

  protected:
    int_type overflow(int_type c) override {
        if (!writeOut()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return writeOut() ? 0 : -1; }

  private:
    bool writeOut() {
        const char* at = pbase();
        while (error_ == 0 && at < pptr()) {
            const ssize_t count = ::write(fd_, at, static_cast<std::size_t>(pptr() - at));
            if (count < 0 && errno != EINTR) {
                error_ = errno;
            } else if (count > 0) {
                at += count;
            }
        }
        setp(buffer_, buffer_ + sizeof buffer_);
        return error_ == 0;
    }

    int fd_;
    int error_ = 0;
    char buffer_[8192];
};

class DescriptorOutputStream : public std::ostream {
  public:
    explicit DescriptorOutputStream(int fd) : std::ostream(nullptr), buffer_(fd) {
        rdbuf(&buffer_);
    }
    bool close() { return buffer_.close(); }
    int error() const { return buffer_.error(); }

  private:
    DescriptorOutputBuffer buffer_;
};

// The null device takes any output at once and keeps none: a report sent
// there on purpose is written.
bool isNullDevice(const struct stat& status) {
    struct stat null {};
    return S_ISCHR(status.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
           status.st_rdev == null.st_rdev;
}

const char* notRegularReason(mode_t mode) {
    if (S_ISDIR(mode)) {
        return folderReason;
    }
    if (S_ISFIFO(mode)) {
        return "e um pipe (FIFO), nao um ficheiro comum";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "e um dispositivo, nao um ficheiro comum";
    }
    if (S_ISSOCK(mode)) {
        return "e um socket, nao um ficheiro comum";
    }
    return otherTypeReason;
}

#endif

} // namespace

std::unique_ptr<std::istream> DiskFileSystem::openInput(const std::string& name,
                                                        std::string& error) {
    if (refusedName(name, error)) {
        return nullptr;
    }
    std::error_code ec;
    const fs::path path = nativePath(name);
    if (fs::is_directory(path, ec)) {
        error = folderReason;
        return nullptr;
    }
#ifdef _WIN32
    if (!fs::exists(path, ec)) {
        error = "o ficheiro nao existe";
        return nullptr;
    }
    if (!fs::is_regular_file(path, ec)) {
        error = otherTypeReason;
        return nullptr;
    }
    auto file = std::make_unique<std::ifstream>(path, std::ios::in | std::ios::binary);
    if (!file->is_open()) {
        error = "nao pode ser lido";
        return nullptr;
    }
    return file;
#else
    // Without O_NONBLOCK the open of a FIFO waits for a writer, for ever if
    // none comes; a regular file ignores the flag. The type is checked on
    // the open descriptor, so the file read is the file checked.
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ENOENT  ? "o ficheiro nao existe"
                : errno == ENXIO ? otherTypeReason // a socket
                                 : "nao pode ser lido";
        return nullptr;
    }
    struct stat status {};
    const char* refusal = nullptr;
    if (::fstat(fd, &status) != 0) {
        refusal = "nao pode ser lido";
    } else if (!S_ISREG(status.st_mode)) {
        refusal = notRegularReason(status.st_mode);
    }
    if (refusal != nullptr) {
        error = refusal;
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<DescriptorStream>(fd);
#endif
}

std::unique_ptr<std::ostream> DiskFileSystem::createReport(const std::string& name,
                                                           std::string& error) {
    if (refusedName(name, error)) {
        return nullptr;
    }
    std::error_code ec;
    const fs::path path = nativePath(name);
    if (fs::is_directory(path, ec)) {
        error = folderReason;
        return nullptr;
    }
#ifdef _WIN32
    if (fs::exists(path, ec) && !fs::is_regular_file(path, ec)) {
        error = otherTypeReason;
        return nullptr;
    }
    errno = 0;
    auto file =
        std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file->is_open()) {
        error = reasonOf(errno, name, notCreated);
        return nullptr;
    }
    return file;
#else
    // Without O_NONBLOCK the open of a FIFO waits for a reader, for ever if
    // none comes; with it the open fails at once, as it does for a socket.
    // A regular file ignores the flag. Nothing is truncated before the open
    // descriptor is known to be a regular file: a device or a FIFO is
    // refused as it is (the null device excepted).
    const int fd =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int errorNumber = errno;
        struct stat status {};
        error = errorNumber == ENXIO && ::stat(name.c_str(), &status) == 0
                    ? notRegularReason(status.st_mode)
                    : reasonOf(errorNumber, name, notCreated);
        return nullptr;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        error = reasonOf(errno, name, notCreated);
    } else if (S_ISREG(status.st_mode)) {
        if (::ftruncate(fd, 0) == 0) {
            return std::make_unique<DescriptorOutputStream>(fd);
        }
        error = reasonOf(errno, name, notCreated);
    } else if (isNullDevice(status)) {
        return std::make_unique<DescriptorOutputStream>(fd);
    } else {
        error = notRegularReason(status.st_mode);
    }
    ::close(fd);
    return nullptr;
#endif
}

bool DiskFileSystem::sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    std::string unused;
    if (refusedName(a, unused) || refusedName(b, unused)) {
        return false;
    }
    const fs::path first = nativePath(a);
    const fs::path second = nativePath(b);
    return fs::exists(first, ec) && fs::exists(second, ec) && fs::equivalent(first, second, ec);
}

bool DiskFileSystem::closeReport(std::ostream& report, std::string& error) {
    // A full disk shows only when the buffered lines are written out, at the
    // flush or the close: check after both.
    int errorNumber = 0;
#ifdef _WIN32
    errno = 0;
    report.flush();
    if (auto* file = dynamic_cast<std::ofstream*>(&report)) {
        file->close();
    }
    errorNumber = errno;
#else
    report.flush();
    if (auto* file = dynamic_cast<DescriptorOutputStream*>(&report)) {
        if (!file->close()) {
            report.setstate(std::ios::badbit);
        }
        errorNumber = file->error();
    }
#endif
    if (report.fail()) {
        const std::string reason = reasonOf(errorNumber, "", "");
        error = reason.empty() ? notWrittenCompletely : notWrittenCompletely + (": " + reason);
        return false;
    }
    return true;
}

std::unique_ptr<std::istream> MemoryFileSystem::openInput(const std::string& name,
                                                          std::string& error) {
    if (refusedName(name, error)) {
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
    if (refusedName(name, error)) {
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

#ifndef _WIN32

void prepareStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // The lowest free number is taken, and the lower ones are open by now.
        const int opened = ::open("/dev/null", O_RDONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
}

void holdOwnConsoleWindow() {}

std::vector<std::string> programArguments(int argc, char** argv) {
    return {argv + (argc > 0 ? 1 : 0), argv + argc};
}

#endif

} // namespace resection
