#include "plugin/model/xref_row.h"

#include "acedxref.h"
#include "dbsymtb.h"
#include "dbxrefgraph.h"
#include "platform/collation.h"
#include "platform/host_path.h"
#include "plugin/model/path_parts.h"
#include "plugin/model/path_resolution.h"

namespace lnkhold {

namespace {

const char* statusTextOf(int code, bool overlay, bool repathed, bool found) {
    switch (code) {
        case AcDb::kXrfNotAnXref:
            return "Not an Xref";
        case AcDb::kXrfResolved:
            return overlay ? "Overlay" : "Attached";
        case AcDb::kXrfUnloaded:
            return "Unloaded";
        case AcDb::kXrfUnreferenced:
            return "Detached";
        case AcDb::kXrfFileNotFound:
            return !found ? "File not found" : repathed ? "Repathed" : "Needs Reloading";
        case AcDb::kXrfUnresolved:
            return "Unresolved";
        default:
            return "Unknown status";
    }
}

// The host path of the drawing an xref block was loaded from; empty when it is not loaded.
std::string loadedFrom(const AcDbBlockTableRecord& record) {
    const AcDbDatabase* loaded = record.xrefDatabase(false);
    const char* file = nullptr;
    if (!loaded || loaded->getFilename(file) != Acad::eOk || !file || !*file) {
        return {};
    }
    return platform::nativeToHost(file);
}

}  // namespace

void XrefRow::setStatus(int code, bool overlay, bool repathed) {
    statusCode = code;
    statusText = statusTextOf(code, overlay, repathed, !foundPath.empty());
}

void XrefRow::markRepathed() {
    setStatus(statusCode, isOverlay != 0, true);
}

int XrefRow::buildFromRecord(const AcDbBlockTableRecord* record) {
    AcDbXrefGraph graph;
    const bool haveGraph = acedGetCurDwgXrefGraph(graph, false) == Acad::eOk;
    return buildFromRecord(record, haveGraph ? &graph : nullptr);
}

int XrefRow::buildFromRecord(const AcDbBlockTableRecord* record, const AcDbXrefGraph* graph) {
    if (!record) {
        return 0;
    }
    blockId = record->objectId();
    nestedOrUnreferenced = 0;
    isOverlay = record->isFromOverlayReference() ? 1 : 0;
    statusCode = record->xrefStatus();
    const char* stored = nullptr;
    const std::string storedPath =
        record->pathName(stored) == Acad::eOk && stored ? stored : std::string();
    setPath(storedPath, true);
    foundPath = resolvePath(storedPath);
    if (foundPath.empty()) {
        // A nested xref's relative path is found from the folder of the xref that holds it,
        // which the drawing's own search does not look in: where the host loaded it from is
        // where it was found. Without this a loaded nested xref read "0 KB" and out of date.
        foundPath = loadedFrom(*record);
    }
    setStatus(record->xrefStatus(), isOverlay != 0, false);
    const AcDbXrefGraphNode* node = graph ? graph->xrefNode(blockId) : nullptr;
    if (node && node->isNested()) {
        statusText = node->numIn() > 0 ? "Nested" : "Unreferenced";
        nestedOrUnreferenced = 1;
    }
    readFileFacts();
    updateTimestampDiffers(record->xrefDatabase(false));
    return 1;
}

void XrefRow::buildFromFile(const std::string& path) {
    setPath(path, true);
    foundPath = kXrefNotDefined;
    setStatus(AcDb::kXrfUnreferenced, false, false);
}

void XrefRow::refreshFromBlockId(AcDbObjectId id) {
    AcDbBlockTableRecord* record = nullptr;
    if (id.isNull() || acdbOpenObject(record, id, AcDb::kForRead) != Acad::eOk) {
        return;
    }
    buildFromRecord(record);
    record->close();
}

void XrefRow::setPath(const std::string& path, bool takeName) {
    const PathParts parts = splitPathParts(path);
    if (parts.directory.empty()) {
        folder = kAcadPathFolder;
    } else {
        std::string text = parts.drive + parts.directory + parts.fileName;
        if (const std::size_t last = text.rfind('\\'); last != std::string::npos) {
            text.erase(last);
        }
        folder = text + "\\";
    }
    if (takeName) {
        name = parts.fileName;
    }
    drive = parts.drive;
}

std::string XrefRow::fullPath() const {
    return (drive.empty() ? name : folder + name) + ".dwg";
}

std::string XrefRow::nameWithoutDwg() const {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && platform::_mbsicmp(name.substr(dot), ".dwg") == 0) {
        return name.substr(0, dot);
    }
    return name;
}

}  // namespace lnkhold
