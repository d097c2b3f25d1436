#pragma once
// Splitting a Windows path into drive, folder, file name and extension, by the rules of the
// C runtime's _splitpath: '\' and '/' both separate; the drive is the first two characters
// when the second is ':'; the folder keeps its leading and trailing separators; the
// extension starts at the last '.' of the file name (".cfg" is all extension).

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

struct PathSplit {
    std::string drive;
    std::string dir;
    std::string fname;
    std::string ext;
};

PathSplit splitPath(std::string_view path);

inline constexpr std::size_t _MAX_DRIVE = 3;
inline constexpr std::size_t _MAX_DIR = 256;
inline constexpr std::size_t _MAX_FNAME = 256;
inline constexpr std::size_t _MAX_EXT = 256;

// The C runtime form: each non-null buffer must hold its _MAX_* size and receives its part,
// cut to fit (never written past that size). A null path empties every buffer.
void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);

}  // namespace platform
