#pragma once
// Internal to the drawing database: what may be erased or unerased, and when.

#include "cadhost/sdk/dbmain.h"

namespace cadhost::db {

// eOk when the object (open for write) may be erased (`erasing`) or unerased now:
// - symbol tables and layout blocks never (eNotApplicable);
// - a block definition while an INSERT or DIMENSION that is not erased refers to it, and a
//   layer while an entity is on it (eObjectIsReferenced);
// - layer 0 and the current layer never (eNotApplicable);
// - an unerase of a record whose name another record took meanwhile (eDuplicateRecordName).
Acad::ErrorStatus checkErase(const AcDbObject& object, bool erasing);

}  // namespace cadhost::db
