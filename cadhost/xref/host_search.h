#pragma once
// The host's side of the xref engine: the search path of the current profile, and the xrefs
// of a drawing the host opens, with messages on the command line.

#include <memory>

#include "cadhost/xref/drawing_xrefs.h"

namespace cadhost::xref {

// The current profile's support search path and the host program's own folder.
SearchPath hostSearchPath();

// Loads the xrefs of a drawing the host has just opened; the caller keeps the result as long
// as the drawing is open and destroys it first.
std::unique_ptr<DrawingXrefs> openDrawingXrefs(AcDbDatabase& drawing);

}  // namespace cadhost::xref
