#pragma once
// The xref graph of a drawing: the drawing itself is the root node, every xref block record
// of the drawing a node, and an edge leads from the drawing or a loaded xref to each xref it
// inserts. Nodes the drawing inserts directly are marked kFirstLevel; the others are nested
// (an edge comes from another xref) or unreferenced (no edge comes in at all).

#include <memory>
#include <string>
#include <vector>

#include "dbmain.h"

class AcDbGraphNode {
  public:
    enum Flags : unsigned char {
        kNone = 0x00,
        kVisited = 0x01,
        kFirstLevel = 0x10,
    };

    virtual ~AcDbGraphNode() = default;

    int numIn() const { return static_cast<int>(in_.size()); }
    int numOut() const { return static_cast<int>(out_.size()); }
    // Null for an index out of range.
    AcDbGraphNode* in(int index) const;
    AcDbGraphNode* out(int index) const;
    bool isMarkedAs(unsigned char flags) const { return (flags_ & flags) == flags; }
    void markAs(unsigned char flags) { flags_ |= flags; }
    void clear(unsigned char flags) { flags_ &= static_cast<unsigned char>(~flags); }

    // Adds an edge from this node to `to`, once.
    void addRefTo(AcDbGraphNode* to);

  private:
    std::vector<AcDbGraphNode*> in_;
    std::vector<AcDbGraphNode*> out_;
    unsigned char flags_ = kNone;
};

class AcDbXrefGraphNode : public AcDbGraphNode {
  public:
    AcDbXrefGraphNode(std::string name, AcDbObjectId block, AcDbDatabase* database,
                      AcDb::XrefStatus status);

    const char* name() const { return name_.c_str(); }
    // The xref's block record in the drawing; null for the root and for ghosts.
    AcDbObjectId btrId() const { return block_; }
    // The drawing (root) or the xref's loaded drawing; null when not loaded.
    AcDbDatabase* database() const { return database_; }
    AcDb::XrefStatus xrefStatus() const { return status_; }
    bool isNested() const { return !isMarkedAs(kFirstLevel); }

  private:
    std::string name_;
    AcDbObjectId block_;
    AcDbDatabase* database_;
    AcDb::XrefStatus status_;
};

class AcDbXrefGraph {
  public:
    AcDbXrefGraph() = default;
    AcDbXrefGraph(const AcDbXrefGraph&) = delete;
    AcDbXrefGraph& operator=(const AcDbXrefGraph&) = delete;

    int numNodes() const { return static_cast<int>(nodes_.size()); }
    AcDbXrefGraphNode* xrefNode(int index) const;
    AcDbXrefGraphNode* rootNode() const { return xrefNode(0); }
    // The node of a block record; null when the graph has none.
    AcDbXrefGraphNode* xrefNode(AcDbObjectId block) const;
    // The node of that name (letter case ignored); null when none.
    AcDbXrefGraphNode* xrefNode(const char* name) const;

    void reset() { nodes_.clear(); }
    AcDbXrefGraphNode* addNode(std::unique_ptr<AcDbXrefGraphNode> node);

  private:
    std::vector<std::unique_ptr<AcDbXrefGraphNode>> nodes_;
};

// The graph of a drawing whose xrefs the host keeps. With includeGhosts, overlays inside
// loaded xrefs (which are not loaded) appear as nodes without a block record.
Acad::ErrorStatus acdbGetHostDwgXrefGraph(AcDbDatabase* drawing, AcDbXrefGraph& graph,
                                          bool includeGhosts = false);
