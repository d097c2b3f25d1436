#pragma once
// Internal to the drawing database: object stubs (what an AcDbObjectId points at), the
// open protocol, and the edits of the DXF document with their undo log.

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cadhost/db/dxf_document.h"
#include "cadhost/db/symbol_names.h"
#include "cadhost/db/tag_list.h"
#include "cadhost/sdk/dbmain.h"
#include "cadhost/sdk/dbtrans.h"

namespace cadhost::db {

class DatabaseState;

// One object of the database. Every record of the document that an id was asked for has one;
// it outlives the record when the record is erased.
struct ObjectStub {
    DatabaseState* state = nullptr;
    dxf::RecordId record = dxf::kNoRecord;  // kNoRecord while erased
    std::uint64_t handle = 0;
    bool virtualBlockTable = false;  // the block table of an R12 file, which has no record

    bool erased = false;
    dxf::RecordId erasedRecord = dxf::kNoRecord;  // the document's record it had before
    TagList erasedTags;
    std::string erasedSection;
    ObjectStub* anchor = nullptr;  // the record before this one when it was erased
    // Records erased with this one (a block's BLOCK, entities and ENDBLK), in erase order.
    std::vector<ObjectStub*> erasedWith;

    int readers = 0;
    bool writer = false;
    AcDbObject* object = nullptr;     // the open object, shared by all readers
    AcTransaction* holder = nullptr;  // the transaction that opened it, if any

    std::optional<AcDb::XrefStatus> xrefStatus;  // set by the xref engine
    AcDbDatabase* xrefDatabase = nullptr;
};

// Record changes in order, so that they can be undone last to first.
struct UndoLog {
    // Header: a header variable was set; `previousTags` holds its record before (empty when
    // the drawing lacked it).
    enum class Kind { Replaced, Inserted, Erased, Header };
    struct Entry {
        Entry(Kind k, ObjectStub* s, TagList previous = {}, std::string name = {})
            : kind(k), stub(s), previousTags(std::move(previous)), variable(std::move(name)) {}
        Kind kind;
        ObjectStub* stub;      // null for Header
        TagList previousTags;  // Replaced and Header only
        std::string variable;  // Header only
    };
    std::vector<Entry> entries;
};

enum class TableKind { Block, Layer, RegApp };

// What a transaction holds: the objects it opened, the state of objects an enclosing
// transaction opened before this one touched them, and its record changes.
class TransactionState {
  public:
    struct Reset {
        ObjectStub* stub;
        std::vector<TagList> parts;
        bool writer;
    };
    TransactionState(DatabaseState& database, AcTransaction* enclosing);

    DatabaseState& db;
    AcTransaction* parent;
    std::vector<ObjectStub*> held;
    std::vector<Reset> resets;
    UndoLog log;
    // The document as the transaction found it, beyond its records: an abort puts these back.
    std::optional<dxf::Document::EditMarks> marks;
    bool wasSaved = false;  // the document's content was the one last read or saved
};

// Told of the transactions of a database, so that state kept beside the drawing can follow an
// abort back. Called after the database has done its part (an abort: after the drawing's
// records are restored).
class TransactionWatcher {
  public:
    virtual ~TransactionWatcher() = default;
    virtual void transactionStarted(AcTransaction& transaction) = 0;
    virtual void transactionEnded(AcTransaction& transaction) = 0;
    virtual void transactionAborted(AcTransaction& transaction) = 0;
};

class DatabaseState {
  public:
    explicit DatabaseState(AcDbDatabase& database);
    ~DatabaseState();

    AcDbDatabase& database;
    std::optional<dxf::Document> document;
    std::filesystem::path fileName;
    std::string fileNameText;
    std::string lastMessage;
    // Read from a DWG file (through the DWG reader), and the entity types that reading left out.
    bool fromDwg = false;
    std::vector<std::string> dwgLeftOut;
    std::uint64_t savedRevision = 0;  // the document's revision when last read or saved
    AcDbTransactionManager transactions;

    void setDocument(dxf::Document doc);
    dxf::Document& doc();
    const dxf::Document& doc() const;
    // R13 and later: owner handles, subclass markers, a BLOCK_RECORD table.
    bool modern() const;
    // R2000 and later: the layouts' entities live in the ENTITIES section.
    bool hasLwpolylines() const;

