#include "cadhost/xref/drawing_scan.h"

#include <unordered_set>

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

// Calls visit(reference id, referenced block id) for every block reference of the drawing.
template <class Visit>
void forEachReference(AcDbDatabase& drawing, Visit visit) {
    for (AcDbObjectId blockId : blockIds(drawing)) {
        AcDbBlockTableRecord* block = nullptr;
        if (acdbOpenObject(block, blockId, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        AcDbBlockTableRecordIterator* it = nullptr;
        block->newIterator(it);
        block->close();
        for (; !it->done(); it->step()) {
            AcDbEntity* entity = nullptr;
            if (it->getEntity(entity, AcDb::kForRead) != Acad::eOk) {
                continue;
            }
            if (auto* reference = AcDbBlockReference::cast(entity)) {
                visit(reference->objectId(), reference->blockTableRecord());
            }
            entity->close();
        }
        delete it;
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

std::vector<XrefRecord> scanXrefs(AcDbDatabase& drawing) {
    std::vector<XrefRecord> records;
    for (AcDbObjectId id : blockIds(drawing)) {
        AcDbBlockTableRecord* block = nullptr;
        if (acdbOpenObject(block, id, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        if (block->isFromExternalReference()) {
            XrefRecord record;
            record.id = id;
            const char* text = nullptr;
            block->getName(text);
            record.name = text;
            block->pathName(text);
            record.path = text;
            record.overlay = block->isFromOverlayReference();
            record.unloaded = isMarkedUnloaded(*block);
            records.push_back(std::move(record));
        }
        block->close();
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
