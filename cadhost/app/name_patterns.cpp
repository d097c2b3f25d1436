#include "cadhost/app/name_patterns.h"

#include <algorithm>

#include "cadhost/sdk/acutads.h"
#include "platform/case_fold.h"
#include "platform/wildcard.h"

namespace cadhost::app {

std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        if (comma > start) {
            parts.push_back(list.substr(start, comma - start));
        }
        start = comma + 1;
    }
    return parts;
}

bool matchesList(const std::string& list, std::string_view name) {
    const std::vector<std::string> patterns = splitList(list);
    const std::u32string folded = platform::foldCase(name);
    return std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) {
        return platform::wildcardMatch(folded, platform::foldCase(p), false);
    });
}

}  // namespace cadhost::app

int acutWcMatch(const char* string, const char* pattern) {
    return string && pattern && cadhost::app::matchesList(pattern, string) ? RTNORM : RTERROR;
}
