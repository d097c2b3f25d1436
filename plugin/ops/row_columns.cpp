#include "plugin/ops/row_columns.h"

#include <array>

#include "plugin/ops/dialog_operations.h"

namespace lnkhold {

namespace {

constexpr std::array<const char*, kColumnCount> kTitles = {"Xref Name",     "Status", "Path",
                                                           "Date modified", "Size",   "Current"};

}  // namespace

const char* columnTitle(int column) {
    return column >= 0 && column < kColumnCount ? kTitles[static_cast<std::size_t>(column)] : "";
}

std::string cellText(const XrefRow& row, int column) {
    const bool notFound = row.statusCode == 4;
    switch (column) {
        case 0:
            return row.name;
        case 1:
            return row.statusText;
        case 2:
            return row.folder;
        case 3:
            return row.dateText();
        case 4:
            return notFound ? std::string() : row.sizeText();
        case 5:
            return notFound ? std::string() : (row.timestampDiffers == 1 ? "No" : "Yes");
        default:
            return {};
    }
}

std::vector<std::string> rowNotes(const XrefRow& row) {
    std::vector<std::string> notes;
    if (row.addedFromFile == 1) {
        notes.emplace_back("added");
    }
    if (row.nestedOrUnreferenced == 1) {
        notes.emplace_back("nested or unreferenced");
    }
    if (row.timestampDiffers == 1) {
        notes.emplace_back("newer than its file");
    }
    return notes;
}

}  // namespace lnkhold
