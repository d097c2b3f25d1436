#include "cadhost/db/new_records.h"
#include "cadhost/db/object_access.h"
#include "cadhost/sdk/dbents.h"

namespace cadhost::db {
namespace {

std::unique_ptr<AcDbObject> newTable(const TagList& tags) {
    std::string name = groupText(tags, 2);
    if (name == "BLOCK_RECORD") {
        return std::make_unique<AcDbBlockTable>();
    }
    if (name == "LAYER") {
        return std::make_unique<AcDbLayerTable>();
    }
    if (name == "APPID") {
        return std::make_unique<AcDbRegAppTable>();
    }
    return std::make_unique<AcDbSymbolTable>();
}

std::unique_ptr<AcDbObject> newObject(DatabaseState& db, std::string_view type,
                                      std::string_view section, const TagList& tags) {
    if (type == "TABLE") {
        return newTable(tags);
    }
    if (section == "TABLES") {
        if (type == "BLOCK_RECORD") {
            return std::make_unique<AcDbBlockTableRecord>();
        }
        if (type == "LAYER") {
            return std::make_unique<AcDbLayerTableRecord>();
        }
        if (type == "APPID") {
            return std::make_unique<AcDbRegAppTableRecord>();
        }
        return std::make_unique<AcDbSymbolTableRecord>();
    }
    if (type == "BLOCK" && !db.modern()) {
        return std::make_unique<AcDbBlockTableRecord>();
    }
    if (type == "INSERT") {
        return std::make_unique<AcDbBlockReference>();
    }
    if (type == "LWPOLYLINE") {
        return std::make_unique<AcDbPolyline>();
    }
    if (section == "ENTITIES" || section == "BLOCKS") {
        return std::make_unique<AcDbEntity>();
    }
    return std::make_unique<AcDbObject>();
}

}  // namespace

std::unique_ptr<AcDbObject> materialize(DatabaseState& db, ObjectStub* stub) {
    std::unique_ptr<AcDbObject> object;
    AcDbObject::State* state = nullptr;
    if (stub->virtualBlockTable) {
        object = std::make_unique<AcDbBlockTable>();
        state = &ObjectAccess::state(*object);
    } else {
        TagList tags = stub->erased ? stub->erasedTags : db.doc().tags(stub->record);
        std::string type = tags.front().value;
        std::string section =
            stub->erased ? stub->erasedSection : std::string(db.doc().sectionName(stub->record));
        // A 2D POLYLINE of an R12 drawing is what a lightweight polyline is stored as there.
        std::optional<TagList> lightweight;
        if (type == "POLYLINE" && !db.modern()) {
            lightweight = readPolyline(db, stub);
        }
        object =
            lightweight ? std::make_unique<AcDbPolyline>() : newObject(db, type, section, tags);
        state = &ObjectAccess::state(*object);
        state->parts.clear();  // drop the parts the constructor gave a new object
        state->parts.push_back({stub, lightweight ? std::move(*lightweight) : std::move(tags)});
        state->polylineRecords = lightweight.has_value();
        if (AcDbBlockTableRecord::cast(object.get()) && db.modern()) {
            // An erased block's BLOCK went last with it.
            ObjectStub* beginStub = !stub->erased              ? db.stubFor(db.blockBegin(stub))
                                    : stub->erasedWith.empty() ? nullptr
                                                               : stub->erasedWith.back();
            state->parts.push_back({beginStub, beginStub ? db.tagsOf(beginStub) : TagList{}});
        }
    }
    state->stub = stub;
    return object;
}

}  // namespace cadhost::db
