#pragma once
// Whole-file reading and atomic file replacement for drawing files.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "cadhost/db/dxf_error.h"
#include "cadhost/db/large_memory.h"
#include "platform/file_descriptor.h"

namespace cadhost::dxf {

// Larger files are refused rather than read into memory.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{4} << 30;

// Receives bytes in order.
using ByteSink = std::function<void(std::string_view)>;

struct FileBytes {
    LargeBytes data;
    std::uint64_t size = 0;
};

// A drawing file open for reading, and its size when opened.
struct OpenFile {
    platform::FileDescriptor fd;
    std::uint64_t size = 0;
};

// Both throw DxfError naming the file and the system's reason; a file that shrinks while it is
// read is taken as far as it goes.
OpenFile openForReading(const std::filesystem::path& path);
FileBytes readAll(OpenFile& file, const std::filesystem::path& path);
// The error of a failed read of `path`.
DxfError readError(const std::filesystem::path& path, int error);

// Replaces `path` with the bytes `produce` passes to its sink, or leaves it untouched: the
// bytes go to <path>.tmp-<pid> in the same folder, are synced, the previous file is kept as
// <path>.bak (replacing an older one), and the new file is renamed into place. Throws
// DxfError on failure, after removing the temporary file. Temporary files that earlier saves
// of `path` left behind, by processes that no longer run, are removed first.
void writeFileAtomically(const std::filesystem::path& path,
                         const std::function<void(const ByteSink&)>& produce);

// The files that a save of `path` by process `pid` writes beside it before renaming them into
// place: the new file and the link that becomes the backup. A process that dies while saving
// leaves them behind; no other process uses these names.
std::vector<std::filesystem::path> saveTemporaries(const std::filesystem::path& path, int pid);

}  // namespace cadhost::dxf
