// The dialog's xref operations on a drawing with 500 xrefs in 20 project folders, inside the
// transaction the dialog's command holds open: Detach of 100 selected rows, Attach of 100
// pending rows, Reload of all 500, Strip Path of all 500 and Insert (bind) of 50, each with the
// list rebuilt as the button does. Each iteration works on a freshly made and opened drawing;
// only the operation itself is timed. Run from the release build:
// build/release/bench/bench_xref_operations

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cadhost/sdk/acdocman.h"
#include "many_xrefs.h"
#include "plugin/ops/dialog_operations.h"
#include "silent_view.h"

namespace {

constexpr int kXrefs = 500;
constexpr int kFolders = 20;

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The dialog's options as a user leaves them, and a selection the bench sets.
class SelectingView : public bench::SilentView {
  public:
    bool isChecked(lnkhold::DialogOption option) const override {
        return option != lnkhold::DialogOption::AutomaticallyAttach;
    }
    std::vector<int> selectedPositions() const override { return selected; }
    std::vector<int> selected;
};

// A freshly made drawing with the dialog started on it inside the command's transaction;
// the transaction ends and the drawing closes when the object goes.
struct Drawing {
    Drawing() : many(std::make_unique<bench::ManyXrefs>(kXrefs, kFolders)) {
        transactions()->startTransaction();
        dialog.start();
    }
    ~Drawing() {
        transactions()->endTransaction();
        many->xrefs.reset();
        acDocManagerPtr()->closeDocument(many->document, false);
    }
    AcDbTransactionManager* transactions() { return many->document->transactionManager(); }
    // Selects the rows the test accepts, lowest position first; how many.
    int select(const std::function<bool(const lnkhold::XrefRow&)>& wanted) {
        view.selected.clear();
        for (int i = 0; i < dialog.rows().count(); ++i) {
            if (wanted(*dialog.rowAt(i))) {
                view.selected.push_back(i);
            }
        }
        return static_cast<int>(view.selected.size());
    }
    int count(const std::function<bool(const lnkhold::XrefRow&)>& wanted) const {
        int found = 0;
        for (int i = 0; i < dialog.rows().count(); ++i) {
            found += wanted(*dialog.rowAt(i)) ? 1 : 0;
        }
        return found;
    }

    std::unique_ptr<bench::ManyXrefs> many;
    SelectingView view;
    lnkhold::DialogOperations dialog{view};
};

// Row names are the files' names, "x0000" to "x0499".
int numberOf(const lnkhold::XrefRow& row) {
    return row.name.size() == 5 && row.name[0] == 'x' ? std::stoi(row.name.substr(1)) : -1;
}

bool pending(const lnkhold::XrefRow& row) {
    return row.blockId.isNull();
}

// Runs `prepare` untimed and `pass` timed on a fresh drawing per iteration. The pass returns
// "" when it did what it should, else what went wrong.
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
        state,
        [](Drawing& drawing) {
            drawing.select([](const lnkhold::XrefRow& row) { return numberOf(row) < 100; });
        },
        [](Drawing& drawing) -> std::string {
            drawing.dialog.detachSelected();
            // The detached xrefs come back as pending rows.
            return drawing.count(pending) == 100 ? "" : "not every xref was detached";
        });
}
BENCHMARK(BM_Detach100)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_Attach100(benchmark::State& state) {
    measure(
        state,
        [](Drawing& drawing) {
            // Copies of an xref's file in a folder of their own, added as pending rows.
            const std::filesystem::path native = drawing.many->prefix.scratch() / "many";
            std::filesystem::create_directories(native / "new");
            std::vector<std::string> files;
            for (int i = 0; i < 100; ++i) {
                const std::string name = "n" + std::to_string(i) + ".dxf";
                std::filesystem::copy_file(native / "p0" / "x0000.dxf", native / "new" / name);
                files.push_back(drawing.many->hostFolder + "\\new\\" + name);
            }
            drawing.dialog.addFiles(files);
            drawing.select(pending);
        },
        [](Drawing& drawing) -> std::string {
            drawing.dialog.attachSelected();
            return drawing.count(pending) == 0 ? "" : "not every row was attached";
        });
}
BENCHMARK(BM_Attach100)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_ReloadAll500(benchmark::State& state) {
    measure(
        state,
        [](Drawing& drawing) { drawing.select([](const lnkhold::XrefRow&) { return true; }); },
        [](Drawing& drawing) -> std::string {
            drawing.dialog.reloadAndRefresh();
            return drawing.dialog.rows().count() == kXrefs ? "" : "rows lost in the reload";
        });
}
BENCHMARK(BM_ReloadAll500)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_StripPath500(benchmark::State& state) {
    measure(
        state,
        [](Drawing& drawing) { drawing.select([](const lnkhold::XrefRow&) { return true; }); },
        [](Drawing& drawing) -> std::string {
            drawing.dialog.stripPathSelected();
            return drawing.count([](const lnkhold::XrefRow& row) {
                return row.folder == lnkhold::kAcadPathFolder;
            }) == kXrefs
                       ? ""
                       : "not every path was stripped";
        });
}
BENCHMARK(BM_StripPath500)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_Bind50(benchmark::State& state) {
    measure(
        state,
        [](Drawing& drawing) {
            // The even xrefs store their full path; the host finds the others' bare names only
            // on the project's path, which its own search does not use, so they are not loaded
            // and cannot be bound.
            drawing.select([](const lnkhold::XrefRow& row) {
                return numberOf(row) >= 0 && numberOf(row) < 100 && numberOf(row) % 2 == 0;
            });
        },
        [](Drawing& drawing) -> std::string {
            drawing.dialog.bindSelected();
            return drawing.dialog.rows().count() == kXrefs - 50 ? "" : "not every xref was bound";
        });
}
BENCHMARK(BM_Bind50)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
