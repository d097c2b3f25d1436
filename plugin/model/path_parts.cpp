#include "plugin/model/path_parts.h"

#include "platform/splitpath.h"

namespace lnkhold {

namespace {

PathParts partsOf(std::string drive, std::string_view rest) {
    platform::PathSplit split = platform::splitPath(rest);
    return {std::move(drive), std::move(split.dir), std::move(split.fname), std::move(split.ext)};
}

}  // namespace

PathParts splitPathParts(std::string_view path) {
    if (!path.starts_with("\\\\")) {
        platform::PathSplit split = platform::splitPath(path);
        return {std::move(split.drive), std::move(split.dir), std::move(split.fname),
                std::move(split.ext)};
    }
    int backslashes = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && ++backslashes == 4) {
            return partsOf(std::string(path.substr(0, i)), path.substr(i));
        }
    }
    return partsOf(std::string(path), {});
}

}  // namespace lnkhold
