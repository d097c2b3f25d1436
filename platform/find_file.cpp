#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/case_fold.h"
#include "platform/errno_map.h"
#include "platform/files.h"
#include "platform/host_path.h"
#include "platform/wildcard.h"

namespace fs = std::filesystem;

namespace platform {

namespace {

bool isWildcard(char c) {
    return c == '*' || c == '?';
}

struct Entry {
    std::string name;  // as listed; "." and ".." stand for the folder and its parent
    fs::path path;
};

struct FindState {
    std::vector<Entry> entries;
    std::size_t next = 0;
};

struct OpenFinds {
    std::mutex mutex;
    std::map<HANDLE, std::unique_ptr<FindState>> states;
};

OpenFinds& openFinds() {
    static OpenFinds finds;
    return finds;
}

bool statEntry(const fs::path& path, struct statx& st) {
    constexpr unsigned kMask = STATX_BASIC_STATS | STATX_BTIME;
    // A dangling symbolic link is still listed, with the link's own facts.
    return statx(AT_FDCWD, path.c_str(), 0, kMask, &st) == 0 ||
           statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, kMask, &st) == 0;
}

FILETIME fileTimeOf(const statx_timestamp& t) {
    return fileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

DWORD attributesOf(const std::string& name, const struct statx& st) {
    DWORD attributes = 0;
    if (S_ISDIR(st.stx_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    if ((st.stx_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (name.size() > 1 && name[0] == '.' && name != "..") {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

// Fills data with the facts of entry; false when it has gone since the listing.
bool describe(const Entry& entry, WIN32_FIND_DATAA& data) {
    struct statx st {};
    if (!statEntry(entry.path, st)) {
        return false;
    }
    data = WIN32_FIND_DATAA{};
    data.dwFileAttributes = attributesOf(entry.name, st);
    const bool hasBirth = (st.stx_mask & STATX_BTIME) != 0;
    data.ftCreationTime = fileTimeOf(hasBirth ? st.stx_btime : st.stx_mtime);
    data.ftLastAccessTime = fileTimeOf(st.stx_atime);
    data.ftLastWriteTime = fileTimeOf(st.stx_mtime);
    const std::uint64_t size = S_ISDIR(st.stx_mode) ? 0 : st.stx_size;
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
    const std::size_t length = std::min<std::size_t>(entry.name.size(), MAX_PATH - 1);
    std::memcpy(data.cFileName, entry.name.data(), length);
    return true;
}

// Hands out the next entry that still exists; false at the end.
bool advance(FindState& state, WIN32_FIND_DATAA& data) {
    while (state.next < state.entries.size()) {
        if (describe(state.entries[state.next++], data)) {
            return true;
        }
    }
    return false;
}

PathResult<std::vector<Entry>> listMatching(std::string_view folderHost, std::string_view name) {
    const auto folder = hostToNative(folderHost.empty() ? "." : folderHost);
    if (!folder.ok()) {
        return {{}, folder.error};
    }
    std::error_code ec;
    fs::directory_iterator it(folder.value, ec);
    if (ec) {
        return {{},
                ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory
                    ? ERROR_PATH_NOT_FOUND
                    : errorFromErrno(ec.value())};
    }
    const std::u32string pattern = foldCase(name);
    std::vector<Entry> entries;
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (wildcardMatch(foldCase(entry), pattern, true)) {
            entries.push_back({std::move(entry), it->path()});
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    const bool isRoot = fullHostPath(folderHost.empty() ? "." : folderHost).value.back() == '\\';
    if (!isRoot) {
        for (const char* dots : {"..", "."}) {
            if (wildcardMatch(foldCase(dots), pattern, true)) {
                entries.insert(entries.begin(), Entry{dots, folder.value / dots});
            }
        }
    }
    return {std::move(entries), ERROR_SUCCESS};
}

// The one entry a pattern without wildcards names.
PathResult<std::vector<Entry>> findNamed(std::string_view host) {
    const auto full = fullHostPath(host);
    if (!full.ok()) {
        return {{}, full.error};
    }
    if (full.value.back() == '\\') {
        return {{}, ERROR_FILE_NOT_FOUND};  // a drive root is not an entry of any folder
    }
    const auto native = hostToNative(full.value);
    if (!native.ok()) {
        return {{}, native.error};
    }
    struct stat st {};
    if (::lstat(native.value.c_str(), &st) != 0) {
        return {{}, errorFromErrno(errno, native.value)};
    }
    return {{Entry{native.value.filename().string(), native.value}}, ERROR_SUCCESS};
}

PathResult<std::vector<Entry>> findEntries(std::string_view pattern) {
    const auto nameStart = pattern.find_last_of("\\/");
    std::size_t split = nameStart == std::string_view::npos ? 0 : nameStart + 1;
    if (split == 0 && pattern.size() >= 2 && pattern[1] == ':') {
        split = 2;
    }
    const std::string_view name = pattern.substr(split);
    if (name.empty()) {
        return {{}, ERROR_FILE_NOT_FOUND};
    }
    if (std::none_of(name.begin(), name.end(), isWildcard)) {
        return findNamed(pattern);
    }
    if (name.size() > kMaxNameLength) {
        return {{}, ERROR_FILENAME_EXCED_RANGE};
    }
    const bool invalid = std::any_of(name.begin(), name.end(), [](char c) {
        return !isWildcard(c) && (isForbiddenNameCharacter(c) || isHostSeparator(c));
    });
    if (invalid) {
        return {{}, ERROR_INVALID_NAME};
    }
    return listMatching(pattern.substr(0, split), name);
}

}  // namespace

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
    if (pattern == nullptr || data == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto entries = findEntries(pattern);
    if (!entries.ok()) {
        SetLastError(static_cast<DWORD>(entries.error));
        return INVALID_HANDLE_VALUE;
    }
    auto state = std::make_unique<FindState>();
    state->entries = std::move(entries.value);
    if (!advance(*state, *data)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto& finds = openFinds();
    std::lock_guard lock(finds.mutex);
    const HANDLE handle = state.get();
    finds.states.emplace(handle, std::move(state));
    return handle;
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) {
    auto& finds = openFinds();
    std::lock_guard lock(finds.mutex);
    const auto it = finds.states.find(find);
    if (it == finds.states.end() || data == nullptr) {
        return failWith(it == finds.states.end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    }
    return advance(*it->second, *data) ? TRUE : failWith(ERROR_NO_MORE_FILES);
}

BOOL FindClose(HANDLE find) {
    auto& finds = openFinds();
    std::lock_guard lock(finds.mutex);
    return finds.states.erase(find) == 1 ? TRUE : failWith(ERROR_INVALID_HANDLE);
}

DWORD GetFileAttributesA(const char* path) {
    const auto native =
        path != nullptr ? hostToNative(path) : PathResult<fs::path>{{}, ERROR_INVALID_PARAMETER};
    struct statx st {};
    if (!native.ok() || !statEntry(native.value, st)) {
        SetLastError(
            static_cast<DWORD>(native.ok() ? errorFromErrno(errno, native.value) : native.error));
        return INVALID_FILE_ATTRIBUTES;
    }
    return attributesOf(native.value.filename().string(), st);
}

}  // namespace platform
