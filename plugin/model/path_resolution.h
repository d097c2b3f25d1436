#pragma once
// Finding a drawing file: the host's own search, then the folders of the current project's
// reference search path, then the bare file name on the host's search path.
//
// The host's search fills a 261-byte buffer. A path that cannot fit it is reported as not
// found rather than cut short into some other path.

#include <string>
#include <string_view>

namespace lnkhold {

inline constexpr std::size_t kPathBufferSize = 261;

// The current project's reference search path (";"-separated folders), read by
// loadProjectSearchPath; empty when there is no project or nothing could be read.
const std::string& projectSearchPath();
void setProjectSearchPath(std::string folders);

// Reads the "RefSearchPath" of the current profile's current project from the registry.
void loadProjectSearchPath();

// Looks for the path's file name and extension in each project folder in turn. RTNORM with
// `found` filled, or RTERROR.
int searchProjectPath(std::string_view path, std::string& found);

// The full path of the file found, or "".
std::string resolvePath(std::string_view path);

// While one lives, resolvePath answers a path it has already resolved from memory: for a
// scan, during which the files do not change.
class ResolveCache {
  public:
    ResolveCache();
    ~ResolveCache();
    ResolveCache(const ResolveCache&) = delete;
    ResolveCache& operator=(const ResolveCache&) = delete;
};

// Fills `found` with resolvePath; 1 when something was found, else 0.
int resolvePathInto(std::string_view path, std::string& found);

}  // namespace lnkhold
