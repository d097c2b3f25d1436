#include "plugin/model/path_resolution.h"

#include <array>

#include "cadhost/sdk/acedxref.h"
#include "cadhost/sdk/adsdef.h"
#include "plugin/model/path_parts.h"

namespace lnkhold {

namespace {

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
        if (findFile(folder + "\\" + fileName, found)) {
            return RTNORM;
        }
    }
    return RTERROR;
}

std::string resolvePath(std::string_view path) {
    // A path too long for the buffer is not found at all: trying its bare name instead
    // would quietly stand a different file in for it.
    if (path.size() >= kPathBufferSize) {
        return {};
    }
    std::string found;
    if (findFile(std::string(path), found) || searchProjectPath(path, found) == RTNORM ||
        findFile(fileNameOf(path), found)) {
        return found;
    }
    return {};
}

int resolvePathInto(std::string_view path, std::string& found) {
    found = resolvePath(path);
    return found.empty() ? 0 : 1;
}

}  // namespace lnkhold
