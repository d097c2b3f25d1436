#include "platform/case_fold.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>

namespace platform {

namespace {

constexpr char32_t kStrayByteBase = 0x110000;

// Decodes the unit at pos, advances pos past it and returns it folded.
char32_t nextFoldedUnit(std::string_view text, std::size_t& pos) {
    // ASCII, nearly every byte of a path, folds to itself but for A-Z: no need to ask ICU.
    if (const auto byte = static_cast<unsigned char>(text[pos]); byte < 0x80) {
        ++pos;
        return byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte;
    }
    // Decoding looks at most 4 bytes ahead, so indices stay small whatever the text's length.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data()) + pos;
    const auto available = static_cast<std::int32_t>(std::min<std::size_t>(text.size() - pos, 4));
    std::int32_t used = 0;
    UChar32 c = 0;
    U8_NEXT(bytes, used, available, c);
    if (c < 0) {
        // Ill-formed: the first byte stands alone, so the following bytes are read afresh.
        ++pos;
        return kStrayByteBase + bytes[0];
    }
    pos += static_cast<std::size_t>(used);
    return static_cast<char32_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
}

}  // namespace

std::u32string foldCase(std::string_view text) {
    std::u32string units;
    units.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        units.push_back(nextFoldedUnit(text, pos));
    }
    return units;
}

int compareIgnoreCase(std::string_view a, std::string_view b) {
    std::size_t pa = 0;
    std::size_t pb = 0;
    while (pa < a.size() && pb < b.size()) {
        const char32_t ua = nextFoldedUnit(a, pa);
        const char32_t ub = nextFoldedUnit(b, pb);
        if (ua != ub) {
            return ua < ub ? -1 : 1;
        }
    }
    if (pa < a.size()) {
        return 1;
    }
    return pb < b.size() ? -1 : 0;
}

}  // namespace platform
