#pragma once
// Name lists as the user types them: "A,B*,C?" ('*' any run of characters, '?' any one).

#include <string>
#include <string_view>
#include <vector>

namespace cadhost::app {

// The comma-separated entries of a list, without empty ones.
std::vector<std::string> splitList(const std::string& list);

// True when any pattern of the list matches the name; letter case is ignored as names compare.
bool matchesList(const std::string& list, std::string_view name);

}  // namespace cadhost::app
