// Windows: the standard streams and the console window.
//
// The program holds text as bytes and file names as UTF-8. Piped and
// redirected streams carry their bytes unchanged, so that a run is byte for
// byte the same as on any other system. A console window is different: it
// holds characters, not bytes, and the code page it would use for bytes is
// neither UTF-8 nor the one the file system takes names in. So a console is
// read with ReadConsoleW and written with WriteConsoleW, and the UTF-8 of
// the program is converted on the way.
#ifdef _WIN32

#include "platform/native.hpp"
#include "platform/platform.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <io.h>
#include <iostream>
#include <windows.h>

namespace resection {

namespace {

// The wide form of UTF-8 text; false when the bytes are not valid UTF-8.
bool wideFromUtf8(std::string_view text, std::wstring& wide) {
    wide.clear();
    if (text.empty()) {
        return true;
    }
    const int size = static_cast<int>(text.size());
    const int count =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (count == 0) {
        return false;
    }
    wide.resize(static_cast<std::size_t>(count));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), count);
    return true;
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// Console input, one line as the console hands it over (typed, edited and
// ended with Enter), as UTF-8 with its CR LF.
class ConsoleInputBuffer : public std::streambuf {
  public:
    explicit ConsoleInputBuffer(HANDLE console) : console_(console) {}

  protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        wchar_t chunk[512];
        DWORD count = 0;
        if (ended_ || !ReadConsoleW(console_, chunk, 512, &count, nullptr) || count == 0) {
            ended_ = true;
            return traits_type::eof();
        }
        std::wstring wide = highSurrogate_ + std::wstring(chunk, count);
        highSurrogate_.clear();
        // Ctrl+Z at the start of a line ends the console input, as it does
        // for every console program.
        if (atLineStart_ && wide[0] == 0x1a) {
            ended_ = true;
            return traits_type::eof();
        }
        // A character outside the basic plane can straddle two reads.
        if (wide.back() >= 0xd800 && wide.back() <= 0xdbff) {
            highSurrogate_ = wide.back();
            wide.pop_back();
        }
        atLineStart_ = !wide.empty() && wide.back() == L'\n';
        text_ = utf8FromWide(wide);
        setg(text_.data(), text_.data(), text_.data() + text_.size());
        return text_.empty() ? underflow() : traits_type::to_int_type(*gptr());
    }

  private:
    HANDLE console_;
    std::string text_;
    std::wstring highSurrogate_;
    bool atLineStart_ = true;
    bool ended_ = false;
};

// Console output: the bytes written since the last flush, shown as the
// characters of their UTF-8. Bytes that are not UTF-8 (a name quoted from an
// input file in a DOS code page) are handed to the console as they are.
class ConsoleOutputBuffer : public std::streambuf {
  public:
    explicit ConsoleOutputBuffer(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            pending_ += traits_type::to_char_type(c);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        pending_.append(text, static_cast<std::size_t>(count));
        return count;
    }
    int sync() override {
        std::wstring wide;
        bool written = true;
        if (wideFromUtf8(pending_, wide)) {
            for (std::size_t at = 0; written && at < wide.size();) {
                DWORD count = 0;
                const auto chunk =
                    static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 8192));
                written = WriteConsoleW(console_, wide.data() + at, chunk, &count, nullptr) != 0 &&
                          count > 0;
                at += count;
            }
        } else {
            DWORD count = 0;
            written = WriteFile(console_, pending_.data(), static_cast<DWORD>(pending_.size()),
                                &count, nullptr) != 0;
        }
        pending_.clear();
        return written ? 0 : -1;
    }

  private:
    HANDLE console_;
    std::string pending_;
};

// Wine runs Windows programs on other systems; on a terminal there the shell
// is no Windows process, and the console counts the program alone.
bool underWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

std::wstring wideFromName(const std::string& name) {
    std::wstring wide;
    if (wideFromUtf8(name, wide)) {
        return wide;
    }
    const int size = static_cast<int>(name.size());
    wide.resize(
        static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, name.data(), size, nullptr, 0)));
    MultiByteToWideChar(CP_ACP, 0, name.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string utf8FromWide(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    std::string utf8(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), size,
                                                                  nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
    return utf8;
}

void prepareStandardStreams() {
    // Text mode would write CR CR LF for the CR LF of every line, and end
    // piped answers at a Ctrl+Z byte.
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
    std::ios::sync_with_stdio(false);
    // The buffers live as long as the process: std::cout is flushed at exit.
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (isConsole(input)) {
        std::cin.rdbuf(new ConsoleInputBuffer(input));
    }
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (isConsole(output)) {
        std::cout.rdbuf(new ConsoleOutputBuffer(output));
    }
    const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
    if (isConsole(errors)) {
        std::cerr.rdbuf(new ConsoleOutputBuffer(errors));
    }
}

void holdOwnConsoleWindow() {
    // From a command prompt or a terminal, the shell shares the console.
    DWORD processes[2];
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (GetConsoleWindow() == nullptr || GetConsoleProcessList(processes, 2) != 1 ||
        !isConsole(input) || !isConsole(GetStdHandle(STD_OUTPUT_HANDLE)) || underWine()) {
        return;
    }
    std::cout << "\r\nPrima Enter para fechar a janela." << std::flush;
    wchar_t chunk[64];
    DWORD count = 0;
    while (ReadConsoleW(input, chunk, 64, &count, nullptr) && count > 0 &&
           chunk[count - 1] != L'\n') {
    }
}

std::filesystem::path nativePath(const std::string& name) {
    return std::filesystem::path(wideFromName(name));
}

std::unique_ptr<std::istream> openRegularFile(const std::string& /*name*/,
                                              const std::filesystem::path& path,
                                              std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
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
}

std::unique_ptr<std::ostream>
createReportFile(const std::string& name, const std::filesystem::path& path, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
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
}

int finishReportFile(std::ostream& report) {
    errno = 0;
    report.flush();
    if (auto* file = dynamic_cast<std::ofstream*>(&report)) {
        file->close();
    }
    return errno;
}

std::vector<std::string> programArguments(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(utf8FromWide(argv[i]));
    }
    return arguments;
}

} // namespace resection

#endif
