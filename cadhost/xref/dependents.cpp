#include "cadhost/xref/dependents.h"

#include <algorithm>

#include "cadhost/db/database_state.h"
#include "cadhost/db/tag_list.h"
#include "cadhost/sdk/dbsymtb.h"

namespace cadhost::xref {

bool isDependentOn(std::string_view name, std::string_view xref) {
    return name.size() > xref.size() && name[xref.size()] == '|' &&
           db::sameName(name.substr(0, xref.size()), xref);
}

Acad::ErrorStatus eraseDependents(Change& change, AcDbObjectId tableId,
                                  const std::vector<std::string>& xrefs) {
    AcDbSymbolTable* table = nullptr;
    Acad::ErrorStatus es = change.open(table, tableId, AcDb::kForRead);
    AcDbSymbolTableIterator* it = nullptr;
    if (es == Acad::eOk) {
        table->newIterator(it);
    }
    auto dependent = [&xrefs](std::string_view name) {
        return std::any_of(xrefs.begin(), xrefs.end(),
                           [name](const std::string& xref) { return isDependentOn(name, xref); });
    };
    for (; es == Acad::eOk && !it->done(); it->step()) {
        AcDbObjectId id;
        it->getRecordId(id);
        // A record no one holds open has the name it is stored with: only the records to
        // erase are opened. Those open already are opened as before, with the same refusals.
        const db::ObjectStub* stub = id.stub();
        if (stub && !stub->object && stub->record != dxf::kNoRecord &&
            !dependent(stub->state->entryName(stub))) {
            continue;
        }
        AcDbSymbolTableRecord* record = nullptr;
        if ((es = change.open(record, id, AcDb::kForRead)) != Acad::eOk) {
            break;
        }
        const char* name = nullptr;
        record->getName(name);
        if (dependent(name)) {
            es = record->upgradeOpen();
            if (es == Acad::eOk) {
                es = record->erase();
            }
        }
    }
    delete it;
    return es;
}

}  // namespace cadhost::xref
