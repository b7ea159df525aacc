// POSIX: input files read through their descriptor, and the standard streams.
#ifndef _WIN32

#include "platform/native.hpp"
#include "platform/platform.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace resection {

namespace fs = std::filesystem;

namespace {

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

} // namespace

fs::path nativePath(const std::string& name) {
    return fs::path(name);
}

std::unique_ptr<std::istream> openRegularFile(const std::string& name, const fs::path& /*path*/,
                                              std::string& error) {
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
}

std::unique_ptr<std::ostream> createReportFile(const std::string& name, const fs::path& /*path*/,
                                               std::string& error) {
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
}

int finishReportFile(std::ostream& report) {
    report.flush();
    if (auto* file = dynamic_cast<DescriptorOutputStream*>(&report)) {
        if (!file->close()) {
            report.setstate(std::ios::badbit);
        }
        return file->error();
    }
    return 0;
}

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

} // namespace resection

#endif
