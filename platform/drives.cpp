#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/current_folder.h"
#include "platform/drive_map.h"
#include "platform/files.h"
#include "platform/host_path.h"

namespace fs = std::filesystem;

namespace platform {

namespace {

// A mount point as /proc/self/mounts writes it: space, tab, newline and backslash as octal.
std::string unescapeMountField(std::string_view field) {
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

bool isInside(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

// The type of the file system that holds path: that of the deepest mount point containing it
// (the later of two mounts on one point, which hides the earlier).
std::string fileSystemType(const fs::path& path) {
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    std::string type;
    std::size_t bestDepth = 0;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, fsType;
        if (!(fields >> device >> mountPoint >> fsType)) {
            continue;
        }
        const fs::path point = unescapeMountField(mountPoint);
        const auto depth = static_cast<std::size_t>(std::distance(point.begin(), point.end()));
        if (isInside(path, point) && depth >= bestDepth) {
            bestDepth = depth;
            type = fsType;
        }
    }
    return type;
}

UINT typeOfFolder(const fs::path& folder) {
    if (isInside(folder, "/media") || isInside(folder, "/run/media")) {
        return DRIVE_REMOVABLE;
    }
    const std::string type = fileSystemType(folder);
    for (std::string_view remote :
         {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "afs", "ceph"}) {
        if (type == remote) {
            return DRIVE_REMOTE;
        }
    }
    return type == "tmpfs" || type == "ramfs" ? DRIVE_RAMDISK : DRIVE_FIXED;
}

bool isOpticalDevice(const fs::path& device) {
    const std::string name = device.filename().string();
    return device.parent_path() == "/dev" &&
           (name.rfind("sr", 0) == 0 || name.rfind("cdrom", 0) == 0);
}

UINT typeOfDrive(char letter) {
    const auto link = driveLink(letter);
    if (!link) {
        return DRIVE_NO_ROOT_DIR;
    }
    std::error_code ec;
    const fs::path target = fs::canonical(*link, ec);
    struct stat st {};
    if (ec || ::stat(target.c_str(), &st) != 0) {
        return DRIVE_NO_ROOT_DIR;
    }
    if (S_ISBLK(st.st_mode)) {
        const fs::path named = fs::read_symlink(*link, ec);
        return isOpticalDevice(target) || isOpticalDevice(named) ? DRIVE_CDROM : DRIVE_REMOVABLE;
    }
    return S_ISDIR(st.st_mode) ? typeOfFolder(target) : DRIVE_UNKNOWN;
}

}  // namespace

DWORD GetLogicalDrives() {
    return driveMask();
}

UINT GetDriveTypeA(const char* rootPath) {
    const std::string root = rootPath != nullptr
                                 ? std::string(rootPath)
                                 : std::string(hostRoot(currentHostFolder())) + '\\';
    if (root.size() >= 2 && isHostSeparator(root[0]) && isHostSeparator(root[1])) {
        const auto full = fullHostPath(root);
        const auto share = hostToNative(root);
        std::error_code ec;
        const bool isShareRoot = full.ok() && full.value.size() == hostRoot(full.value).size() + 1;
        return isShareRoot && share.ok() && fs::is_directory(share.value, ec) ? DRIVE_REMOTE
                                                                              : DRIVE_NO_ROOT_DIR;
    }
    const bool driveRootForm =
        (root.size() == 2 || (root.size() == 3 && isHostSeparator(root[2]))) && root[1] == ':';
    return driveRootForm ? typeOfDrive(root[0]) : DRIVE_NO_ROOT_DIR;
}

}  // namespace platform
