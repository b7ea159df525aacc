// What the programs need of the operating system: the files of the disk,
// the standard streams as the console, the command-line arguments. The POSIX
// code is in platform_posix.cpp, the Windows code in platform_windows.cpp.
#pragma once

#include "console/files.hpp"

#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace resection {

// Files of the operating system.
class DiskFileSystem : public FileSystem {
  public:
    std::unique_ptr<std::istream> openInput(const std::string& name, std::string& error) override;
    std::unique_ptr<std::ostream> createReport(const std::string& name,
                                               std::string& error) override;
    bool sameFile(const std::string& a, const std::string& b) override;
    bool closeReport(std::ostream& report, std::string& error) override;
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
