#pragma once
// What a drawing holds of xrefs: its xref block records and whether the drawing inserts them.

#include <optional>
#include <string>
#include <vector>

#include "cadhost/sdk/dbsymtb.h"

namespace cadhost::xref {

struct XrefRecord {
    AcDbObjectId id;
    std::string name;
    std::string path;  // as stored
    bool overlay = false;
    bool inserted = false;  // some block of the drawing holds a reference to it
    bool unloaded = false;  // the user unloaded it (kept in the drawing)
    AcDb::XrefStatus status = AcDb::kXrfNotAnXref;  // as the xref engine last set it
    AcDbDatabase* loaded = nullptr;                 // its loaded drawing while resolved
};

// The xref block records of a drawing, in block table order.
std::vector<XrefRecord> scanXrefs(AcDbDatabase& drawing);

// One block record as scanXrefs reads it, `inserted` left false; nullopt when it cannot be
// opened or is not an xref.
std::optional<XrefRecord> readXrefRecord(AcDbObjectId id);

// The block records that references anywhere in the drawing point at.
std::vector<AcDbObjectId> insertedBlocks(AcDbDatabase& drawing);

// The references to a block, in every block of the drawing.
std::vector<AcDbObjectId> referencesTo(AcDbDatabase& drawing, AcDbObjectId block);

// The full host path of the drawing's file; "" for a drawing never saved.
std::string drawingHostPath(const AcDbDatabase& drawing);

}  // namespace cadhost::xref
