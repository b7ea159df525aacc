// What the disk file system needs of each operating system (POSIX in
// platform_posix.cpp, Windows in platform_windows.cpp).
#pragma once

#include <filesystem>
#include <istream>
#include <memory>
#include <string>

namespace resection {

inline const char* const folderReason = "e uma pasta, nao um ficheiro";
inline const char* const otherTypeReason = "nao e um ficheiro comum";

// The name as the file system takes it. Windows: the characters the person
// typed, from the UTF-8 the program holds; elsewhere the bytes as they are.
std::filesystem::path nativePath(const std::string& name);

// The input file 'name' (at 'path', not a folder) opened for reading when it
// is a regular file, or null with the reason in 'error'.
std::unique_ptr<std::istream>
openRegularFile(const std::string& name, const std::filesystem::path& path, std::string& error);

} // namespace resection
