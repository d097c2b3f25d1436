#pragma once
// Internal to the drawing database: the entries of symbol tables by name, so that a look-up by
// name does not read the table.
//
// A scope is a table, given by its TABLE record (its entries are every record between TABLE and
// ENDTAB), or an R12 drawing's block table, given by the SECTION record of BLOCKS (its entries
// are the section's BLOCK records). A scope's index is built at the first look-up in it. Each
// edit of a record that the database makes brings the indexes along (beginEdit before it,
// finishEdit after it), so that editing a table keeps its index; an index whose scope the
// document shows changed in any other way is built anew at its next look-up.

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cadhost/db/dxf_document.h"

namespace cadhost::db {

class DatabaseState;
struct ObjectStub;

class SymbolNames {
  public:
    explicit SymbolNames(DatabaseState& db) : db_(db) {}

    // The first entry of the scope, in drawing order, whose name is `name` (ASCII letters of
    // either case alike) and whose type is `type` (any type when empty); null when none.
    // Erased entries are not found.
    ObjectStub* find(dxf::RecordId scope, std::string_view name, std::string_view type = {});
    // True when the record is an entry of the scope.
    bool contains(dxf::RecordId scope, dxf::RecordId record) const;
    // Forgets every index, for a new document.
    void clear() { indexes_.clear(); }

    // Where a record is listed: the scope and its name's key.
    struct Listing {
        dxf::RecordId scope;
        std::string key;
        bool operator==(const Listing&) const = default;
    };
    // One edit of one record, between beginEdit and finishEdit.
    struct Edit {
        std::vector<dxf::RecordId> current;  // scopes whose index was up to date before
        std::vector<Listing> left;           // where the record was listed before
    };
    // Before the edit: the record and its name (group 2) as they are; null for a record yet
    // to come.
    Edit beginEdit(const ObjectStub* stub, std::string_view name) const;
    // After it: the record and its name as they are now (the stub without a record when the
    // record was erased).
    void finishEdit(const Edit& edit, ObjectStub* stub, std::string_view name);

  private:
    struct Index {
        std::uint64_t revision = 0;  // the scope's revision the index matches
        // Entries by name key, each list in drawing order unless its key is in `unordered`.
        std::unordered_map<std::string, std::vector<ObjectStub*>> byName;
        std::unordered_set<std::string> unordered;
    };

    Index& indexOf(dxf::RecordId scope);
    // The records of the scope from the first after its marker up to its end marker.
    template <class Visit>
    void forEachRecord(dxf::RecordId scope, Visit visit) const;
    void putInOrder(dxf::RecordId scope, std::vector<ObjectStub*>& entries) const;
    std::vector<Listing> listingsOf(dxf::RecordId record, std::string_view name) const;

    DatabaseState& db_;
    std::unordered_map<dxf::RecordId, Index> indexes_;
};

}  // namespace cadhost::db
