#include "platform/current_folder.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "platform/host_path.h"
#include "platform/prefix.h"

namespace platform {

namespace {

struct CurrentFolder {
    std::mutex mutex;
    std::uint64_t generation = 0;
    std::string folder;
};

CurrentFolder& state() {
    static CurrentFolder s;
    return s;
}

std::string initialFolder() {
    std::error_code ec;
    const auto native = std::filesystem::current_path(ec);
    return nativeToHost(ec ? std::filesystem::path("/") : native);
}

}  // namespace

std::string currentHostFolder() {
    const std::uint64_t generation = prefixGeneration();
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (s.generation != generation) {
        s.generation = generation;
        s.folder = initialFolder();
    }
    return s.folder;
}

void setCurrentHostFolder(std::string fullHost) {
    const std::uint64_t generation = prefixGeneration();
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.generation = generation;
    s.folder = std::move(fullHost);
}

}  // namespace platform
