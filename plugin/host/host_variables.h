#pragma once
// Reading the host's system variables by name.

#include <optional>
#include <string>

namespace lnkhold::host {

// The value of a string variable; nothing when the host does not give a string.
std::optional<std::string> stringVariable(const char* name);

}  // namespace lnkhold::host
