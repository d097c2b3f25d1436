#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/current_folder.h"
#include "platform/errno_map.h"
#include "platform/files.h"
#include "platform/host_path.h"

namespace platform {

namespace {

int crtFailure() {
    errno = errnoFromError(GetLastError());
    return -1;
}

}  // namespace

DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer) {
    const std::string folder = currentHostFolder();
    if (buffer == nullptr || bufferLength <= folder.size()) {
        return static_cast<DWORD>(folder.size() + 1);
    }
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return static_cast<DWORD>(folder.size());
}

BOOL SetCurrentDirectoryA(const char* path) {
    if (path == nullptr) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    auto full = fullHostPath(path);
    const auto native = full.ok() ? hostToNative(full.value) : PathResult<std::filesystem::path>{};
    if (!full.ok() || !native.ok()) {
        return failWith(full.ok() ? native.error : full.error);
    }
    struct stat st {};
    if (::stat(native.value.c_str(), &st) != 0) {
        return failWith(errorFromErrno(errno, native.value));
    }
    if (!S_ISDIR(st.st_mode)) {
        return failWith(ERROR_DIRECTORY);
    }
    if (::access(native.value.c_str(), X_OK) != 0) {
        return failWith(errorFromErrno(errno));
    }
    setCurrentHostFolder(std::move(full.value));
    return TRUE;
}

BOOL CreateDirectoryA(const char* path, const void* /*securityAttributes*/) {
    if (path == nullptr) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    const auto native = hostToNative(path);
    if (!native.ok()) {
        return failWith(native.error);
    }
    if (::mkdir(native.value.c_str(), 0777) != 0) {
        return failWith(errno == ENOENT ? ERROR_PATH_NOT_FOUND : errorFromErrno(errno));
    }
    return TRUE;
}

char* _getcwd(char* buffer, int size) {
    const std::string folder = currentHostFolder();
    if (buffer == nullptr) {
        const std::size_t needed = folder.size() + 1;
        const std::size_t length =
            size > 0 ? std::max<std::size_t>(needed, static_cast<std::size_t>(size)) : needed;
        buffer = static_cast<char*>(std::malloc(length));
        if (buffer == nullptr) {
            errno = ENOMEM;
            return nullptr;
        }
    } else if (size <= 0) {
        errno = EINVAL;
        return nullptr;
    } else if (static_cast<std::size_t>(size) <= folder.size()) {
        errno = ERANGE;
        return nullptr;
    }
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return buffer;
}

int _chdir(const char* path) {
    return SetCurrentDirectoryA(path) ? 0 : crtFailure();
}

int _mkdir(const char* path) {
    return CreateDirectoryA(path, nullptr) ? 0 : crtFailure();
}

}  // namespace platform
