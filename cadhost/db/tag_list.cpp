#include "cadhost/db/tag_list.h"

#include <algorithm>
#include <cctype>

namespace cadhost::db {

std::size_t xdataBegin(const TagList& tags) {
    auto found =
        std::find_if(tags.begin(), tags.end(), [](const Tag& t) { return t.code == 1001; });
    return static_cast<std::size_t>(found - tags.begin());
}

std::optional<std::size_t> findGroup(const TagList& tags, int code) {
    std::size_t end = xdataBegin(tags);
    bool inAppGroup = false;
    for (std::size_t i = 0; i < end; ++i) {
        if (tags[i].code == 102) {
            inAppGroup = tags[i].value.starts_with('{');
        } else if (!inAppGroup && tags[i].code == code) {
            return i;
        }
    }
    return std::nullopt;
}

std::string groupText(const TagList& tags, int code, std::string_view fallback) {
    auto at = findGroup(tags, code);
    return at ? tags[*at].value : std::string(fallback);
}

std::int64_t groupInteger(const TagList& tags, int code, std::int64_t fallback) {
    auto at = findGroup(tags, code);
    return at ? tags[*at].asInteger().value_or(fallback) : fallback;
}

double groupReal(const TagList& tags, int code, double fallback) {
    auto at = findGroup(tags, code);
    return at ? tags[*at].asDouble().value_or(fallback) : fallback;
}

void setGroup(TagList& tags, Tag tag, std::size_t insertAt) {
    if (auto at = findGroup(tags, tag.code)) {
        tags[*at] = std::move(tag);
        return;
    }
    std::size_t position = std::min(insertAt, xdataBegin(tags));
    tags.insert(tags.begin() + static_cast<std::ptrdiff_t>(position), std::move(tag));
}

void setGroupBit(TagList& tags, int code, std::int64_t bit, bool on) {
    std::int64_t value = groupInteger(tags, code);
    setGroup(tags, Tag::integer(code, on ? (value | bit) : (value & ~bit)));
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string nameKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

}  // namespace cadhost::db
