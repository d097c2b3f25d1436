// Opening a large drawing, as a user waits for it, beside ezdxf on the same file in the same
// run. The drawing: ezdxf's own R2018 skeleton with 200,000 LINEs and 20,000 LWPOLYLINEs
// (31 vertices each) in model space, about 44 MB.
//
// First the user-facing measure: whole processes, each timed the same way (wall clock and
// user+sys of the process, median of the same number of runs): `cadhost` opening the drawing
// and quitting, against a bare start and quit; a Python process running ezdxf.readfile on it,
// against a bare Python start that imports ezdxf. Each side's figure is the difference, and
// the ratio is ezdxf's over ours. Peak memory of the open is cadhost's peak resident size less
// that of the bare start. Then, in this process, Document::load and the saves (unchanged, and
// with one entity in a hundred changed), each the median of the same number of runs. Every
// figure with a goal is printed beside it with "met" or "missed"; a reference run that fails
// fails the benchmark.
//
// Run from the release build: build/release/bench/bench_dxf [RUNS] (default 3)

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cadhost/db/dxf_document.h"
#include "support/temp_prefix.h"

extern char** environ;

namespace {

using cadhost::dxf::Document;
using cadhost::dxf::RecordId;
using cadhost::dxf::Tag;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 200'000;
constexpr int kPolylines = 20'000;
constexpr int kVertices = 31;
constexpr double kGoalOpenSeconds = 0.04;
constexpr double kGoalRatio = 200;
constexpr double kGoalPeakPerFileByte = 1.5;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double megabytes(double bytes) {
    return bytes / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one;
    in >> one;
    return one.empty() ? "unknown" : one;
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

// One finished process: wall seconds, user+sys seconds, peak resident bytes.
struct ProcessRun {
    double wall = 0;
    double cpu = 0;
    double peak = 0;
};

// Runs argv with its output discarded; exits the benchmark when it fails.
ProcessRun runProcess(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (spawned != 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_dxf: the run of %s failed; no comparison is possible\n",
                     args.back().c_str());
        std::exit(1);
    }
    ProcessRun run;
    run.wall = seconds(start);
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peak = static_cast<double>(usage.ru_maxrss) * 1024;  // ru_maxrss is in KiB
    return run;
}

// The medians of `runs` runs of argv.
ProcessRun medianRun(const std::vector<std::string>& args, int runs) {
    std::vector<double> wall, cpu, peak;
    for (int i = 0; i < runs; ++i) {
        const ProcessRun run = runProcess(args);
        wall.push_back(run.wall);
        cpu.push_back(run.cpu);
        peak.push_back(run.peak);
    }
    return {median(wall), median(cpu), median(peak)};
}

bool sameBytes(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::ifstream inA(a, std::ios::binary);
    std::ifstream inB(b, std::ios::binary);
    std::string chunkA(1 << 16, '\0');
    std::string chunkB(1 << 16, '\0');
    while (inA && inB) {
        inA.read(chunkA.data(), static_cast<std::streamsize>(chunkA.size()));
        inB.read(chunkB.data(), static_cast<std::streamsize>(chunkB.size()));
        if (inA.gcount() != inB.gcount() || chunkA != chunkB) {
            return false;
        }
    }
    return !inA && !inB;
}

// Entity `index`, written as ezdxf writes it, owned by model space: ten LINEs, then an
// LWPOLYLINE, and so on.
void appendEntity(std::string& out, int index, std::uint64_t handle, const std::string& owner) {
    char number[32];
    auto coordinate = [&](const char* code, double value) {
        std::snprintf(number, sizeof number, "%.4f", value);
        out += code;
        out += number;
        out += '\n';
    };
    const bool line = index % 11 != 10;
    out += line ? "  0\nLINE\n  5\n" : "  0\nLWPOLYLINE\n  5\n";
    out += cadhost::dxf::formatHandle(handle);
    out += "\n330\n" + owner + "\n100\nAcDbEntity\n  8\n0\n";
    const double x = index % 1000 * 1.25;
    const double y = index / 1000 * 2.5;
    if (line) {
        out += "100\nAcDbLine\n";
        coordinate(" 10\n", x);
        coordinate(" 20\n", y);
        coordinate(" 30\n", 0);
        coordinate(" 11\n", x + 1.125);
        coordinate(" 21\n", y + 0.875);
        coordinate(" 31\n", 0);
        return;
    }
    out += "100\nAcDbPolyline\n 90\n" + std::to_string(kVertices) + "\n 70\n0\n";
    for (int vertex = 0; vertex < kVertices; ++vertex) {
        coordinate(" 10\n", x + vertex * 0.1);
        coordinate(" 20\n", y + (vertex % 2) * 0.2);
    }
}

// Writes the drawing: an ezdxf skeleton with the entities streamed into ENTITIES, so that
// making the file costs no memory this benchmark measures.
std::uint64_t makeDrawing(const std::filesystem::path& folder, const std::filesystem::path& path) {
    const auto skeletonPath = folder / "skeleton.dxf";
    runProcess({"/usr/bin/python3", "-c",
                "import sys, ezdxf; ezdxf.new('R2018').saveas(sys.argv[1])",
                skeletonPath.string()});
    Document skeleton = Document::load(skeletonPath);
    const auto records = *skeleton.table("BLOCK_RECORD");
    std::string owner;
    for (RecordId id = records.begin; id != records.end; id = skeleton.next(id)) {
        for (const Tag& tag : skeleton.tags(id)) {
            if (tag.code == 2 && tag.value == "*Model_Space") {
                owner = cadhost::dxf::formatHandle(skeleton.handle(id));
            }
        }
    }
    const int entities = kLines + kPolylines;
    const std::uint64_t firstHandle = skeleton.allocateHandle();
    skeleton.setHeaderVariable("$HANDSEED", {Tag::handle(5, firstHandle + entities)});
    const std::string text = skeleton.toBytes();
    const std::size_t entitiesAt = text.find("ENTITIES\n");
    const std::size_t split = text.find("  0\nENDSEC\n", entitiesAt);

    std::ofstream out(path, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(split));
    std::string chunk;
    for (int i = 0; i < entities; ++i) {
        appendEntity(chunk, i, firstHandle + static_cast<std::uint64_t>(i), owner);
        if (chunk.size() > (1u << 20)) {
            out << chunk;
            chunk.clear();
        }
    }
    out << chunk << text.substr(split);
    out.close();
    return std::filesystem::file_size(path);
}

// The median seconds of `runs` calls of `work`.
template <class Work>
double medianSeconds(int runs, Work&& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(seconds(start));
    }
    return median(times);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    testsupport::TempDir dir;
    const auto path = dir.path() / "big.dxf";
    const double size = static_cast<double>(makeDrawing(dir.path(), path));
    const double mb = megabytes(size);
    std::printf("drawing: %.1f MB (R2018, %d LINE + %d LWPOLYLINE)\n", mb, kLines, kPolylines);
    ::sync();  // the runs below should not wait for writing back the generated file
    std::printf("load average at the start: %s\n\n", loadAverage().c_str());

