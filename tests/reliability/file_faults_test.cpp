// File faults of whole runs of the real program: each ends with a console
// message and exit status 2, and never leaves a report that passes for a
// complete one; orderly stops of the computation keep status 0.
#include "support/run_harness.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace resection::testing {
namespace {

namespace fs = std::filesystem;

const std::string goodInput = "gd 0.001 0.6\n"
                              "EST1\n"
                              "4\n"
                              "P1 43626.673 276557.347 268.71506\n"
                              "P2 42211.532 274411.871 323.41615\n"
                              "P3 41602.264 272166.734 62.62982\n"
                              "P4 41621.891 274804.785 185.72903\n";

struct Outcome {
    int status = -1;
    std::string console;
    std::string errors; // standard error
};

// A scratch folder for one test, removed afterwards.
class ProgramRun : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "resection-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    fs::path path(const std::string& name) const { return dir_ / name; }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }

    // Runs the program in the scratch folder with the arguments as written
    // and the console input given, or standard input from the file named;
    // standard output as redirected (read back from console-out), standard
    // error to console-err; 'setup' runs first in the same shell. A run that
    // hangs is ended after 20 s (status 124) and fails its test, not the CI.
    Outcome run(const std::string& consoleInput, const std::string& arguments,
                const std::string& standardInput = "console-in",
                const std::string& standardOutput = "> console-out",
                const std::string& setup = "") const {
        write("console-in", consoleInput);
        fs::remove(path("console-out"));
        const std::string command = "cd '" + dir_.string() + "' && " + setup +
                                    " timeout -k 5 20 '" + binary_ + "' " + arguments + " < '" +
                                    standardInput + "' " + standardOutput + " 2> console-err";
        const int raw = std::system(command.c_str());
        Outcome outcome;
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        outcome.console = readFile(path("console-out").string());
        outcome.errors = readFile(path("console-err").string());
        return outcome;
    }

    fs::path dir_;
    std::string binary_ = RESECTION_BINARY;
};

bool endsWithLine(const std::string& console, const std::string& line) {
    const std::string tail = line + "\r\n";
    return console.size() >= tail.size() &&
           console.compare(console.size() - tail.size(), tail.size(), tail) == 0;
}

// An output that cannot be created or written: the message says why, at
// once (a FIFO without a reader would block the open for ever), and nothing
// but a regular file or the null device is written to.
struct OutputFault {
    const char* what;
    std::string name;
    std::string reason; // "": the run ends normally
    std::string setup = "";
    bool otherUser = false; // root runs it as nobody, whom permissions bind
};

void PrintTo(const OutputFault& row, std::ostream* os) {
    *os << row.what;
}

