#pragma once
// The ordered list of rows the xref dialog shows; list item i is row i. Owns its rows.

#include <memory>
#include <string>
#include <vector>

#include "plugin/model/xref_row.h"

namespace lnkhold {

class XrefRowList {
  public:
    // Appends at the tail; the new count.
    int append(std::unique_ptr<XrefRow> row);
    int count() const { return static_cast<int>(rows_.size()); }
    // Null for a position out of range.
    XrefRow* rowAt(int position) const;

    void removeAll();
    // Deletes the rows that came from the drawing, keeping those made from file paths.
    void removeDrawingRows();
    void removeNestedOrUnreferenced();
    // Deletes the rows made from file paths whose name a row from the drawing has.
    void removePendingNamedLikeDrawingRows();
    // Deletes the row at a position; false when there is none.
    bool removeAt(int position);
    // Deletes that row; false when the list does not hold it.
    bool remove(const XrefRow* row);

    // Exact, case-sensitive name; null when absent.
    XrefRow* findByName(const std::string& name) const;
    XrefRow* findByBlockId(AcDbObjectId id) const;
    std::vector<std::string> collectFullPaths() const;

    // Stable sort in the user locale's order of names (lstrcmpA).
    void sortByName(bool ascending = true);
    // Stable sort by a list column: name, status text and full path ignoring letter case
    // (_mbsicmp); date, size and "Current" by file time, file size and the timestamp flag.
    void sortByColumn(int column, bool ascending);

  private:
    template <class Predicate>
    void removeIf(Predicate predicate);

    std::vector<std::unique_ptr<XrefRow>> rows_;
};

}  // namespace lnkhold
