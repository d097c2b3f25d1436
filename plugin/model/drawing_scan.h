#pragma once
// Rows for the xref blocks of the working drawing.

#include "plugin/model/xref_row_list.h"

namespace lnkhold {

// Appends one row per xref block record of the working drawing, in block-table order; the
// new row count. Changes nothing in the drawing.
int scanDrawing(XrefRowList& rows);

}  // namespace lnkhold
