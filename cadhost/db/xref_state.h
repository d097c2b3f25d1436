#pragma once
// The host's side of a block record's xref state: the xref engine records what it found.

#include "cadhost/sdk/dbsymtb.h"

namespace cadhost::db {

// Sets what xrefStatus() and xrefDatabase() of the block report; `loaded` stays owned by
// the caller and must outlive its use here.
void setXrefState(AcDbObjectId block, AcDb::XrefStatus status, AcDbDatabase* loaded);

// Marks a block (open for write, or new) as an attached or overlaid xref, or as none.
Acad::ErrorStatus setXrefFlags(AcDbBlockTableRecord& block, bool external, bool overlay);

}  // namespace cadhost::db
