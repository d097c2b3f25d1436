// The xref operations as the dialog calls them, one xref at a time, on a drawing with 500 xrefs
// in 20 project folders: detach 100, attach 100 new files (reading back each new block), reload
// all 500 in one call, strip the path of all 500 (then one scan of the drawing's xrefs, no
// reload) and bind 50. Each iteration works on a freshly made and opened drawing; only the
// operations themselves are timed. Run from the release build:
// build/release/bench/bench_xref_operations

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/acedxref.h"
#include "cadhost/sdk/dbxrefgraph.h"
#include "cadhost/xref/drawing_scan.h"
#include "many_xrefs.h"
#include "platform/splitpath.h"

namespace {

constexpr int kXrefs = 500;
constexpr int kFolders = 20;

std::string xrefName(int index) {
    char name[8];
    std::snprintf(name, sizeof name, "X%04d", index);
    return name;
}

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A freshly made drawing, closed again when the object goes.
struct Drawing {
    Drawing() : many(std::make_unique<bench::ManyXrefs>(kXrefs, kFolders)) {}
    ~Drawing() {
        many->xrefs.reset();
        acDocManagerPtr()->closeDocument(many->document, false);
    }
    AcDbDatabase& db() { return *many->document->database(); }
    std::vector<AcDbObjectId> xrefIds() {
        std::vector<AcDbObjectId> ids;
        for (const auto& record : cadhost::xref::scanXrefs(db())) {
            ids.push_back(record.id);
        }
        return ids;
    }
    std::unique_ptr<bench::ManyXrefs> many;
};

// Runs `prepare` untimed and `pass` timed on a fresh drawing per iteration. The pass returns
// "" when every call succeeded, else what failed.
// The counter "pass_cpu_ms" is the processor time of the passes alone, per iteration: on a
// machine busy with other work it stays near what an idle machine's wall time would be.
void measure(benchmark::State& state, const std::function<void(Drawing&)>& prepare,
             const std::function<std::string(Drawing&)>& pass) {
    double processor = 0;
    int passes = 0;
    for (auto _ : state) {
        Drawing drawing;
        prepare(drawing);
        const double startProcessor = threadSeconds();
        const auto start = std::chrono::steady_clock::now();
        const std::string failure = pass(drawing);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        processor += threadSeconds() - startProcessor;
        ++passes;
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
    }
    state.counters["pass_cpu_ms"] = passes ? processor * 1000 / passes : 0.0;
}

void BM_Detach100(benchmark::State& state) {
    measure(
        state, [](Drawing&) {},
        [](Drawing&) -> std::string {
            for (int i = 0; i < 100; ++i) {
                if (acedXrefDetach(xrefName(i).c_str()) != Acad::eOk) {
                    return "cannot detach " + xrefName(i);
                }
            }
            return "";
        });
}
BENCHMARK(BM_Detach100)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_Attach100(benchmark::State& state) {
    std::vector<std::string> files;
    measure(
        state,
        [&files](Drawing& drawing) {
            // Copies of an xref's file in a folder of their own: drawings not yet xrefs.
            files.clear();
            const std::filesystem::path native = drawing.many->prefix.scratch() / "many";
            std::filesystem::create_directories(native / "new");
            for (int i = 0; i < 100; ++i) {
                const std::string name = "n" + std::to_string(i) + ".dxf";
                std::filesystem::copy_file(native / "p0" / "x0000.dxf", native / "new" / name);
                files.push_back(drawing.many->hostFolder + "\\new\\" + name);
            }
        },
        [&files](Drawing&) -> std::string {
            for (std::size_t i = 0; i < files.size(); ++i) {
                const std::string name = "N" + std::to_string(i);
                AcDbObjectId id;
                if (acedXrefAttach(files[i].c_str(), name.c_str(), &id) != Acad::eOk) {
                    return "cannot attach " + files[i];
                }
                AcDbBlockTableRecord* block = nullptr;
                if (acdbOpenObject(block, id, AcDb::kForRead) != Acad::eOk) {
                    return "cannot open " + name;
                }
                const bool loaded = block->xrefStatus() == AcDb::kXrfResolved;
                block->close();
                if (!loaded) {
                    return name + " is not loaded";
                }
            }
            return "";
        });
}
BENCHMARK(BM_Attach100)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_ReloadAll500(benchmark::State& state) {
    AcDbObjectIdArray ids;
    measure(
        state,
        [&ids](Drawing& drawing) {
            ids.removeAll();
            for (AcDbObjectId id : drawing.xrefIds()) {
                ids.append(id);
            }
        },
        [&ids](Drawing&) -> std::string {
            return acedXrefReload(ids) == Acad::eOk ? "" : "cannot reload";
        });
}
BENCHMARK(BM_ReloadAll500)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_StripPath500(benchmark::State& state) {
    std::vector<AcDbObjectId> ids;
    measure(
        state, [&ids](Drawing& drawing) { ids = drawing.xrefIds(); },
        [&ids](Drawing& drawing) -> std::string {
            for (AcDbObjectId id : ids) {
                AcDbBlockTableRecord* block = nullptr;
                if (acdbOpenObject(block, id, AcDb::kForWrite) != Acad::eOk) {
                    return "cannot open an xref for write";
                }
                const char* path = nullptr;
                block->pathName(path);
                const platform::PathSplit split = platform::splitPath(path);
                const Acad::ErrorStatus es = block->setPathName((split.fname + split.ext).c_str());
                block->close();
                if (es != Acad::eOk) {
                    return "cannot set a path";
                }
            }
            // The dialog's scan afterwards: the graph and each xref block's status.
            AcDbXrefGraph graph;
            if (acedGetCurDwgXrefGraph(graph) != Acad::eOk || graph.numNodes() != kXrefs + 1) {
                return "wrong graph after the paths changed";
            }
            for (const auto& record : cadhost::xref::scanXrefs(drawing.db())) {
                AcDbBlockTableRecord* block = nullptr;
                if (acdbOpenObject(block, record.id, AcDb::kForRead) != Acad::eOk) {
                    return "cannot read " + record.name;
                }
                benchmark::DoNotOptimize(block->xrefStatus());
                block->close();
            }
            return "";
        });
}
BENCHMARK(BM_StripPath500)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_Bind50(benchmark::State& state) {
    measure(
        state, [](Drawing&) {},
        [](Drawing&) -> std::string {
            // The even xrefs store their full path; the host finds the others' bare names in
            // none of its own places, so they are not loaded and cannot be bound.
            for (int i = 0; i < 100; i += 2) {
                if (acedXrefBind(xrefName(i).c_str(), true) != Acad::eOk) {
                    return "cannot bind " + xrefName(i);
                }
            }
            return "";
        });
}
BENCHMARK(BM_Bind50)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
