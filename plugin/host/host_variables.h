#pragma once
// Reading the host's system variables by name.

#include <optional>
#include <string>

namespace lnkhold::host {

// The value of a string variable; nothing when the host does not give a string.
std::optional<std::string> stringVariable(const char* name);
// The value of a 16-bit integer variable; nothing when the host does not give one.
std::optional<short> shortVariable(const char* name);

}  // namespace lnkhold::host
