#pragma once
// Symbol tables (blocks, layers, registered applications) and their records.
//
// Names are compared without regard to ASCII letter case, as the host does.

#include <cstddef>
#include <memory>
#include <vector>

#include "dbapserv.h"
#include "dbmain.h"

class AcDbBlockTableRecordIterator;

namespace cadhost::db {

// A cursor over ids taken when an iterator is made: the container's objects in drawing order,
// the erased ones where they stood.
class IdSequence {
  public:
    explicit IdSequence(std::vector<AcDbObjectId> ids);
    virtual ~IdSequence() = default;

    // With skipDeleted, objects erased by then are passed over.
    void start(bool atBeginning = true, bool skipDeleted = true);
    bool done() const;
    void step(bool forward = true, bool skipDeleted = true);

  protected:
    Acad::ErrorStatus current(AcDbObjectId& id) const;

  private:
    void passErased(bool forward, bool skipDeleted);

    std::vector<AcDbObjectId> ids_;
    std::ptrdiff_t position_ = 0;
};

}  // namespace cadhost::db

class AcDbSymbolTableRecord : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbSymbolTableRecord)

    // The name; valid while the record stays open and unchanged.
    Acad::ErrorStatus getName(const char*& name) const;
    // A copy the caller frees with acutDelString.
    Acad::ErrorStatus getName(char*& name) const;
    virtual Acad::ErrorStatus setName(const char* name);
    // True for records of a table an xref brought in ("PLAN|WALLS").
    bool isDependent() const;

    // A record of a table the host does not model (line types, text styles...).
    AcDbSymbolTableRecord() = default;

  protected:
    // A new record: the table entry's DXF type and subclass marker.
    AcDbSymbolTableRecord(const char* dxfType, const char* subclass);
};

class AcDbSymbolTableIterator : public cadhost::db::IdSequence {
  public:
    using IdSequence::IdSequence;
    Acad::ErrorStatus getRecordId(AcDbObjectId& id) const { return current(id); }
    Acad::ErrorStatus getRecord(AcDbSymbolTableRecord*& record, AcDb::OpenMode mode,
                                bool openErased = false) const;
};

class AcDbSymbolTable : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbSymbolTable)

    // With getErasedRecord, an erased record of the name is found when no other has it.
    Acad::ErrorStatus getAt(const char* name, AcDbObjectId& id, bool getErasedRecord = false) const;
    Acad::ErrorStatus getAt(const char* name, AcDbSymbolTableRecord*& record, AcDb::OpenMode mode,
                            bool openErased = false) const;
    bool has(const char* name) const;
    bool has(AcDbObjectId id) const;
    // Adds a new record (the table open for write); the record is then open for write.
    Acad::ErrorStatus add(AcDbSymbolTableRecord* record);
    Acad::ErrorStatus add(AcDbObjectId& id, AcDbSymbolTableRecord* record);
    // The records in table order.
    Acad::ErrorStatus newIterator(AcDbSymbolTableIterator*& iterator, bool atBeginning = true,
                                  bool skipDeleted = true) const;

  protected:
    std::vector<AcDbObjectId> recordIds(bool withErased = false) const;
};

namespace cadhost::db {

// The typed iterator of a table whose records are of class Record.
template <class Record>
class TypedTableIterator : public AcDbSymbolTableIterator {
  public:
    using AcDbSymbolTableIterator::AcDbSymbolTableIterator;
    using AcDbSymbolTableIterator::getRecord;
    Acad::ErrorStatus getRecord(Record*& record, AcDb::OpenMode mode,
                                bool openErased = false) const {
        AcDbObjectId id;
        record = nullptr;
        Acad::ErrorStatus es = getRecordId(id);
        return es == Acad::eOk ? acdbOpenObject(record, id, mode, openErased) : es;
    }
};

// The typed look-up and iteration of a table whose records are of class Record.
template <class Record, class Iterator>
class TypedTable : public AcDbSymbolTable {
  public:
    using AcDbSymbolTable::getAt;
    using AcDbSymbolTable::newIterator;
    Acad::ErrorStatus getAt(const char* name, Record*& record, AcDb::OpenMode mode,
                            bool openErased = false) const {
        AcDbObjectId id;
        record = nullptr;
        Acad::ErrorStatus es = getAt(name, id, openErased);
        return es == Acad::eOk ? acdbOpenObject(record, id, mode, openErased) : es;
    }
    Acad::ErrorStatus newIterator(Iterator*& iterator, bool atBeginning = true,
                                  bool skipDeleted = true) const {
        iterator = new Iterator(recordIds(true));
        iterator->start(atBeginning, skipDeleted);
        return Acad::eOk;
    }
};

}  // namespace cadhost::db