    ObjectStub* stubFor(dxf::RecordId record);
    ObjectStub* stubForHandle(std::uint64_t handle);
    // The object's tags, also while it is erased.
    TagList tagsOf(const ObjectStub* stub);
    ObjectStub* tableStub(TableKind kind);
    // Listings in drawing order; `withErased` adds erased objects where they stood.
    std::vector<ObjectStub*> tableEntries(TableKind kind, bool withErased = false);
    // The entries of a table given by its TABLE record (or the R12 block table).
    std::vector<ObjectStub*> entriesOf(const ObjectStub* table, bool withErased = false);
    // The first entry of the table of that name (ASCII case ignored) that is not erased.
    ObjectStub* findEntry(TableKind kind, std::string_view name);
    // The same in the table of the given TABLE record (or the R12 block table), among entries
    // of any type; and whether an entry that is not erased belongs to it.
    ObjectStub* findInTable(const ObjectStub* table, std::string_view name);
    bool isInTable(const ObjectStub* table, const ObjectStub* entry);
    // A block's BLOCK entity (for R12 the record itself) and its ENDBLK; kNoRecord if missing.
    dxf::RecordId blockBegin(const ObjectStub* block);
    dxf::RecordId blockEnd(const ObjectStub* block);
    std::string entryName(const ObjectStub* entry);  // group 2 of a table entry
    // For files without owner handles: the block record an entity belongs to (a layout block
    // for one in the ENTITIES section); null for what is not an entity of a block.
    ObjectStub* ownerBlockOf(const ObjectStub* entity);
    // *Model_Space and *Paper_Space keep their entities in the ENTITIES section.
    bool entitiesInEntitiesSection(const ObjectStub* block);
    std::vector<ObjectStub*> blockEntities(ObjectStub* block, bool withErased = false);
    // The VERTEX or ATTRIB records and the SEQEND that follow a POLYLINE or an INSERT; for an
    // erased one those erased with it.
    std::vector<ObjectStub*> followers(const ObjectStub* stub);

    // The open protocol.
    Acad::ErrorStatus open(AcDbObject*& object, ObjectStub* stub, AcDb::OpenMode mode,
                           bool openErased);
    Acad::ErrorStatus close(AcDbObject& object);
    // Writes the object's changes to the document, logging them in `log` when given.
    void writeBack(AcDbObject& object, UndoLog* log);
    // Gives up one open of the stub's object; the last one deletes it.
    void release(ObjectStub* stub);
    // Where a change to the stub's record is logged: in the transaction that holds it open,
    // else in the top transaction while one is active (whoever opened the object, a change
    // made while a transaction runs goes with its abort); null outside transactions.
    UndoLog* logFor(const ObjectStub* stub);

    // Document edits; each keeps stubs and the log up to date.
    void replace(ObjectStub* stub, TagList tags, UndoLog* log);
    ObjectStub* insertBefore(dxf::RecordId position, TagList tags, UndoLog* log);
    void erase(ObjectStub* stub, UndoLog* log);
    Acad::ErrorStatus unerase(ObjectStub* stub, TagList tags, UndoLog* log);
    // The same for an object together with the records that belong to it: a block
    // definition's BLOCK, entities and ENDBLK.
    void eraseWithMembers(ObjectStub* stub, UndoLog* log);
    Acad::ErrorStatus uneraseWithMembers(ObjectStub* stub, TagList tags, UndoLog* log);
    void undo(const UndoLog& log);

    // Header variables. While a transaction is active a change is logged in the top one, so
    // that its abort sets the variable back; `undoable` false leaves it out (the time stamps
    // of a save).
    std::optional<Tag> header(std::string_view name) const;
    void setHeader(std::string_view name, Tag value, bool undoable = true);

    // Those told of the transactions; each removes itself before it goes.
    std::vector<TransactionWatcher*> watchers;

    // Objects still open, for the report when the database goes away.
    std::vector<ObjectStub*> openStubs();

  private:
    ObjectStub& newStub();
    void bind(ObjectStub* stub, dxf::RecordId record);
    void reloadOpenObject(ObjectStub* stub);
    // Takes out a record whose insertion is undone.
    void discard(ObjectStub* stub);
    // After an entry of the table that `marker` opens came or went: a table object open for
    // write takes the document's new entry count, so that its close does not write back the
    // count it read.
    void followTableCount(dxf::RecordId marker);
    void indexBlocks();
    // The records after `begin` up to `end`, each followed by the erased records that stood
    // after it when `withErased`.
    std::vector<ObjectStub*> recordsBetween(dxf::RecordId begin, dxf::RecordId end,
                                            bool withErased);
    // Where the table's entries are looked up by name: its TABLE record, or the BLOCKS
    // section's for the R12 block table; kNoRecord when the drawing lacks the table.
    dxf::RecordId nameScope(TableKind kind);
    dxf::RecordId nameScope(const ObjectStub* table);

    std::deque<ObjectStub> stubs_;
    std::vector<ObjectStub*> erased_;  // in the order they were erased
    std::unordered_map<dxf::RecordId, ObjectStub*> byRecord_;
    std::optional<ObjectStub*> virtualBlockTable_;
    // BLOCK records by the handle of their block record, rebuilt after structural edits.
    std::unordered_map<std::uint64_t, dxf::RecordId> blockBegins_;
    bool blocksIndexed_ = false;
    SymbolNames names_{*this};  // for findEntry and findInTable
};

// The database an object or id belongs to.
DatabaseState* stateOf(AcDbObjectId id);

// Reads the drawing `load` gives into the database's state, named `fileName`; the database's
// last message says why when it cannot.
Acad::ErrorStatus readDocument(DatabaseState& state, const std::function<dxf::Document()>& load,
                               const std::filesystem::path& fileName);
// Reads the DXF text the DWG reader made of `dwgFile` into an empty database.
Acad::ErrorStatus readDwgDrawing(AcDbDatabase& database, std::string dxf,
                                 const std::filesystem::path& dwgFile,
                                 std::vector<std::string> leftOut);

}  // namespace cadhost::db
