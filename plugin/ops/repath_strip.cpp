// RePath points the selected rows (and their xrefs) at the folder of a drawing the user
// picks; Strip Path cuts the stored path of the selected xrefs down to the file name.

#include "dbsymtb.h"
#include "plugin/model/path_parts.h"
#include "plugin/ops/dialog_operations.h"

namespace lnkhold {

platform::FileDialogRequest DialogOperations::repathFileRequest() {
    platform::FileDialogRequest request;
    request.defaultExtension = "dwg";
    // A wildcard name filters the folder's files; our drawings are DXF files beside the DWG
    // names they are stored under, so both kinds show.
    request.initialName = "*.dwg;*.dxf";
    request.flags = platform::OFN_HIDEREADONLY | platform::OFN_NOVALIDATE;
    return request;
}

void DialogOperations::repathSelected() {
    if (view_.selectedPositions().empty()) {
        selectionChanged();
        return;
    }
    const std::vector<std::string> chosen = view_.chooseFiles(repathFileRequest());
    if (!chosen.empty()) {
        const PathParts parts = splitPathParts(chosen.front());
        const std::string withoutExtension = parts.drive + parts.directory + parts.fileName;
        const std::size_t slash = withoutExtension.rfind('\\');
        applyFolder(slash == std::string::npos ? withoutExtension
                                               : withoutExtension.substr(0, slash + 1));
    }
    // Cancelled or not, the selected xrefs are loaded again from where they now point.
    reloadSelected();
    view_.redrawList();
    selectionChanged();
}

void DialogOperations::applyFolder(const std::string& folder) {
    const std::string preferred = view_.isChecked(DialogOption::AcadPath) ? "" : folder;
    for (const int position : view_.selectedPositions()) {
        if (XrefRow* row = rowAt(position)) {
            row->repathRow(preferred, folder);
            row->markRepathed();
        }
    }
}

void DialogOperations::stripPathSelected() {
    view_.showWaitCursor(true);
    AcDbObjectIdArray ids;
    for (XrefRow* row : selectedDrawingRows()) {
        view_.showWaitCursor(true);
        ids.append(row->blockId);
    }
    if (!ids.isEmpty()) {
        view_.setWindowEnabled(false);
        stripPaths(ids);
        view_.setWindowEnabled(true);
        fullRefresh();
        selectionChanged();
    }
    view_.showWaitCursor(false);
}

void DialogOperations::stripPaths(const AcDbObjectIdArray& ids) {
    for (const AcDbObjectId id : ids) {
        AcDbObject* object = nullptr;
        if (id.isNull() || acdbOpenAcDbObject(object, id, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        auto* record = dynamic_cast<AcDbBlockTableRecord*>(object);
        const char* stored = nullptr;
        if (record && record->pathName(stored) == Acad::eOk && stored) {
            const std::string path = stored;
            // Only a backslash separates folders here; a path written with forward slashes
            // stays as it is.
            if (const std::size_t slash = path.rfind('\\');
                slash != std::string::npos && record->upgradeOpen() == Acad::eOk) {
                record->setPathName(path.substr(slash + 1).c_str());
            }
        }
        object->close();
    }
}

}  // namespace lnkhold
