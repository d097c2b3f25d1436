// Attach and Overlay of pending rows: each new xref goes into model space on the insertion
// layer; the current layer and space are put back afterwards, whatever happened.

#include "aced.h"
#include "acedxref.h"
#include "dbapserv.h"
#include "dbsymtb.h"
#include "plugin/host/host_variables.h"
#include "plugin/ops/dialog_operations.h"

namespace lnkhold {

namespace {

AcDbDatabase* workingDrawing() {
    return acdbHostApplicationServices()->workingDatabase();
}

bool attachToDrawing(bool overlay, XrefRow& row) {
    AcDbObjectId block;
    const std::string path = row.fullPath();
    const Acad::ErrorStatus es = overlay ? acedXrefOverlay(path.c_str(), row.name.c_str(), &block)
                                         : acedXrefAttach(path.c_str(), row.name.c_str(), &block);
    if (es != Acad::eOk) {
        return false;  // the row stays pending, as it was
    }
    row.refreshFromBlockId(block);
    return true;
}

}  // namespace

std::string DialogOperations::insertionLayerName(const std::string& xrefName) const {
    switch (view_.insertionLayer()) {
        case 1:
            return "0";
        case 2:
            return {};
        default:
            return "0_" + xrefName;
    }
}

AcDbObjectId DialogOperations::useInsertionLayer(const std::string& xrefName) {
    AcDbDatabase* drawing = workingDrawing();
    AcDbLayerTable* layers = nullptr;
    if (!drawing || drawing->getLayerTable(layers, AcDb::kForRead) != Acad::eOk) {
        return {};
    }
    const std::string name = insertionLayerName(xrefName);
    if (name.empty()) {
        layers->close();
        return {};
    }
    AcDbObjectId layer;
    if (layers->getAt(name.c_str(), layer) == Acad::eOk) {
        drawing->setClayer(layer);
    } else if (layers->upgradeOpen() == Acad::eOk) {
        auto* record = new AcDbLayerTableRecord;
        record->setName(name.c_str());
        if (layers->add(layer, record) == Acad::eOk) {
            record->close();
            drawing->setClayer(layer);
        } else {
            delete record;
            layer = AcDbObjectId();
        }
    }
    layers->close();
    return layer;
}

SpaceState DialogOperations::captureSpaceState() {
    const AcDbDatabase* drawing = workingDrawing();
    const SpaceState tilemode = drawing && drawing->tilemode() ? 1 : 0;
    const auto cvport = static_cast<std::uint16_t>(host::shortVariable("cvport").value_or(0));
    return (static_cast<SpaceState>(cvport) << 16) | tilemode;
}

void DialogOperations::enterModelSpace() {
    if (const std::optional<short> cvport = host::shortVariable("cvport"); cvport && *cvport != 1) {
        return;  // the Model tab, or already inside a layout's viewport
    }
    const AcDbDatabase* drawing = workingDrawing();
    if (drawing && !drawing->tilemode()) {
        acedCommand(RTSTR, "mspace", RTNONE);
    }
}

void DialogOperations::restoreSpace(SpaceState before) {
    if ((before >> 16) == 1 && (before & 0xFFFF) == 0) {
        acedCommand(RTSTR, "pspace", RTNONE);
    }
}

void DialogOperations::attachSelected() {
    attachOrOverlaySelected(false);
}

void DialogOperations::overlaySelected() {
    attachOrOverlaySelected(true);
}

void DialogOperations::attachOrOverlaySelected(bool overlay) {
    AcDbDatabase* drawing = workingDrawing();
    const AcDbObjectId layer = drawing ? drawing->clayer() : AcDbObjectId();
    const SpaceState space = captureSpaceState();
    enterModelSpace();
    view_.showWaitCursor(true);
    view_.setWindowEnabled(false);
    for (const int position : view_.selectedPositions()) {
        XrefRow* row = rowAt(position);
        view_.showWaitCursor(true);
        if (!row || !row->blockId.isNull()) {
            continue;  // already in the drawing, nested xrefs included
        }
        useInsertionLayer(row->nameWithoutDwg());
        attachToDrawing(overlay, *row);
    }
    view_.setWindowEnabled(true);
    restoreSpace(space);
    if (drawing) {
        drawing->setClayer(layer);
    }
    selectionChanged();
    rescanAfterAttach();
    view_.showWaitCursor(false);
}

bool DialogOperations::attachRow(XrefRow* row) {
    AcDbDatabase* drawing = workingDrawing();
    const AcDbObjectId layer = drawing ? drawing->clayer() : AcDbObjectId();
    const SpaceState space = captureSpaceState();
    enterModelSpace();
    bool attached = false;
    if (row && row->blockId.isNull()) {
        useInsertionLayer(row->nameWithoutDwg());
        attached = attachToDrawing(false, *row);
    }
    restoreSpace(space);
    if (drawing) {
        drawing->setClayer(layer);
    }
    return attached;
}

}  // namespace lnkhold
