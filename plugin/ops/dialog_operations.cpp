#include "plugin/ops/dialog_operations.h"

#include "aced.h"
#include "acedxref.h"
#include "dbapserv.h"
#include "dbsymtb.h"
#include "dbxrefgraph.h"
#include "plugin/host/host_variables.h"
#include "plugin/model/drawing_scan.h"
#include "plugin/model/path_parts.h"
#include "plugin/model/path_resolution.h"
#include "plugin/model/settings.h"
#include "plugin/ops/button_states.h"
#include "plugin/ops/control_ids.h"
#include "plugin/ops/layer_lock_guard.h"
#include "plugin/ops/marker_block.h"
#include "plugin/setfile/set_file.h"

namespace lnkhold {

namespace {

constexpr std::array<const char*, kColumnCount> kColumnSettings = {"Header1", "Header2", "Header3",
                                                                   "Header4", "Header5", "Header6"};

// The block of the xref that inserts a nested one; null when the graph shows none.
AcDbObjectId containingXref(AcDbObjectId nested) {
    AcDbXrefGraph graph;
    if (acedGetCurDwgXrefGraph(graph, false) != Acad::eOk) {
        return {};
    }
    const AcDbXrefGraphNode* node = graph.xrefNode(nested);
    const auto* owner =
        node && node->numIn() > 0 ? dynamic_cast<const AcDbXrefGraphNode*>(node->in(0)) : nullptr;
    return owner ? owner->btrId() : AcDbObjectId();
}

}  // namespace

void DialogOperations::start() {
    loadProjectSearchPath();
    view_.setChecked(DialogOption::XsRetain, true);
    view_.setChecked(DialogOption::AcadPath, true);
    const AcDbDatabase* drawing = acdbHostApplicationServices()->workingDatabase();
    view_.setChecked(DialogOption::Visretain, drawing && drawing->visretain());
    view_.setChecked(DialogOption::AutomaticallyAttach, readSetting("AutoAttach", 1) != 0);
    view_.setStatusText("");
    fullRefresh();
    view_.setInsertionLayer(readSetting("InsertionLayer", 0));
    sdiMode_ = host::shortVariable("sdi").value_or(0);
    updateButtons();
}

std::array<int, kColumnCount> DialogOperations::storedColumnWidths() {
    std::array<int, kColumnCount> widths{};
    for (std::size_t column = 0; column < widths.size(); ++column) {
        widths[column] = readSetting(kColumnSettings[column], 100);
    }
    return widths;
}

int DialogOperations::accept(const std::array<int, kColumnCount>& columnWidths) {
    const LayerLockGuard unlocked;
    AcDbDatabase* drawing = acdbHostApplicationServices()->workingDatabase();
    const bool visretain = view_.isChecked(DialogOption::Visretain);
    if (drawing && drawing->visretain() != visretain) {
        drawing->setVisretain(visretain);
    }
    const int written = writeMarker(drawing);
    for (int column = 0; column < kColumnCount; ++column) {
        writeSetting(kColumnSettings[static_cast<std::size_t>(column)],
                     columnWidths[static_cast<std::size_t>(column)]);
    }
    writeSetting("AutoAttach", view_.isChecked(DialogOption::AutomaticallyAttach) ? 1 : 0);
    writeSetting("InsertionLayer", view_.insertionLayer());
    return written;
}

int DialogOperations::scanDrawing() {
    return lnkhold::scanDrawing(rows_);
}

void DialogOperations::showRows() {
    view_.setItemCount(rows_.count());
    rows_.sortByName(true);
}

void DialogOperations::rescanAfterAttach() {
    rows_.removeDrawingRows();
    scanDrawing();
    showRows();
}

void DialogOperations::fullRefresh() {
    // Rows that are not in the drawing stay: those added in this session (with Add or from a
    // set file) are not in the marker until OK, and would be lost otherwise. One that the
    // drawing now has an xref of the same name for gives way to the drawing's row.
    rows_.removeDrawingRows();
    scanDrawing();
    rows_.removePendingNamedLikeDrawingRows();
    readMarker();
    showRows();
}

int DialogOperations::writeMarker(AcDbDatabase* database) {
    return lnkhold::writeMarker(
        database, rows_.collectFullPaths(),
        {view_.isChecked(DialogOption::AcadPath), view_.isChecked(DialogOption::XsRetain)});
}

int DialogOperations::readMarker() {
    lnkhold::readMarker(acdbHostApplicationServices()->workingDatabase(),
                        [this](const resbuf* chain) { applyMarkerXdata(chain); });
    return rows_.count();
}

int DialogOperations::applyMarkerXdata(const resbuf* chain) {
    int integers = 0;
    for (const resbuf* buffer = chain; buffer; buffer = buffer->rbnext) {
        if (buffer->restype == 1000 && buffer->resval.rstring) {
            const std::string path = buffer->resval.rstring;
            if (!rows_.findByName(splitPathParts(path).fileName)) {
                auto row = std::make_unique<XrefRow>();
                row->buildFromFile(path);
                rows_.append(std::move(row));
            }
        } else if (buffer->restype == 1070 && ++integers <= 2) {
            view_.setChecked(integers == 1 ? DialogOption::AcadPath : DialogOption::XsRetain,
                             buffer->resval.rint != 0);
        }
    }
    return 0;
}

std::optional<std::string> DialogOperations::selectionText() const {
    const std::vector<int> selected = view_.selectedPositions();
    if (selected.size() > 1) {
        return "...";
    }
    const XrefRow* row = selected.empty() ? nullptr : rowAt(selected.front());
    if (!row) {
        return "";
    }
    if (row->statusText == "Nested") {
        if (const AcDbObjectId owner = containingXref(row->blockId); !owner.isNull()) {
            const XrefRow* ownerRow = rows_.findByBlockId(owner);
            if (!ownerRow) {
                return std::nullopt;
            }
            return row->name + " owned by - " + ownerRow->fullPath();
        }
    }
    if (row->timestampDiffers == 1) {
        return row->foundPath.empty()
                   ? "Warning: attached xref with invalid xref-path"
                   : "Warning: xref timestamp appears different than file timestamp";
    }
    return row->foundPath;
}

void DialogOperations::selectionChanged() {
    if (const std::optional<std::string> text = selectionText()) {
        view_.setStatusText(*text);
    }
    updateButtons();
}

void DialogOperations::updateButtons() {
    for (const ButtonState& state : buttonStates(rows_, view_.selectedPositions(), sdiMode_)) {
        view_.setControlEnabled(state.controlId, state.enabled);
    }
}

platform::FileDialogRequest DialogOperations::addFileRequest() {
    platform::FileDialogRequest request;
    // Our drawings are DXF files (a stored .dwg name is found as the .dxf beside it), so both
    // kinds are offered, together first.
    request.filter =
        "Drawings (*.dwg, *.dxf)|*.dwg;*.dxf|Autocad DWG Files (*.dwg)|*.dwg|"
        "DXF Files (*.dxf)|*.dxf||";
    request.defaultExtension = "dwg";
    request.flags = platform::OFN_ALLOWMULTISELECT | platform::OFN_FILEMUSTEXIST |
                    platform::OFN_PATHMUSTEXIST | platform::OFN_ENABLESIZING |
                    platform::OFN_EXPLORER | platform::OFN_HIDEREADONLY;
    return request;
}

void DialogOperations::add() {
    view_.showWaitCursor(true);
    view_.setWindowEnabled(false);
    addFiles(view_.chooseFiles(addFileRequest()));
    selectionChanged();
    view_.redrawList();
    view_.setWindowEnabled(true);
    updateButtons();
    view_.showWaitCursor(false);
}

int DialogOperations::addFiles(const std::vector<std::string>& hostPaths) {
    if (hostPaths.empty()) {
        return 0;
    }
    AcDbDatabase* drawing = acdbHostApplicationServices()->workingDatabase();
    const auto inDrawing = [drawing](const std::string& name) {
        AcDbBlockTable* blocks = nullptr;
        if (!drawing || drawing->getBlockTable(blocks, AcDb::kForRead) != Acad::eOk) {
            return false;
        }
        const bool has = blocks->has(name.c_str());
        blocks->close();
        return has;
    };
    int added = 0;
    for (const std::string& path : hostPaths) {
        view_.showWaitCursor(true);
        auto row = std::make_unique<XrefRow>();
        row->buildFromFile(path);
        const std::string name = row->nameWithoutDwg();
        if (rows_.findByName(name) || inDrawing(name)) {
            continue;
        }
        XrefRow& kept = *row;
        rows_.append(std::move(row));
        kept.addedFromFile = 1;
        const std::string fullPath = kept.fullPath();
        kept.repathRow(view_.isChecked(DialogOption::AcadPath) ? "" : fullPath, fullPath);
        if (view_.isChecked(DialogOption::AutomaticallyAttach)) {
            attachRow(&kept);
        }
        ++added;
    }
    rows_.sortByName(true);
    view_.setItemCount(rows_.count());
    return added;
}

void DialogOperations::removeSelected() {
    view_.showWaitCursor(true);
    std::vector<int> doomed;
    for (const int position : view_.selectedPositions()) {
        const XrefRow* row = rowAt(position);
        if (row && row->blockId.isNull()) {
            doomed.push_back(position);
        }
    }
    for (auto position = doomed.rbegin(); position != doomed.rend(); ++position) {
        rows_.removeAt(*position);
    }
    view_.setItemCount(rows_.count());
    clearSelection();
    view_.setControlEnabled(IDC_SELECT_ALL, rows_.count() > 0);
    view_.setControlEnabled(IDC_CLEAR_ALL, rows_.count() > 0);
    view_.showWaitCursor(false);
}

void DialogOperations::selectAll() {
    for (int position = 0; position < rows_.count(); ++position) {
        view_.setItemSelected(position, true);
    }
}

void DialogOperations::clearSelection() {
    for (const int position : view_.selectedPositions()) {
        view_.setItemSelected(position, false);
    }
}

void DialogOperations::applyVisretain() {
    if (AcDbDatabase* drawing = acdbHostApplicationServices()->workingDatabase()) {
        drawing->setVisretain(view_.isChecked(DialogOption::Visretain));
    }
}

std::string DialogOperations::defaultSetFileName() const {
    if (!acdbHostApplicationServices()->workingDatabase()) {
        return {};
    }
    std::string name = host::stringVariable("dwgname").value_or("");
    if (name.empty()) {
        return {};
    }
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos) {
        name.erase(dot);
    }
    return name + ".lkh";
}

