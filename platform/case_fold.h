#pragma once
// Letter-case folding of narrow strings as the emulated Windows machine compares names: each
// well-formed UTF-8 sequence is one code point, folded with the Unicode simple case folding;
// a byte that is not part of well-formed UTF-8 stands for itself and folds to nothing else.

#include <string>
#include <string_view>

namespace platform {

// The folded units of text; bytes that are not UTF-8 become units above U+10FFFF.
std::u32string foldCase(std::string_view text);

// Compares the folded units of a and b lexicographically: < 0, 0 or > 0.
int compareIgnoreCase(std::string_view a, std::string_view b);

inline bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return compareIgnoreCase(a, b) == 0;
}

}  // namespace platform
