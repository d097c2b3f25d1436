#pragma once
// Database objects, entities and the drawing database.
//
// Objects follow the host's open protocol: open (acdbOpenAcDbObject, a table's getAt, an
// iterator, a transaction's getObject), use, close. An object is open for read by any number
// of callers, who then share one C++ object, or for write by one. Breaking the rules gives an
// error result and changes nothing. Closing an object that was opened for write and changed
// writes it back to the drawing.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "acadstrc.h"
#include "adsdef.h"
#include "cadhost/db/dxf_tag.h"
#include "dbdate.h"
#include "dbid.h"
#include "rxobject.h"

class AcDbBlockTable;
class AcDbLayerTable;
class AcDbRegAppTable;
class AcDbTransactionManager;

namespace cadhost::db {
class DatabaseState;
struct ObjectAccess;
}  // namespace cadhost::db

// Extended data is limited to this many bytes per object (measure: see xdataSize).
inline constexpr int kMaxXDataBytes = 16383;

class AcDbObject : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbObject)

    AcDbObject();
    ~AcDbObject() override;
    AcDbObject(const AcDbObject&) = delete;
    AcDbObject& operator=(const AcDbObject&) = delete;

    AcDbObjectId objectId() const;
    AcDbObjectId ownerId() const;
    AcDbDatabase* database() const;
    bool isReadEnabled() const;
    bool isWriteEnabled() const;
    bool isErased() const;
    // The record's DXF type ("LINE", "LAYER"): what tells apart the entities the host keeps
    // without modelling them.
    std::string dxfType() const;

    Acad::ErrorStatus close();
    Acad::ErrorStatus upgradeOpen();
    Acad::ErrorStatus downgradeOpen();
    // Takes effect in the drawing when the object is closed.
    Acad::ErrorStatus erase(bool erasing = true);

    // The extended data of one application, or of all when `application` is null; null when
    // there is none. The caller releases the chain with acutRelRb.
    resbuf* xData(const char* application = nullptr) const;
    // Replaces the data of every application the chain names (a 1001 group alone removes that
    // application's data). Fails, changing nothing, when an application is not registered or
    // the object's extended data would exceed kMaxXDataBytes.
    Acad::ErrorStatus setXData(const resbuf* chain);

    struct State;  // internal to the database

  protected:
    // The object's state is the tags of its record(s): part 0 is its own record; a block
    // table record of a newer release also holds its BLOCK entity as part 1.
    const std::vector<cadhost::dxf::Tag>& tags(std::size_t part = 0) const;
    std::vector<cadhost::dxf::Tag>& tagsForWrite(std::size_t part = 0);
    void setParts(std::vector<std::vector<cadhost::dxf::Tag>> parts);
    std::size_t partCount() const;
    // eOk when the object may be changed: open for write, or not yet in a database.
    Acad::ErrorStatus checkWritable() const;

  private:
    friend struct cadhost::db::ObjectAccess;
    std::unique_ptr<State> state_;
};

class AcDbEntity : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbEntity)

    AcDbEntity();
    AcDbObjectId blockId() const { return ownerId(); }
    // The layer's name ("0" while none is set); the caller frees it with acutDelString.
    char* layer() const;
    Acad::ErrorStatus setLayer(const char* name);
    // Takes the database's current layer (of the given database, else the entity's, else the
    // working one). Appending an entity without a layer to a block does the same.
    Acad::ErrorStatus setDatabaseDefaults(AcDbDatabase* database = nullptr);

  protected:
    // A new entity of a DXF type, with its subclass marker.
    AcDbEntity(const char* dxfType, const char* subclass);
};

class AcDbDatabase {
  public:
    // An empty database when buildDefaultDrawing is false (to be filled by readDxfFile),
    // else a new drawing.
    explicit AcDbDatabase(bool buildDefaultDrawing = true, bool noDocument = false);
    // Reports objects still open, and deletes them.
    ~AcDbDatabase();
    AcDbDatabase(const AcDbDatabase&) = delete;
    AcDbDatabase& operator=(const AcDbDatabase&) = delete;

