// The program's view of the file system, so that a whole run can be driven
// in-process (tests, fuzzers, a web page) as well as on real files. Nothing
// here calls the operating system: the files of the disk are in platform/.
#pragma once

#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <string>

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
    // True when both names denote one file: an existing one, or, for a file
    // still to be written, the same place.
    virtual bool sameFile(const std::string& a, const std::string& b) = 0;
    // Called once the report is complete; false when it could not be written.
    virtual bool closeReport(std::ostream& report, std::string& error) = 0;
};

// Files held in memory: the input files are given, the reports kept. They
// are the files of one folder, the current one, and a name denotes a file
// as it would there: "./est1.txt" and "est1.txt" are one file (so a report
// named "./est1.txt" is the input est1.txt, and refused as such), a name
// that ends in a folder is a folder, and no report can be created in
// another folder, since there is none.
class MemoryFileSystem : public FileSystem {
  public:
    // By the name each file has in the folder (see folderName).
    std::map<std::string, std::string> files;

    std::unique_ptr<std::istream> openInput(const std::string& name, std::string& error) override;
    std::unique_ptr<std::ostream> createReport(const std::string& name,
                                               std::string& error) override;
    bool sameFile(const std::string& a, const std::string& b) override;
    bool closeReport(std::ostream& report, std::string& error) override;

  private:
    std::map<const std::ostream*, std::string> openReports_;
};

// The reason no file can have this name (a NUL byte in it), or null.
const char* impossibleFileName(const std::string& name);

inline const char* const folderReason = "e uma pasta, nao um ficheiro";

// The name a path takes in the current folder, as the system resolves it:
// "." parts and repeated slashes dropped, a "x/.." pair taken out ("a//b",
// "./a/./b" and "a/../a/b" are all "a/b"). A path that denotes a folder
// (".", "..", one ending in "/") keeps a "/" at its end; an absolute path
// keeps its leading "/".
std::string folderName(const std::string& name);

} // namespace resection