platform::FileDialogRequest DialogOperations::setFileRequest(bool save,
                                                             const std::string& initialName) {
    platform::FileDialogRequest request;
    request.save = save;
    request.filter = "Holdset Files (*.lkh)|*.lkh|All Files (*.*)|*.*||";
    request.defaultExtension = "lkh";
    request.initialName = initialName;
    request.flags = save ? platform::OFN_OVERWRITEPROMPT | platform::OFN_CREATEPROMPT |
                               platform::OFN_ENABLESIZING
                         : platform::OFN_FILEMUSTEXIST | platform::OFN_ENABLESIZING;
    return request;
}

void DialogOperations::saveSetFile() {
    const std::vector<std::string> chosen =
        view_.chooseFiles(setFileRequest(true, defaultSetFileName()));
    if (chosen.empty()) {
        return;
    }
    const std::vector<std::string> paths = rows_.collectFullPaths();
    if (paths.empty()) {
        return;  // an empty list never empties a file
    }
    if (const std::string error = writeSetFile(chosen.front(), setFileText(paths));
        !error.empty()) {
        acutPrintf("\nCannot save the xref set file %s: %s", chosen.front().c_str(), error.c_str());
    }
}

void DialogOperations::loadSetFile() {
    const std::vector<std::string> chosen =
        view_.chooseFiles(setFileRequest(false, defaultSetFileName()));
    if (chosen.empty()) {
        return;
    }
    std::string text;
    if (const std::string error = readSetFile(chosen.front(), text); !error.empty()) {
        acutPrintf("\nCannot read the xref set file %s: %s", chosen.front().c_str(), error.c_str());
        return;
    }
    addRowsFromSetText(text);
    view_.setItemCount(rows_.count());
}

int DialogOperations::addRowsFromSetText(std::string_view text) {
    int added = 0;
    for (const std::string& entry : setFileEntries(text)) {
        auto row = std::make_unique<XrefRow>();
        row->buildFromFile(entry);
        if (rows_.findByName(row->nameWithoutDwg())) {
            continue;
        }
        row->addedFromFile = 1;
        rows_.append(std::move(row));
        ++added;
    }
    rows_.sortByName(true);
    return added;
}

}  // namespace lnkhold
