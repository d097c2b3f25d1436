#pragma once
// An unloaded xref stays unloaded when the drawing is saved and opened again: the host marks
// its block record with extended data of its own application name, which other DXF readers
// keep without acting on it.

#include "cadhost/sdk/dbsymtb.h"

namespace cadhost::xref {

inline constexpr const char* kXrefApplication = "CADHOST_XREF";

bool isMarkedUnloaded(const AcDbBlockTableRecord& block);
// The block open for write; marking needs kXrefApplication registered in its drawing.
Acad::ErrorStatus markUnloaded(AcDbBlockTableRecord& block, bool unloaded);

}  // namespace cadhost::xref
