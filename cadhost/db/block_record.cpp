#include "cadhost/db/new_records.h"
#include "cadhost/db/xref_state.h"
#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/dbsymtb.h"

using cadhost::db::ObjectStub;
using cadhost::db::Tag;

ACRX_DEFINE_MEMBERS(AcDbBlockTableRecord, AcDbSymbolTableRecord)

namespace {

constexpr std::int64_t kExternalFlag = 4;
constexpr std::int64_t kOverlayFlag = 8;

}  // namespace

// Part 0 is the BLOCK_RECORD entry and part 1 the BLOCK entity; an R12 block is its BLOCK
// entity alone.
AcDbBlockTableRecord::AcDbBlockTableRecord() {
    setParts(
        {{Tag::text(0, "BLOCK_RECORD"), Tag::text(100, "AcDbSymbolTableRecord"),
          Tag::text(100, "AcDbBlockTableRecord"), Tag::text(2, "")},
         {Tag::text(0, "BLOCK"), Tag::text(100, "AcDbEntity"), Tag::text(8, "0"),
          Tag::text(100, "AcDbBlockBegin"), Tag::text(2, ""), Tag::integer(70, 0), Tag::real(10, 0),
          Tag::real(20, 0), Tag::real(30, 0), Tag::text(3, ""), Tag::text(1, "")}});
}

AcDbBlockTableRecord::~AcDbBlockTableRecord() = default;

const std::vector<Tag>& AcDbBlockTableRecord::blockTags() const {
    return tags(partCount() - 1);
}

std::int64_t AcDbBlockTableRecord::blockFlags() const {
    return cadhost::db::groupInteger(blockTags(), 70);
}

Acad::ErrorStatus AcDbBlockTableRecord::setName(const char* name) {
    Acad::ErrorStatus es = AcDbSymbolTableRecord::setName(name);
    if (es == Acad::eOk && partCount() == 2 && !blockTags().empty()) {
        cadhost::db::setGroup(tagsForWrite(1), Tag::text(2, name));
        if (cadhost::db::findGroup(blockTags(), 3)) {
            cadhost::db::setGroup(tagsForWrite(1), Tag::text(3, name));
        }
    }
    return es;
}

bool AcDbBlockTableRecord::isLayout() const {
    const char* name = nullptr;
    getName(name);
    std::string_view text(name);
    auto starts = [&text](std::string_view prefix) {
        return text.size() >= prefix.size() &&
               cadhost::db::sameName(text.substr(0, prefix.size()), prefix);
    };
    return starts("*Model_Space") || starts("*Paper_Space") || starts("$Model_Space") ||
           starts("$Paper_Space");
}

bool AcDbBlockTableRecord::isFromExternalReference() const {
    return (blockFlags() & kExternalFlag) != 0;
}

bool AcDbBlockTableRecord::isFromOverlayReference() const {
    return (blockFlags() & kOverlayFlag) != 0;
}

AcDb::XrefStatus AcDbBlockTableRecord::xrefStatus() const {
    if (!isFromExternalReference()) {
        return AcDb::kXrfNotAnXref;
    }
    const ObjectStub* stub = objectId().stub();
    return stub && stub->xrefStatus ? *stub->xrefStatus : AcDb::kXrfFileNotFound;
}

AcDbDatabase* AcDbBlockTableRecord::xrefDatabase(bool includeUnresolved) const {
    const ObjectStub* stub = objectId().stub();
    if (!stub || (!includeUnresolved && xrefStatus() != AcDb::kXrfResolved)) {
        return nullptr;
    }
    return stub->xrefDatabase;
}

Acad::ErrorStatus AcDbBlockTableRecord::pathName(const char*& path) const {
    auto at = cadhost::db::findGroup(blockTags(), 1);
    path = at ? blockTags()[*at].value.c_str() : "";
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::pathName(char*& path) const {
    const char* text = nullptr;
    pathName(text);
    return acutNewString(text, path);
}

Acad::ErrorStatus AcDbBlockTableRecord::setPathName(const char* path) {
    if (Acad::ErrorStatus es = checkWritable(); es != Acad::eOk) {
        return es;
    }
    if (!path || std::string_view(path).find_first_of("\r\n") != std::string_view::npos) {
        return Acad::eInvalidInput;
    }
    if (blockTags().empty()) {
        return Acad::eInvalidInput;  // a block record without its BLOCK entity
    }
    std::vector<Tag>& block = tagsForWrite(partCount() - 1);
    auto name = cadhost::db::findGroup(block, 3);
    cadhost::db::setGroup(block, Tag::text(1, path), name ? *name + 1 : std::string::npos);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbEntity* entity) {
    AcDbObjectId id;
    return appendAcDbEntity(id, entity);
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity) {
    id = AcDbObjectId::kNull;
    if (Acad::ErrorStatus es = checkWritable(); es != Acad::eOk) {
        return es;
    }
    if (!entity) {
        return Acad::eInvalidInput;
    }
    auto& state = cadhost::db::ObjectAccess::state(*entity);
    if (state.stub || state.pendingIn) {
        return Acad::eAlreadyInDb;
    }
    ObjectStub* stub = objectId().stub();
    if (!stub) {
        state.pendingIn = this;
        pending_.emplace_back(entity);
        return Acad::eOk;
    }
    Acad::ErrorStatus es = cadhost::db::placeEntity(*stub->state, stub, *entity);
    if (es == Acad::eOk) {
        id = entity->objectId();
    }
    return es;
}

Acad::ErrorStatus AcDbBlockTableRecord::newIterator(AcDbBlockTableRecordIterator*& iterator,
                                                    bool atBeginning, bool skipDeleted) const {
    std::vector<AcDbObjectId> ids;
    if (ObjectStub* stub = objectId().stub()) {
        for (ObjectStub* entity : stub->state->blockEntities(stub, true)) {
            ids.emplace_back(entity);
        }
    }
    iterator = new AcDbBlockTableRecordIterator(std::move(ids));
    iterator->start(atBeginning, skipDeleted);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecordIterator::getEntity(AcDbEntity*& entity, AcDb::OpenMode mode,
                                                          bool openErased) const {
    AcDbObjectId id;
    entity = nullptr;
    Acad::ErrorStatus es = getEntityId(id);
    return es == Acad::eOk ? acdbOpenObject(entity, id, mode, openErased) : es;
}

namespace cadhost::db {

void setXrefState(AcDbObjectId block, AcDb::XrefStatus status, AcDbDatabase* loaded) {
    if (ObjectStub* stub = block.stub()) {
        stub->xrefStatus = status;
        stub->xrefDatabase = loaded;
    }
}

Acad::ErrorStatus setXrefFlags(AcDbBlockTableRecord& block, bool external, bool overlay) {
    if (!block.isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    auto& parts = ObjectAccess::state(block).parts;
    TagList& tags = parts.back().tags;
    if (tags.empty()) {
        return Acad::eInvalidInput;
    }
    std::int64_t flags = groupInteger(tags, 70) & ~(kExternalFlag | kOverlayFlag);
    flags |= (external ? kExternalFlag : 0) | (external && overlay ? kOverlayFlag : 0);
    setGroup(tags, Tag::integer(70, flags));
    return Acad::eOk;
}

}  // namespace cadhost::db
