#include "platform/wildcard.h"

#include <algorithm>

namespace platform {

bool wildcardMatch(std::u32string_view name, std::u32string_view pattern, bool dotMatchesEnd) {
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::u32string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            starPattern = p++;
            starName = n;
        } else if (starPattern != std::u32string_view::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    if (dotMatchesEnd && p < pattern.size() && pattern[p] == U'.') {
        ++p;
    }
    return std::all_of(pattern.begin() + static_cast<std::ptrdiff_t>(p), pattern.end(),
                       [](char32_t c) { return c == U'*'; });
}

}  // namespace platform
