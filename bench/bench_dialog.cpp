// The xref dialog: opening it on a drawing with 1,000 xrefs in 10 project folders, as the host
// runs LKH through the loaded module (construction, start with its full refresh, first paint of
// the whole window), beside the full refresh alone; and scrolling a list of 10,000 rows page by
// page, with the memory the process holds before and after.
// Run from the release build: build/release/bench/bench_dialog (needs a Qt platform; it uses
// the offscreen one unless QT_QPA_PLATFORM says otherwise).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QScrollBar>
#include <fstream>
#include <functional>

#include "cadhost/host_console.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "many_xrefs.h"
#include "platform/ui/modal.h"
#include "plugin/ops/dialog_operations.h"
#include "plugin/ui/xref_list_view.h"
#include "silent_view.h"
#include "support/qt_application.h"

namespace {

constexpr int kXrefs = 1000;
constexpr int kFolders = 10;
constexpr int kScrollRows = 10000;

class Driver : public platform::ModalResponder {
  public:
    std::function<void(QDialog&)> onDialog;
    int messageBox(const platform::MessageBoxRequest&) override { return platform::IDOK; }
    int dialog(QDialog& dialog) override {
        dialog.setResult(QDialog::Rejected);
        onDialog(dialog);
        return dialog.result();
    }
};

// The host with the drawing current and the module loaded; dialogs answered by the driver.
struct Session {
    Session() : many(kXrefs, kFolders) {
        testsupport::qtApplication();
        platform::setModalResponder(&driver);
        const std::string module = platform::nativeToHost(LNKHOLD_MODULE_FILE);
        if (!acrxDynamicLinker->loadModule(module.c_str(), true)) {
            throw std::runtime_error("cannot load " + module);
        }
    }
    bench::ManyXrefs many;
    apptest::HostConsole console;
    Driver driver;
};

Session& session() {
    static Session instance;
    return instance;
}

// Resident memory of the process in KiB.
long residentKiB() {
    std::ifstream status("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    status >> pages >> resident;
    return resident * 4;
}

void BM_DialogOpen(benchmark::State& state) {
    Session& s = session();
    int rows = 0;
    s.driver.onDialog = [&](QDialog& dialog) {
        dialog.show();
        benchmark::DoNotOptimize(dialog.grab());  // paints every control and the list
        rows = dialog.findChild<QAbstractItemView*>("IDC_221")->model()->rowCount();
        dialog.reject();
    };
    for (auto _ : state) {
        s.console.run("LKH\n");
    }
    if (rows != kXrefs) {
        state.SkipWithError("the dialog did not show every xref");
    }
    s.console.output();
}
BENCHMARK(BM_DialogOpen)->Unit(benchmark::kMillisecond);

// What the dialog's start spends on the rows themselves.
void BM_FullRefreshAlone(benchmark::State& state) {
    session();
    bench::SilentView view;
    for (auto _ : state) {
        lnkhold::DialogOperations dialog(view);
        dialog.start();
        if (dialog.rows().count() != kXrefs) {
            state.SkipWithError("wrong row count");
        }
    }
}
BENCHMARK(BM_FullRefreshAlone)->Unit(benchmark::kMillisecond);

void BM_ScrollTenThousandRows(benchmark::State& state) {
    testsupport::qtApplication();
    lnkhold::XrefRowList rows;
    for (int i = 0; i < kScrollRows; ++i) {
        auto row = std::make_unique<lnkhold::XrefRow>();
        row->buildFromFile("C:\\project\\xrefs\\part" + std::to_string(i) + ".dwg");
        row->addedFromFile = i % 3 == 0;
        rows.append(std::move(row));
    }
    lnkhold::XrefListView list(rows, nullptr);
    list.resize(640, 500);
    list.setItemCount(rows.count());
    list.show();
    QApplication::processEvents();
    QScrollBar& bar = *list.verticalScrollBar();
    const long before = residentKiB();
    for (auto _ : state) {
        for (int value = bar.minimum(); value <= bar.maximum(); value += bar.pageStep()) {
            bar.setValue(value);
            list.viewport()->repaint();
        }
    }
    state.counters["rows_per_s"] = benchmark::Counter(
        static_cast<double>(kScrollRows), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["resident_growth_KiB"] = static_cast<double>(residentKiB() - before);
}
BENCHMARK(BM_ScrollTenThousandRows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
