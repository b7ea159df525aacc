// Times whole runs of the program on generated stations of 4 to 1001 sighted
// points with the height computed, with and without gross errors in the
// readings, and prints a table of the passes the precision searches walked
// and computed, the wall time and the peak memory.
//
// Each run is a separate process: the built program itself (fork and exec,
// wall time from fork to exit, peak resident memory from wait4). Inside this
// program the same run is timed again with the files in memory, once more
// with the search that computes every pass (where that takes at most a few
// seconds), and up to 300 points with the dense reference routines in a
// forked child; those reports must come out byte for byte the same.
// Without fork and wait4 (Windows) the program runs through std::system and
// the dense reference inside this process; the wall times are taken the same
// way, and peak memory is not measured (shown as 0).
//
// Usage: resection_bench [path/to/resection] [repetitions]
//        resection_bench --analysis [repetitions]
//        resection_bench --pass-cost
// The second form times the whole analysis of resection-analise in this
// process instead (leave-one-out adjustments and JSON included), in CPU time.
// The third times single adjustment passes of the position and the height at
// 4 to 1001 points against the cost model the searches bound their work with
// (PassOutcome::work): the model's constants come from this table.
#include "altimetry/height.hpp"
#include "input/planimetric_section.hpp"
#include "input/record_reader.hpp"
#include "input/zenith_section.hpp"
#include "planimetry/adjustment.hpp"
#include "platform/platform.hpp"
#include "runs/analysis_run.hpp"
#include "runs/run.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

struct Case {
    int points;
    int zenithCount;
    double apriori; // seconds of arc; the readings carry noise of about 1"
    // Readings off by grossDegrees: 'gross' consecutive directions from the
    // middle point on (0: none), as when a set of readings was taken against
    // a displaced circle.
    int gross = 0;
    double grossDegrees = 0.0;
    bool passByPass = true;   // time the reference search too
    double tolerance = 0.001; // metres
};

// A station with the sighted points at 150 m to 5 km around it; readings are
// the azimuths less an orientation plus noise, so the search walks down from
// the a priori precision towards about 1" in steps of 0.1".
std::string makeInput(const Case& c, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, 1.0);
    const double pi = 4.0 * std::atan(1.0);
    const double m0 = 41000.0, p0 = 271000.0, h0 = 200.0, hi = 1.55;
    const double orientation = 360.0 * unit(rng);
    std::ostringstream text;
    char line[200];
    std::snprintf(line, sizeof line, "gd %g %.1f\nEST1\n%d\n", c.tolerance, c.apriori, c.points);
    text << line;
    const int firstGross = c.points / 2;
    for (int i = 1; i <= c.points; ++i) {
        const double d = 150.0 + 5000.0 * unit(rng);
        const double az = 2.0 * pi * unit(rng);
        const double m = m0 + d * std::sin(az), p = p0 + d * std::cos(az);
        double r = std::atan2(m - m0, p - p0) * 180.0 / pi - orientation + noise(rng) / 3600.0;
        if (i >= firstGross && i < firstGross + c.gross) {
            r += c.grossDegrees;
        }
        r = std::fmod(r + 720.0, 360.0);
        std::snprintf(line, sizeof line, "P%d %.3f %.3f %.6f\n", i, m, p, r);
        text << line;
    }
    std::snprintf(line, sizeof line, "%d %.3f\n", c.zenithCount, hi);
    text << line;
    for (int i = 1; i <= c.zenithCount; ++i) {
        const double d = 150.0 + 5000.0 * unit(rng);
        const double az = 2.0 * pi * unit(rng);
        const double m = m0 + d * std::sin(az), p = p0 + d * std::cos(az);
        const double h = 150.0 + 200.0 * unit(rng), s = 1.3;
        const double z = std::atan2(d, (h + s) - h0 - hi) * 180.0 / pi + noise(rng) / 3600.0;
        std::snprintf(line, sizeof line, "Z%d %.3f %.3f %.3f %.6f %.3f\n", i, m, p, h, z, s);
        text << line;
    }
    return text.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

struct Measure {
    double seconds = 0.0;
    long peakKilobytes = 0;
    bool ok = false;
};

