// Detach, Unload, Reload and Bind of the selected xrefs.

#include "acedxref.h"
#include "dbapserv.h"
#include "dbsymtb.h"
#include "plugin/ops/dialog_operations.h"

namespace lnkhold {

namespace {

// The name of the xref block a drawing row stands for; `fallback` when it cannot be read.
// The row's own name is its file's name, which differs from the block's when the xref was
// renamed or two xrefs share a file name: handing that to the host would act on another
// xref, or on none.
std::string blockNameOf(const XrefRow& row, const std::string& fallback) {
    AcDbBlockTableRecord* record = nullptr;
    if (acdbOpenObject(record, row.blockId, AcDb::kForRead) != Acad::eOk) {
        return fallback;
    }
    const char* name = nullptr;
    std::string result = record->getName(name) == Acad::eOk && name ? name : fallback;
    record->close();
    return result;
}

// Which rows Detach hands to the host, by their status.
bool detachable(const XrefRow& row) {
    switch (row.statusCode) {
        case 1:
        case 2:
        case 4:
        case 5:
            return true;
        case 3:
            return row.statusText == "Unreferenced";
        default:
            return false;
    }
}

}  // namespace

std::vector<XrefRow*> DialogOperations::selectedDrawingRows() const {
    std::vector<XrefRow*> selected;
    for (const int position : view_.selectedPositions()) {
        XrefRow* row = rowAt(position);
        if (row && !row->blockId.isNull()) {
            selected.push_back(row);
        }
    }
    return selected;
}

void DialogOperations::detachSelected() {
    view_.setWindowEnabled(false);
    view_.showWaitCursor(true);
    bool detached = false;
    for (XrefRow* row : selectedDrawingRows()) {
        if (detachable(*row)) {
            acedXrefDetach(blockNameOf(*row, row->name).c_str(), true, nullptr);
            detached = true;
        }
    }
    view_.setWindowEnabled(true);
    rows_.removeNestedOrUnreferenced();
    view_.setItemCount(rows_.count());
    if (detached && rows_.count() != 0) {
        writeMarker(acdbHostApplicationServices()->workingDatabase());
        fullRefresh();
    }
    selectionChanged();
    view_.showWaitCursor(false);
}

void DialogOperations::unloadSelected() {
    view_.setWindowEnabled(false);
    bool unloaded = false;
    for (XrefRow* row : selectedDrawingRows()) {
        acedXrefUnload(blockNameOf(*row, row->nameWithoutDwg()).c_str(), true, nullptr);
        unloaded = true;
    }
    view_.setWindowEnabled(true);
    if (unloaded) {
        fullRefresh();
    }
}

void DialogOperations::reloadSelected() {
    view_.showWaitCursor(true);
    AcDbObjectIdArray ids;
    for (XrefRow* row : selectedDrawingRows()) {
        ids.append(row->blockId);
    }
    if (!ids.isEmpty()) {
        view_.setWindowEnabled(false);
        acedXrefReload(ids, true, nullptr);
        view_.setWindowEnabled(true);
    }
    view_.showWaitCursor(false);
}

void DialogOperations::bindSelected() {
    view_.setWindowEnabled(false);
    view_.showWaitCursor(true);
    bool bound = false;
    for (XrefRow* row : selectedDrawingRows()) {
        view_.showWaitCursor(true);
        if (acedXrefBind(blockNameOf(*row, row->nameWithoutDwg()).c_str(), true, true) ==
            Acad::eOk) {
            rows_.remove(row);
            bound = true;
        }
    }
    view_.setWindowEnabled(true);
    if (bound) {
        view_.setItemCount(rows_.count());
    }
    view_.showWaitCursor(false);
}

void DialogOperations::reloadAndRefresh() {
    reloadSelected();
    fullRefresh();
}

}  // namespace lnkhold
