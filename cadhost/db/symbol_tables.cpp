#include <string_view>

#include "cadhost/db/new_records.h"
#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/dbapserv.h"
#include "cadhost/sdk/dbsymtb.h"

using cadhost::db::DatabaseState;
using cadhost::db::ObjectStub;
using cadhost::db::TableKind;
using cadhost::db::Tag;

ACRX_DEFINE_MEMBERS(AcDbSymbolTableRecord, AcDbObject)
ACRX_DEFINE_MEMBERS(AcDbSymbolTable, AcDbObject)
ACRX_DEFINE_MEMBERS(AcDbBlockTable, AcDbSymbolTable)
ACRX_DEFINE_MEMBERS(AcDbLayerTable, AcDbSymbolTable)
ACRX_DEFINE_MEMBERS(AcDbRegAppTable, AcDbSymbolTable)
ACRX_DEFINE_MEMBERS(AcDbLayerTableRecord, AcDbSymbolTableRecord)
ACRX_DEFINE_MEMBERS(AcDbRegAppTableRecord, AcDbSymbolTableRecord)

namespace {

// Symbol names: not empty, at most 255 bytes, none of the characters the host reserves.
bool isValidSymbolName(const char* name) {
    if (!name || !*name) {
        return false;
    }
    std::string_view text(name);
    return text.size() <= 255 && text.find_first_of("<>/\\\":;?*|,=`\r\n") == std::string::npos &&
           text.front() != ' ' && text.back() != ' ';
}

std::optional<TableKind> tableKindOfEntry(std::string_view type) {
    if (type == "LAYER") {
        return TableKind::Layer;
    }
    if (type == "APPID") {
        return TableKind::RegApp;
    }
    if (type == "BLOCK_RECORD" || type == "BLOCK") {
        return TableKind::Block;
    }
    return std::nullopt;
}

}  // namespace

// --- records

AcDbSymbolTableRecord::AcDbSymbolTableRecord(const char* dxfType, const char* subclass) {
    setParts({{Tag::text(0, dxfType), Tag::text(100, "AcDbSymbolTableRecord"),
               Tag::text(100, subclass), Tag::text(2, ""), Tag::integer(70, 0)}});
}

