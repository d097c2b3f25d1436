#include "cadhost/db/new_records.h"

#include <algorithm>

#include "cadhost/db/dxf_error.h"
#include "cadhost/db/polyline_records.h"
#include "cadhost/sdk/dbsymtb.h"

namespace cadhost::db {

bool handlesOn(DatabaseState& db) {
    auto handling = db.header("$HANDLING");
    return db.modern() || (handling && handling->asInteger().value_or(0) != 0) ||
           db.header("$HANDSEED").has_value();
}

namespace {

using dxf::kNoRecord;
using dxf::RecordId;

RecordId endOfTable(DatabaseState& db, const ObjectStub* table) {
    RecordId id = db.doc().next(table->record);
    while (db.doc().type(id) != "ENDTAB") {
        id = db.doc().next(id);
    }
    return id;
}

// A new object's tags in the file's form: its handle and owner after the type, and before
// R13 no subclass markers.
TagList finishTags(DatabaseState& db, TagList tags, std::uint64_t owner) {
    bool modern = db.modern();
    if (!modern) {
        std::erase_if(tags, [](const Tag& tag) { return tag.code == 100 || tag.code == 330; });
    }
    std::vector<Tag> head;
    if (handlesOn(db)) {
        head.push_back(Tag::handle(5, db.doc().allocateHandle()));
    }
    if (modern) {
        head.push_back(Tag::handle(330, owner));
    }
    tags.insert(tags.begin() + 1, head.begin(), head.end());
    return tags;
}

// The object is in the database now, open for write by its creator.
void adopt(AcDbObject& object, std::vector<ObjectStub*> stubs, DatabaseState& db) {
    AcDbObject::State& state = ObjectAccess::state(object);
    state.parts.resize(stubs.size());
    for (std::size_t i = 0; i < stubs.size(); ++i) {
        state.parts[i] = {stubs[i], db.doc().tags(stubs[i]->record)};
    }
    state.stub = stubs.front();
    state.pendingIn = nullptr;
    state.stub->object = &object;
    state.stub->writer = true;
}

Acad::ErrorStatus placeBlock(DatabaseState& db, ObjectStub* table, AcDbBlockTableRecord& block,
                             UndoLog* log) {
    auto blocks = db.doc().section("BLOCKS");
    if (!blocks) {
        return Acad::eInvalidInput;
    }
    AcDbObject::State& state = ObjectAccess::state(block);
    std::vector<ObjectStub*> stubs;
    std::uint64_t owner = 0;
    if (db.modern()) {
        ObjectStub* record = db.insertBefore(
            endOfTable(db, table), finishTags(db, state.parts[0].tags, table->handle), log);
        owner = record->handle;
        stubs.push_back(record);
    }
    ObjectStub* begin =
        db.insertBefore(blocks->end, finishTags(db, state.parts[1].tags, owner), log);
    stubs.push_back(begin);
    TagList endTags{Tag::text(0, "ENDBLK"), Tag::text(100, "AcDbEntity"), Tag::text(8, "0"),
                    Tag::text(100, "AcDbBlockEnd")};
    db.insertBefore(blocks->end, finishTags(db, std::move(endTags), owner), log);
    adopt(block, std::move(stubs), db);

    for (std::unique_ptr<AcDbEntity>& entity : ObjectAccess::pending(block)) {
        bool closed = ObjectAccess::state(*entity).pendingClosed;
        if (placeEntity(db, block.objectId().stub(), *entity) == Acad::eOk) {
            // The database owns it now; one its creator still holds stays open for write.
            AcDbEntity* placed = entity.release();
            if (closed) {
                placed->close();
            }
        }
    }
    ObjectAccess::pending(block).clear();
    return Acad::eOk;
}

}  // namespace

Acad::ErrorStatus placeTableEntry(DatabaseState& db, ObjectStub* table,
                                  AcDbSymbolTableRecord& record) {
    UndoLog* log = db.logFor(table);
    try {
        if (auto* block = AcDbBlockTableRecord::cast(&record)) {
            return placeBlock(db, table, *block, log);
        }
        TagList tags = finishTags(db, ObjectAccess::state(record).parts[0].tags, table->handle);
        adopt(record, {db.insertBefore(endOfTable(db, table), std::move(tags), log)}, db);
        return Acad::eOk;
    } catch (const dxf::DxfError&) {
        return Acad::eInvalidInput;
    }
}

std::optional<TagList> readPolyline(DatabaseState& db, ObjectStub* polyline) {
    std::vector<TagList> records{db.tagsOf(polyline)};
    for (ObjectStub* follower : db.followers(polyline)) {
        records.push_back(db.tagsOf(follower));
    }
    return fromPolylineRecords(records);
}

void writePolyline(DatabaseState& db, ObjectStub* polyline, const TagList& lightweight,
                   UndoLog* log) {
    std::vector<TagList> records = toPolylineRecords(lightweight);
    std::vector<ObjectStub*> old = db.followers(polyline);
    for (auto follower = old.rbegin(); follower != old.rend(); ++follower) {
        db.erase(*follower, log);
    }
    if (db.doc().tags(polyline->record) != records.front()) {
        db.replace(polyline, records.front(), log);
    }
    RecordId position = db.doc().next(polyline->record);
    for (std::size_t i = 1; i < records.size(); ++i) {
        db.insertBefore(position, finishTags(db, std::move(records[i]), 0), log);
    }
}

Acad::ErrorStatus placeEntity(DatabaseState& db, ObjectStub* block, AcDbEntity& entity) {
    AcDbObject::State& state = ObjectAccess::state(entity);
    if (!findGroup(state.parts[0].tags, 8)) {
        std::optional<Tag> current = db.header("$CLAYER");
        ObjectStub* layer = current ? db.findEntry(TableKind::Layer, current->value) : nullptr;
        setGroup(state.parts[0].tags, Tag::text(8, layer ? db.entryName(layer) : "0"), 2);
    }
    TagList tags = state.parts[0].tags;
    bool asPolyline = tags.front().value == "LWPOLYLINE" && !db.hasLwpolylines();
    if (asPolyline && db.modern()) {
        db.lastMessage = "lightweight polylines cannot be added to an R13 drawing";
        return Acad::eIncompatibleRelease;
    }
    RecordId position = kNoRecord;
    if (db.entitiesInEntitiesSection(block)) {
        auto entities = db.doc().section("ENTITIES");
        position = entities ? entities->end : kNoRecord;
        // Group 67 marks paper space in every release (after AcDbEntity where there are
        // subclass markers); readers of R12 have nothing else to go by, and later readers
        // commonly check it before the owner handle.
        if (sameName(db.entryName(block).substr(1), "Paper_Space")) {
            setGroup(tags, Tag::integer(67, 1), 2);
        }
    } else {
        position = db.blockEnd(block);
    }
    if (position == kNoRecord) {
        return Acad::eInvalidInput;
    }
    try {
        UndoLog* log = db.logFor(block);
        std::vector<TagList> records;
        if (asPolyline) {
            records = toPolylineRecords(tags);
        } else {
            records.push_back(std::move(tags));
        }
        ObjectStub* placed =
            db.insertBefore(position, finishTags(db, std::move(records[0]), block->handle), log);
        for (std::size_t i = 1; i < records.size(); ++i) {
            db.insertBefore(position, finishTags(db, std::move(records[i]), block->handle), log);
        }
        adopt(entity, {placed}, db);
        if (asPolyline) {
            state.polylineRecords = true;
            state.parts[0].tags = readPolyline(db, placed).value();
        }
    } catch (const dxf::DxfError&) {
        return Acad::eInvalidInput;
    }
    return Acad::eOk;
}

}  // namespace cadhost::db
