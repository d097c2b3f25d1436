#include <cstring>

#include "cadhost/db/dxf_error.h"
#include "cadhost/db/erase_rules.h"
#include "cadhost/db/object_access.h"
#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/dbapserv.h"
#include "cadhost/sdk/dbsymtb.h"

using cadhost::db::DatabaseState;
using cadhost::db::ObjectStub;
using cadhost::db::Tag;

const AcRxClass* AcRxObject::desc() {
    static const AcRxClass cls("AcRxObject", nullptr);
    return &cls;
}
ACRX_DEFINE_MEMBERS(AcDbObject, AcRxObject)
ACRX_DEFINE_MEMBERS(AcDbEntity, AcDbObject)

const AcDbObjectId AcDbObjectId::kNull;

bool AcDbObjectId::isErased() const {
    return stub_ && stub_->erased;
}

AcDbDatabase* AcDbObjectId::database() const {
    return stub_ ? &stub_->state->database : nullptr;
}

std::uint64_t AcDbObjectId::handle() const {
    return stub_ ? stub_->handle : 0;
}

AcDbObject::AcDbObject() : state_(std::make_unique<State>()) {}

AcDbObject::~AcDbObject() {
    // Deleted while still open (the caller's mistake): the id must not point at it any more.
    if (ObjectStub* stub = state_->stub; stub && stub->object == this) {
        stub->object = nullptr;
        stub->readers = 0;
        stub->writer = false;
        stub->holder = nullptr;
    }
}

AcDbObjectId AcDbObject::objectId() const {
    return AcDbObjectId(state_->stub);
}

AcDbObjectId AcDbObject::ownerId() const {
    DatabaseState* db = state_->stub ? state_->stub->state : nullptr;
    if (!db || state_->parts.empty()) {
        return AcDbObjectId::kNull;
    }
    auto owner = cadhost::db::findGroup(tags(), 330);
    std::uint64_t handle = owner ? tags()[*owner].asHandle().value_or(0) : 0;
    return AcDbObjectId(handle ? db->stubForHandle(handle) : db->ownerBlockOf(state_->stub));
}

AcDbDatabase* AcDbObject::database() const {
    return state_->stub ? &state_->stub->state->database : nullptr;
}

bool AcDbObject::isReadEnabled() const {
    const ObjectStub* stub = state_->stub;
    return !stub || (stub->object == this && (stub->readers > 0 || stub->writer));
}

bool AcDbObject::isWriteEnabled() const {
    const ObjectStub* stub = state_->stub;
    return !stub || (stub->object == this && stub->writer);
}

bool AcDbObject::isErased() const {
    return state_->eraseTo.value_or(state_->stub && state_->stub->erased);
}

std::string AcDbObject::dxfType() const {
    return state_->parts.empty() ? std::string() : state_->parts.front().tags.front().value;
}

Acad::ErrorStatus AcDbObject::checkWritable() const {
    return isWriteEnabled() ? Acad::eOk : Acad::eNotOpenForWrite;
}

Acad::ErrorStatus AcDbObject::close() {
    if (!state_->stub) {
        state_->pendingClosed = state_->pendingIn != nullptr;
        return state_->pendingIn ? Acad::eOk : Acad::eNotInDatabase;
    }
    return state_->stub->state->close(*this);
}

Acad::ErrorStatus AcDbObject::upgradeOpen() {
    ObjectStub* stub = state_->stub;
    if (!stub) {
        return Acad::eNotInDatabase;
    }
    if (stub->object != this || (stub->readers == 0 && !stub->writer)) {
        return Acad::eInvalidOpenState;
    }
    if (stub->writer) {
        return Acad::eWasOpenForWrite;
    }
    if (stub->readers > 1) {
        return Acad::eWasOpenForRead;  // other readers share the object
    }
    stub->readers = 0;
    stub->writer = true;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::downgradeOpen() {
    ObjectStub* stub = state_->stub;
    if (!stub) {
        return Acad::eNotInDatabase;
    }
    if (stub->object != this || !stub->writer) {
        return Acad::eNotOpenForWrite;
    }
    Acad::ErrorStatus es = Acad::eOk;
    try {
        stub->state->writeBack(*this, stub->state->logFor(stub));
    } catch (const cadhost::dxf::DxfError&) {
        es = Acad::eInvalidInput;
    }
    stub->writer = false;
    stub->readers = 1;
    return es;
}

Acad::ErrorStatus AcDbObject::erase(bool erasing) {
    if (!state_->stub) {
        return Acad::eNotInDatabase;
    }
    if (Acad::ErrorStatus es = checkWritable(); es != Acad::eOk) {
        return es;
    }
    if (erasing == isErased()) {
        return erasing ? Acad::eWasErased : Acad::eWasNotErased;
    }
    if (Acad::ErrorStatus es = cadhost::db::checkErase(*this, erasing); es != Acad::eOk) {
        return es;
    }
    state_->eraseTo = erasing;
    return Acad::eOk;
}

const std::vector<Tag>& AcDbObject::tags(std::size_t part) const {
    return state_->parts.at(part).tags;
}

std::vector<Tag>& AcDbObject::tagsForWrite(std::size_t part) {
    return state_->parts.at(part).tags;
}

void AcDbObject::setParts(std::vector<std::vector<Tag>> parts) {
    state_->parts.clear();
    for (auto& tags : parts) {
        state_->parts.push_back({nullptr, std::move(tags)});
    }
}

std::size_t AcDbObject::partCount() const {
    return state_->parts.size();
}

// --- entities

AcDbEntity::AcDbEntity() = default;

AcDbEntity::AcDbEntity(const char* dxfType, const char* subclass) {
    // No layer yet: the database's current one is given when the entity is appended.
    setParts({{Tag::text(0, dxfType), Tag::text(100, "AcDbEntity"), Tag::text(100, subclass)}});
}

char* AcDbEntity::layer() const {
    char* name = nullptr;
    acutNewString(cadhost::db::groupText(tags(), 8, "0").c_str(), name);
    return name;
}

Acad::ErrorStatus AcDbEntity::setLayer(const char* name) {
    if (Acad::ErrorStatus es = checkWritable(); es != Acad::eOk) {
        return es;
    }
    if (!name || !*name) {
        return Acad::eInvalidInput;
    }
    if (DatabaseState* db = objectId().isNull() ? nullptr : objectId().stub()->state;
        db && !db->findEntry(cadhost::db::TableKind::Layer, name)) {
        return Acad::eKeyNotFound;
    }
    cadhost::db::setGroup(tagsForWrite(), Tag::text(8, name), 2);  // after the subclass marker
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setDatabaseDefaults(AcDbDatabase* db) {
    db = db ? db : database() ? database() : acdbHostApplicationServices()->workingDatabase();
    if (!db) {
        return Acad::eNoDatabase;
    }
    char* name = nullptr;
    AcDbSymbolTableRecord* layer = nullptr;
    if (acdbOpenObject(layer, db->clayer(), AcDb::kForRead) == Acad::eOk) {
        layer->getName(name);
        layer->close();
    }
    Acad::ErrorStatus es = setLayer(name ? name : "0");
    acutDelString(name);
    return es;
}

// --- opening by id

Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& object, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased) {
    object = nullptr;
    DatabaseState* db = cadhost::db::stateOf(id);
    return db ? db->open(object, id.stub(), mode, openErased) : Acad::eNullObjectId;
}

Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& entity, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased) {
    return acdbOpenObject(entity, id, mode, openErased);
}
