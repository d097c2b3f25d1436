// Registry speed: reading and writing the text of a large root, and one saved change
// (lock, re-read, write, fsync, rename) on a small and on a large root.

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "platform/registry.h"
#include "platform/registry_file.h"
#include "support/temp_prefix.h"

namespace {

using namespace platform;
using namespace std::string_literals;

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

// 10,000 keys (100 products of 100 keys) holding 50,000 values of mixed types.
RegistryNode largeTree() {
    RegistryNode root;
    RegistryNode& software = root.createSubkey("Software");
    for (int product = 0; product < 100; ++product) {
        RegistryNode& group = software.createSubkey("Product " + std::to_string(product));
        for (int k = 0; k < 99; ++k) {
            RegistryNode& key = group.createSubkey("Key" + std::to_string(k));
            const std::string n = std::to_string(product * 100 + k);
            key.setValue("", REG_SZ, "default " + n + '\0');
            key.setValue("Path", REG_SZ, "C:\\Program Files\\Product\\" + n + '\0');
            key.setValue("Count", REG_DWORD, "\x0c\0\0\0"s);
            key.setValue("Header1", REG_NONE, "d\0\0\0"s);
            key.setValue("Blob", REG_BINARY, std::string(40, static_cast<char>(k)));
        }
    }
    return root;
}

std::string largeText() {
    std::string text;
    appendRegistryText(text, largeTree(), kRoot);
    return text;
}

void BM_ParseLargeRoot(benchmark::State& state) {
    const std::string text = largeText();
    for (auto _ : state) {
        auto parsed = parseRegistryText(text, kRoot, "user.reg");
        benchmark::DoNotOptimize(parsed.error);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["file_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ParseLargeRoot)->Unit(benchmark::kMillisecond);

void BM_WriteLargeRoot(benchmark::State& state) {
    const RegistryNode tree = largeTree();
    std::size_t size = 0;
    for (auto _ : state) {
        std::string text;
        appendRegistryText(text, tree, kRoot);
        size = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_WriteLargeRoot)->Unit(benchmark::kMillisecond);

// Arg 0: an empty user root; arg 1: the large root in user.reg.
void BM_SavedSetValue(benchmark::State& state) {
    testsupport::TempPrefix prefix;
    if (state.range(0) == 1) {
        std::ofstream(prefix.root() / "user.reg", std::ios::binary) << largeText();
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Bench", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        state.SkipWithError("cannot create the key");
        return;
    }
    DWORD counter = 0;
    for (auto _ : state) {
        ++counter;
        if (RegSetValueExA(key, "Counter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&counter),
                           sizeof counter) != ERROR_SUCCESS) {
            state.SkipWithError("RegSetValueExA failed");
            break;
        }
    }
    RegCloseKey(key);
}
BENCHMARK(BM_SavedSetValue)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