#ifndef _WIN32
// Runs body in a child process with the console answers on its standard
// input, in folder dir; the wall time covers fork to exit.
template <typename Body> Measure inChild(const std::string& dir, Body body) {
    Measure result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) {
            _exit(127);
        }
        const int in = open("answers", O_RDONLY);
        const int out = open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0) {
            _exit(127);
        }
        _exit(body());
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
        return result;
    }
    const auto end = std::chrono::steady_clock::now();
    result.seconds = std::chrono::duration<double>(end - start).count();
    result.peakKilobytes = usage.ru_maxrss;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

// The program as a separate process.
Measure runProgram(const std::string& binary, const std::string& dir) {
    return inChild(dir, [&binary]() {
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
}
#else
// Runs body in this process, in folder dir; body reads the answers itself.
template <typename Body> Measure inChild(const std::string& dir, Body body) {
    Measure result;
    const auto home = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    const auto start = std::chrono::steady_clock::now();
    const int status = body();
    const auto end = std::chrono::steady_clock::now();
    std::filesystem::current_path(home);
    result.seconds = std::chrono::duration<double>(end - start).count();
    result.ok = status == 0;
    return result;
}

// The program as a separate process, started by the command processor, whose
// own start-up counts in the wall time.
Measure runProgram(const std::string& binary, const std::string& dir) {
    const std::string folder = std::filesystem::path(dir).make_preferred().string();
    const std::string command = "cd /d \"" + folder + "\" && \"" + binary + "\" < answers > NUL";
    Measure result;
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(("\"" + command + "\"").c_str());
    const auto end = std::chrono::steady_clock::now();
    result.seconds = std::chrono::duration<double>(end - start).count();
    result.ok = status == 0;
    return result;
}
#endif

// The same run with the dense reference routines, in this program's child.
Measure runDense(const std::string& dir) {
    return inChild(dir, []() {
        std::ifstream answers("answers");
        std::ostringstream console;
        resection::DiskFileSystem files;
        // The answers name the report of the program run; the dense one goes
        // beside it.
        std::string inputName, reportName, height;
        std::getline(answers, inputName);
        std::getline(answers, reportName);
        std::getline(answers, height);
        std::istringstream dialogue(inputName + "\ndense.txt\n" + height + "\n");
        resection::RunOptions options;
        options.denseReference = true;
        return resection::runResection({}, dialogue, console, files, options);
    });
}

struct InProcess {
    double seconds = 0.0;
    std::string report;
    resection::SearchCounts position, height;
};

// The run inside this process, without process creation and loading: the
// time of the computation and the file traffic alone.
InProcess runInThisProcess(const std::string& dir, bool passByPass) {
    const std::string input = readFile(dir + "/in.txt");
    resection::MemoryFileSystem files;
    files.files["in.txt"] = input;
    std::istringstream dialogue("in.txt\nout.txt\nS\n");
    std::ostringstream console;
    InProcess result;
    resection::RunOptions options;
    options.passByPassSearch = passByPass;
    options.positionSearch = &result.position;
    options.heightSearch = &result.height;
    const auto start = std::chrono::steady_clock::now();
    resection::runResection({}, dialogue, console, files, options);
    const auto end = std::chrono::steady_clock::now();
    result.seconds = std::chrono::duration<double>(end - start).count();
    result.report = files.files["out.txt"];
    return result;
}

double smallest(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The analysis program on the same generated stations: CPU time of whole
// in-process runs (the console text and the JSON both written), median of
// the repetitions.
int benchAnalysis(int repetitions) {
    const std::vector<Case> cases = {
        {30, 10, 1.5},
        {30, 10, 1.5, 1, 20.0},
        {100, 10, 1.5, 1, 5.0},
        {1001, 10, 1.5},
        {1001, 10, 1.5, 1, 20.0},
        {1001, 1000, 1.5, 1, 20.0},
        {1001, 10, 1.5, 21, 90.0},
        {1001, 10, 1.5, 400, 90.0},
    };
    std::printf("| points | zenith obs. | gross errors | CPU time | closing line |\n");
    std::printf("|---:|---:|---|---:|---|\n");
    for (const Case& c : cases) {
        resection::MemoryFileSystem memory;
        memory.files["in"] = makeInput(c, 7);
        std::vector<double> times;
        std::string console;
        for (int r = 0; r < repetitions; ++r) {
            memory.files.erase("out.json");
            std::ostringstream out;
            const std::clock_t start = std::clock();
            resection::runAnalysis({"in", "--json", "out.json"}, out, out, memory);
            times.push_back(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
            console = out.str();
        }
        const auto at = console.find("\r\nLeitura suspeita");
        const auto none = console.find("\r\nNenhuma leitura suspeita");
        const auto from = at != std::string::npos ? at : none;
        const std::string closing =
            from == std::string::npos
                ? "(none)"
                : console.substr(from + 2, std::min<std::size_t>(
                                               60, console.find("\r\n", from + 2) - from - 2));
        char gross[64] = "none";
        if (c.gross > 0) {
            std::snprintf(gross, sizeof gross, "%d reading%s %g deg off", c.gross,
                          c.gross > 1 ? "s" : "", c.grossDegrees);
        }
        std::printf("| %d | %d | %s | %.1f ms | %s |\n", c.points, c.zenithCount, gross,
                    median(times) * 1e3, closing.c_str());
    }
    return 0;
}

// CPU time of single passes, the least of five batches (the least is the
// one the machine's other work disturbed least), against the cost model.
int benchPassCost() {
    std::printf("| points | solutions | position pass | model | height pass (n obs.) | model |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|\n");
    for (int n : {4, 8, 16, 30, 60, 100, 200, 300, 600, 1001}) {
        Case c{n, std::min(n, 1000), 1.5};
        std::istringstream in(makeInput(c, 7));
        resection::RecordReader reader(in, "in");
        const resection::Survey survey = resection::readPlanimetricSection(reader).survey;
        const resection::FirstPosition first = resection::findFirstPosition(survey);
        const resection::ZenithSection zenith = resection::readZenithSection(reader, survey.header);
        resection::PlanimetricAdjustment positionAdjustment(survey, first);
        resection::HeightAdjustment heightAdjustment(zenith, survey.header.tolerance, first.m,
                                                     first.p);
        const int passes = std::max(3, 200000 / (n * n + 50));
        double best = 1e9, bestHeight = 1e9;
        resection::PassOutcome position, height;
        for (int batch = 0; batch < 5; ++batch) {
            std::clock_t start = std::clock();
            for (int k = 0; k < passes; ++k) {
                position = positionAdjustment.pass(1e-5 * (1.0 + k * 1e-6)).search;
            }
            best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
            start = std::clock();
            for (int k = 0; k < passes; ++k) {
                height = heightAdjustment.pass(1e-5 * (1.0 + k * 1e-6)).search;
            }
            bestHeight =
                std::min(bestHeight, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
        }
        std::printf("| %d | %zu | %.2f us | %.2f us | %.2f us (%d) | %.2f us |\n", n,
                    position.corrections.size(), best / passes * 1e6, position.work * 1e6,
                    bestHeight / passes * 1e6, zenith.count, height.work * 1e6);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--analysis") {
        return benchAnalysis(argc > 2 ? std::max(1, std::atoi(argv[2])) : 5);
    }
    if (argc > 1 && std::string(argv[1]) == "--pass-cost") {
        return benchPassCost();
    }
    namespace fs = std::filesystem;
    // The runs start in their own folders: the program by its full name.
    std::error_code error;
    const std::string binary = fs::canonical(argc > 1 ? argv[1] : RESECTION_BINARY, error).string();
    if (error) {
        std::fprintf(stderr, "resection binary: %s\n", error.message().c_str());
        return 1;
    }
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const fs::path folderPath = fs::temp_directory_path(error) /
                                ("resection_bench_" + std::to_string(std::random_device{}()));
    if (error || !fs::create_directory(folderPath, error)) {
        std::fprintf(stderr, "bench folder %s: %s\n", folderPath.string().c_str(),
                     error ? error.message().c_str() : "exists");
        return 1;
    }
    const std::string folderName = folderPath.string();
    const char* folder = folderName.c_str();
    const std::vector<Case> cases = {
        {4, 2, 4.0},
        {13, 5, 4.0},
        {100, 10, 4.0},
        {300, 10, 4.0},
        {1001, 10, 4.0},
        {13, 5, 1.5, 1, 5.0},
        {100, 10, 1.5, 1, 5.0, false},
        {1001, 10, 1.5, 1, 20.0, false},
        {1001, 10, 1000.0, 0, 0.0, false},
        {1001, 10, 1.5, 21, 90.0, false},
        // A tolerance within rounding of the last corrections: computing
        // every pass would take minutes, and the run stops at once.
        {1001, 10, 1.5, 1, 90.0, false, 1e-9},
    };
    std::printf("| points | zenith obs. | gross errors | passes walked (plan. / height) | "
                "computed | wall time | peak memory | in-process | every pass computed | "
                "dense reference: wall time | peak memory | same reports |\n");
    std::printf("|---:|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|:---:|\n");
#ifndef _WIN32
    {
        // What any process costs here: the floor under the whole-run times.
        writeFile(std::string(folder) + "/answers", "");
        std::vector<double> times;
        long peak = 0;
        for (int r = 0; r < repetitions; ++r) {
            const Measure m = runProgram("/bin/true", folder);
            times.push_back(m.seconds);
            peak = std::max(peak, m.peakKilobytes);
        }
        std::printf("| (empty process, /bin/true) | | | | | %.1f ms (%.1f) | %.1f MB | | | | | |\n",
                    median(times) * 1e3, smallest(times) * 1e3, static_cast<double>(peak) / 1024.0);
    }
#endif
    bool allSame = true;
    int caseNumber = 0;
    for (const Case& c : cases) {
        const std::string dir = std::string(folder) + "/case" + std::to_string(++caseNumber);
        if (!fs::create_directory(dir, error)) {
            std::fprintf(stderr, "%s: %s\n", dir.c_str(), error.message().c_str());
            return 1;
        }
        writeFile(dir + "/in.txt", makeInput(c, 1000u + static_cast<unsigned>(c.points)));
        writeFile(dir + "/answers", "in.txt\nout.txt\nS\n");
        std::vector<double> times;
        long peak = 0;
        for (int r = 0; r < repetitions; ++r) {
            const Measure m = runProgram(binary, dir);
            if (!m.ok && c.tolerance == 0.001) {
                std::fprintf(stderr, "the run of case %d failed\n", caseNumber);
                return 1;
            }
            times.push_back(m.seconds);
            peak = std::max(peak, m.peakKilobytes);
        }
        const std::string report = readFile(dir + "/out.txt");
        std::vector<double> inside;
        InProcess last;
        for (int r = 0; r < repetitions; ++r) {
            last = runInThisProcess(dir, false);
            inside.push_back(last.seconds);
        }
        bool same = last.report == report;
        char gross[64] = "";
        if (c.gross > 0) {
            std::snprintf(gross, sizeof gross, "%d reading%s %g deg off", c.gross,
                          c.gross > 1 ? "s" : "", c.grossDegrees);
        }
        if (c.tolerance != 0.001) {
            std::snprintf(gross + std::strlen(gross), sizeof gross - std::strlen(gross),
                          ", tolerance %g m", c.tolerance);
        }
        std::printf(
            "| %d | %d | %s | %lld / %lld | %lld / %lld | %.1f ms (%.1f) | %.1f MB | "
            "%.2f ms |",
            c.points, c.zenithCount, gross, static_cast<long long>(last.position.passesWalked),
            static_cast<long long>(last.height.passesWalked),
            static_cast<long long>(last.position.passesComputed),
            static_cast<long long>(last.height.passesComputed), median(times) * 1e3,
            smallest(times) * 1e3, static_cast<double>(peak) / 1024.0, median(inside) * 1e3);
        if (c.passByPass) {
            const InProcess all = runInThisProcess(dir, true);
            same = same && all.report == report;
            std::printf(" %.1f ms |", all.seconds * 1e3);
        } else {
            std::printf(" |");
        }
        if (c.points <= 300) {
            const Measure d = runDense(dir);
            same = same && d.ok && readFile(dir + "/dense.txt") == report;
            std::printf(" %.1f ms | %.1f MB | %s |\n", d.seconds * 1e3,
                        static_cast<double>(d.peakKilobytes) / 1024.0, same ? "yes" : "NO");
        } else {
            std::printf(" | | %s |\n", same ? "yes" : "NO");
        }
        allSame = allSame && same;
        std::fflush(stdout);
    }
    std::printf("\nwall time: median (and smallest) of %d runs of the program as a process (fork, "
                "exec, exit); peak memory: largest resident set (wait4); in-process: median time "
                "of the same run inside the benchmark, files in memory; every pass computed: one "
                "in-process run with the reference search; dense reference: one run in a forked "
                "child; files in %s\n",
                repetitions, folder);
    return allSame ? 0 : 1;
}
