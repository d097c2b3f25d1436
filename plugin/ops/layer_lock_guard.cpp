#include "plugin/ops/layer_lock_guard.h"

#include <memory>

#include "dbapserv.h"
#include "dbsymtb.h"

namespace lnkhold {

LayerLockGuard::LayerLockGuard() {
    AcDbDatabase* drawing = acdbHostApplicationServices()->workingDatabase();
    AcDbLayerTable* table = nullptr;
    if (!drawing || drawing->getSymbolTable(table, AcDb::kForRead) != Acad::eOk) {
        return;
    }
    AcDbLayerTableIterator* rawIterator = nullptr;
    table->newIterator(rawIterator);
    std::unique_ptr<AcDbLayerTableIterator> iterator(rawIterator);
    for (; !iterator->done(); iterator->step()) {
        AcDbObjectId id;
        AcDbLayerTableRecord* layer = nullptr;
        if (iterator->getRecordId(id) != Acad::eOk ||
            acdbOpenObject(layer, id, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        entries_.push_back({id, layer->isLocked()});
        if (layer->upgradeOpen() == Acad::eOk) {
            layer->setIsLocked(false);
        }
        layer->close();
    }
    table->close();
}

LayerLockGuard::~LayerLockGuard() {
    for (const Entry& entry : entries_) {
        AcDbLayerTableRecord* layer = nullptr;
        if (acdbOpenObject(layer, entry.layer, AcDb::kForWrite) == Acad::eOk) {
            layer->setIsLocked(entry.wasLocked);
            layer->close();
        }
    }
}

}  // namespace lnkhold
