#pragma once
// Reading and changing single groups of a record's tag list. Look-ups pass over 102 groups
// ("{ACAD_REACTORS" ... "}") and stop where the extended data (1001 and later) begins.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cadhost/db/dxf_tag.h"

namespace cadhost::db {

using dxf::Tag;
using TagList = std::vector<Tag>;

// Index of the first 1001 group, or the size.
std::size_t xdataBegin(const TagList& tags);
// Index of the first `code` group in the record's own data; nullopt when absent.
std::optional<std::size_t> findGroup(const TagList& tags, int code);
std::string groupText(const TagList& tags, int code, std::string_view fallback = "");
std::int64_t groupInteger(const TagList& tags, int code, std::int64_t fallback = 0);
double groupReal(const TagList& tags, int code, double fallback = 0.0);
// Replaces the first `code` group, or inserts one at `insertAt` (clamped to the record's own
// data; npos: at its end).
void setGroup(TagList& tags, Tag tag, std::size_t insertAt = std::string::npos);

// Sets or clears `bit` of the integer group `code`.
void setGroupBit(TagList& tags, int code, std::int64_t bit, bool on);

// Case-insensitive comparison of ASCII names, as symbol table names compare.
bool sameName(std::string_view a, std::string_view b);
// The lower-case form of a name: sameName(a, b) exactly when nameKey(a) == nameKey(b).
std::string nameKey(std::string_view name);

}  // namespace cadhost::db
