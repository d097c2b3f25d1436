// Loads and saves a generated drawing of about 50 MB and 200,000 entities, and times ezdxf's
// readfile on the same file in the same run. Prints speeds in MB/s, the ratio, and our peak
// memory. Run from the release build: build/release/bench/bench_dxf [--skip-ezdxf]
//
// Not a Google Benchmark loop: the reference tool runs once in another process, and peak
// memory is only meaningful for a process that did nothing else.

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "cadhost/db/dxf_document.h"
#include "support/temp_prefix.h"

namespace {

using cadhost::dxf::Document;
using cadhost::dxf::kNoRecord;
using cadhost::dxf::RecordId;
using cadhost::dxf::Tag;
using Clock = std::chrono::steady_clock;

constexpr int kEntities = 200'000;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double megabytes(std::uint64_t bytes) {
    return static_cast<double>(bytes) / 1e6;
}

std::string runCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[256];
        while (std::size_t got = std::fread(chunk, 1, sizeof chunk, pipe)) {
            output.append(chunk, got);
        }
        ::pclose(pipe);
    }
    return output;
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

// The entities alternate between LINEs and 10-vertex LWPOLYLINEs, written as ezdxf writes
// them, owned by model space.
void appendEntity(std::string& out, int index, std::uint64_t handle, const std::string& owner) {
    char number[32];
    auto coordinate = [&](const char* code, double value) {
        std::snprintf(number, sizeof number, "%.4f", value);
        out += code;
        out += number;
        out += '\n';
    };
    bool line = index % 2 == 0;
    out += line ? "  0\nLINE\n  5\n" : "  0\nLWPOLYLINE\n  5\n";
    out += cadhost::dxf::formatHandle(handle);
    out += "\n330\n" + owner + "\n100\nAcDbEntity\n  8\n0\n";
    double x = index % 1000 * 1.25;
    double y = index / 1000 * 2.5;
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
    out += "100\nAcDbPolyline\n 90\n10\n 70\n0\n";
    for (int vertex = 0; vertex < 10; ++vertex) {
        coordinate(" 10\n", x + vertex * 0.1);
        coordinate(" 20\n", y + (vertex % 2) * 0.2);
    }
}

// Writes the drawing: an ezdxf skeleton with the entities streamed into ENTITIES, so that
// making the file costs no memory this benchmark measures.
std::uint64_t makeDrawing(const std::filesystem::path& folder, const std::filesystem::path& path) {
    auto skeletonPath = folder / "skeleton.dxf";
    runCommand("/usr/bin/python3 -c \"import ezdxf; ezdxf.new('R2000').saveas('" +
               skeletonPath.string() + "')\"");
    Document skeleton = Document::load(skeletonPath);
    auto records = *skeleton.table("BLOCK_RECORD");
    std::string owner;
    for (RecordId id = records.begin; id != records.end; id = skeleton.next(id)) {
        for (const Tag& tag : skeleton.tags(id)) {
            if (tag.code == 2 && tag.value == "*Model_Space") {
                owner = cadhost::dxf::formatHandle(skeleton.handle(id));
            }
        }
    }
    std::uint64_t firstHandle = skeleton.allocateHandle();
    skeleton.setHeaderVariable("$HANDSEED", {Tag::handle(5, firstHandle + kEntities)});
    std::string text = skeleton.toBytes();
    std::size_t entities = text.find("ENTITIES\n");
    std::size_t split = text.find("  0\nENDSEC\n", entities);

    std::ofstream out(path, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(split));
    std::string chunk;
    for (int i = 0; i < kEntities; ++i) {
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

}  // namespace

int main(int argc, char** argv) {
    bool runEzdxf = !(argc > 1 && std::string(argv[1]) == "--skip-ezdxf");
    testsupport::TempDir dir;
    auto path = dir.path() / "big.dxf";
    std::uint64_t size = makeDrawing(dir.path(), path);
    std::printf("drawing: %.1f MB, %d entities\n", megabytes(size), kEntities);
    ::sync();  // the saves timed below should not wait for writing back the generated file

    double load = 1e9;
    for (int run = 0; run < 3; ++run) {
        auto start = Clock::now();
        Document doc = Document::load(path);
        load = std::min(load, seconds(start));
    }
    Document doc = Document::load(path);
    int entities = 0;
    auto section = *doc.section("ENTITIES");
    for (RecordId id = doc.next(section.begin); id != section.end; id = doc.next(id)) {
        ++entities;
    }

    auto copy = dir.path() / "copy.dxf";
    double unchangedSave = 1e9;
    for (int run = 0; run < 3; ++run) {
        auto start = Clock::now();
        doc.save(copy);
        unchangedSave = std::min(unchangedSave, seconds(start));
    }
    bool identical = sameBytes(path, copy);

    // One entity in a hundred changed: the file is written from pieces of the original.
    for (RecordId id = doc.next(section.begin); id != section.end; id = doc.next(id)) {
        if (doc.handle(id) % 100 == 0) {
            std::vector<Tag> tags = doc.tags(id);
            tags.push_back(Tag::text(1001, "ACAD"));
            doc.replaceTags(id, std::move(tags));
        }
    }
    auto start = Clock::now();
    doc.save(copy);
    double changedSave = seconds(start);

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    double peak = static_cast<double>(usage.ru_maxrss) * 1024;  // ru_maxrss is in KiB

    double mb = megabytes(size);
    std::printf("entities read: %d; unchanged save byte for byte: %s\n", entities,
                identical ? "yes" : "NO");
    std::printf("load:           %8.3f s  %8.1f MB/s\n", load, mb / load);
    std::printf("save unchanged: %8.3f s  %8.1f MB/s (best of 3, with fsync)\n", unchangedSave,
                mb / unchangedSave);
    std::printf("save, 1%% of entities changed: %8.3f s  %8.1f MB/s\n", changedSave,
                mb / changedSave);
    std::printf("peak memory:    %8.1f MB = %.2f x file size\n", peak / 1e6, peak / 1e6 / mb);
    if (runEzdxf) {
        std::string output = runCommand(
            "/usr/bin/python3 -c \"import sys, time, ezdxf; t = time.perf_counter(); "
            "ezdxf.readfile(sys.argv[1]); print(time.perf_counter() - t)\" '" +
            path.string() + "'");
        double ezdxf = std::stod(output.empty() ? "0" : output);
        std::printf("ezdxf readfile: %8.3f s  %8.1f MB/s\n", ezdxf, mb / ezdxf);
        std::printf("load speed ratio (ours / ezdxf): %.0f x\n", ezdxf / load);
    }
    return identical ? 0 : 1;
}
