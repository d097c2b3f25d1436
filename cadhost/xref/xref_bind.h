#pragma once
// Binding xrefs into their drawing as ordinary blocks: each xref block receives a copy of
// its loaded drawing's model space and stops being an xref.

#include <string>
#include <vector>

#include "cadhost/xref/change.h"

namespace cadhost::xref {

// How the symbols of an xref's drawing become the drawing's own.
enum class BindKind {
    // Merged with the drawing's symbol of the same name; the xref's "NAME|SYM" becomes "SYM".
    Insert,
    // Kept apart: "NAME|SYM" and the xref's SYM become "NAME$0$SYM", the 0 raised to the
    // first number that gives a name the drawing does not have.
    Prefixed,
};

struct BoundXref {
    AcDbObjectId block;    // the xref's block record in the drawing
    std::string name;      // its name
    AcDbDatabase* loaded;  // its loaded drawing
};

// Copies, as part of the change, every model-space entity of each xref's drawing into the
// xref's block, with the vertices, attributes and SEQENDs that belong to them:
// - the copies get handles of the drawing; references among copied records follow them,
//   other references are dropped (see RecordCopy);
// - the blocks the copies insert are copied too; anonymous blocks get free anonymous names;
//   references to xrefs of the list keep their names, as those become ordinary blocks;
//   references to overlays are left out, as an xref never shows its overlays;
// - Insert: a block keeps its name, and the drawing's ordinary block of that name serves
//   instead of a copy; a layer the copies use keeps its name: the drawing's layer of that name
//   serves, else the xref's dependent layer "NAME|LAYER" is renamed to it, else the xref's
//   layer is copied;
// - Prefixed: blocks and layers of the xref get prefixed names; every dependent layer
//   "NAME|LAYER" of the drawing is renamed, used by the copies or not; layers 0 and DEFPOINTS
//   are shared as with Insert;
// - the drawing's own entities on a renamed dependent layer follow it;
// - line types and text styles the drawing lacks fall back to BYLAYER and "Standard";
// - the block loses its xref flags and path.
// Fails, changing nothing the change keeps, with eIncompatibleRelease when an xref's release
// cannot be copied into the drawing's (R12 and later releases are not mixed; lightweight
// polylines need R2000), eNotApplicable when a copy would insert an xref not in the list,
// eDuplicateRecordName (Insert) when an inserted block's name belongs to another xref of the
// drawing, eInvalidInput (Prefixed) when a prefixed name is longer than a record accepts.
Acad::ErrorStatus bindAsBlocks(Change& change, AcDbDatabase& drawing,
                               const std::vector<BoundXref>& xrefs, BindKind kind);

}  // namespace cadhost::xref
