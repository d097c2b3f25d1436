#include "plugin/model/path_resolution.h"

#include <array>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "acedxref.h"
#include "adsdef.h"
#include "platform/case_fold.h"
#include "platform/files.h"
#include "plugin/model/path_parts.h"

namespace lnkhold {

namespace {

// What a scan has learnt: paths resolved, and the names (without extension, case folded) in
// each project folder.
struct ScanMemory {
    std::unordered_map<std::string, std::string> resolved;
    std::unordered_map<std::string, std::unordered_set<std::u32string>> folderStems;
};

std::optional<ScanMemory>& memory() {
    static std::optional<ScanMemory> scan;
    return scan;
}

std::u32string foldedStem(std::string_view name) {
    return platform::foldCase(splitPathParts(name).fileName);
}

const std::unordered_set<std::u32string>& stemsIn(const std::string& folder) {
    auto [entry, added] = memory()->folderStems.try_emplace(folder);
    if (added) {
        platform::WIN32_FIND_DATAA data;
        platform::HANDLE find = platform::FindFirstFileA((folder + "\\*").c_str(), &data);
        if (find != platform::INVALID_HANDLE_VALUE) {
            do {
                entry->second.insert(foldedStem(data.cFileName));
            } while (platform::FindNextFileA(find, &data));
            platform::FindClose(find);
        }
    }
    return entry->second;
}

// During a scan, a project folder without any file of that name is passed over: the host's
// search of the same name at its own places has already failed, so only a file in the
// folder itself could be found there.
bool mayHold(const std::string& folder, const std::string& fileName) {
    return !memory() || stemsIn(folder).contains(foldedStem(fileName));
}

std::string& projectFolders() {
    static std::string folders;
    return folders;
}

// acedFindFile into the path buffer; the found path, or nothing.
bool findFile(const std::string& path, std::string& found) {
    if (path.size() >= kPathBufferSize) {
        return false;
    }
    std::array<char, kPathBufferSize> buffer{};
    if (acedFindFile(path.c_str(), buffer.data(), buffer.size()) != RTNORM) {
        return false;
    }
    found = buffer.data();
    return true;
}

std::string fileNameOf(std::string_view path) {
    const PathParts parts = splitPathParts(path);
    return parts.fileName + parts.extension;
}

}  // namespace

const std::string& projectSearchPath() {
    return projectFolders();
}

void setProjectSearchPath(std::string folders) {
    projectFolders() = std::move(folders);
}

int searchProjectPath(std::string_view path, std::string& found) {
    const std::string& folders = projectFolders();
    if (folders.empty()) {
        return RTERROR;
    }
    const std::string fileName = fileNameOf(path);
    std::size_t begin = 0;
    while (begin <= folders.size()) {
        std::size_t end = folders.find(';', begin);
        if (end == std::string::npos) {
            end = folders.size();
        }
        std::string folder = folders.substr(begin, end - begin);
        begin = end + 1;
        if (folder.empty()) {
            continue;
        }
        if (folder.back() == '\\') {
            folder.pop_back();
        }
        if (mayHold(folder, fileName) && findFile(folder + "\\" + fileName, found)) {
            return RTNORM;
        }
    }
    return RTERROR;
}

ResolveCache::ResolveCache() {
    memory().emplace();
}

ResolveCache::~ResolveCache() {
    memory().reset();
}

std::string resolvePath(std::string_view path) {
    // A path too long for the buffer is not found at all: trying its bare name instead
    // would quietly stand a different file in for it.
    if (path.size() >= kPathBufferSize) {
        return {};
    }
    auto* cache = memory() ? &memory()->resolved : nullptr;
    if (cache) {
        if (auto known = cache->find(std::string(path)); known != cache->end()) {
            return known->second;
        }
    }
    std::string found;
    if (!findFile(std::string(path), found) && searchProjectPath(path, found) != RTNORM &&
        !findFile(fileNameOf(path), found)) {
        found.clear();
    }
    if (cache) {
        cache->emplace(path, found);
    }
    return found;
}

int resolvePathInto(std::string_view path, std::string& found) {
    found = resolvePath(path);
    return found.empty() ? 0 : 1;
}

}  // namespace lnkhold
