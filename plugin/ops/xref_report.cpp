#include "plugin/ops/xref_report.h"

#include <algorithm>
#include <array>

#include "plugin/ops/dialog_operations.h"
#include "plugin/ops/row_columns.h"

namespace lnkhold {

namespace {

// Characters, not bytes, so that names in other scripts line up (UTF-8).
std::size_t textWidth(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string joinNotes(const std::vector<std::string>& notes) {
    std::string joined;
    for (const std::string& note : notes) {
        joined += (joined.empty() ? "" : ", ") + note;
    }
    return joined;
}

using Cells = std::array<std::string, kColumnCount>;

void appendAligned(std::string& out, const Cells& cells,
                   const std::array<std::size_t, kColumnCount>& widths) {
    for (std::size_t column = 0; column < cells.size(); ++column) {
        out += cells[column];
        if (column + 1 < cells.size()) {
            out.append(widths[column] - textWidth(cells[column]) + 2, ' ');
        }
    }
}

}  // namespace

std::string rowListing(const XrefRowList& rows, const std::vector<int>& selected) {
    std::vector<Cells> table;
    Cells titles;
    for (int column = 0; column < kColumnCount; ++column) {
        titles[static_cast<std::size_t>(column)] = columnTitle(column);
    }
    table.push_back(titles);
    for (int position = 0; position < rows.count(); ++position) {
        Cells cells;
        for (int column = 0; column < kColumnCount; ++column) {
            cells[static_cast<std::size_t>(column)] = cellText(*rows.rowAt(position), column);
        }
        table.push_back(cells);
    }
    std::array<std::size_t, kColumnCount> widths{};
    for (const Cells& cells : table) {
        for (std::size_t column = 0; column < cells.size(); ++column) {
            widths[column] = std::max(widths[column], textWidth(cells[column]));
        }
    }
    std::string out = "  ";
    appendAligned(out, table.front(), widths);
    for (int position = 0; position < rows.count(); ++position) {
        const bool isSelected =
            std::find(selected.begin(), selected.end(), position) != selected.end();
        std::string line = isSelected ? "* " : "  ";
        appendAligned(line, table[static_cast<std::size_t>(position) + 1], widths);
        if (const std::string notes = joinNotes(rowNotes(*rows.rowAt(position))); !notes.empty()) {
            line += "  [" + notes + "]";
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out += "\n" + line;
    }
    return out;
}

std::string csvRecord(const std::vector<std::string>& fields) {
    std::string record;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& field = fields[i];
        if (i > 0) {
            record += ',';
        }
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            record += field;
            continue;
        }
        record += '"';
        for (const char c : field) {
            record += c;
            if (c == '"') {
                record += '"';
            }
        }
        record += '"';
    }
    return record + "\r\n";
}

std::string reportHeader() {
    std::vector<std::string> fields = {"Drawing"};
    for (int column = 0; column < kColumnCount; ++column) {
        fields.emplace_back(columnTitle(column));
    }
    fields.insert(fields.end(), {"Notes", "Full path", "Found path"});
    return csvRecord(fields);
}

std::string reportRecords(const std::string& drawing, const XrefRowList& rows) {
    std::string records;
    for (int position = 0; position < rows.count(); ++position) {
        const XrefRow& row = *rows.rowAt(position);
        std::vector<std::string> fields = {drawing};
        for (int column = 0; column < kColumnCount; ++column) {
            fields.push_back(cellText(row, column));
        }
        fields.push_back(joinNotes(rowNotes(row)));
        fields.push_back(row.fullPath());
        // A row the user added has no place where the host found it.
        fields.push_back(row.foundPath == kXrefNotDefined ? std::string() : row.foundPath);
        records += csvRecord(fields);
    }
    return records;
}

}  // namespace lnkhold
