#include "platform/win32_types.h"

namespace platform {

namespace {
thread_local DWORD lastError = 0;
}

DWORD GetLastError() {
    return lastError;
}
void SetLastError(DWORD code) {
    lastError = code;
}

}  // namespace platform
