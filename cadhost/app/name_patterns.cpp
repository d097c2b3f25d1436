#include "cadhost/app/name_patterns.h"

#include <algorithm>
#include <cctype>

namespace cadhost::app {

namespace {

bool sameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

// '*' any run of characters, '?' any one; ASCII letter case ignored. Greedy with a single
// backtrack point (the last '*'), so the time stays proportional to pattern times name even
// for patterns like "*a*a*a*b".
bool wildcardMatch(std::string_view pattern, std::string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || sameLetter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
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
