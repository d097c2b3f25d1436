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

// Keeps the current layer and space while it lives: steps into model space at once, and back,
// with the layer that was current, when it goes, whatever happened in between.
class LayerAndSpaceKept {
  public:
    LayerAndSpaceKept()
        : drawing_(workingDrawing()),
          layer_(drawing_ ? drawing_->clayer() : AcDbObjectId()),
          space_(DialogOperations::captureSpaceState()) {
        DialogOperations::enterModelSpace();
    }
    ~LayerAndSpaceKept() {
        DialogOperations::restoreSpace(space_);
        if (drawing_) {
            drawing_->setClayer(layer_);
        }
    }
    LayerAndSpaceKept(const LayerAndSpaceKept&) = delete;
    LayerAndSpaceKept& operator=(const LayerAndSpaceKept&) = delete;

  private:
    AcDbDatabase* drawing_;
    AcDbObjectId layer_;
    SpaceState space_;
};

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
    {
        const LayerAndSpaceKept kept;
        view_.showWaitCursor(true);
        view_.setWindowEnabled(false);
        for (const int position : view_.selectedPositions()) {
            XrefRow* row = rowAt(position);
            view_.showWaitCursor(true);
            if (row) {
                attachPending(overlay, *row);
            }
        }
        view_.setWindowEnabled(true);
    }
    selectionChanged();
    rescanAfterAttach();
    view_.showWaitCursor(false);
}

bool DialogOperations::attachRow(XrefRow* row) {
    const LayerAndSpaceKept kept;
    return row && attachPending(false, *row);
}

bool DialogOperations::attachPending(bool overlay, XrefRow& row) {
    if (!row.blockId.isNull()) {
        return false;  // already in the drawing, nested xrefs included
    }
    useInsertionLayer(row.nameWithoutDwg());
    return attachToDrawing(overlay, row);
}

}  // namespace lnkhold
