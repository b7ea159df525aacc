// The program's view of the file system, so that a whole run can be driven
// in-process (tests, fuzzers) as well as on real files.
#pragma once

#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace resection {

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // An existing regular file opened for reading, or null with the reason
    // in 'error'. Anything else (a folder, a FIFO, a device) is refused
    // before a read could wait for ever or never end.
    virtual std::unique_ptr<std::istream> openInput(const std::string& name,
                                                    std::string& error) = 0;
    // A new or replaced file opened for writing, or null with the reason.
    // Both refuse a name holding a NUL byte: no file can carry it, and the
    // system would take only the part before it.
    virtual std::unique_ptr<std::ostream> createReport(const std::string& name,
                                                       std::string& error) = 0;
    // True when both names denote one existing file.
    virtual bool sameFile(const std::string& a, const std::string& b) = 0;
    // Called once the report is complete; false when it could not be written.
    virtual bool closeReport(std::ostream& report, std::string& error) = 0;
};

// Files of the operating system.
class DiskFileSystem : public FileSystem {
  public:
    std::unique_ptr<std::istream> openInput(const std::string& name, std::string& error) override;
    std::unique_ptr<std::ostream> createReport(const std::string& name,
                                               std::string& error) override;
    bool sameFile(const std::string& a, const std::string& b) override;
    bool closeReport(std::ostream& report, std::string& error) override;
};

// Files held in memory: the input files are given, the reports kept.
class MemoryFileSystem : public FileSystem {
  public:
    std::map<std::string, std::string> files;

    std::unique_ptr<std::istream> openInput(const std::string& name, std::string& error) override;
    std::unique_ptr<std::ostream> createReport(const std::string& name,
                                               std::string& error) override;
    bool sameFile(const std::string& a, const std::string& b) override;
    bool closeReport(std::ostream& report, std::string& error) override;

  private:
    std::map<const std::ostream*, std::string> openReports_;
};

// Called first in main, before anything is read or written: the standard
// streams as the console dialogue needs them. POSIX: a standard descriptor
// (0, 1, 2) closed at start gets /dev/null, opened for reading only, so that
// no file of the run can take its number (the report would become standard
// output) and a closed standard output still fails every write, as a console
// that cannot be written must; a console pipe whose reader has gone fails a
// write too, instead of ending the process before the report is closed.
// Windows: the standard streams carry their bytes unchanged (no CR added
// before LF, no Ctrl+Z taken for the end), and a console window is read and
// written in the characters the person sees (UTF-8 inside the program).
void prepareStandardStreams();

// Called at the end of main with the run's exit status. When the console
// could not be written (standard output on a full disk, closed, or a pipe
// nobody reads), whatever the run did the person never saw how it ended:
// that is said on standard error, with what was lost, and the status is 2.
int statusAfterConsole(int status, std::string_view lost);

// Called last in main. Windows: a program started by a double click has a
// console window of its own that closes when the program ends; it asks for
// Enter first, so that the last message can be read. Runs from a command
// prompt, a terminal or a pipe end at once, as everywhere else.
void holdOwnConsoleWindow();

// True when Windows takes the name for a device rather than a file: CON,
// PRN, AUX, NUL, COM1 to COM9 or LPT1 to LPT9 (and a few rarer ones) as the
// last part of the path, in any case, with or without an extension. A report
// named so would vanish into the device ("aux.rel" is ordinary elsewhere).
bool isWindowsDeviceName(std::string_view name);

// The command-line arguments without the program's name, in UTF-8: as the
// C library gives them, or on Windows from wmain's UTF-16 (the programs are
// linked with -municode there).
#ifdef _WIN32
std::vector<std::string> programArguments(int argc, wchar_t** argv);
#else
std::vector<std::string> programArguments(int argc, char** argv);
#endif

#ifdef _WIN32
// File names are UTF-8 inside the program. A name that is not valid UTF-8
// (bytes piped in from a file saved in the ANSI code page) is read in the
// ANSI code page.
std::wstring wideFromName(const std::string& name);
std::string utf8FromWide(std::wstring_view text);
#endif

} // namespace resection