class OutputFaultTest : public ProgramRun, public ::testing::WithParamInterface<OutputFault> {
  protected:
    // The folders and special files the rows name; the shell's setup.
    std::string prepare() {
        write("in.txt", goodInput);
        fs::create_directory(path("folder"));
        fs::create_directory(path("locked"));
        fs::permissions(path("locked"), fs::perms::owner_read | fs::perms::owner_exec |
                                            fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
        fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
        EXPECT_EQ(mkfifo(path("pipe").c_str(), 0666), 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string socketPath = path("socket").string();
        EXPECT_LT(socketPath.size(), sizeof address.sun_path);
        socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
        socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        EXPECT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        if (!GetParam().otherUser || geteuid() != 0) {
            return GetParam().setup;
        }
        // Root is not bound by permissions: the run drops to the user nobody,
        // who may not reach the build folder (a checkout in a home of mode
        // 0700, or in a folder made by mktemp -d), so a copy of the program
        // runs from the scratch folder.
        const fs::path copy = path("program");
        fs::copy_file(binary_, copy);
        fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
        binary_ = copy.string();
        const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups";
        const std::string probe = asNobody + " test -x '" + binary_ + "'";
        if (std::system(probe.c_str()) != 0) {
            unreachable_ = "the user nobody cannot reach the scratch folder " + dir_.string() +
                           " (a temporary folder other users cannot enter)";
        }
        return asNobody;
    }
    void TearDown() override {
        ::close(socket_);
        ProgramRun::TearDown();
    }
    int socket_ = -1;
    std::string unreachable_; // why a run as nobody cannot be made here
};

const std::string cannotCreate = "Nome do ficheiro de output: Nao foi possivel criar o ficheiro "
                                 "de output ";

TEST_P(OutputFaultTest, ReportSaysWhy) {
    const OutputFault& row = GetParam();
    const std::string setup = prepare();
    if (!unreachable_.empty()) {
        GTEST_SKIP() << unreachable_;
    }
    const Outcome o =
        run("in.txt\n" + row.name + "\nN\n", "", "console-in", "> console-out", setup);
    if (row.reason.empty()) {
        EXPECT_EQ(o.status, 0);
        EXPECT_TRUE(endsWithLine(o.console, "Quer calcular a cota do ponto visado (S/N)? "))
            << o.console;
    } else if (row.reason.rfind("Erro", 0) == 0) {
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(endsWithLine(o.console, row.reason)) << o.console;
    } else {
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(endsWithLine(o.console, cannotCreate + "\"" + row.name + "\": " + row.reason))
            << o.console;
    }
    EXPECT_EQ(o.errors, "");
    EXPECT_TRUE(fs::is_directory(path("folder")));
    EXPECT_FALSE(fs::exists(path("missing")));
    EXPECT_TRUE(fs::is_fifo(path("pipe")));
    EXPECT_EQ(readFile(path("in.txt").string()), goodInput);
}

// The companion's sketch: the same reasons on standard error, and the
// analysis goes on to its height part.
TEST_P(OutputFaultTest, SketchSaysWhyAndTheAnalysisGoesOn) {
    const OutputFault& row = GetParam();
    binary_ = RESECTION_ANALYSIS_BINARY;
    const std::string setup = prepare();
    if (!unreachable_.empty()) {
        GTEST_SKIP() << unreachable_;
    }
    fs::copy_file(RESECTION_GOLDEN_DIR "/../../examples/est1.txt", path("est1.txt"));
    // Past the size limit the analysis (4 KB) would not fit on the console
    // either: it goes to the null device there.
    const bool writeFault = row.reason.rfind("Erro", 0) == 0;
    const Outcome o = run("", "est1.txt '" + row.name + "'", "/dev/null",
                          writeFault ? "> /dev/null" : "> console-out", setup);
    if (!writeFault) {
        EXPECT_NE(o.console.find("\r\nLeituras zenitais:"), std::string::npos) << o.console;
    }
    if (row.reason.empty()) {
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.errors, "");
    } else if (writeFault) {
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.errors,
                  "Erro no ficheiro do esboco" + row.reason.substr(row.reason.find(':')) + "\r\n");
    } else {
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.errors, "Nao foi possivel criar o ficheiro do esboco \"" + row.name +
                                "\": " + row.reason + "\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, OutputFaultTest,
    ::testing::Values(
        OutputFault{"Folder", "folder", "e uma pasta, nao um ficheiro."},
        OutputFault{"MissingFolder", "missing/out.txt", "a pasta nao existe."},
        OutputFault{"FileInThePath", "in.txt/out.txt", "uma parte do caminho nao e uma pasta."},
        OutputFault{"NoPermission", "locked/out.txt", "permissao negada.", "", true},
        OutputFault{"SystemFolder", "/proc/out.txt", "nao pode ser criado."},
        OutputFault{"FifoWithoutReader", "pipe", "e um pipe (FIFO), nao um ficheiro comum."},
        OutputFault{"FifoWithReader", "pipe", "e um pipe (FIFO), nao um ficheiro comum.",
                    "exec 4<>pipe &&"},
        OutputFault{"Socket", "socket", "e um socket, nao um ficheiro comum."},
        OutputFault{"Device", "/dev/full", "e um dispositivo, nao um ficheiro comum."},
        OutputFault{"NullDevice", "/dev/null", ""},
        // Past the file size limit the writes fail (the signal ignored).
        OutputFault{"FileTooLarge", "out.txt",
                    "Erro no ficheiro de output: nao foi possivel escrever o relatorio por "
                    "completo: o ficheiro excede o tamanho maximo permitido.",
                    "trap '' XFSZ && ulimit -f 1 &&"}),
    [](const auto& test) { return std::string(test.param.what); });

TEST_F(ProgramRun, InputThatCannotBeOpenedCreatesNoReport) {
    fs::create_directory(path("folder"));
    const std::pair<const char*, const char*> cases[] = {{"folder", "e uma pasta, nao um ficheiro"},
                                                         {"absent.txt", "o ficheiro nao existe"}};
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        const Outcome o = run(std::string(name) + "\nout.txt\nN\n", "");
        EXPECT_EQ(o.status, 2);
        // The run ends before the output prompt.
        EXPECT_TRUE(endsWithLine(o.console, "Nome do ficheiro de input: \r\nNao foi possivel abrir "
                                            "o ficheiro de input \"" +
                                                std::string(name) + "\": " + reason + "."))
            << o.console;
        EXPECT_FALSE(fs::exists(path("out.txt")));
    }
}

