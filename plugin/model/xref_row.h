#pragma once
// One row of the xref list: a file that is or was an xref of the drawing, or that the user
// added. Built from the drawing's block table record, or from a bare file path.

#include <cstdint>
#include <string>

#include "dbid.h"

class AcDbBlockTableRecord;
class AcDbDatabase;
class AcDbXrefGraph;

namespace lnkhold {

// The "Path" column of a row whose stored path is a bare name, found on the host's search path.
inline constexpr const char* kAcadPathFolder = "<<acad path>>";
// The found path of a row made from a file path.
inline constexpr const char* kXrefNotDefined = "xref not defined";

class XrefRow {
  public:
    virtual ~XrefRow() = default;

    std::int32_t addedFromFile = 0;
    std::int32_t nestedOrUnreferenced = 0;
    std::string folder;
    std::string name;
    std::string drive;
    std::string foundPath;
    std::string statusText;
    std::int32_t isOverlay = 0;
    AcDbObjectId blockId;
    std::int32_t statusCode = 0;
    std::uint32_t fileSize = 0;
    std::int64_t fileTime = 0;
    std::int32_t timestampDiffers = 0;

    // The status text of a host xref status; overlay and repathed refine codes 1 and 4.
    void setStatus(int code, bool overlay, bool repathed);
    void markRepathed();

    // Fills every field from an xref block record open for read; 0 (and no change) without
    // one. `graph` is the drawing's xref graph, null when it could not be read; the first
    // form reads it itself.
    int buildFromRecord(const AcDbBlockTableRecord* record);
    int buildFromRecord(const AcDbBlockTableRecord* record, const AcDbXrefGraph* graph);
    // A pending row ("Detached") for a file the user chose.
    void buildFromFile(const std::string& path);
    // Builds the row again from the record of `id`; a null id or a failed open changes nothing.
    void refreshFromBlockId(AcDbObjectId id);

    // Path parts (folder, drive and, with takeName, name) from a stored path.
    void setPath(const std::string& path, bool takeName);
    // The path the row's file is looked for at: always ending in ".dwg".
    std::string fullPath() const;
    std::string nameWithoutDwg() const;

    // The file the row stands for: where the host found it, else where fullPath resolves
    // to; empty when neither finds one.
    std::string locatedFile() const;
    // Size and last-write time of that file.
    void readFileFacts();
    // Whether the loaded xref (null when none) was updated more than 30 seconds after its file.
    void updateTimestampDiffers(const AcDbDatabase* loaded);
    std::string sizeText() const;
    std::string dateText() const;

    // Points the row (and its xref block, if any) at the preferred location, else the
    // fallback; keeps the old path parts when neither is found. The name never changes.
    void repathRow(const std::string& preferred, const std::string& fallback);
};

}  // namespace lnkhold
