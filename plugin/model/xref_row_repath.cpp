// Pointing a row, and the xref block it stands for, at a new location.

#include "dbsymtb.h"
#include "platform/collation.h"
#include "plugin/model/path_resolution.h"
#include "plugin/model/xref_row.h"

namespace lnkhold {

namespace {

bool endsWithDwg(const std::string& path) {
    return path.size() >= 4 && platform::_mbsicmp(path.substr(path.size() - 4), ".dwg") == 0;
}

}  // namespace

void XrefRow::repathRow(const std::string& preferred, const std::string& fallback) {
    const std::string oldPath = fullPath();
    setPath(preferred, false);
    std::string found;
    if (resolvePathInto(fullPath(), found)) {
        foundPath = found;
    } else {
        setPath(endsWithDwg(fallback) ? fallback : fallback + name + ".dwg", false);
        if (resolvePathInto(fullPath(), found)) {
            foundPath = found;
        } else {
            setPath(oldPath, false);
        }
    }
    AcDbBlockTableRecord* record = nullptr;
    if (!blockId.isNull() && acdbOpenObject(record, blockId, AcDb::kForWrite) == Acad::eOk) {
        record->setPathName(fullPath().c_str());
        record->close();
    }
}

}  // namespace lnkhold
