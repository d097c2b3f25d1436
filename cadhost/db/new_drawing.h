#pragma once
// The DXF text of a new, empty drawing (release AC1018).

#include <string>

namespace cadhost::db {

std::string newDrawingDxf();

}  // namespace cadhost::db
