#include "cadhost/xref/xref_operations.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "cadhost/db/database_state.h"
#include "cadhost/db/tag_list.h"
#include "cadhost/db/xref_state.h"
#include "cadhost/sdk/dbents.h"
#include "cadhost/sdk/dbxrefgraph.h"
#include "cadhost/xref/change.h"
#include "cadhost/xref/dependents.h"
#include "cadhost/xref/drawing_scan.h"
#include "cadhost/xref/unload_mark.h"
#include "platform/splitpath.h"

namespace cadhost::xref {

namespace {

AcDbObjectId blockNamed(AcDbDatabase& drawing, const std::string& name) {
    AcDbBlockTable* table = nullptr;
    AcDbObjectId id;
    if (drawing.getBlockTable(table, AcDb::kForRead) == Acad::eOk) {
        table->getAt(name.c_str(), id);
        table->close();
    }
    return id;
}

// eOk when every block is an xref that the drawing itself holds (not one nested in another).
Acad::ErrorStatus checkFirstLevelXrefs(AcDbDatabase& drawing,
                                       const std::vector<AcDbObjectId>& blocks) {
    AcDbXrefGraph graph;
    if (Acad::ErrorStatus es = acdbGetHostDwgXrefGraph(&drawing, graph); es != Acad::eOk) {
        return es;
    }
    for (AcDbObjectId block : blocks) {
        if (block.isNull()) {
            return Acad::eNullObjectId;
        }
        const AcDbXrefGraphNode* node = graph.xrefNode(block);
        if (!node) {
            return Acad::eNotApplicable;
        }
        if (node->isNested() && node->numIn() > 0) {
            return Acad::eNotApplicable;
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus registerXrefApplication(Change& change, AcDbDatabase& drawing) {
    AcDbRegAppTable* apps = nullptr;
    Acad::ErrorStatus es = change.open(apps, drawing.regAppTableId(), AcDb::kForRead);
    if (es != Acad::eOk || apps->has(kXrefApplication)) {
        return es;
    }
    if ((es = apps->upgradeOpen()) != Acad::eOk) {
        return es;
    }
    auto* record = new AcDbRegAppTableRecord;
    record->setName(kXrefApplication);
    if ((es = apps->add(record)) != Acad::eOk) {
        delete record;
        return es;
    }
    return record->close();
}

Acad::ErrorStatus markAll(AcDbDatabase& drawing, const std::vector<AcDbObjectId>& blocks,
                          bool unloaded) {
    Change change(drawing);
    Acad::ErrorStatus es = unloaded ? registerXrefApplication(change, drawing) : Acad::eOk;
    for (AcDbObjectId id : blocks) {
        AcDbBlockTableRecord* block = nullptr;
        if (es == Acad::eOk) {
            es = change.open(block, id, AcDb::kForWrite);
        }
        if (es == Acad::eOk) {
            es = markUnloaded(*block, unloaded);
        }
    }
    return es == Acad::eOk ? change.commit() : es;
}

// The xref and the nested xrefs that only it, or others going with it, insert.
// Marks or unmarks the xrefs as unloaded, then loads the drawing's xrefs again (reading the
// reloaded ones anew).
Acad::ErrorStatus setUnloaded(DrawingXrefs& xrefs, const std::vector<AcDbObjectId>& blocks,
                              bool unloaded) {
    Acad::ErrorStatus es = checkFirstLevelXrefs(xrefs.drawing(), blocks);
    if (es == Acad::eOk) {
        es = markAll(xrefs.drawing(), blocks, unloaded);
    }
    if (es == Acad::eOk) {
        xrefs.update(unloaded ? std::vector<AcDbObjectId>() : blocks);
    }
    return es;
}

std::vector<const AcDbXrefGraphNode*> goingWith(const AcDbXrefGraph& graph,
                                                const AcDbXrefGraphNode* xref) {
    std::vector<const AcDbXrefGraphNode*> going{xref};
    auto isGoing = [&going](const AcDbGraphNode* node) {
        return std::find(going.begin(), going.end(), node) != going.end();
    };
    for (bool grew = true; grew;) {
        grew = false;
        for (int i = 1; i < graph.numNodes(); ++i) {
            const AcDbXrefGraphNode* node = graph.xrefNode(i);
            bool onlyFromGoing = node->isNested() && node->numIn() > 0 && !isGoing(node);
            for (int j = 0; onlyFromGoing && j < node->numIn(); ++j) {
                onlyFromGoing = isGoing(node->in(j));
            }
            if (onlyFromGoing && !node->btrId().isNull()) {
                going.push_back(node);
                grew = true;
            }
        }
    }
    return going;
}

Acad::ErrorStatus eraseAll(AcDbDatabase& drawing, const std::vector<AcDbObjectId>& ids) {
    Change change(drawing);
    for (AcDbObjectId id : ids) {
        AcDbObject* object = nullptr;
        Acad::ErrorStatus es = change.open(object, id, AcDb::kForWrite);
        if (es == Acad::eOk) {
            es = object->erase();
        }
        if (es != Acad::eOk) {
            return es;
        }
    }
    return change.commit();
}

std::string layerName(AcDbObjectId layer) {
    AcDbLayerTableRecord* record = nullptr;
    std::string name = "0";
    if (acdbOpenObject(record, layer, AcDb::kForRead) == Acad::eOk) {
        const char* text = nullptr;
        record->getName(text);
        name = text;
        record->close();
    }
    return name;
}

Acad::ErrorStatus addXrefBlock(Change& change, AcDbDatabase& drawing, const std::string& name,
                               const AttachRequest& request, AcDbObjectId& id) {
    AcDbBlockTable* table = nullptr;
    Acad::ErrorStatus es = change.open(table, drawing.blockTableId(), AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    auto* block = new AcDbBlockTableRecord;
    es = block->setName(name.c_str());
    if (es == Acad::eOk) {
        es = db::setXrefFlags(*block, true, request.overlay);
    }
    if (es == Acad::eOk) {
        es = block->setPathName(request.path.c_str());
    }
    if (es == Acad::eOk) {
        es = table->add(id, block);
    }
    if (es != Acad::eOk) {
        delete block;
        return es;
    }
    return block->close();
}

// A block reference with scale factors and rotation, which the entity API leaves at 1 and 0.
class PlacedReference : public AcDbBlockReference {
  public:
    PlacedReference(const AttachRequest& request, AcDbObjectId block)
        : AcDbBlockReference(request.position, block) {
        for (int axis = 0; axis < 3; ++axis) {
            if (request.scale[axis] != 1.0) {
                db::setGroup(tagsForWrite(), db::Tag::real(41 + axis, request.scale[axis]));
            }
        }
        if (request.rotation != 0.0) {
            // Stored in degrees; rounded to a billionth of a degree so that an angle typed in
            // degrees comes back as typed (30, not 29.999999999999996).
            const double degrees = std::round(request.rotation * 180.0 / M_PI * 1e9) / 1e9;
            db::setGroup(tagsForWrite(), db::Tag::real(50, degrees));
        }
    }
};

Acad::ErrorStatus addReference(Change& change, const AttachRequest& request, AcDbObjectId block,
                               AcDbObjectId& id) {
    AcDbBlockTableRecord* space = nullptr;
    Acad::ErrorStatus es = change.open(space, request.space, AcDb::kForWrite);
    if (es != Acad::eOk) {
        return es;
    }
    auto* reference = new PlacedReference(request, block);
    es = reference->setLayer(layerName(request.layer).c_str());
    if (es == Acad::eOk) {
        es = space->appendAcDbEntity(id, reference);
    }
    if (es != Acad::eOk) {
        delete reference;
        return es;
    }
    return reference->close();
}

// After the xrefs' own records are dealt with (`es` says how that went): erases the symbols
// they brought in, commits the change and brings the states of the drawing's xrefs up to date
// (`wasCurrent`: whether they were before the change).
Acad::ErrorStatus finishRemoval(DrawingXrefs& xrefs, Change& change, Acad::ErrorStatus es,
                                const std::vector<std::string>& names,
                                const std::vector<AcDbObjectId>& blocks, bool wasCurrent) {
    AcDbDatabase& drawing = xrefs.drawing();
    if (es == Acad::eOk) {
        es = eraseDependents(change, drawing.blockTableId(), names);
    }
    if (es == Acad::eOk) {
        es = eraseDependents(change, drawing.layerTableId(), names);
    }
    if (es == Acad::eOk) {
        es = change.commit();
    }
    if (es == Acad::eOk) {
        xrefs.removed(blocks, wasCurrent);
    }
    return es;
}

// The xref and every xref nested in it, depth first. eNotApplicable unless all of them are
// loaded, eInvalidInput when they insert each other in a circle: no block may hold itself.
Acad::ErrorStatus xrefsToBind(const AcDbXrefGraphNode* start, std::vector<BoundXref>& xrefs) {
    std::vector<const AcDbGraphNode*> path;
    std::unordered_set<const AcDbGraphNode*> done;
    auto visit = [&](const AcDbXrefGraphNode* node, auto& self) -> Acad::ErrorStatus {
        if (std::find(path.begin(), path.end(), node) != path.end()) {
            return Acad::eInvalidInput;
        }
        if (done.contains(node)) {
            return Acad::eOk;
        }
        if (node->xrefStatus() != AcDb::kXrfResolved || !node->database()) {
            return Acad::eNotApplicable;
        }
        path.push_back(node);
        xrefs.push_back({node->btrId(), node->name(), node->database()});
        for (int i = 0; i < node->numOut(); ++i) {
            auto* nested = static_cast<const AcDbXrefGraphNode*>(node->out(i));
            if (Acad::ErrorStatus es = self(nested, self); es != Acad::eOk) {
                return es;
            }
        }
        path.pop_back();
        done.insert(node);
        return Acad::eOk;
    };
    return visit(start, visit);
}

}  // namespace

Acad::ErrorStatus findXref(AcDbDatabase& drawing, const std::string& name, AcDbObjectId& block) {
    block = blockNamed(drawing, name);
    AcDbBlockTableRecord* record = nullptr;
    if (block.isNull() || acdbOpenObject(record, block, AcDb::kForRead) != Acad::eOk) {
        block = AcDbObjectId::kNull;
        return Acad::eKeyNotFound;
    }
    const bool isXref = record->isFromExternalReference();
    record->close();
    if (!isXref) {
        block = AcDbObjectId::kNull;
        return Acad::eNotApplicable;
    }
    return Acad::eOk;
}

Acad::ErrorStatus attachXref(DrawingXrefs& xrefs, const AttachRequest& request, AcDbObjectId& block,
                             AcDbObjectId& reference) {
    block = reference = AcDbObjectId::kNull;
    AcDbDatabase& drawing = xrefs.drawing();
    const std::string name =
        request.name.empty() ? platform::splitPath(request.path).fname : request.name;
    if (request.path.empty() || name.empty() || name.find('|') != std::string::npos) {
        return Acad::eInvalidInput;
    }
    if (!blockNamed(drawing, name).isNull()) {
        return Acad::eDuplicateRecordName;
    }
    if (request.space.isNull()) {
        return Acad::eNullObjectId;  // no block for the space (a file of entities only)
    }
    const auto found = findFile(request.path, xrefs.drawingFolder(), xrefs.searchPath());
    if (!found) {
        return Acad::eFileNotFound;
    }
    if (platform::equalsIgnoreCase(*found, drawingHostPath(drawing))) {
        xrefs.message("\n" + *found + " cannot be an xref of itself");
        return Acad::eInvalidInput;
    }
    std::string reason;
    if (!DrawingXrefs::readDrawing(*found, reason)) {
        xrefs.message("\nCannot attach " + *found + ": " + reason);
        return Acad::eFileAccessErr;
    }
    const bool wasCurrent = xrefs.isCurrent();
    Change change(drawing);
    AcDbObjectId id;
    AcDbObjectId referenceId;
    Acad::ErrorStatus es = addXrefBlock(change, drawing, name, request, id);
    if (es == Acad::eOk) {
        es = addReference(change, request, id, referenceId);
    }
    if (es == Acad::eOk) {
        es = change.commit();
    }
    if (es == Acad::eOk) {
        xrefs.added(id, wasCurrent);
        block = id;
        reference = referenceId;
    }
    return es;
}

Acad::ErrorStatus detachXref(DrawingXrefs& xrefs, const std::string& name) {
    AcDbDatabase& drawing = xrefs.drawing();
    AcDbObjectId target;
    if (Acad::ErrorStatus es = findXref(drawing, name, target); es != Acad::eOk) {
        return es;
    }
    AcDbXrefGraph graph;
    Acad::ErrorStatus es = acdbGetHostDwgXrefGraph(&drawing, graph);
    const AcDbXrefGraphNode* node = graph.xrefNode(target);
    if (es != Acad::eOk || !node) {
        return es != Acad::eOk ? es : Acad::eNotApplicable;
    }
    if (node->isNested() && node->numIn() > 0) {
        return Acad::eNotApplicable;
    }
    std::vector<AcDbObjectId> references;
    std::vector<AcDbObjectId> blocks;
    std::vector<std::string> names;
    for (const AcDbXrefGraphNode* going : goingWith(graph, node)) {
        for (AcDbObjectId reference : referencesTo(drawing, going->btrId())) {
            references.push_back(reference);
        }
        blocks.push_back(going->btrId());
        names.emplace_back(going->name());
    }
    // References go first: a block is not erased while a reference to it stands.
    const bool wasCurrent = xrefs.isCurrent();
    Change change(drawing);
    es = eraseAll(drawing, references);
    if (es == Acad::eOk) {
        es = eraseAll(drawing, blocks);
    }
    return finishRemoval(xrefs, change, es, names, blocks, wasCurrent);
}

Acad::ErrorStatus unloadXrefs(DrawingXrefs& xrefs, const std::vector<AcDbObjectId>& blocks) {
    return setUnloaded(xrefs, blocks, true);
}

Acad::ErrorStatus reloadXrefs(DrawingXrefs& xrefs, const std::vector<AcDbObjectId>& blocks) {
    return setUnloaded(xrefs, blocks, false);
}

Acad::ErrorStatus bindXref(DrawingXrefs& xrefs, const std::string& name, BindKind kind) {
    AcDbDatabase& drawing = xrefs.drawing();
    AcDbObjectId target;
    Acad::ErrorStatus es = findXref(drawing, name, target);
    if (es == Acad::eOk) {
        es = checkFirstLevelXrefs(drawing, {target});
    }
    AcDbXrefGraph graph;
    if (es == Acad::eOk) {
        es = acdbGetHostDwgXrefGraph(&drawing, graph);
    }
    std::vector<BoundXref> bound;
    if (es == Acad::eOk) {
        es = xrefsToBind(graph.xrefNode(target), bound);
    }
    if (es != Acad::eOk) {
        return es;
    }
    std::vector<std::string> names;
    std::vector<AcDbObjectId> blocks;
    for (const BoundXref& xref : bound) {
        // A DWG drawing is read without the entities of some types; bound, they would be lost.
        const std::vector<std::string>& leftOut = xref.loaded->state().dwgLeftOut;
        if (!leftOut.empty()) {
            std::string types;
            for (const std::string& type : leftOut) {
                types += " " + type;
            }
            xrefs.message("\nCannot bind " + xref.name +
                          ": its DWG drawing holds entities the host does not read from DWG "
                          "files:" +
                          types);
            return Acad::eNotApplicable;
        }
        names.push_back(xref.name);
        blocks.push_back(xref.block);
    }
    const bool wasCurrent = xrefs.isCurrent();
    Change change(drawing);
    es = bindAsBlocks(change, drawing, bound, kind);
    return finishRemoval(xrefs, change, es, names, blocks, wasCurrent);
}

}  // namespace cadhost::xref
