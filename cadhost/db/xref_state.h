#pragma once
// The host's side of a block record's xref state: the xref engine records what it found.

#include "cadhost/sdk/dbmain.h"

namespace cadhost::db {

// Sets what xrefStatus() and xrefDatabase() of the block report; `loaded` stays owned by
// the caller and must outlive its use here.
void setXrefState(AcDbObjectId block, AcDb::XrefStatus status, AcDbDatabase* loaded);

}  // namespace cadhost::db
