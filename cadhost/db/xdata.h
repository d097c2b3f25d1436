#pragma once
// Extended data: the 1001 group of an application and the groups after it, at the end of an
// object's tags; its conversion to and from result-buffer chains, and its size.

#include <optional>
#include <string>
#include <vector>

#include "cadhost/db/tag_list.h"
#include "cadhost/sdk/adsdef.h"

namespace cadhost::db {

struct AppXdata {
    std::string application;
    TagList tags;  // starting with the 1001 group
};

std::vector<AppXdata> splitXdata(const TagList& tags);
// Null when `applications` is empty.
resbuf* toResbufChain(const std::vector<AppXdata>& applications);
// Nullopt when the chain is not well-formed extended data (no leading 1001, unknown types,
// line breaks in text, a 1002 other than "{" or "}", bad handles, chunks over 127 bytes).
std::optional<std::vector<AppXdata>> fromResbufChain(const resbuf* chain);

// The measure the 16383-byte limit applies to: every group counts 2 bytes for its code plus
// its value: text its UTF-8 bytes plus 1, a real 8, a point 24, a 16-bit integer 2, a 32-bit
// integer 4, a handle 8, a binary chunk its bytes plus 1.
std::size_t xdataSize(const std::vector<AppXdata>& applications);

}  // namespace cadhost::db