    // Whole processes, as a user waits for them.
    const auto script = dir.path() / "quit.scr";
    std::ofstream(script) << "QUIT\n";
    const std::string prefix = (dir.path() / "prefix").string();
    const std::string cadhost = CADHOST_PROGRAM;
    const std::vector<std::string> bare{cadhost, "--prefix", prefix, "-b", script.string()};
    std::vector<std::string> open = bare;
    open.push_back(path.string());
    runProcess(open);  // makes the prefix, warms the file and the libraries
    const ProcessRun bareRun = medianRun(bare, runs);
    const ProcessRun openRun = medianRun(open, runs);
    const std::string python = "/usr/bin/python3";
    const ProcessRun pythonBare = medianRun({python, "-c", "import ezdxf"}, runs);
    const ProcessRun pythonOpen = medianRun(
        {python, "-c", "import sys, ezdxf; ezdxf.readfile(sys.argv[1])", path.string()}, runs);
    const double ours = openRun.wall - bareRun.wall;
    const double theirs = pythonOpen.wall - pythonBare.wall;
    const double ratio = theirs / ours;
    const double peak = openRun.peak - bareRun.peak;
    std::printf("whole processes, median of %d runs each: wall (user+sys)\n", runs);
    std::printf("  cadhost FILE, QUIT:           %7.3f s (%.3f s)\n", openRun.wall, openRun.cpu);
    std::printf("  cadhost, QUIT (bare):         %7.3f s (%.3f s)\n", bareRun.wall, bareRun.cpu);
    std::printf("  python ezdxf.readfile(FILE):  %7.3f s (%.3f s)\n", pythonOpen.wall,
                pythonOpen.cpu);
    std::printf("  python import ezdxf (bare):   %7.3f s (%.3f s)\n", pythonBare.wall,
                pythonBare.cpu);
    std::printf("cadhost opens the drawing in  %7.3f s (user+sys %.3f s)   goal under %.3f s: %s\n",
                ours, openRun.cpu - bareRun.cpu, kGoalOpenSeconds,
                verdict(ours < kGoalOpenSeconds));
    std::printf("ezdxf reads the drawing in    %7.3f s (user+sys %.3f s)\n", theirs,
                pythonOpen.cpu - pythonBare.cpu);
    std::printf(
        "ratio (ezdxf / cadhost):      %7.0f x                     goal at least %.0f x: %s\n",
        ratio, kGoalRatio, verdict(ratio >= kGoalRatio));
    std::printf(
        "peak memory of the open:      %7.1f MB = %.2f x the file  goal at most %.1f x: %s\n",
        megabytes(peak), peak / size, kGoalPeakPerFileByte,
        verdict(peak <= kGoalPeakPerFileByte * size));

    // In this process: the reading and writing of the drawing alone.
    const double load = medianSeconds(runs, [&] { Document::load(path); });
    Document doc = Document::load(path);
    const auto copy = dir.path() / "copy.dxf";
    const double unchangedSave = medianSeconds(runs, [&] { doc.save(copy); });
    const bool identical = sameBytes(path, copy);
    // One entity in a hundred changed: the file is written from pieces of the original.
    const auto section = *doc.section("ENTITIES");
    int entities = 0;
    for (RecordId id = doc.next(section.begin); id != section.end; id = doc.next(id)) {
        ++entities;
        if (doc.handle(id) % 100 == 0) {
            std::vector<Tag> tags = doc.tags(id);
            tags.push_back(Tag::text(1001, "ACAD"));
            doc.replaceTags(id, std::move(tags));
        }
    }
    const double changedSave = medianSeconds(runs, [&] { doc.save(copy); });
    std::printf("\nin this process, median of %d runs each:\n", runs);
    std::printf("  entities read: %d; unchanged save byte for byte: %s\n", entities,
                identical ? "yes" : "NO");
    std::printf("  Document::load:                %7.3f s %8.1f MB/s\n", load, mb / load);
    std::printf("  save unchanged (with fsync):   %7.3f s %8.1f MB/s\n", unchangedSave,
                mb / unchangedSave);
    std::printf("  save, 1%% of entities changed:  %7.3f s %8.1f MB/s\n", changedSave,
                mb / changedSave);
    std::printf("load average at the end: %s\n", loadAverage().c_str());
    return identical && entities == kLines + kPolylines ? 0 : 1;
}
