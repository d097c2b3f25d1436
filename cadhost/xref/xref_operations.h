#pragma once
// The operations on a drawing's xrefs. Each returns eOk, or a failure that leaves the drawing
// as it was: its changes run in a transaction that is aborted when a step fails. Afterwards
// statuses and the graph follow the drawing as if every xref had been found and loaded again;
// only the xrefs an operation touches are, when nothing else can change (see DrawingXrefs).

#include <array>
#include <string>
#include <vector>

#include "cadhost/sdk/gegeom.h"
#include "cadhost/xref/drawing_xrefs.h"
#include "cadhost/xref/xref_bind.h"

namespace cadhost::xref {

struct AttachRequest {
    std::string path;  // stored as given
    std::string name;  // "" takes the file name without its extension
    bool overlay = false;
    AcGePoint3d position;
    std::array<double, 3> scale{1.0, 1.0, 1.0};
    double rotation = 0.0;  // radians
    AcDbObjectId space;     // the block that receives the reference
    AcDbObjectId layer;     // the reference's layer; null for layer 0
};

// A new xref block with one reference to it. eDuplicateRecordName when the name is in use,
// eFileNotFound when the file is not found, eFileAccessErr when it cannot be loaded.
Acad::ErrorStatus attachXref(DrawingXrefs& xrefs, const AttachRequest& request, AcDbObjectId& block,
                             AcDbObjectId& reference);

// Erases the xref's references, its block, the symbols it brought in ("NAME|...") and the
// nested xrefs no other xref uses. A nested xref cannot be detached on its own
// (eNotApplicable).
Acad::ErrorStatus detachXref(DrawingXrefs& xrefs, const std::string& name);

// Unloading is kept in the drawing; reloading undoes it and reads the files anew.
// eNotApplicable for blocks that are not xrefs or are nested xrefs.
Acad::ErrorStatus unloadXrefs(DrawingXrefs& xrefs, const std::vector<AcDbObjectId>& blocks);
Acad::ErrorStatus reloadXrefs(DrawingXrefs& xrefs, const std::vector<AcDbObjectId>& blocks);

// Binds the xref as an ordinary block of the same name, together with the xrefs nested in it
// (see bindAsBlocks); the symbols "NAME|..." they brought in are merged or renamed as `kind`
// says, and those left are erased. eNotApplicable for a nested xref and when the xref or one
// nested in it is not loaded, eInvalidInput when they insert each other in a circle.
Acad::ErrorStatus bindXref(DrawingXrefs& xrefs, const std::string& name, BindKind kind);

// The xref block of that name; eKeyNotFound, or eNotApplicable when it is not an xref.
Acad::ErrorStatus findXref(AcDbDatabase& drawing, const std::string& name, AcDbObjectId& block);

}  // namespace cadhost::xref
