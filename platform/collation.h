#pragma once
// String order of the user's locale, as Windows' lstrcmp family gives it: alphabetical first,
// letter case only as a tie-break (lowercase first), punctuation and digits before letters.
// The same on every machine, whatever locales it has generated. Text is read as UTF-8;
// bytes that are not UTF-8 still get a total, consistent order.

#include <string_view>

namespace platform {

// < 0, 0 or > 0. Different strings never compare equal.
int lstrcmpA(std::string_view a, std::string_view b);
int lstrcmpA(const char* a, const char* b);  // a null string sorts before every other

// Ignores letter case; strings that differ only in case compare equal.
int lstrcmpiA(std::string_view a, std::string_view b);
int lstrcmpiA(const char* a, const char* b);

// Case-insensitive comparison by code point (no locale): ASCII and UTF-8 letters folded.
// Null arguments give _NLSCMPERROR with errno EINVAL, as the C runtime does.
inline constexpr int _NLSCMPERROR = 0x7fffffff;
int _mbsicmp(std::string_view a, std::string_view b);
int _mbsicmp(const unsigned char* a, const unsigned char* b);

}  // namespace platform
