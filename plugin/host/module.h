#pragma once
// What the module keeps while it is loaded: its own handle, which finds its file (version,
// help) and its compiled resources (bitmaps, icons).

#include "rxregsvc.h"

namespace lnkhold {

inline constexpr const char* kCommandGroup = "TWK";
inline constexpr const char* kApplicationName = "Linkhold16";

// The handle the host loaded this module under; null outside the host's loader.
HINSTANCE moduleInstance();

}  // namespace lnkhold
