#pragma once
// The xref list as text: the listing the command-line form prints, and the records of a CSV
// report (RFC 4180: fields separated by commas, quoted when they hold a comma, a quote or a
// line end, records ended by CR LF, UTF-8 as the drawing's names are).

#include <string>
#include <vector>

#include "plugin/model/xref_row_list.h"

namespace lnkhold {

// A title line, then a line per row: "*" before a selected row, the six columns aligned, and
// the row's colours in words ("added", ...) in brackets after it.
std::string rowListing(const XrefRowList& rows, const std::vector<int>& selected);

std::string csvRecord(const std::vector<std::string>& fields);
// "Drawing", the six column titles, "Notes", "Full path", "Found path".
std::string reportHeader();
// A record per row with the fields of reportHeader: the drawing is the same in each.
std::string reportRecords(const std::string& drawing, const XrefRowList& rows);

}  // namespace lnkhold
