// Loads 50 DWG xrefs of about 580 KB each (copies of one real drawing, so that each is its own
// file), warm, through one helper process for the pass, and tells where the time goes: starting
// Node with our script and the library's JavaScript, starting the WebAssembly instance, and
// reading and converting each drawing. Run from the release build: build/release/bench/bench_dwg
//
// Not a Google Benchmark loop: one pass takes seconds, and the parts are timed apart.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "cadhost/sdk/dbsymtb.h"
#include "cadhost/xref/drawing_xrefs.h"
#include "cadhost/xref/dwg_reader.h"
#include "support/temp_prefix.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kXrefs = 50;
const std::filesystem::path kData = std::filesystem::path(BENCH_DWG_DATA);

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The drawing and its xrefs x0.dwg ... x49.dwg, written by ezdxf.
void writeDrawings(const std::filesystem::path& folder) {
    for (int i = 0; i < kXrefs; ++i) {
        std::filesystem::copy_file(kData / "example_2000.dwg",
                                   folder / ("x" + std::to_string(i) + ".dwg"));
    }
    const std::string script =
        "import ezdxf, sys\n"
        "doc = ezdxf.new('R2000')\n"
        "for i in range(" +
        std::to_string(kXrefs) +
        "):\n"
        "    doc.add_xref_def(f'x{i}.dwg', f'X{i}', flags=4 | 16)\n"
        "    doc.modelspace().add_blockref(f'X{i}', (i, 0))\n"
        "doc.saveas(sys.argv[1])\n";
    std::ofstream(folder / "make.py") << script;
    const std::string command = "/usr/bin/python3 '" + (folder / "make.py").string() + "' '" +
                                (folder / "host.dxf").string() + "'";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "cannot write the drawing\n");
        std::exit(1);
    }
}

}  // namespace

int main() {
    testsupport::TempPrefix prefix;
    const std::filesystem::path folder = prefix.scratch();
    writeDrawings(folder);
    std::string reason;

    // Node, our script and the library's JavaScript: a read that fails before the library's
    // WebAssembly instance is made.
    double nodeStart = 0;
    {
        const auto start = Clock::now();
        cadhost::xref::DwgReader reader;
        reader.read("/nonexistent.dwg", reason);
        nodeStart = seconds(start);
    }
    // The same, then the instance made and a small drawing (26 KB) read.
    double firstSmall = 0;
    double warmSmall = 0;
    {
        auto start = Clock::now();
        cadhost::xref::DwgReader reader;
        reader.read(kData / "r14-v.dwg", reason);
        firstSmall = seconds(start);
        start = Clock::now();
        reader.read(kData / "r14-v.dwg", reason);
        warmSmall = seconds(start);
    }
    // One large drawing after another in a warm process (each in a fresh instance when the
    // library reported warnings for the one before).
    double perLarge = 0;
    {
        cadhost::xref::DwgReader reader;
        reader.read(kData / "r14-v.dwg", reason);
        const auto start = Clock::now();
        for (int i = 0; i < 5; ++i) {
            reader.read(folder / ("x" + std::to_string(i) + ".dwg"), reason);
        }
        perLarge = seconds(start) / 5;
    }
    // The pass: the drawing's 50 DWG xrefs found, read and loaded, warm (files read once).
    double pass = 0;
    int loaded = 0;
    for (int round = 0; round < 2; ++round) {
        AcDbDatabase db(false);
        db.readDxfFile((folder / "host.dxf").c_str());
        const auto start = Clock::now();
        cadhost::xref::DrawingXrefs xrefs(db, {}, nullptr);
        xrefs.update();
        pass = seconds(start);
        loaded = 0;
        for (const auto& record : xrefs.records()) {
            AcDbBlockTableRecord* block = nullptr;
            if (acdbOpenObject(block, record.id, AcDb::kForRead) == Acad::eOk) {
                loaded += block->xrefStatus() == AcDb::kXrfResolved;
                block->close();
            }
        }
    }
    std::printf("Node, script and library JavaScript started:    %8.3f s\n", nodeStart);
    std::printf("  + WebAssembly instance, 26 KB drawing read:   %8.3f s\n", firstSmall);
    std::printf("26 KB drawing again in the warm process:        %8.3f s\n", warmSmall);
    std::printf("580 KB drawing in the warm process, each:       %8.3f s\n", perLarge);
    std::printf("Pass over %d DWG xrefs of 580 KB (%d loaded):   %8.3f s\n", kXrefs, loaded, pass);
    return loaded == kXrefs ? 0 : 1;
}
