// The files in memory (the web page's, the tests' and the fuzzers') are the
// files of one folder: a name denotes the file the same name denotes on a
// disk, so that a run in memory refuses what a run on the disk refuses.
#include "console/files.hpp"
#include "runs/analysis_run.hpp"
#include "support/run_harness.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace resection {
namespace {

using testing::runInProcess;
using testing::RunResult;

TEST(FolderName, AsTheSystemResolvesAPath) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"est1.txt", "est1.txt"},
        {"./est1.txt", "est1.txt"},
        {".//est1.txt", "est1.txt"},
        {"././est1.txt", "est1.txt"},
        {"sub/../est1.txt", "est1.txt"},
        {"a//b", "a/b"},
        {"a/./b", "a/b"},
        {"a/b/../../a/b", "a/b"},
        {"../x", "../x"},
        {"../../x", "../../x"},
        {"/abs/x", "/abs/x"},
        {"/../x", "/x"},
        // Folders keep a slash at the end.
        {".", "./"},
        {"..", "../"},
        {"a/", "a/"},
        {"a/.", "a/"},
        {"a/b/..", "a/"},
        {"a/..", "./"},
        {"/", "/"},
        {"/..", "/"},
        {"", ""},
        // Blanks and backslashes are characters of the name.
        {" est1.txt ", " est1.txt "},
        {".\\est1.txt", ".\\est1.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(folderName(c.path), c.name) << c.path;
    }
}

// The bundled example, with its zenith section.
const std::string input = testing::readFile(RESECTION_GOLDEN_DIR "/../../examples/est1.txt");

// True when the console ends with the message on its line (behind the
// prompt whose answer was piped in).
bool endsWith(const std::string& console, const std::string& message) {
    const std::string end = message + "\r\n";
    return console.size() >= end.size() &&
           console.compare(console.size() - end.size(), end.size(), end) == 0;
}

TEST(MemoryFiles, ReportNamesRefusedAsOnADisk) {
    const struct {
        const char* report;
        const char* message;
    } cases[] = {
        {"in.txt", "O ficheiro de output \"in.txt\" e o proprio ficheiro de input: escolha outro "
                   "nome."},
        {"./in.txt", "O ficheiro de output \"./in.txt\" e o proprio ficheiro de input: escolha "
                     "outro nome."},
        {"sub/../in.txt", "O ficheiro de output \"sub/../in.txt\" e o proprio ficheiro de input: "
                          "escolha outro nome."},
        {".", "Nao foi possivel criar o ficheiro de output \".\": e uma pasta, nao um ficheiro."},
        {"sub/", "Nao foi possivel criar o ficheiro de output \"sub/\": e uma pasta, nao um "
                 "ficheiro."},
        {"sub/out.rel", "Nao foi possivel criar o ficheiro de output \"sub/out.rel\": a pasta nao "
                        "existe."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        const RunResult r =
            runInProcess({{"in.txt", input}}, "in.txt\n" + std::string(c.report) + "\nN\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(endsWith(r.console, c.message)) << r.console;
        // Nothing written, the input untouched.
        ASSERT_EQ(r.files.size(), 1U);
        EXPECT_EQ(r.files.at("in.txt"), input);
    }
}

TEST(MemoryFiles, ReportAndInputFoundUnderTheirNamesInTheFolder) {
    const RunResult r = runInProcess({{"in.txt", input}}, "./in.txt\n.//out.rel\nN\n");
    EXPECT_EQ(r.status, 0) << r.console;
    ASSERT_EQ(r.files.count("out.rel"), 1U);
    EXPECT_EQ(r.files.size(), 2U);
    const RunResult plain = runInProcess({{"in.txt", input}}, "in.txt\nout.rel\nN\n");
    EXPECT_EQ(r.files.at("out.rel"), plain.files.at("out.rel"));
}

TEST(MemoryFiles, AnalysisOutputsNamedAsTheInputAreRefused) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"in.txt", "./in.txt"},
          std::vector<std::string>{"--json", "./in.txt", "in.txt"}}) {
        SCOPED_TRACE(args[1]);
        MemoryFileSystem files;
        files.files["in.txt"] = input;
        std::ostringstream out;
        EXPECT_EQ(runAnalysis(args, out, out, files), 2);
        EXPECT_NE(out.str().find("\"./in.txt\" e o proprio ficheiro de input"), std::string::npos)
            << out.str();
        EXPECT_EQ(files.files.at("in.txt"), input);
    }
}

} // namespace
} // namespace resection
