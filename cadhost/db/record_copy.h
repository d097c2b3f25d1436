#pragma once
// Internal to the drawing database: copying records of one drawing into another. Each copy
// gets a new handle of the target; handle references between copied records follow the
// copies. A reference to a record that is not copied would point at nothing or at a stranger
// in the target, so it is dropped: a pointer group, a reactor or an extension dictionary
// (a 102 group left empty goes with it). Handles in extended data belong to their
// application and are only remapped when they name a copied record.

#include <cstdint>
#include <unordered_map>

#include "cadhost/db/database_state.h"

namespace cadhost::db {

class RecordCopy {
  public:
    RecordCopy(DatabaseState& target, UndoLog& log);

    // A source handle that stands for a record the target already has (a table, the block
    // that receives the entities).
    void map(std::uint64_t source, std::uint64_t target);
    // Gives a source record its handle in the target. Every record is reserved before the
    // first is placed, so that references to records placed later resolve too.
    void reserve(const ObjectStub* source);
    bool isMapped(std::uint64_t source) const { return handles_.contains(source); }

    // The source record's tags as the copy holds them.
    TagList remapped(const ObjectStub* source, TagList tags) const;
    // Inserts the (remapped) tags before `position` in the target.
    ObjectStub* place(TagList tags, dxf::RecordId position);

  private:
    std::uint64_t mapped(std::uint64_t source) const;

    DatabaseState& target_;
    UndoLog& log_;
    bool handlesOn_;
    std::unordered_map<std::uint64_t, std::uint64_t> handles_;
    std::unordered_map<const ObjectStub*, std::uint64_t> reserved_;
};

}  // namespace cadhost::db
