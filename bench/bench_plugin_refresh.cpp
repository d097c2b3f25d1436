// The xref dialog's full refresh of a drawing with 1,000 xrefs whose files lie in 10 project
// folders (half stored with their full path, half as bare names only the project search
// finds), and the parts a row's cost is made of.
// Run from the release build: build/release/bench/bench_plugin_refresh

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "cadhost/app/host_registration.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/acedxref.h"
#include "cadhost/sdk/dbxrefgraph.h"
#include "cadhost/xref/host_search.h"
#include "platform/host_path.h"
#include "plugin/model/path_resolution.h"
#include "plugin/ops/dialog_operations.h"
#include "support/temp_prefix.h"

namespace {

constexpr int kXrefs = 1000;
constexpr int kFolders = 10;

class SilentView : public lnkhold::DialogView {
  public:
    bool isChecked(lnkhold::DialogOption) const override { return true; }
    void setChecked(lnkhold::DialogOption, bool) override {}
    int insertionLayer() const override { return 0; }
    void setInsertionLayer(int) override {}
    std::vector<int> selectedPositions() const override { return {}; }
    void setItemSelected(int, bool) override {}
    void setControlEnabled(int, bool) override {}
    std::vector<std::string> chooseFiles(const platform::FileDialogRequest&) override { return {}; }
    void setStatusText(const std::string&) override {}
    void setItemCount(int) override {}
    void showWaitCursor(bool) override {}
    void setWindowEnabled(bool) override {}
};

// The drawing, opened as the current document with its xrefs loaded, for the whole run.
struct ManyXrefs {
    ManyXrefs() {
        const std::filesystem::path folder = prefix.scratch() / "many";
        const std::string hostFolder = platform::nativeToHost(folder);
        const std::string command =
            "/usr/bin/python3 '" +
            (std::filesystem::path(__FILE__).parent_path() / "make_many_xrefs.py").string() +
            "' '" + folder.string() + "' '" + hostFolder + "' " + std::to_string(kXrefs) + " " +
            std::to_string(kFolders);
        if (std::system(command.c_str()) != 0 || cadhost::app::registerHost() != "") {
            throw std::runtime_error("cannot set up the drawing");
        }
        std::string projectFolders;
        for (int i = 0; i < kFolders; ++i) {
            projectFolders += hostFolder + "\\p" + std::to_string(i) + ";";
        }
        lnkhold::setProjectSearchPath(projectFolders);
        document = acDocManagerPtr()->openDocument(hostFolder + "\\host.dxf", false);
        acDocManagerPtr()->makeCurrent(document);
        xrefs = cadhost::xref::openDrawingXrefs(*document->database());
        lastFolder = hostFolder + "\\p" + std::to_string(kFolders - 1);
    }
    testsupport::TempPrefix prefix;
    AcApDocument* document = nullptr;
    std::unique_ptr<cadhost::xref::DrawingXrefs> xrefs;
    std::string lastFolder;
};

ManyXrefs& drawing() {
    static ManyXrefs many;
    return many;
}

void BM_FullRefresh(benchmark::State& state) {
    drawing();
    SilentView view;
    for (auto _ : state) {
        lnkhold::DialogOperations dialog(view);
        dialog.fullRefresh();
        if (dialog.rows().count() != kXrefs) {
            state.SkipWithError("wrong row count");
        }
    }
    state.counters["per_row"] = benchmark::Counter(
        static_cast<double>(kXrefs),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FullRefresh)->Unit(benchmark::kMillisecond);

// A row's path found at once by the host's own search.
void BM_ResolveFullPath(benchmark::State& state) {
    const std::string path = drawing().lastFolder + "\\x0009.dwg";
    for (auto _ : state) {
        benchmark::DoNotOptimize(lnkhold::resolvePath(path));
    }
}
BENCHMARK(BM_ResolveFullPath)->Unit(benchmark::kMicrosecond);

// A bare name the host misses, found in the last project folder.
void BM_ResolveThroughProjectFolders(benchmark::State& state) {
    drawing();
    for (auto _ : state) {
        benchmark::DoNotOptimize(lnkhold::resolvePath("x0999.dwg"));
    }
}
BENCHMARK(BM_ResolveThroughProjectFolders)->Unit(benchmark::kMicrosecond);

void BM_XrefGraph(benchmark::State& state) {
    drawing();
    for (auto _ : state) {
        AcDbXrefGraph graph;
        benchmark::DoNotOptimize(acedGetCurDwgXrefGraph(graph, false));
    }
}
BENCHMARK(BM_XrefGraph)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
