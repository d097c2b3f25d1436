#pragma once
// Wildcard patterns as Windows names use them: '*' any run of characters, '?' any one.

#include <string_view>

namespace platform {

// Whether a name matches a pattern, both already folded with foldCase. With dotMatchesEnd, a
// '.' followed only by '*'s may also match the end of the name, as file searches allow ("a*.*"
// finds "abc"). Greedy with one backtrack point per '*': at worst name length times pattern
// length, whatever the pattern.
bool wildcardMatch(std::u32string_view name, std::u32string_view pattern, bool dotMatchesEnd);

}  // namespace platform
