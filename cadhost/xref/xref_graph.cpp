#include <algorithm>
#include <map>
#include <unordered_map>

#include "cadhost/sdk/dbxrefgraph.h"
#include "cadhost/xref/drawing_scan.h"
#include "cadhost/xref/drawing_xrefs.h"
#include "cadhost/xref/file_search.h"
#include "platform/case_fold.h"
#include "platform/splitpath.h"

AcDbGraphNode* AcDbGraphNode::in(int index) const {
    return index >= 0 && index < numIn() ? in_[static_cast<std::size_t>(index)] : nullptr;
}

AcDbGraphNode* AcDbGraphNode::out(int index) const {
    return index >= 0 && index < numOut() ? out_[static_cast<std::size_t>(index)] : nullptr;
}

void AcDbGraphNode::addRefTo(AcDbGraphNode* to) {
    if (to && std::find(out_.begin(), out_.end(), to) == out_.end()) {
        out_.push_back(to);
        to->in_.push_back(this);
    }
}

AcDbXrefGraphNode::AcDbXrefGraphNode(std::string name, AcDbObjectId block, AcDbDatabase* database,
                                     AcDb::XrefStatus status)
    : name_(std::move(name)), block_(block), database_(database), status_(status) {}

AcDbXrefGraphNode* AcDbXrefGraph::xrefNode(int index) const {
    return index >= 0 && index < numNodes() ? nodes_[static_cast<std::size_t>(index)].get()
                                            : nullptr;
}

AcDbXrefGraphNode* AcDbXrefGraph::xrefNode(AcDbObjectId block) const {
    if (block.isNull()) {
        return nullptr;
    }
    for (const auto& node : nodes_) {
        if (node->btrId() == block) {
            return node.get();
        }
    }
    return nullptr;
}

AcDbXrefGraphNode* AcDbXrefGraph::xrefNode(const char* name) const {
    for (const auto& node : nodes_) {
        if (name && platform::equalsIgnoreCase(node->name(), name)) {
            return node.get();
        }
    }
    return nullptr;
}

AcDbXrefGraphNode* AcDbXrefGraph::addNode(std::unique_ptr<AcDbXrefGraphNode> node) {
    nodes_.push_back(std::move(node));
    return nodes_.back().get();
}

Acad::ErrorStatus acdbGetHostDwgXrefGraph(AcDbDatabase* drawing, AcDbXrefGraph& graph,
                                          bool includeGhosts) {
    graph.reset();
    if (!drawing) {
        return Acad::eNoDatabase;
    }
    AcDbBlockTable* table = nullptr;
    if (Acad::ErrorStatus es = drawing->getBlockTable(table, AcDb::kForRead); es != Acad::eOk) {
        return es;
    }
    table->close();

    // The drawing's xref engine keeps its scan of the drawing and the scans of the files it
    // loaded, and the drawing's host path.
    cadhost::xref::DrawingXrefs* engine = cadhost::xref::DrawingXrefs::of(drawing);
    const std::string path =
        engine ? engine->drawingPath() : cadhost::xref::drawingHostPath(*drawing);
    AcDbXrefGraphNode* root = graph.addNode(std::make_unique<AcDbXrefGraphNode>(
        platform::splitPath(path).fname, AcDbObjectId::kNull, drawing, AcDb::kXrfNotAnXref));
    std::map<std::string, AcDbXrefGraphNode*, cadhost::xref::FoldedLess> byName;
    for (const cadhost::xref::XrefRecord& record :
         engine ? engine->records() : cadhost::xref::scanXrefs(*drawing)) {
        AcDbXrefGraphNode* node = graph.addNode(std::make_unique<AcDbXrefGraphNode>(
            record.name, record.id, record.loaded, record.status));
        byName[record.name] = node;
        if (record.inserted) {
            root->addRefTo(node);
            node->markAs(AcDbGraphNode::kFirstLevel);
        }
    }
    // Edges out of each loaded xref; a file loaded for several records is scanned once.
    std::unordered_map<AcDbDatabase*, std::vector<cadhost::xref::XrefRecord>> scans;
    for (int i = 1; i < graph.numNodes(); ++i) {
        AcDbXrefGraphNode* from = graph.xrefNode(i);
        if (!from->database() || from->btrId().isNull()) {
            continue;
        }
        const std::vector<cadhost::xref::XrefRecord>* kept =
            engine ? engine->xrefsOfLoaded(from->database()) : nullptr;
        if (!kept) {
            auto [scan, fresh] = scans.try_emplace(from->database());
            if (fresh) {
                scan->second = cadhost::xref::scanXrefs(*from->database());
            }
            kept = &scan->second;
        }
        for (const cadhost::xref::XrefRecord& nested : *kept) {
            if (!nested.inserted) {
                continue;
            }
            if (nested.overlay) {
                if (includeGhosts) {
                    AcDbXrefGraphNode* ghost = graph.xrefNode(nested.name.c_str());
                    if (!ghost || !ghost->btrId().isNull()) {
                        ghost = graph.addNode(std::make_unique<AcDbXrefGraphNode>(
                            nested.name, AcDbObjectId::kNull, nullptr, AcDb::kXrfUnreferenced));
                    }
                    from->addRefTo(ghost);
                }
                continue;
            }
            if (auto to = byName.find(nested.name); to != byName.end()) {
                from->addRefTo(to->second);
            }
        }
    }
    return Acad::eOk;
}
