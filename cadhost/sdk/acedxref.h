#pragma once
// The host's file search and xref operations on the current drawing (or the drawing given
// as host database). Operations return eOk, or a failure that leaves the drawing as it was.

#include <cstddef>

#include "dbmain.h"
#include "gegeom.h"

class AcDbXrefGraph;

struct AcGeScale3d {
    double sx = 1.0;
    double sy = 1.0;
    double sz = 1.0;
};

// Finds a file as the host does: the name as given (relative names from the current
// drawing's folder), the drawing's folder, the current profile's support search path, the
// host program's folder; a ".dwg" name is also found as the ".dxf" file beside it. RTNORM
// with the full host path in `result`, or RTERROR (also when it does not fit in `size` bytes).
int acedFindFile(const char* fileName, char* result, std::size_t size);

// The xref graph of the current drawing.
Acad::ErrorStatus acedGetCurDwgXrefGraph(AcDbXrefGraph& graph, bool includeGhosts = false);

// A new xref and one reference to it. Null position, scale and rotation give the origin,
// scale 1 and rotation 0. The reference goes into the current space on the current layer.
// `quiet` is accepted for the host's signature: these calls never prompt.
Acad::ErrorStatus acedXrefAttach(
    const char* path, const char* blockName, AcDbObjectId* blockId = nullptr,
    AcDbObjectId* referenceId = nullptr, const AcGePoint3d* position = nullptr,
    const AcGeScale3d* scale = nullptr, const double* rotation = nullptr, bool quiet = true,
    AcDbDatabase* hostDatabase = nullptr, const char* password = nullptr);
Acad::ErrorStatus acedXrefOverlay(
    const char* path, const char* blockName, AcDbObjectId* blockId = nullptr,
    AcDbObjectId* referenceId = nullptr, const AcGePoint3d* position = nullptr,
    const AcGeScale3d* scale = nullptr, const double* rotation = nullptr, bool quiet = true,
    AcDbDatabase* hostDatabase = nullptr, const char* password = nullptr);
Acad::ErrorStatus acedXrefDetach(const char* blockName, bool quiet = true,
                                 AcDbDatabase* hostDatabase = nullptr);
Acad::ErrorStatus acedXrefUnload(const char* blockName, bool quiet = true,
                                 AcDbDatabase* hostDatabase = nullptr);
Acad::ErrorStatus acedXrefReload(const char* blockName, bool quiet = true,
                                 AcDbDatabase* hostDatabase = nullptr);
Acad::ErrorStatus acedXrefReload(const AcDbObjectIdArray& blockIds, bool quiet = true,
                                 AcDbDatabase* hostDatabase = nullptr);
// Turns the xref (and the xrefs nested in it) into an ordinary block holding its drawing's
// model space. With insertBind, its layers and blocks merge with the drawing's of the same name
// ("NAME|LAYER" becomes "LAYER"); otherwise they stay apart as "NAME$0$LAYER", the 0 raised to
// the first number that gives a free name. A refused bind leaves the drawing as it was.
Acad::ErrorStatus acedXrefBind(const char* blockName, bool insertBind = false, bool quiet = true,
                               AcDbDatabase* hostDatabase = nullptr);
