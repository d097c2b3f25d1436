#pragma once
// Internal to the drawing database: putting new objects into the drawing as records of the
// shape the file's release needs.

#include "cadhost/db/object_access.h"

namespace cadhost::db {

// Adds a new table entry (a layer, an application, a block with its BLOCK and ENDBLK and the
// entities appended to it meanwhile) to the table; the record is then open for write.
Acad::ErrorStatus placeTableEntry(DatabaseState& db, ObjectStub* table,
                                  AcDbSymbolTableRecord& record);
// Adds a new entity to a block of the database; it is then open for write.
Acad::ErrorStatus placeEntity(DatabaseState& db, ObjectStub* block, AcDbEntity& entity);

}  // namespace cadhost::db