// A file that opens but fails on the first read (the process's own memory
// at address 0): the run ends with a message instead of aborting.
TEST_F(ProgramRun, InputReadError) {
    const Outcome o = run("/proc/self/mem\nout.txt\nN\n", "");
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(endsWithLine(o.console, "Erro de leitura do ficheiro /proc/self/mem, linha 1."))
        << o.console;
}

TEST_F(ProgramRun, ReportNamedAsTheInputIsRefused) {
    write("in.txt", goodInput);
    for (const char* name : {"in.txt", "./in.txt", "../" /* completed below */}) {
        std::string reportName = name;
        if (reportName == "../") {
            reportName += dir_.filename().string() + "/in.txt";
        }
        SCOPED_TRACE(reportName);
        const Outcome o = run("in.txt\n" + reportName + "\n", "");
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(endsWithLine(o.console, "O ficheiro de output \"" + reportName +
                                                "\" e o proprio ficheiro de input: escolha "
                                                "outro nome."))
            << o.console;
        EXPECT_EQ(readFile(path("in.txt").string()), goodInput);
    }
    // The same through a blank answer and the arguments.
    const Outcome o = run("", "in.txt in.txt", "/dev/null");
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(readFile(path("in.txt").string()), goodInput);
}

// The companion's JSON named as its sketch, however it is named: refused
// with status 2 before anything is written, as the input is; a link made
// before the sketch exists is caught once the sketch is written, and the
// JSON is not written over it.
TEST_F(ProgramRun, JsonNamedAsTheSketchIsRefused) {
    write("in.txt", goodInput);
    binary_ = RESECTION_ANALYSIS_BINARY;
    struct Case {
        const char* json;
        const char* setup; // before the run, in the scratch folder
        bool sketchWritten;
    };
    const Case cases[] = {
        {"sk.svg", "", false},
        {"./sk.svg", "", false},
        {"sub/../sk.svg", "mkdir -p sub &&", false},
        {"link.svg", "echo old > sk.svg && ln -sf sk.svg link.svg &&", false},
        {"hard.svg", "echo old > sk.svg && ln -f sk.svg hard.svg &&", false},
        {"dangling.svg", "ln -sf sk.svg dangling.svg &&", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        fs::remove(path("sk.svg"));
        const Outcome o = run("", std::string("in.txt sk.svg --json ") + c.json, "/dev/null",
                              "> console-out", c.setup);
        EXPECT_EQ(o.status, 2);
        EXPECT_NE(o.errors.find("e o proprio ficheiro do esboco \"sk.svg\": escolha outro nome."),
                  std::string::npos)
            << o.errors;
        const std::string sketch = readFile(path("sk.svg").string());
        if (c.sketchWritten) {
            EXPECT_EQ(sketch.rfind("<?xml", 0), 0u) << sketch;
        } else {
            EXPECT_TRUE(sketch.empty() || sketch == "old\n") << sketch;
            EXPECT_EQ(o.console.find("Resumo:"), std::string::npos) << o.console;
        }
        fs::remove(path("link.svg"));
        fs::remove(path("hard.svg"));
        fs::remove(path("dangling.svg"));
    }
}

TEST_F(ProgramRun, ConsoleAtEndOfFile) {
    write("in.txt", goodInput);
    // The arguments serve as names; the height question counts as "no".
    Outcome o = run("", "in.txt out.txt", "/dev/null");
    EXPECT_EQ(o.status, 0) << o.console;
    EXPECT_TRUE(endsWithLine(o.console, "Quer calcular a cota do ponto visado (S/N)? "))
        << o.console;
    EXPECT_NE(readFile(path("out.txt").string()).find("Precisao a posteriori"), std::string::npos);

    // A console that cannot be read counts as one that has ended.
    fs::remove(path("out.txt"));
    o = run("", "in.txt out.txt", ".");
    EXPECT_EQ(o.status, 0) << o.console;
    EXPECT_TRUE(fs::exists(path("out.txt")));

    // No name left to take: the prompt cannot be answered.
    o = run("", "", "/dev/null");
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(endsWithLine(o.console, "UNIT 100? Nenhum nome de ficheiro foi dado: a entrada "
                                        "da consola terminou."))
        << o.console;
    o = run("", "in.txt", "/dev/null");
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(endsWithLine(o.console, "UNIT 200? Nenhum nome de ficheiro foi dado: a entrada "
                                        "da consola terminou."))
        << o.console;
    // A console that ends after blank answers to the repeated prompt.
    o = run("\n\n  \n", "in.txt");
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(endsWithLine(o.console, "UNIT 200? File name missing or blank - please enter file "
                                        "name\r\nUNIT 200? Nenhum nome de ficheiro foi dado: a "
                                        "entrada da consola terminou."))
        << o.console;
}

// Stops of the computation itself are orderly: status 0, report closed.
TEST_F(ProgramRun, OrderlyStopsKeepStatusZero) {
    const std::pair<std::string, std::string> cases[] = {
        {"gd 0.001 0.6\nEST1\n2\nP1 1 2 3\nP2 4 5 6\n",
         "Numero insuficiente de dados para o calculo da interseccao inversa..."},
        {"gd 0.001 0.6\nEST1\n3\nP1 43626.673 276557.347 268.71506\n"
         "P2 42211.532 274411.871 323.41615\nP3 41602.264 272166.734 62.62982\n",
         "Stop - Program terminated."},
        {"gd -0.001 0.6\nEST1\n4\nP1 43626.673 276557.347 268.71506\n"
         "P2 42211.532 274411.871 323.41615\nP3 41602.264 272166.734 62.62982\n"
         "P4 41621.891 274804.785 185.72903\n",
         "Stop - Program terminated."},
        {"gd 0.001 0\nEST1\n4\nP1 43626.673 276557.347 268.71506\n"
         "P2 42211.532 274411.871 323.41615\nP3 41602.264 272166.734 62.62982\n"
         "P4 41621.891 274804.785 185.72903\n",
         "Matriz singular!"},
    };
    for (const auto& [input, last] : cases) {
        SCOPED_TRACE(last);
        write("in.txt", input);
        const Outcome o = run("in.txt\nout.txt\nN\n", "");
        EXPECT_EQ(o.status, 0);
        EXPECT_TRUE(endsWithLine(o.console, last)) << o.console;
        EXPECT_NE(readFile(path("out.txt").string()).find("EST1"), std::string::npos);
    }
    // Content refused as input is status 1.
    write("in.txt", "gd 0.001 0.6\nEST1\nquatro\n");
    const Outcome o = run("in.txt\nout.txt\n", "");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.console.find("Erro no ficheiro in.txt, linha 3"), std::string::npos) << o.console;
}

