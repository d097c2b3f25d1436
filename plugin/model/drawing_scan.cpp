#include "plugin/model/drawing_scan.h"

#include <memory>

#include "acedxref.h"
#include "dbapserv.h"
#include "dbsymtb.h"
#include "dbtrans.h"
#include "dbxrefgraph.h"
#include "plugin/host/current_document.h"
#include "plugin/model/path_resolution.h"

namespace lnkhold {

int scanDrawing(XrefRowList& rows) {
    AcDbDatabase* drawing = acdbHostApplicationServices()->workingDatabase();
    AcDbBlockTable* table = nullptr;
    if (!drawing || drawing->getBlockTable(table, AcDb::kForRead) != Acad::eOk) {
        return 0;
    }
    host::ScopedTransaction transaction;
    const ResolveCache sameFilesThroughout;
    AcDbBlockTableIterator* rawIterator = nullptr;
    table->newIterator(rawIterator);
    std::unique_ptr<AcDbBlockTableIterator> iterator(rawIterator);
    table->close();
    // One graph serves every row: the scan changes nothing that it shows.
    AcDbXrefGraph graph;
    const bool haveGraph = acedGetCurDwgXrefGraph(graph, false) == Acad::eOk;
    for (; !iterator->done(); iterator->step()) {
        AcDbObjectId id;
        AcDbBlockTableRecord* record = nullptr;
        if (iterator->getRecordId(id) != Acad::eOk ||
            acdbOpenObject(record, id, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        if (record->isFromExternalReference()) {
            auto row = std::make_unique<XrefRow>();
            row->buildFromRecord(record, haveGraph ? &graph : nullptr);
            rows.append(std::move(row));
        }
        record->close();
    }
    return rows.count();
}

}  // namespace lnkhold
