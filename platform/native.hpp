// What the disk file system needs of each operating system (POSIX in
// platform_posix.cpp, Windows in platform_windows.cpp).
#pragma once

#include "console/files.hpp"

#include <filesystem>
#include <istream>
#include <memory>
#include <ostream>
#include <string>

namespace resection {

inline const char* const otherTypeReason = "nao e um ficheiro comum";
inline const char* const notCreated = "nao pode ser criado";

// The name as the file system takes it. Windows: the characters the person
// typed, from the UTF-8 the program holds; elsewhere the bytes as they are.
std::filesystem::path nativePath(const std::string& name);

// The input file 'name' (at 'path', not a folder) opened for reading when it
// is a regular file, or null with the reason in 'error'.
std::unique_ptr<std::istream>
openRegularFile(const std::string& name, const std::filesystem::path& path, std::string& error);

// The report 'name' (at 'path', not a folder) created or emptied for
// writing, or null with the reason in 'error'.
std::unique_ptr<std::ostream>
createReportFile(const std::string& name, const std::filesystem::path& path, std::string& error);

// Writes out and closes a report of createReportFile; the system's error
// number of a write or the close that failed, 0 where none did (and where
// the system does not say).
int finishReportFile(std::ostream& report);

// Why a file could not be created or written, from the system's error
// number; 'otherwise' where the number says nothing a person could act on.
std::string reasonOf(int errorNumber, const std::string& name, const char* otherwise);

} // namespace resection
