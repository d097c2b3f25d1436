#include "cadhost/app/name_patterns.h"

#include <algorithm>
#include <cctype>

namespace cadhost::app {

namespace {

// '*' any run of characters, '?' any one; ASCII letter case ignored.
bool wildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern.empty()) {
        return name.empty();
    }
    if (pattern.front() == '*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip) {
            if (wildcardMatch(pattern.substr(1), name.substr(skip))) {
                return true;
            }
        }
        return false;
    }
    return !name.empty() &&
           (pattern.front() == '?' || std::tolower(static_cast<unsigned char>(pattern.front())) ==
                                          std::tolower(static_cast<unsigned char>(name.front()))) &&
           wildcardMatch(pattern.substr(1), name.substr(1));
}

}  // namespace

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
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const std::string& p) { return wildcardMatch(p, name); });
}

}  // namespace cadhost::app