Acad::ErrorStatus AcDbSymbolTableRecord::getName(const char*& name) const {
    auto at = cadhost::db::findGroup(tags(), 2);
    name = at ? tags()[*at].value.c_str() : "";
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableRecord::getName(char*& name) const {
    const char* text = nullptr;
    getName(text);
    return acutNewString(text, name);
}

bool AcDbSymbolTableRecord::isDependent() const {
    return cadhost::db::groupText(tags(), 2).find('|') != std::string::npos;
}

Acad::ErrorStatus AcDbSymbolTableRecord::setName(const char* name) {
    if (Acad::ErrorStatus es = checkWritable(); es != Acad::eOk) {
        return es;
    }
    if (!isValidSymbolName(name)) {
        return Acad::eInvalidInput;
    }
    if (ObjectStub* stub = objectId().stub()) {
        auto kind = tableKindOfEntry(tags().front().value);
        ObjectStub* other = kind ? stub->state->findEntry(*kind, name) : nullptr;
        if (other && other != stub) {
            return Acad::eDuplicateRecordName;
        }
    }
    cadhost::db::setGroup(tagsForWrite(), Tag::text(2, name), 1);
    return Acad::eOk;
}

AcDbLayerTableRecord::AcDbLayerTableRecord()
    : AcDbSymbolTableRecord("LAYER", "AcDbLayerTableRecord") {
    tagsForWrite().push_back(Tag::integer(62, 7));
    tagsForWrite().push_back(Tag::text(6, "Continuous"));
}

bool AcDbLayerTableRecord::isLocked() const {
    return (cadhost::db::groupInteger(tags(), 70) & 4) != 0;
}

Acad::ErrorStatus AcDbLayerTableRecord::setIsLocked(bool locked) {
    if (Acad::ErrorStatus es = checkWritable(); es != Acad::eOk) {
        return es;
    }
    cadhost::db::setGroupBit(tagsForWrite(), 70, 4, locked);
    return Acad::eOk;
}

AcDbRegAppTableRecord::AcDbRegAppTableRecord()
    : AcDbSymbolTableRecord("APPID", "AcDbRegAppTableRecord") {}

// --- iteration

namespace cadhost::db {

IdSequence::IdSequence(std::vector<AcDbObjectId> ids) : ids_(std::move(ids)) {}

void IdSequence::start(bool atBeginning, bool skipDeleted) {
    position_ = atBeginning ? 0 : static_cast<std::ptrdiff_t>(ids_.size()) - 1;
    passErased(atBeginning, skipDeleted);
}

bool IdSequence::done() const {
    return position_ < 0 || position_ >= static_cast<std::ptrdiff_t>(ids_.size());
}

void IdSequence::step(bool forward, bool skipDeleted) {
    position_ += forward ? 1 : -1;
    passErased(forward, skipDeleted);
}

void IdSequence::passErased(bool forward, bool skipDeleted) {
    while (skipDeleted && !done() && ids_[static_cast<std::size_t>(position_)].isErased()) {
        position_ += forward ? 1 : -1;
    }
}

Acad::ErrorStatus IdSequence::current(AcDbObjectId& id) const {
    if (done()) {
        return Acad::eInvalidOpenState;
    }
    id = ids_[static_cast<std::size_t>(position_)];
    return Acad::eOk;
}

}  // namespace cadhost::db

Acad::ErrorStatus AcDbSymbolTableIterator::getRecord(AcDbSymbolTableRecord*& record,
                                                     AcDb::OpenMode mode, bool openErased) const {
    AcDbObjectId id;
    record = nullptr;
    Acad::ErrorStatus es = getRecordId(id);
    return es == Acad::eOk ? acdbOpenObject(record, id, mode, openErased) : es;
}

// --- tables

std::vector<AcDbObjectId> AcDbSymbolTable::recordIds(bool withErased) const {
    std::vector<AcDbObjectId> ids;
    if (ObjectStub* stub = objectId().stub()) {
        for (ObjectStub* entry : stub->state->entriesOf(stub, withErased)) {
            ids.emplace_back(entry);
        }
    }
    return ids;
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const char* name, AcDbObjectId& id,
                                         bool getErasedRecord) const {
    id = AcDbObjectId::kNull;
    if (!name) {
        return Acad::eInvalidInput;
    }
    ObjectStub* table = objectId().stub();
    if (!table) {
        return Acad::eKeyNotFound;
    }
    DatabaseState& db = *table->state;
    ObjectStub* entry = db.findInTable(table, name);
    if (!entry && getErasedRecord) {
        // Erased entries are not indexed: the last of the name in the table's listing.
        for (ObjectStub* erased : db.entriesOf(table, true)) {
            if (erased->erased && cadhost::db::sameName(db.entryName(erased), name)) {
                entry = erased;
            }
        }
    }
    if (!entry) {
        return Acad::eKeyNotFound;
    }
    id = AcDbObjectId(entry);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const char* name, AcDbSymbolTableRecord*& record,
                                         AcDb::OpenMode mode, bool openErased) const {
    AcDbObjectId id;
    record = nullptr;
    Acad::ErrorStatus es = getAt(name, id, openErased);
    return es == Acad::eOk ? acdbOpenObject(record, id, mode, openErased) : es;
}

bool AcDbSymbolTable::has(const char* name) const {
    AcDbObjectId id;
    return getAt(name, id) == Acad::eOk;
}

bool AcDbSymbolTable::has(AcDbObjectId id) const {
    ObjectStub* table = objectId().stub();
    return table && table->state->isInTable(table, id.stub());
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbSymbolTableRecord* record) {
    AcDbObjectId id;
    return add(id, record);
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbObjectId& id, AcDbSymbolTableRecord* record) {
    id = AcDbObjectId::kNull;
    ObjectStub* table = objectId().stub();
    if (!table) {
        return Acad::eNotInDatabase;
    }
    if (!isWriteEnabled()) {
        return Acad::eNotOpenForWrite;
    }
    if (!record) {
        return Acad::eInvalidInput;
    }
    if (!record->objectId().isNull()) {
        return Acad::eAlreadyInDb;
    }
    const char* name = nullptr;
    record->getName(name);
    if (!isValidSymbolName(name)) {
        return Acad::eInvalidInput;
    }
    DatabaseState& db = *table->state;
    auto kind = tableKindOfEntry(
        cadhost::db::ObjectAccess::state(*record).parts.front().tags.front().value);
    if (!kind || db.tableStub(*kind) != table) {
        return Acad::eNotThatKindOfClass;  // a layer for the block table, ...
    }
    if (has(name)) {
        return Acad::eDuplicateRecordName;
    }
    Acad::ErrorStatus es = cadhost::db::placeTableEntry(db, table, *record);
    if (es == Acad::eOk) {
        id = record->objectId();
    }
    return es;
}

Acad::ErrorStatus AcDbSymbolTable::newIterator(AcDbSymbolTableIterator*& iterator, bool atBeginning,
                                               bool skipDeleted) const {
    iterator = new AcDbSymbolTableIterator(recordIds(true));
    iterator->start(atBeginning, skipDeleted);
    return Acad::eOk;
}

// --- registered applications

bool acdbRegApp(const char* application, AcDbDatabase* database) {
    if (!database || !isValidSymbolName(application)) {
        return false;
    }
    AcDbRegAppTable* table = nullptr;
    if (database->getRegAppTable(table, AcDb::kForWrite) != Acad::eOk) {
        return false;
    }
    bool registered = table->has(application);
    if (!registered) {
        auto* record = new AcDbRegAppTableRecord;
        record->setName(application);
        registered = table->add(record) == Acad::eOk;
        if (registered) {
            record->close();
        } else {
            delete record;
        }
    }
    table->close();
    return registered;
}

bool acdbRegApp(const char* application) {
    return acdbRegApp(application, acdbHostApplicationServices()->workingDatabase());
}
