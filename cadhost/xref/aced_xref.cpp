// The host's xref functions on the current drawing, over the xref engine.

#include <cstring>

#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/acedxref.h"
#include "cadhost/sdk/dbapserv.h"
#include "cadhost/sdk/dbxrefgraph.h"
#include "cadhost/xref/drawing_scan.h"
#include "cadhost/xref/host_search.h"
#include "cadhost/xref/xref_operations.h"

using cadhost::xref::DrawingXrefs;

namespace {

AcDbDatabase* drawingOf(AcDbDatabase* hostDatabase) {
    return hostDatabase ? hostDatabase : acdbHostApplicationServices()->workingDatabase();
}

DrawingXrefs* xrefsOf(AcDbDatabase* hostDatabase) {
    return DrawingXrefs::of(drawingOf(hostDatabase));
}

// Paper space when the current drawing shows a layout and no viewport of it is active.
AcDbObjectId currentSpace(AcDbDatabase& drawing) {
    bool paper = false;
    if (!drawing.tilemode() && &drawing == acdbHostApplicationServices()->workingDatabase()) {
        resbuf value{};
        paper = acedGetVar("CVPORT", &value) == RTNORM && value.restype == RTSHORT &&
                value.resval.rint == 1;
    }
    AcDbBlockTable* table = nullptr;
    AcDbObjectId space;
    if (drawing.getBlockTable(table, AcDb::kForRead) == Acad::eOk) {
        table->getAt(paper ? "*Paper_Space" : "*Model_Space", space);
        table->close();
    }
    return space;
}

Acad::ErrorStatus attach(bool overlay, const char* path, const char* blockName,
                         AcDbObjectId* blockId, AcDbObjectId* referenceId,
                         const AcGePoint3d* position, const AcGeScale3d* scale,
                         const double* rotation, AcDbDatabase* hostDatabase) {
    DrawingXrefs* xrefs = xrefsOf(hostDatabase);
    if (!xrefs) {
        return Acad::eNoDatabase;
    }
    if (!path) {
        return Acad::eInvalidInput;
    }
    cadhost::xref::AttachRequest request;
    request.path = path;
    request.name = blockName ? blockName : "";
    request.overlay = overlay;
    request.position = position ? *position : AcGePoint3d::kOrigin;
    if (scale) {
        request.scale = {scale->sx, scale->sy, scale->sz};
    }
    request.rotation = rotation ? *rotation : 0.0;
    request.space = currentSpace(xrefs->drawing());
    request.layer = xrefs->drawing().clayer();
    AcDbObjectId block;
    AcDbObjectId reference;
    Acad::ErrorStatus es = attachXref(*xrefs, request, block, reference);
    if (blockId) {
        *blockId = block;
    }
    if (referenceId) {
        *referenceId = reference;
    }
    return es;
}

// Runs an operation on the xref block of that name.
template <class Operation>
Acad::ErrorStatus onXrefNamed(const char* blockName, AcDbDatabase* hostDatabase,
                              Operation operation) {
    DrawingXrefs* xrefs = xrefsOf(hostDatabase);
    if (!xrefs) {
        return Acad::eNoDatabase;
    }
    if (!blockName) {
        return Acad::eInvalidInput;
    }
    AcDbObjectId block;
    Acad::ErrorStatus es = cadhost::xref::findXref(xrefs->drawing(), blockName, block);
    return es == Acad::eOk ? operation(*xrefs, block) : es;
}

}  // namespace

int acedFindFile(const char* fileName, char* result, std::size_t size) {
    if (!fileName || !result || size == 0) {
        return RTERROR;
    }
    const AcDbDatabase* drawing = acdbHostApplicationServices()->workingDatabase();
    // The drawing's engine knows its path already; working it out is most of a search's time.
    const DrawingXrefs* xrefs = drawing ? DrawingXrefs::of(drawing) : nullptr;
    const std::string folder =
        xrefs     ? xrefs->drawingFolder()
        : drawing ? cadhost::xref::hostFolderOf(cadhost::xref::drawingHostPath(*drawing))
                  : std::string();
    const auto found = cadhost::xref::findHostFile(fileName, folder);
    if (!found || found->size() >= size) {
        return RTERROR;
    }
    std::memcpy(result, found->c_str(), found->size() + 1);
    return RTNORM;
}

Acad::ErrorStatus acedGetCurDwgXrefGraph(AcDbXrefGraph& graph, bool includeGhosts) {
    return acdbGetHostDwgXrefGraph(acdbHostApplicationServices()->workingDatabase(), graph,
                                   includeGhosts);
}

Acad::ErrorStatus acedXrefAttach(const char* path, const char* blockName, AcDbObjectId* blockId,
                                 AcDbObjectId* referenceId, const AcGePoint3d* position,
                                 const AcGeScale3d* scale, const double* rotation, bool,
                                 AcDbDatabase* hostDatabase, const char*) {
    return attach(false, path, blockName, blockId, referenceId, position, scale, rotation,
                  hostDatabase);
}

Acad::ErrorStatus acedXrefOverlay(const char* path, const char* blockName, AcDbObjectId* blockId,
                                  AcDbObjectId* referenceId, const AcGePoint3d* position,
                                  const AcGeScale3d* scale, const double* rotation, bool,
                                  AcDbDatabase* hostDatabase, const char*) {
    return attach(true, path, blockName, blockId, referenceId, position, scale, rotation,
                  hostDatabase);
}

Acad::ErrorStatus acedXrefDetach(const char* blockName, bool, AcDbDatabase* hostDatabase) {
    return onXrefNamed(blockName, hostDatabase, [blockName](DrawingXrefs& xrefs, AcDbObjectId) {
        return cadhost::xref::detachXref(xrefs, blockName);
    });
}

Acad::ErrorStatus acedXrefUnload(const char* blockName, bool, AcDbDatabase* hostDatabase) {
    return onXrefNamed(blockName, hostDatabase, [](DrawingXrefs& xrefs, AcDbObjectId block) {
        return cadhost::xref::unloadXrefs(xrefs, {block});
    });
}

Acad::ErrorStatus acedXrefReload(const char* blockName, bool, AcDbDatabase* hostDatabase) {
    return onXrefNamed(blockName, hostDatabase, [](DrawingXrefs& xrefs, AcDbObjectId block) {
        return cadhost::xref::reloadXrefs(xrefs, {block});
    });
}

Acad::ErrorStatus acedXrefReload(const AcDbObjectIdArray& blockIds, bool,
                                 AcDbDatabase* hostDatabase) {
    DrawingXrefs* xrefs = xrefsOf(hostDatabase);
    if (!xrefs) {
        return Acad::eNoDatabase;
    }
    return cadhost::xref::reloadXrefs(*xrefs, {blockIds.begin(), blockIds.end()});
}

// The insert bind merges the xref's symbols with the drawing's; the other kind keeps them apart
// under prefixed names.
Acad::ErrorStatus acedXrefBind(const char* blockName, bool insertBind, bool,
                               AcDbDatabase* hostDatabase) {
    const auto kind =
        insertBind ? cadhost::xref::BindKind::Insert : cadhost::xref::BindKind::Prefixed;
    return onXrefNamed(blockName, hostDatabase,
                       [blockName, kind](DrawingXrefs& xrefs, AcDbObjectId) {
                           return cadhost::xref::bindXref(xrefs, blockName, kind);
                       });
}
