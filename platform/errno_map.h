#pragma once
// Translation between native errno values and Win32 error codes, for the file functions.

#include <filesystem>

#include "platform/win32_types.h"

namespace platform {

LONG errorFromErrno(int error);

// As above, for an operation on path: a missing path is ERROR_FILE_NOT_FOUND when its folder
// exists and ERROR_PATH_NOT_FOUND when the folder is missing too, as Windows tells them apart.
LONG errorFromErrno(int error, const std::filesystem::path& path);

// The errno the C runtime sets for a Win32 error.
int errnoFromError(DWORD error);

// Sets the last error and returns FALSE, the usual way out of a failing Win32 call.
inline BOOL failWith(LONG error) {
    SetLastError(static_cast<DWORD>(error));
    return FALSE;
}

}  // namespace platform
