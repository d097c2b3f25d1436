#pragma once
// The symbols an xref brought into the drawing: table records named "XREF|NAME".

#include <string>
#include <string_view>
#include <vector>

#include "cadhost/xref/change.h"

namespace cadhost::xref {

// True when the record name is "XREF|..." for the xref (letter case ignored).
bool isDependentOn(std::string_view name, std::string_view xref);

// Erases, as part of the change, the records of a table that the xrefs brought in.
Acad::ErrorStatus eraseDependents(Change& change, AcDbObjectId tableId,
                                  const std::vector<std::string>& xrefs);

}  // namespace cadhost::xref