// Inputs that could hang the run, mislead or be lost: each ends promptly with
// the status and the last console line given; a console that cannot be
// written is said on standard error. No byte that could drive the terminal
// reaches the console: the only control bytes on it are the line ends.
struct HostileRun {
    const char* what;
    std::string consoleInput;
    std::string standardOutput;
    std::string setup;
    int status;
    std::string lastLines; // the end of the console, before its last CR LF
};

void PrintTo(const HostileRun& row, std::ostream* os) {
    *os << row.what;
}

class HostileRunTest : public ProgramRun, public ::testing::WithParamInterface<HostileRun> {};

const std::string consoleLost = "Nao foi possivel escrever na consola (saida padrao): as "
                                "perguntas e mensagens do programa perderam-se.\r\n";

TEST_P(HostileRunTest, EndsPromptlyAndSaysWhy) {
    const HostileRun& row = GetParam();
    write("in.txt", goodInput);
    write("esc.txt", "gd 0.001 0.6\nEST1\n\x1b]0;Tudo_certo\x07\x1b[2J\n");
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
    const std::string output = row.standardOutput.empty() ? "> console-out" : row.standardOutput;
    const Outcome o = run(row.consoleInput, "", "console-in", output, row.setup);
    EXPECT_EQ(o.status, row.status) << o.console << o.errors;
    if (row.standardOutput.empty()) {
        EXPECT_TRUE(endsWithLine(o.console, row.lastLines)) << o.console;
        EXPECT_EQ(o.errors, "");
        // A file that cannot be opened leaves no report behind.
        EXPECT_EQ(fs::exists(path("out.txt")), row.status == 1);
    } else {
        // The report is written as in any run.
        EXPECT_EQ(o.errors, consoleLost);
        run("in.txt\nref.txt\nN\n", "");
        EXPECT_EQ(readFile(path("out.txt").string()), readFile(path("ref.txt").string()));
    }
    for (const char c : o.console + o.errors) {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE((byte >= 0x20 && byte != 0x7f) || c == '\r' || c == '\n') << int(byte);
    }
}