    Acad::ErrorStatus readDxfFile(const char* fileName);
    Acad::ErrorStatus saveAs(const char* fileName);
    Acad::ErrorStatus save();
    Acad::ErrorStatus getFilename(const char*& fileName) const;
    // True after changes made since the drawing was read, created or last saved.
    bool isModifiedSinceSave() const;
    // Counts the content as it is now as saved: for records the host itself adds while
    // opening a drawing (those of nested xrefs), which are no change of the user's.
    void acceptAsSaved();
    // What the last read or save had to say beyond its result ("" when nothing): why it
    // failed, or after a read that mended a damaged file, what was mended.
    const char* lastMessage() const;

    Acad::ErrorStatus getBlockTable(AcDbBlockTable*& table, AcDb::OpenMode mode = AcDb::kForRead);
    Acad::ErrorStatus getLayerTable(AcDbLayerTable*& table, AcDb::OpenMode mode = AcDb::kForRead);
    Acad::ErrorStatus getRegAppTable(AcDbRegAppTable*& table, AcDb::OpenMode mode = AcDb::kForRead);
    Acad::ErrorStatus getSymbolTable(AcDbBlockTable*& table, AcDb::OpenMode mode = AcDb::kForRead);
    Acad::ErrorStatus getSymbolTable(AcDbLayerTable*& table, AcDb::OpenMode mode = AcDb::kForRead);
    Acad::ErrorStatus getSymbolTable(AcDbRegAppTable*& table, AcDb::OpenMode mode = AcDb::kForRead);
    AcDbObjectId blockTableId() const;
    AcDbObjectId layerTableId() const;
    AcDbObjectId regAppTableId() const;
    Acad::ErrorStatus getAcDbObjectId(AcDbObjectId& id, bool createIfNotFound,
                                      std::uint64_t handle);

    // Header variables.
    AcDbObjectId clayer() const;
    Acad::ErrorStatus setClayer(AcDbObjectId layer);
    bool tilemode() const;
    Acad::ErrorStatus setTilemode(bool tilemode);
    bool visretain() const;
    Acad::ErrorStatus setVisretain(bool visretain);
    AcDbDate tdupdate() const;   // local time of the last save that changed the drawing
    AcDbDate tduupdate() const;  // the same in UTC
    // The project name; the caller frees it with acutDelString.
    Acad::ErrorStatus getProjectName(char*& name) const;
    Acad::ErrorStatus setProjectName(const char* name);
    std::uint64_t handseed() const;
    // "AC1009" (R12) to "AC1032" (R2018).
    std::string dxfVersion() const;

    AcDbTransactionManager* transactionManager();

    cadhost::db::DatabaseState& state() { return *state_; }
    const cadhost::db::DatabaseState& state() const { return *state_; }

  private:
    std::unique_ptr<cadhost::db::DatabaseState> state_;
};

// Opens an object by id. Erased objects open only when `openErased` is true.
Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& object, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased = false);
Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& entity, AcDbObjectId id, AcDb::OpenMode mode,
                                     bool openErased = false);

// Opens an object that must be of class T (eNotThatKindOfClass otherwise, nothing left open).
template <class T>
Acad::ErrorStatus acdbOpenObject(T*& object, AcDbObjectId id, AcDb::OpenMode mode,
                                 bool openErased = false) {
    object = nullptr;
    AcDbObject* opened = nullptr;
    Acad::ErrorStatus es = acdbOpenAcDbObject(opened, id, mode, openErased);
    if (es != Acad::eOk) {
        return es;
    }
    object = T::cast(opened);
    if (!object) {
        opened->close();
        return Acad::eNotThatKindOfClass;
    }
    return Acad::eOk;
}

// Registers an application name in the database's APPID table; true when it is registered
// afterwards (also when it already was).
bool acdbRegApp(const char* application, AcDbDatabase* database);
bool acdbRegApp(const char* application);
