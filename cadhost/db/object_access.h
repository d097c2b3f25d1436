#pragma once
// Internal to the drawing database: the state behind every AcDbObject.

#include <memory>
#include <optional>
#include <vector>

#include "cadhost/db/database_state.h"
#include "cadhost/sdk/dbsymtb.h"

struct AcDbObject::State {
    struct Part {
        cadhost::db::ObjectStub* stub = nullptr;  // null until the object is in a database
        cadhost::db::TagList tags;
    };
    cadhost::db::ObjectStub* stub = nullptr;
    std::vector<Part> parts;
    std::optional<bool> eraseTo;                // an erase or unerase to apply at close
    AcDbBlockTableRecord* pendingIn = nullptr;  // appended to a block not yet in a database
    bool pendingClosed = false;                 // closed by its creator while pending
    // A lightweight polyline stored as POLYLINE, VERTEX... and SEQEND records.
    bool polylineRecords = false;
};

namespace cadhost::db {

struct ObjectAccess {
    static AcDbObject::State& state(AcDbObject& object) { return *object.state_; }
    static const AcDbObject::State& state(const AcDbObject& object) { return *object.state_; }
    static std::vector<std::unique_ptr<AcDbEntity>>& pending(AcDbBlockTableRecord& block) {
        return block.pending_;
    }
};

// The object of the right class for a record, holding the record's tags.
std::unique_ptr<AcDbObject> materialize(DatabaseState& state, ObjectStub* stub);

}  // namespace cadhost::db
