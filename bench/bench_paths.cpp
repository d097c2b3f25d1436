// Path conversion and collation speed: a deep host path whose names differ in case from the
// folders on disk (each level needs a folder listing), and sorting names in locale order
// against a plain byte-order sort of the same names as the reference.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/collation.h"
#include "platform/host_path.h"
#include "support/temp_prefix.h"

namespace fs = std::filesystem;

namespace {

void BM_HostToNativeDeepCaseMismatch(benchmark::State& state) {
    testsupport::TempPrefix prefix;
    fs::path folder = prefix.root() / "drive_c";
    std::string host = "C:";
    for (int level = 0; level < state.range(0); ++level) {
        // Neighbours make each listing do real work.
        for (int n = 0; n < 20; ++n) {
            fs::create_directories(folder / ("Other" + std::to_string(n)));
        }
        folder /= "Level" + std::to_string(level);
        fs::create_directories(folder);
        host += "\\LEVEL" + std::to_string(level);
    }
    std::ofstream(folder / "Drawing.dwg") << "x";
    host += "\\drawing.DWG";
    for (auto _ : state) {
        auto native = platform::hostToNative(host);
        benchmark::DoNotOptimize(native);
    }
}
BENCHMARK(BM_HostToNativeDeepCaseMismatch)->Arg(4)->Arg(16);

std::vector<std::string> sampleNames(std::size_t count) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> letter(0, 25);
    std::uniform_int_distribution<int> length(3, 14);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name;
        for (int c = length(random); c > 0; --c) {
            const char base = (random() % 4 == 0) ? 'A' : 'a';
            name += static_cast<char>(base + letter(random));
        }
        if (random() % 3 == 0) {
            name += '-';
            name += std::to_string(i % 100);
        }
        names.push_back(std::move(name));
    }
    return names;
}

template <class Less>
void sortNames(benchmark::State& state, Less less) {
    const auto names = sampleNames(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto sorted = names;
        std::sort(sorted.begin(), sorted.end(), less);
        benchmark::DoNotOptimize(sorted.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SortNamesLstrcmpA(benchmark::State& state) {
    sortNames(state, [](const std::string& a, const std::string& b) {
        return platform::lstrcmpA(a, b) < 0;
    });
}
BENCHMARK(BM_SortNamesLstrcmpA)->Arg(10000);

void BM_SortNamesStrcmpReference(benchmark::State& state) {
    sortNames(state, [](const std::string& a, const std::string& b) {
        return std::strcmp(a.c_str(), b.c_str()) < 0;
    });
}
BENCHMARK(BM_SortNamesStrcmpReference)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
