// Arbitrary bytes as paths and names: the path functions, _splitpath, find-first-file and the
// comparisons must never crash, read or write out of bounds, leave the prefix's drives, or
// break the properties checked below. Nothing here creates or writes files.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "platform/collation.h"
#include "platform/files.h"
#include "platform/host_path.h"
#include "platform/prefix.h"
#include "platform/splitpath.h"

namespace fs = std::filesystem;

namespace {

fs::path sandbox;

void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

void removeSandbox() {
    std::error_code ec;
    fs::remove_all(sandbox, ec);
}

// A throwaway prefix whose drives all lie inside it: C:, D: (a folder of C:) and one share.
void makeSandbox() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/path-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    sandbox = fs::canonical(pattern);
    std::atexit(removeSandbox);
    if (!platform::setCurrentPrefix(sandbox / "prefix").empty()) {
        std::abort();
    }
    const fs::path dosdevices = sandbox / "prefix" / "dosdevices";
    const fs::path driveC = sandbox / "prefix" / "drive_c";
    fs::remove(dosdevices / "z:");
    fs::create_directories(driveC / "Dir" / "Sub");
    std::ofstream(driveC / "Dir" / "File.txt") << "x";
    std::ofstream(driveC / "Dir" / ".hidden") << "x";
    fs::create_directory_symlink(driveC / "Dir", dosdevices / "d:");
    fs::create_directories(dosdevices / "unc" / "server");
    fs::create_directory_symlink(driveC / "Dir", dosdevices / "unc" / "server" / "share");
    platform::SetCurrentDirectoryA("C:\\Dir");
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

void splitting(std::string_view input) {
    const platform::PathSplit parts = platform::splitPath(input);
    check(parts.drive + parts.dir + parts.fname + parts.ext == input);
    // Buffers of exactly the documented sizes, so any overrun is caught.
    auto drive = std::make_unique<char[]>(platform::_MAX_DRIVE);
    auto dir = std::make_unique<char[]>(platform::_MAX_DIR);
    auto fname = std::make_unique<char[]>(platform::_MAX_FNAME);
    auto ext = std::make_unique<char[]>(platform::_MAX_EXT);
    const std::string text(input);
    platform::_splitpath(text.c_str(), drive.get(), dir.get(), fname.get(), ext.get());
}

void hostPaths(std::string_view input) {
    const auto full = platform::fullHostPath(input);
    if (full.ok()) {
        check(full.value.size() <= platform::kMaxHostPath);
        const auto again = platform::fullHostPath(full.value);
        check(again.ok() && again.value == full.value);
    }
    const auto native = platform::hostToNative(input);
    check(!native.ok() || full.ok());
    if (native.ok()) {
        const fs::path relative = native.value.lexically_relative(sandbox);
        check(!relative.empty() && *relative.begin() != "..");
        platform::nativeToHost(native.value);
    }
    platform::nativeToHost(fs::path(std::string(input)));
}

void finding(std::string_view input) {
    const std::string pattern(input);
    platform::WIN32_FIND_DATAA data;
    const platform::HANDLE find = platform::FindFirstFileA(pattern.c_str(), &data);
    if (find != platform::INVALID_HANDLE_VALUE) {
        for (int i = 0; i < 16 && platform::FindNextFileA(find, &data); ++i) {
        }
        check(platform::FindClose(find) == platform::TRUE);
    }
    platform::GetFileAttributesA(pattern.c_str());
}

void comparing(std::string_view input) {
    const std::size_t half = input.size() / 2;
    const std::string_view a = input.substr(0, half);
    const std::string_view b = input.substr(half);
    check(sign(platform::lstrcmpA(a, b)) == -sign(platform::lstrcmpA(b, a)));
    check((platform::lstrcmpA(a, b) == 0) == (a == b));
    check(sign(platform::lstrcmpiA(a, b)) == -sign(platform::lstrcmpiA(b, a)));
    check(sign(platform::_mbsicmp(a, b)) == -sign(platform::_mbsicmp(b, a)));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    makeSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    splitting(input);
    hostPaths(input);
    finding(input);
    comparing(input);
    return 0;
}
