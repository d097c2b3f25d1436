#include "cadhost/db/polyline_records.h"

#include <algorithm>

namespace cadhost::db {
namespace {

// POLYLINE flags the lightweight form has: closed, linetype generated along the whole line.
constexpr std::int64_t kLightweightFlags = 1 | 128;

bool isExtrusion(int code) {
    return code == 210 || code == 220 || code == 230;
}

bool isLightweightVertexGroup(int code) {
    return code == 10 || code == 20 || code == 40 || code == 41 || code == 42 || code == 91;
}

TagList xdataOf(const TagList& tags) {
    return {tags.begin() + static_cast<std::ptrdiff_t>(xdataBegin(tags)), tags.end()};
}

void append(TagList& to, const TagList& from) {
    to.insert(to.end(), from.begin(), from.end());
}

// The groups every record of the polyline carries: layer and paper space.
TagList sharedGroups(const TagList& tags) {
    TagList shared{Tag::text(8, groupText(tags, 8, "0"))};
    if (auto paper = findGroup(tags, 67)) {
        shared.push_back(tags[*paper]);
    }
    return shared;
}

}  // namespace

std::vector<TagList> toPolylineRecords(const TagList& lightweight) {
    TagList head;
    TagList tail;
    std::vector<TagList> vertices;
    std::int64_t flags = 0;
    std::optional<Tag> width;
    double elevation = 0.0;
    std::size_t end = xdataBegin(lightweight);
    for (std::size_t i = 1; i < end; ++i) {
        const Tag& tag = lightweight[i];
        if (tag.code == 10) {
            vertices.emplace_back();
        }
        if (tag.code == 100 || tag.code == 90 || tag.code == 91) {
            continue;  // subclass markers, the vertex count and vertex ids
        } else if (tag.code == 70) {
            flags = tag.asInteger().value_or(0) & kLightweightFlags;
        } else if (tag.code == 43) {
            width = tag;
        } else if (tag.code == 38) {
            elevation = tag.asDouble().value_or(0.0);
        } else if (isLightweightVertexGroup(tag.code) && !vertices.empty()) {
            vertices.back().push_back(tag);
        } else if (isExtrusion(tag.code)) {
            tail.push_back(tag);
        } else {
            head.push_back(tag);
        }
    }
    TagList polyline{Tag::text(0, "POLYLINE")};
    append(polyline, head);
    append(polyline, {Tag::integer(66, 1), Tag::real(10, 0), Tag::real(20, 0),
                      Tag::real(30, elevation), Tag::integer(70, flags)});
    if (width) {
        append(polyline, {Tag::real(40, width->asDouble().value_or(0)),
                          Tag::real(41, width->asDouble().value_or(0))});
    }
    append(polyline, tail);
    append(polyline, xdataOf(lightweight));

    const TagList shared = sharedGroups(lightweight);
    std::vector<TagList> records{std::move(polyline)};
    for (const TagList& groups : vertices) {
        TagList vertex{Tag::text(0, "VERTEX")};
        append(vertex, shared);
        for (const Tag& tag : groups) {
            vertex.push_back(tag);
            if (tag.code == 20) {
                vertex.push_back(Tag::real(30, elevation));
            }
        }
        vertex.push_back(Tag::integer(70, 0));
        records.push_back(std::move(vertex));
    }
    TagList seqend{Tag::text(0, "SEQEND")};
    append(seqend, shared);
    records.push_back(std::move(seqend));
    return records;
}

std::optional<TagList> fromPolylineRecords(const std::vector<TagList>& records) {
    if (records.size() < 2 || records.back().front().value != "SEQEND") {
        return std::nullopt;
    }
    const TagList& polyline = records.front();
    std::int64_t flags = groupInteger(polyline, 70);
    auto startWidth = findGroup(polyline, 40);
    auto endWidth = findGroup(polyline, 41);
    if ((flags & ~kLightweightFlags) != 0 ||
        groupReal(polyline, 40) != groupReal(polyline, 41, groupReal(polyline, 40))) {
        return std::nullopt;
    }
    TagList head;
    TagList tail;
    std::size_t end = xdataBegin(polyline);
    for (std::size_t i = 1; i < end; ++i) {
        const Tag& tag = polyline[i];
        bool own = tag.code == 66 || tag.code == 10 || tag.code == 20 || tag.code == 30 ||
                   tag.code == 40 || tag.code == 41 || tag.code == 70 || tag.code == 100;
        if (isExtrusion(tag.code)) {
            tail.push_back(tag);
        } else if (!own) {
            head.push_back(tag);
        }
    }
    TagList vertices;
    for (std::size_t v = 1; v + 1 < records.size(); ++v) {
        const TagList& vertex = records[v];
        if (vertex.front().value != "VERTEX" || groupInteger(vertex, 70) != 0 ||
            findGroup(vertex, 50)) {
            return std::nullopt;
        }
        vertices.push_back(Tag::real(10, groupReal(vertex, 10)));
        vertices.push_back(Tag::real(20, groupReal(vertex, 20)));
        for (int code : {40, 41, 42}) {
            if (auto at = findGroup(vertex, code)) {
                vertices.push_back(vertex[*at]);
            }
        }
    }
    TagList lightweight{Tag::text(0, "LWPOLYLINE")};
    append(lightweight, head);
    append(lightweight, {Tag::integer(90, static_cast<std::int64_t>(records.size() - 2)),
                         Tag::integer(70, flags)});
    if (startWidth || endWidth) {
        lightweight.push_back(Tag::real(43, groupReal(polyline, startWidth ? 40 : 41)));
    }
    if (double elevation = groupReal(polyline, 30); elevation != 0.0) {
        lightweight.push_back(Tag::real(38, elevation));
    }
    append(lightweight, vertices);
    append(lightweight, tail);
    append(lightweight, xdataOf(polyline));
    return lightweight;
}

}  // namespace cadhost::db
