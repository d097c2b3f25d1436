#pragma once
// Internal to the drawing database: putting new objects into the drawing as records of the
// shape the file's release needs.

#include "cadhost/db/object_access.h"

namespace cadhost::db {

// True when the drawing gives its records handles (every release from R13, and R12 files with
// handles switched on).
bool handlesOn(DatabaseState& db);

// Adds a new table entry (a layer, an application, a block with its BLOCK and ENDBLK and the
// entities appended to it meanwhile) to the table; the record is then open for write.
Acad::ErrorStatus placeTableEntry(DatabaseState& db, ObjectStub* table,
                                  AcDbSymbolTableRecord& record);
// Adds a new entity to a block of the database; it is then open for write. A lightweight
// polyline goes into an R12 drawing as POLYLINE, VERTEX... and SEQEND.
Acad::ErrorStatus placeEntity(DatabaseState& db, ObjectStub* block, AcDbEntity& entity);

// The lightweight polyline's tags of a POLYLINE with its followers; nullopt when the
// lightweight form cannot hold it.
std::optional<TagList> readPolyline(DatabaseState& db, ObjectStub* polyline);
// Writes the lightweight polyline's tags back as the POLYLINE's records.
void writePolyline(DatabaseState& db, ObjectStub* polyline, const TagList& lightweight,
                   UndoLog* log);

}  // namespace cadhost::db
