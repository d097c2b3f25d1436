#pragma once
// A stored xref path cut into the parts the list shows: drive (or "\\server\share"),
// directory, file name and extension.

#include <string>
#include <string_view>

namespace lnkhold {

struct PathParts {
    std::string drive;
    std::string directory;  // keeps its leading and trailing separators
    std::string fileName;
    std::string extension;  // keeps its dot
};

// A path beginning with two backslashes takes everything before its fourth backslash as the
// drive; the rest (or any other path) is cut as _splitpath cuts it, without its length limits.
PathParts splitPathParts(std::string_view path);

}  // namespace lnkhold