// --- blocks

class AcDbBlockTableRecord : public AcDbSymbolTableRecord {
  public:
    ACRX_DECLARE_MEMBERS(AcDbBlockTableRecord)

    AcDbBlockTableRecord();
    ~AcDbBlockTableRecord() override;

    Acad::ErrorStatus setName(const char* name) override;

    // Adds the entity to this block; it is then open for write. Entities appended to a block
    // not yet in a database join the database with it.
    Acad::ErrorStatus appendAcDbEntity(AcDbEntity* entity);
    Acad::ErrorStatus appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity);
    Acad::ErrorStatus newIterator(AcDbBlockTableRecordIterator*& iterator, bool atBeginning = true,
                                  bool skipDeleted = true) const;

    bool isLayout() const;  // *Model_Space, *Paper_Space...
    bool isFromExternalReference() const;
    bool isFromOverlayReference() const;
    AcDb::XrefStatus xrefStatus() const;
    // The stored xref path; the first form stays valid while the record stays open.
    Acad::ErrorStatus pathName(const char*& path) const;
    Acad::ErrorStatus pathName(char*& path) const;
    Acad::ErrorStatus setPathName(const char* path);
    // The xref's loaded drawing, if the xref engine loaded one.
    AcDbDatabase* xrefDatabase(bool includeUnresolved = false) const;

  private:
    friend struct cadhost::db::ObjectAccess;
    const std::vector<cadhost::dxf::Tag>& blockTags() const;
    std::int64_t blockFlags() const;
    // Entities appended while the record was not in a database.
    std::vector<std::unique_ptr<AcDbEntity>> pending_;
};

class AcDbBlockTableRecordIterator : public cadhost::db::IdSequence {
  public:
    using IdSequence::IdSequence;
    Acad::ErrorStatus getEntityId(AcDbObjectId& id) const { return current(id); }
    Acad::ErrorStatus getEntity(AcDbEntity*& entity, AcDb::OpenMode mode,
                                bool openErased = false) const;
};

class AcDbBlockTableIterator : public cadhost::db::TypedTableIterator<AcDbBlockTableRecord> {
  public:
    using TypedTableIterator::TypedTableIterator;
};

class AcDbBlockTable
    : public cadhost::db::TypedTable<AcDbBlockTableRecord, AcDbBlockTableIterator> {
  public:
    ACRX_DECLARE_MEMBERS(AcDbBlockTable)
};

// --- layers

class AcDbLayerTableRecord : public AcDbSymbolTableRecord {
  public:
    ACRX_DECLARE_MEMBERS(AcDbLayerTableRecord)

    // A new layer: colour 7, linetype Continuous, on, thawed, unlocked.
    AcDbLayerTableRecord();
    bool isLocked() const;
    Acad::ErrorStatus setIsLocked(bool locked);
};

class AcDbLayerTableIterator : public cadhost::db::TypedTableIterator<AcDbLayerTableRecord> {
  public:
    using TypedTableIterator::TypedTableIterator;
};

class AcDbLayerTable
    : public cadhost::db::TypedTable<AcDbLayerTableRecord, AcDbLayerTableIterator> {
  public:
    ACRX_DECLARE_MEMBERS(AcDbLayerTable)
};

// --- registered applications

class AcDbRegAppTableRecord : public AcDbSymbolTableRecord {
  public:
    ACRX_DECLARE_MEMBERS(AcDbRegAppTableRecord)

    AcDbRegAppTableRecord();
};

class AcDbRegAppTableIterator : public cadhost::db::TypedTableIterator<AcDbRegAppTableRecord> {
  public:
    using TypedTableIterator::TypedTableIterator;
};

class AcDbRegAppTable
    : public cadhost::db::TypedTable<AcDbRegAppTableRecord, AcDbRegAppTableIterator> {
  public:
    ACRX_DECLARE_MEMBERS(AcDbRegAppTable)
};
