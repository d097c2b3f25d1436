#include "platform/splitpath.h"

#include <algorithm>
#include <cstring>

namespace platform {

PathSplit splitPath(std::string_view path) {
    PathSplit parts;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = path.substr(0, 2);
        path.remove_prefix(2);
    }
    if (const auto slash = path.find_last_of("\\/"); slash != std::string_view::npos) {
        parts.dir = path.substr(0, slash + 1);
        path.remove_prefix(slash + 1);
    }
    if (const auto dot = path.rfind('.'); dot != std::string_view::npos) {
        parts.ext = path.substr(dot);
        path = path.substr(0, dot);
    }
    parts.fname = path;
    return parts;
}

namespace {

void copyCut(const std::string& part, char* buffer, std::size_t size) {
    if (buffer == nullptr) {
        return;
    }
    const std::size_t length = std::min(part.size(), size - 1);
    std::memcpy(buffer, part.data(), length);
    buffer[length] = '\0';
}

}  // namespace

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
    const PathSplit parts =
        splitPath(path != nullptr ? std::string_view(path) : std::string_view());
    copyCut(parts.drive, drive, _MAX_DRIVE);
    copyCut(parts.dir, dir, _MAX_DIR);
    copyCut(parts.fname, fname, _MAX_FNAME);
    copyCut(parts.ext, ext, _MAX_EXT);
}

}  // namespace platform
