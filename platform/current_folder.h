#pragma once
// The process's current folder, kept in host form as Windows keeps it. It starts as the host
// form of the native working folder and starts so again whenever the prefix changes; the
// native working folder itself is never changed.

#include <string>

namespace platform {

std::string currentHostFolder();

// fullHost must be a full host path (fullHostPath's form) of an existing folder.
void setCurrentHostFolder(std::string fullHost);

}  // namespace platform
