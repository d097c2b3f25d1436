#pragma once
// What the xref list shows of a row, column by column, and what its colours mean in words;
// the dialog's list and the command-line form show the same texts.

#include <string>
#include <vector>

#include "plugin/model/xref_row.h"

namespace lnkhold {

// "Xref Name", "Status", "Path", "Date modified", "Size", "Current"; "" outside 0..5.
const char* columnTitle(int column);
// The text of one cell; a file that is not found shows no size and no "Current".
std::string cellText(const XrefRow& row, int column);

// The row's colours in words: "added" (blue: a file the user added), "nested or
// unreferenced" (red), "newer than its file" (green: the loaded xref is newer than its file).
std::vector<std::string> rowNotes(const XrefRow& row);

}  // namespace lnkhold
