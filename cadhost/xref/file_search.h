#pragma once
// The host's file search: the name as given, then the drawing's folder, the support search
// path and the program's own folder. Paths are host (Windows) paths and match without regard
// to letter case.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/case_fold.h"
#include "platform/host_path.h"

namespace cadhost::xref {

// Orders paths and names as the host compares them, without regard to letter case.
struct FoldedLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return platform::compareIgnoreCase(a, b) < 0;
    }
};

// The host's own places, searched after the drawing's folder; host paths ("" for none).
struct SearchPath {
    std::vector<std::string> supportFolders;
    std::string programFolder;
};

// The full host path of the file, or nullopt. A relative name is taken relative to the
// drawing's folder ("" for a drawing never saved: the current folder); the later places are
// searched for the name's last part. At each place a name ending in ".dwg" is also found as
// the ".dxf" file beside it, and the result then names the ".dxf" file.
std::optional<std::string> findFile(std::string_view name, const std::string& drawingFolder,
                                    const SearchPath& searchPath);
// The same search as one of many in a pass that reads each folder once: a file made or removed
// after `pass` read its folder is not seen through it.
std::optional<std::string> findFile(std::string_view name, const std::string& drawingFolder,
                                    const SearchPath& searchPath, platform::FolderListings& pass);

// The folders of a ";"-separated search path, without empty entries.
std::vector<std::string> splitSearchPath(std::string_view list);

// The folder part of a full host path ("C:\a" for "C:\a\b.dxf").
std::string hostFolderOf(std::string_view fullPath);

}  // namespace cadhost::xref
