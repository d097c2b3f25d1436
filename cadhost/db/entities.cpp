#include <algorithm>

#include "cadhost/db/object_access.h"
#include "cadhost/sdk/dbents.h"

using cadhost::db::groupReal;
using cadhost::db::setGroup;
using cadhost::db::Tag;
using cadhost::db::TagList;

ACRX_DEFINE_MEMBERS(AcDbBlockReference, AcDbEntity)
ACRX_DEFINE_MEMBERS(AcDbPolyline, AcDbEntity)

const AcGePoint2d AcGePoint2d::kOrigin;
const AcGePoint3d AcGePoint3d::kOrigin;

// --- block references

AcDbBlockReference::AcDbBlockReference() : AcDbEntity("INSERT", "AcDbBlockReference") {
    for (Tag tag : {Tag::text(2, ""), Tag::real(10, 0), Tag::real(20, 0), Tag::real(30, 0)}) {
        tagsForWrite().push_back(tag);
    }
}

AcDbBlockReference::AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId block)
    : AcDbBlockReference() {
    setPosition(position);
    setBlockTableRecord(block);
}

AcDbObjectId AcDbBlockReference::blockTableRecord() const {
    cadhost::db::ObjectStub* stub = objectId().stub();
    if (!stub) {
        return AcDbObjectId::kNull;
    }
    return AcDbObjectId(
        stub->state->findEntry(cadhost::db::TableKind::Block, cadhost::db::groupText(tags(), 2)));
}

Acad::ErrorStatus AcDbBlockReference::setBlockTableRecord(AcDbObjectId block) {
    if (Acad::ErrorStatus es = checkWritable(); es != Acad::eOk) {
        return es;
    }
    cadhost::db::ObjectStub* stub = block.stub();
    if (!stub || stub->erased) {
        return Acad::eInvalidInput;
    }
    if (database() && database() != block.database()) {
        return Acad::eWrongDatabase;
    }
    setGroup(tagsForWrite(), Tag::text(2, stub->state->entryName(stub)));
    return Acad::eOk;
}

AcGePoint3d AcDbBlockReference::position() const {
    return {groupReal(tags(), 10), groupReal(tags(), 20), groupReal(tags(), 30)};
}

Acad::ErrorStatus AcDbBlockReference::setPosition(const AcGePoint3d& position) {
    if (Acad::ErrorStatus es = checkWritable(); es != Acad::eOk) {
        return es;
    }
    setGroup(tagsForWrite(), Tag::real(10, position.x));
    setGroup(tagsForWrite(), Tag::real(20, position.y));
    setGroup(tagsForWrite(), Tag::real(30, position.z));
    return Acad::eOk;
}

// --- lightweight polylines
//
// A vertex is a 10 group and the groups that follow it: 20 (y), 91 (id), 40 and 41 (widths),
// 42 (bulge).

namespace {

bool isVertexGroup(int code) {
    return code == 20 || code == 40 || code == 41 || code == 42 || code == 91;
}

// Index of the 10 group of every vertex.
std::vector<std::size_t> vertexStarts(const TagList& tags) {
    std::vector<std::size_t> starts;
    std::size_t end = cadhost::db::xdataBegin(tags);
    for (std::size_t i = 0; i < end; ++i) {
        if (tags[i].code == 10) {
            starts.push_back(i);
        }
    }
    return starts;
}

std::size_t vertexEnd(const TagList& tags, std::size_t start) {
    std::size_t i = start + 1;
    while (i < tags.size() && isVertexGroup(tags[i].code)) {
        ++i;
    }
    return i;
}

double vertexValue(const TagList& tags, std::size_t start, int code, double fallback) {
    for (std::size_t i = start + 1; i < vertexEnd(tags, start); ++i) {
        if (tags[i].code == code) {
            return tags[i].asDouble().value_or(fallback);
        }
    }
    return fallback;
}

}  // namespace

AcDbPolyline::AcDbPolyline() : AcDbEntity("LWPOLYLINE", "AcDbPolyline") {
    for (Tag tag : {Tag::integer(90, 0), Tag::integer(70, 0), Tag::real(43, 0)}) {
        tagsForWrite().push_back(tag);
    }
}

unsigned int AcDbPolyline::numVerts() const {
    return static_cast<unsigned int>(vertexStarts(tags()).size());
}

bool AcDbPolyline::isClosed() const {
    return (cadhost::db::groupInteger(tags(), 70) & 1) != 0;
}

Acad::ErrorStatus AcDbPolyline::setClosed(bool closed) {
    if (Acad::ErrorStatus es = checkWritable(); es != Acad::eOk) {
        return es;
    }
    cadhost::db::setGroupBit(tagsForWrite(), 70, 1, closed);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::addVertexAt(unsigned int index, const AcGePoint2d& point,
                                            double bulge, double startWidth, double endWidth) {
    if (Acad::ErrorStatus es = checkWritable(); es != Acad::eOk) {
        return es;
    }
    TagList& all = tagsForWrite();
    std::vector<std::size_t> starts = vertexStarts(all);
    if (index > starts.size()) {
        return Acad::eInvalidInput;
    }
    std::size_t position;
    if (index < starts.size()) {
        position = starts[index];
    } else if (!starts.empty()) {
        position = vertexEnd(all, starts.back());
    } else {
        // After the polyline's own groups, before its extrusion and extended data.
        auto extrusion = cadhost::db::findGroup(all, 210);
        position = extrusion ? *extrusion : cadhost::db::xdataBegin(all);
    }
    TagList vertex{Tag::real(10, point.x), Tag::real(20, point.y)};
    if (startWidth >= 0 || endWidth >= 0) {
        vertex.push_back(Tag::real(40, std::max(startWidth, 0.0)));
        vertex.push_back(Tag::real(41, std::max(endWidth, 0.0)));
    }
    if (bulge != 0.0) {
        vertex.push_back(Tag::real(42, bulge));
    }
    all.insert(all.begin() + static_cast<std::ptrdiff_t>(position), vertex.begin(), vertex.end());
    setGroup(all, Tag::integer(90, static_cast<std::int64_t>(starts.size() + 1)),
             *cadhost::db::findGroup(all, 10));
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint2d& point) const {
    std::vector<std::size_t> starts = vertexStarts(tags());
    if (index >= starts.size()) {
        return Acad::eInvalidInput;
    }
    point = {tags()[starts[index]].asDouble().value_or(0.0),
             vertexValue(tags(), starts[index], 20, 0.0)};
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getBulgeAt(unsigned int index, double& bulge) const {
    std::vector<std::size_t> starts = vertexStarts(tags());
    if (index >= starts.size()) {
        return Acad::eInvalidInput;
    }
    bulge = vertexValue(tags(), starts[index], 42, 0.0);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getWidthsAt(unsigned int index, double& startWidth,
                                            double& endWidth) const {
    std::vector<std::size_t> starts = vertexStarts(tags());
    if (index >= starts.size()) {
        return Acad::eInvalidInput;
    }
    double constant = groupReal(tags(), 43, 0.0);
    startWidth = vertexValue(tags(), starts[index], 40, constant);
    endWidth = vertexValue(tags(), starts[index], 41, constant);
    return Acad::eOk;
}
