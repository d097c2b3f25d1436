#include "cadhost/xref/drawing_scan.h"

#include <unordered_set>

#include "cadhost/db/database_state.h"
#include "cadhost/sdk/dbents.h"
#include "cadhost/xref/unload_mark.h"
#include "platform/host_path.h"

namespace cadhost::xref {

namespace {

std::vector<AcDbObjectId> blockIds(AcDbDatabase& drawing) {
    std::vector<AcDbObjectId> ids;
    AcDbBlockTable* table = nullptr;
    if (drawing.getBlockTable(table, AcDb::kForRead) != Acad::eOk) {
        return ids;
    }
    AcDbBlockTableIterator* it = nullptr;
    table->newIterator(it);
    for (; !it->done(); it->step()) {
        AcDbObjectId id;
        if (it->getRecordId(id) == Acad::eOk) {
            ids.push_back(id);
        }
    }
    delete it;
    table->close();
    return ids;
}

// Calls visit(reference id, referenced block id) for every block reference of the drawing: the
// INSERT records of its blocks and of the layouts' ENTITIES section, in drawing order. Only
// those records are read as objects; telling them apart costs nothing, as every record knows
// its type, so a scan of a large drawing does not decode its other entities.
template <class Visit>
void forEachReference(AcDbDatabase& drawing, Visit visit) {
    db::DatabaseState* state = db::stateOf(drawing.blockTableId());
    if (!state || !state->document) {
        return;
    }
    const dxf::Document& doc = state->doc();
    for (std::string_view section : {"BLOCKS", "ENTITIES"}) {
        const std::optional<dxf::Range> range = doc.section(section);
        if (!range) {
            continue;
        }
        for (dxf::RecordId id = doc.next(range->begin); id != range->end; id = doc.next(id)) {
            if (doc.type(id) != "INSERT") {
                continue;
            }
            AcDbBlockReference* reference = nullptr;
            if (acdbOpenObject(reference, AcDbObjectId(state->stubFor(id)), AcDb::kForRead) ==
                Acad::eOk) {
                visit(reference->objectId(), reference->blockTableRecord());
                reference->close();
            }
        }
    }
}

}  // namespace

std::vector<AcDbObjectId> insertedBlocks(AcDbDatabase& drawing) {
    std::unordered_set<AcDbObjectId> seen;
    std::vector<AcDbObjectId> blocks;
    forEachReference(drawing, [&](AcDbObjectId, AcDbObjectId block) {
        if (!block.isNull() && seen.insert(block).second) {
            blocks.push_back(block);
        }
    });
    return blocks;
}

std::vector<AcDbObjectId> referencesTo(AcDbDatabase& drawing, AcDbObjectId block) {
    std::vector<AcDbObjectId> references;
    forEachReference(drawing, [&](AcDbObjectId reference, AcDbObjectId referenced) {
        if (referenced == block) {
            references.push_back(reference);
        }
    });
    return references;
}

std::optional<XrefRecord> readXrefRecord(AcDbObjectId id) {
    AcDbBlockTableRecord* block = nullptr;
    if (acdbOpenObject(block, id, AcDb::kForRead) != Acad::eOk) {
        return std::nullopt;
    }
    std::optional<XrefRecord> record;
    if (block->isFromExternalReference()) {
        record.emplace();
        record->id = id;
        const char* text = nullptr;
        block->getName(text);
        record->name = text;
        block->pathName(text);
        record->path = text;
        record->overlay = block->isFromOverlayReference();
        record->unloaded = isMarkedUnloaded(*block);
        record->status = block->xrefStatus();
        record->loaded = block->xrefDatabase(false);
    }
    block->close();
    return record;
}

std::vector<XrefRecord> scanXrefs(AcDbDatabase& drawing) {
    std::vector<XrefRecord> records;
    for (AcDbObjectId id : blockIds(drawing)) {
        if (std::optional<XrefRecord> record = readXrefRecord(id)) {
            records.push_back(std::move(*record));
        }
    }
    if (records.empty()) {
        return records;
    }
    const std::vector<AcDbObjectId> blocks = insertedBlocks(drawing);
    const std::unordered_set<AcDbObjectId> inserted(blocks.begin(), blocks.end());
    for (XrefRecord& record : records) {
        record.inserted = inserted.contains(record.id);
    }
    return records;
}

std::string drawingHostPath(const AcDbDatabase& drawing) {
    const char* native = nullptr;
    drawing.getFilename(native);
    return native && *native ? platform::nativeToHost(native) : std::string();
}

}  // namespace cadhost::xref
