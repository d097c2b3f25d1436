#pragma once
// Binding xrefs into their drawing as ordinary blocks: each xref block receives a copy of
// its loaded drawing's model space and stops being an xref.

#include <string>
#include <vector>

#include "cadhost/xref/change.h"

namespace cadhost::xref {

struct BoundXref {
    AcDbObjectId block;    // the xref's block record in the drawing
    std::string name;      // its name
    AcDbDatabase* loaded;  // its loaded drawing
};

// Copies, as part of the change, every model-space entity of each xref's drawing into the
// xref's block, with the vertices, attributes and SEQENDs that belong to them:
// - the copies get handles of the drawing; references among copied records follow them,
//   other references are dropped (see RecordCopy);
// - the blocks the copies insert are copied too, unless the drawing has an ordinary block of
//   that name (whose definition then serves); anonymous blocks get free anonymous names;
//   references to xrefs of the list keep their names, as those become ordinary blocks;
//   references to overlays are left out, as an xref never shows its overlays;
// - a layer the copies use keeps its name: the drawing's layer of that name serves, else the
//   xref's dependent layer "NAME|LAYER" is renamed to it, else the xref's layer is copied;
// - line types and text styles the drawing lacks fall back to BYLAYER and "Standard";
// - the block loses its xref flags and path.
// Fails, changing nothing the change keeps, with eIncompatibleRelease when an xref's release
// cannot be copied into the drawing's (R12 and later releases are not mixed; lightweight
// polylines need R2000), eNotApplicable when a copy would insert an xref not in the list,
// eDuplicateRecordName when an inserted block's name belongs to another xref of the drawing.
Acad::ErrorStatus bindAsBlocks(Change& change, AcDbDatabase& drawing,
                               const std::vector<BoundXref>& xrefs);

}  // namespace cadhost::xref
