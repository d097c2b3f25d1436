#include "cadhost/db/erase_rules.h"

#include "cadhost/db/object_access.h"
#include "cadhost/sdk/dbsymtb.h"

namespace cadhost::db {
namespace {

using dxf::kNoRecord;
using dxf::RecordId;

// True when a record of the ENTITIES or BLOCKS section satisfies `matches(type, tags)`;
// `wanted(type)` picks the records whose tags are worth decoding.
template <class Wanted, class Matches>
bool anyEntity(DatabaseState& db, Wanted wanted, Matches matches) {
    for (const char* name : {"ENTITIES", "BLOCKS"}) {
        auto section = db.doc().section(name);
        if (!section) {
            continue;
        }
        for (RecordId id = db.doc().next(section->begin); id != section->end && id != kNoRecord;
             id = db.doc().next(id)) {
            std::string_view type = db.doc().type(id);
            if (wanted(type) && matches(type, db.doc().tags(id))) {
                return true;
            }
        }
    }
    return false;
}

bool blockInUse(DatabaseState& db, std::string_view name) {
    return anyEntity(
        db, [](std::string_view type) { return type == "INSERT" || type == "DIMENSION"; },
        [&](std::string_view, const TagList& tags) { return sameName(groupText(tags, 2), name); });
}

bool layerInUse(DatabaseState& db, std::string_view name) {
    return anyEntity(
        db, [](std::string_view type) { return type != "SECTION" && type != "ENDSEC"; },
        [&](std::string_view, const TagList& tags) { return sameName(groupText(tags, 8), name); });
}

bool isCurrentLayer(DatabaseState& db, std::string_view name) {
    auto current = db.header("$CLAYER");
    return current && sameName(current->value, name);
}

}  // namespace

Acad::ErrorStatus checkErase(const AcDbObject& object, bool erasing) {
    if (object.isKindOf(AcDbSymbolTable::desc())) {
        return Acad::eNotApplicable;
    }
    const auto* record = AcDbSymbolTableRecord::cast(&object);
    ObjectStub* stub = object.objectId().stub();
    if (!record || !stub) {
        return Acad::eOk;
    }
    DatabaseState& db = *stub->state;
    const char* name = nullptr;
    record->getName(name);
    const auto* block = AcDbBlockTableRecord::cast(record);
    const auto* layer = AcDbLayerTableRecord::cast(record);
    if (!erasing) {
        std::optional<TableKind> kind = block   ? std::optional(TableKind::Block)
                                        : layer ? std::optional(TableKind::Layer)
                                                : std::nullopt;
        ObjectStub* other = kind ? db.findEntry(*kind, name) : nullptr;
        return other && other != stub ? Acad::eDuplicateRecordName : Acad::eOk;
    }
    if (block) {
        if (block->isLayout()) {
            return Acad::eNotApplicable;
        }
        return blockInUse(db, name) ? Acad::eObjectIsReferenced : Acad::eOk;
    }
    if (layer) {
        if (sameName(name, "0") || isCurrentLayer(db, name)) {
            return Acad::eNotApplicable;
        }
        return layerInUse(db, name) ? Acad::eObjectIsReferenced : Acad::eOk;
    }
    return Acad::eOk;
}

}  // namespace cadhost::db
