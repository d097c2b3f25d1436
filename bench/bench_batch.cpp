// The batch of the examples: examples/repath-project.scr run by `cadhost --each` over a
// project of 1,000 drawings (bench/make_project.py: five xrefs each, one of them missing), which
// repaths every xref to the project's new folder, saves each drawing and writes one CSV report
// of all of them. Whole processes, as a user runs it: three runs with one worker and three with
// two, each on fresh copies of the drawings; the median and the best of each beside the goal
// (under 20 s for the 1,000). The reports of one worker and of two must be the same, byte for
// byte, and hold a row per xref; a failed run fails the benchmark. Run from the release build:
// build/release/bench/bench_batch [DRAWINGS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/temp_prefix.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kGoalSeconds = 20.0;
constexpr int kRuns = 3;

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int drawings = argc > 1 ? std::atoi(argv[1]) : 1000;
    const testsupport::TempDir scratch;
    const fs::path project = scratch.path() / "project";
    const fs::path prefix = scratch.path() / "prefix";
    if (run("/usr/bin/python3 " + quoted(MAKE_PROJECT_SCRIPT) + " " + quoted(project) + " " +
            std::to_string(drawings)) != 0) {
        std::fprintf(stderr, "bench_batch: the project could not be made\n");
        return 1;
    }
    // The plug-in loaded once, so that it writes the entries that load it on demand.
    std::ofstream(scratch.path() / "load.scr") << "ARX\nLoad\n"
                                               << LNKHOLD_MODULE_FILE << "\nQUIT\n";
    if (run(quoted(CADHOST_PROGRAM) + " --prefix " + quoted(prefix) + " -b " +
            quoted(scratch.path() / "load.scr") + " > /dev/null") != 0) {
        std::fprintf(stderr, "bench_batch: the plug-in could not be loaded\n");
        return 1;
    }

    fs::rename(project / "drawings", project / "pristine");
    std::printf("batch: repath and report over %d drawings (5 xrefs each, 1 missing)\n", drawings);
    std::string firstReport;
    for (const int jobs : {1, 2}) {
        std::vector<double> times;
        for (int i = 0; i < kRuns; ++i) {
            fs::remove_all(project / "drawings");
            fs::remove(project / "report.csv");
            fs::copy(project / "pristine", project / "drawings");
            const std::string command = "cd " + quoted(project) + " && " + quoted(CADHOST_PROGRAM) +
                                        " --prefix " + quoted(prefix) + " --each " +
                                        quoted(EXAMPLE_SCRIPT) + " --jobs " + std::to_string(jobs) +
                                        " --report report.csv drawings/*.dxf" +
                                        " > out.txt 2> err.txt";
            const Clock::time_point start = Clock::now();
            const int exitCode = run(command);
            times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            const std::string report = readFile(project / "report.csv");
            const auto rows = std::count(report.begin(), report.end(), '\n');
            if (exitCode != 0 || rows != 1 + 5 * drawings) {
                std::fprintf(
                    stderr, "bench_batch: run with %d worker(s) failed (exit %d, %ld rows):\n%s",
                    jobs, exitCode, static_cast<long>(rows), readFile(project / "err.txt").c_str());
                return 1;
            }
            if (firstReport.empty()) {
                firstReport = report;
            } else if (report != firstReport) {
                std::fprintf(stderr, "bench_batch: the report of %d worker(s) differs\n", jobs);
                return 1;
            }
        }
        const double best = *std::min_element(times.begin(), times.end());
        const double middle = median(times);
        std::printf(
            "  --jobs %d: median %.2f s, best %.2f s of %d runs; %.0f drawings/s; goal "
            "%.0f s: %s\n",
            jobs, middle, best, kRuns, drawings / middle, kGoalSeconds * drawings / 1000,
            middle < kGoalSeconds * drawings / 1000 ? "met" : "MISSED");
    }
    std::printf("  reports of one and two workers: identical (%zu bytes)\n", firstReport.size());
    return 0;
}