const std::string inputRefused = "Nome do ficheiro de input: \r\nNao foi possivel abrir o "
                                 "ficheiro de input ";
const std::string nulInName = ": o nome contem um byte nulo, que nenhum nome de ficheiro pode ter.";

INSTANTIATE_TEST_SUITE_P(
    Hazards, HostileRunTest,
    ::testing::Values(
        HostileRun{"Fifo", "pipe\nout.txt\n", "", "", 2,
                   inputRefused + "\"pipe\": e um pipe (FIFO), nao um ficheiro comum."},
        HostileRun{"DevZero", "/dev/zero\nout.txt\n", "", "", 2,
                   inputRefused + "\"/dev/zero\": e um dispositivo, nao um ficheiro comum."},
        HostileRun{"NulInInputName", std::string("in.txt\0junk\nout.txt\n", 21), "", "", 2,
                   inputRefused + "\"in.txt\\x00junk\"" + nulInName},
        HostileRun{"NulAtUnitPrompt", std::string("\nin.txt\0\nout.txt\n", 18), "", "", 2,
                   "UNIT 100? Nao foi possivel abrir o ficheiro de input \"in.txt\\x00\"" +
                       nulInName},
        HostileRun{"NulInReportName", std::string("in.txt\nout.txt\0x\n", 17), "", "", 2,
                   "Nome do ficheiro de output: Nao foi possivel criar o ficheiro de output "
                   "\"out.txt\\x00x\"" +
                       nulInName},
        HostileRun{"ControlBytesInAValue", "esc.txt\nout.txt\n", "", "", 1,
                   "Erro no ficheiro esc.txt, linha 3 (numero de pontos visados): esperava-se um "
                   "numero inteiro, encontrado \"\\x1b]0;Tudo_certo\\x07\\x1b[2J\""},
        HostileRun{"ControlBytesInAName", "a\x1b[2Jb\x7f\r.txt\nout.txt\n", "", "", 2,
                   inputRefused + "\"a\\x1b[2Jb\\x7f\\x0d.txt\": o ficheiro nao existe."},
        HostileRun{"StdoutOnDevFull", "in.txt\nout.txt\nN\n", "> /dev/full", "", 2, ""},
        HostileRun{"StdoutClosed", "in.txt\nout.txt\nN\n", ">&-", "", 2, ""},
        HostileRun{"StdoutPipeWithoutReader", "in.txt\nout.txt\nN\n", ">&5",
                   "exec 4<>pipe 5>pipe 4<&- &&", 2, ""}),
    [](const auto& test) { return std::string(test.param.what); });

} // namespace
} // namespace resection::testing
