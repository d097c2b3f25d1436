#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/registry.h"
#include "platform/registry_file.h"
#include "support/temp_prefix.h"

using namespace platform;

namespace {

constexpr int kValuesPerWriter = 120;

std::string valueName(int writer, int index) {
    return "w" + std::to_string(writer) + "_" + std::to_string(index);
}

// Runs in a child process: sets its own values one call at a time; the exit code counts failures.
[[noreturn]] void writeValues(int writer) {
    int failures = 0;
    for (int i = 0; i < kValuesPerWriter; ++i) {
        HKEY key = nullptr;
        failures += RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Shared", 0, nullptr, 0, KEY_WRITE,
                                    nullptr, &key, nullptr) != ERROR_SUCCESS;
        const std::string name = valueName(writer, i);
        failures += RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&i), 4) != ERROR_SUCCESS;
        RegCloseKey(key);
    }
    _exit(failures > 100 ? 100 : failures);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

TEST(RegistryConcurrency, TwoWritingProcessesLoseNothingAndReadersSeeWholeFiles) {
    testsupport::TempPrefix prefix;
    const auto file = prefix.root() / "user.reg";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Shared", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "parent", 0, REG_SZ, reinterpret_cast<const BYTE*>("p"), 2),
              ERROR_SUCCESS);
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            writeValues(w);
        }
    }

    int reads = 0;
    int finished = 0;
    int exitCodes[2] = {-1, -1};
    while (finished < 2) {
        const std::string text = readFile(file);
        auto parsed = parseRegistryText(text, "HKEY_CURRENT_USER", file.string());
        ASSERT_FALSE(parsed.error) << parsed.error->text();
        ++reads;
        for (int w = 0; w < 2; ++w) {
            int status = 0;
            if (exitCodes[w] < 0 && waitpid(writers[w], &status, WNOHANG) == writers[w]) {
                exitCodes[w] = WIFEXITED(status) ? WEXITSTATUS(status) : 200;
                ++finished;
            }
        }
    }
    EXPECT_EQ(exitCodes[0], 0);
    EXPECT_EQ(exitCodes[1], 0);
    EXPECT_GT(reads, 1);

    // This process cached the root before the writers started: it must see their values now.
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "parent", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    for (int w = 0; w < 2; ++w) {
        for (int i = 0; i < kValuesPerWriter; ++i) {
            int stored = -1;
            size = sizeof stored;
            ASSERT_EQ(RegQueryValueExA(key, valueName(w, i).c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(&stored), &size),
                      ERROR_SUCCESS)
                << valueName(w, i);
            EXPECT_EQ(stored, i);
        }
    }
    RegCloseKey(key);
}
