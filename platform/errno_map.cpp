#include "platform/errno_map.h"

#include <cerrno>
#include <system_error>

#include "platform/files.h"

namespace platform {

LONG errorFromErrno(int error) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EBUSY:
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        default:
            return ERROR_GEN_FAILURE;
    }
}

LONG errorFromErrno(int error, const std::filesystem::path& path) {
    if (error != ENOENT) {
        return errorFromErrno(error);
    }
    std::error_code ec;
    return std::filesystem::is_directory(path.parent_path(), ec) ? ERROR_FILE_NOT_FOUND
                                                                 : ERROR_PATH_NOT_FOUND;
}

int errnoFromError(DWORD error) {
    switch (static_cast<LONG>(error)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_DIRECTORY:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_NOT_ENOUGH_MEMORY:
            return ENOMEM;
        case ERROR_DISK_FULL:
            return ENOSPC;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        default:
            return EINVAL;
    }
}

}  // namespace platform
