#pragma once
// The drive letters of the current prefix: each is a symbolic link <prefix>/dosdevices/<x>:
// (the letter in either case) to the native folder or device that serves as the drive, or a
// folder of that name that serves as the drive itself.

#include <cstdint>
#include <filesystem>
#include <optional>

namespace platform {

// Bit 0 is A:, bit 25 is Z:; a bit is set for every drive, its link dangling or not.
std::uint32_t driveMask();

// The link of drive letter (either case), whether or not its target exists.
std::optional<std::filesystem::path> driveLink(char letter);

// The drive's root folder, with every symbolic link resolved; none when the drive has no
// link or its target is not an existing folder.
std::optional<std::filesystem::path> driveRoot(char letter);

}  // namespace platform
