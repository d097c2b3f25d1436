#include "platform/drive_map.h"

#include <sys/stat.h>

#include <array>
#include <ctime>
#include <mutex>
#include <string>
#include <system_error>

#include "platform/prefix.h"

namespace fs = std::filesystem;

namespace platform {

namespace {

constexpr int kLetters = 26;

int letterIndex(char letter) {
    if (letter >= 'a' && letter <= 'z') {
        return letter - 'a';
    }
    if (letter >= 'A' && letter <= 'Z') {
        return letter - 'A';
    }
    return -1;
}

// What identifies one state of the dosdevices folder: adding, removing or replacing a link
// changes the folder's modification time.
struct FolderStamp {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};

    bool operator==(const FolderStamp& o) const {
        return device == o.device && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

std::optional<FolderStamp> stampOf(const fs::path& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FolderStamp{st.st_dev, st.st_ino, st.st_mtim};
}

// File systems keep coarse timestamps, so a change made in the same tick as the read would
// not show in the stamp. The cache is trusted only once the stamp is clearly older than the
// read; until then every use reads the links again (a dozen system calls).
bool stampPredatesRead(const FolderStamp& stamp, const timespec& readAt) {
    constexpr time_t kMarginSeconds = 2;
    return stamp.modified.tv_sec + kMarginSeconds < readAt.tv_sec;
}

struct DriveCache {
    std::uint64_t generation = 0;
    fs::path dosdevices;
    std::optional<FolderStamp> stamp;
    timespec readAt{};
    std::array<std::string, kLetters> linkNames;  // empty: no such drive
    // Each drive's root with its links resolved, worked out at its first use after the links
    // were read; an empty path when the target is not a folder.
    std::array<std::optional<fs::path>, kLetters> roots;
};

void readLinks(DriveCache& cache) {
    cache.linkNames = {};
    cache.roots = {};
    std::error_code ec;
    for (fs::directory_iterator it(cache.dosdevices, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const int index = name.size() == 2 && name[1] == ':' ? letterIndex(name[0]) : -1;
        if (index < 0 || !(it->is_symlink(ec) || it->is_directory(ec))) {
            continue;
        }
        // With both "c:" and "C:" present the lowercase one, the usual spelling, wins.
        std::string& chosen = cache.linkNames[static_cast<std::size_t>(index)];
        if (chosen.empty() || name[0] >= 'a') {
            chosen = name;
        }
    }
}

std::mutex cacheMutex;

// The drive links of the current prefix, read again when they may have changed; called with
// cacheMutex held.
DriveCache& currentLinks() {
    static DriveCache cache;
    const std::uint64_t generation = prefixGeneration();
    if (generation != cache.generation) {
        cache.generation = generation;
        cache.dosdevices = currentPrefix().dosdevices();
        cache.stamp.reset();
    }
    const auto stamp = stampOf(cache.dosdevices);
    const bool fresh = stamp && cache.stamp && *stamp == *cache.stamp &&
                       stampPredatesRead(*cache.stamp, cache.readAt);
    if (!fresh) {
        clock_gettime(CLOCK_REALTIME, &cache.readAt);
        readLinks(cache);
        cache.stamp = stamp;
    }
    return cache;
}

}  // namespace

std::uint32_t driveMask() {
    std::lock_guard lock(cacheMutex);
    const DriveCache& cache = currentLinks();
    std::uint32_t mask = 0;
    for (int i = 0; i < kLetters; ++i) {
        if (!cache.linkNames[static_cast<std::size_t>(i)].empty()) {
            mask |= 1u << i;
        }
    }
    return mask;
}

std::optional<fs::path> driveLink(char letter) {
    const int index = letterIndex(letter);
    if (index < 0) {
        return std::nullopt;
    }
    std::lock_guard lock(cacheMutex);
    const DriveCache& cache = currentLinks();
    const std::string& name = cache.linkNames[static_cast<std::size_t>(index)];
    if (name.empty()) {
        return std::nullopt;
    }
    return cache.dosdevices / name;
}

std::optional<fs::path> driveRoot(char letter) {
    const int index = letterIndex(letter);
    if (index < 0) {
        return std::nullopt;
    }
    std::lock_guard lock(cacheMutex);
    DriveCache& cache = currentLinks();
    const std::string& name = cache.linkNames[static_cast<std::size_t>(index)];
    if (name.empty()) {
        return std::nullopt;
    }
    std::optional<fs::path>& root = cache.roots[static_cast<std::size_t>(index)];
    std::error_code ec;
    // Resolving the links costs a system call per folder of the path; a root worked out before
    // is checked with one, and worked out again when it is no longer a folder.
    if (!root || root->empty() || !fs::is_directory(*root, ec)) {
        root = fs::canonical(cache.dosdevices / name, ec);
        if (ec || !fs::is_directory(*root, ec)) {
            root = fs::path();
        }
    }
    return root->empty() ? std::nullopt : root;
}

}  // namespace platform
