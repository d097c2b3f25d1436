#include "plugin/model/xref_row_list.h"

#include <algorithm>
#include <set>

#include "platform/collation.h"

namespace lnkhold {

int XrefRowList::append(std::unique_ptr<XrefRow> row) {
    rows_.push_back(std::move(row));
    return count();
}

XrefRow* XrefRowList::rowAt(int position) const {
    return position >= 0 && position < count() ? rows_[static_cast<std::size_t>(position)].get()
                                               : nullptr;
}

template <class Predicate>
void XrefRowList::removeIf(Predicate predicate) {
    std::erase_if(rows_, [&](const std::unique_ptr<XrefRow>& row) { return predicate(*row); });
}

void XrefRowList::removeAll() {
    rows_.clear();
}

void XrefRowList::removeDrawingRows() {
    removeIf([](const XrefRow& row) { return !row.blockId.isNull(); });
}

void XrefRowList::removeNestedOrUnreferenced() {
    removeIf([](const XrefRow& row) { return row.nestedOrUnreferenced == 1; });
}

void XrefRowList::removePendingNamedLikeDrawingRows() {
    std::set<std::string> drawingNames;
    for (const auto& row : rows_) {
        if (!row->blockId.isNull()) {
            drawingNames.insert(row->name);
        }
    }
    removeIf([&](const XrefRow& row) {
        return row.blockId.isNull() && drawingNames.contains(row.name);
    });
}

bool XrefRowList::removeAt(int position) {
    if (!rowAt(position)) {
        return false;
    }
    rows_.erase(rows_.begin() + position);
    return true;
}

bool XrefRowList::remove(const XrefRow* row) {
    const auto found = std::find_if(rows_.begin(), rows_.end(),
                                    [row](const auto& held) { return held.get() == row; });
    if (found == rows_.end()) {
        return false;
    }
    rows_.erase(found);
    return true;
}

XrefRow* XrefRowList::findByName(const std::string& name) const {
    auto found = std::find_if(rows_.begin(), rows_.end(),
                              [&](const auto& row) { return row->name == name; });
    return found == rows_.end() ? nullptr : found->get();
}

XrefRow* XrefRowList::findByBlockId(AcDbObjectId id) const {
    auto found = std::find_if(rows_.begin(), rows_.end(),
                              [&](const auto& row) { return row->blockId == id; });
    return found == rows_.end() ? nullptr : found->get();
}

std::vector<std::string> XrefRowList::collectFullPaths() const {
    std::vector<std::string> paths;
    paths.reserve(rows_.size());
    for (const auto& row : rows_) {
        paths.push_back(row->fullPath());
    }
    return paths;
}

void XrefRowList::sortByName(bool ascending) {
    std::stable_sort(rows_.begin(), rows_.end(), [ascending](const auto& a, const auto& b) {
        const int order = platform::lstrcmpA(a->name, b->name);
        return ascending ? order < 0 : order > 0;
    });
}

void XrefRowList::sortByColumn(int column, bool ascending) {
    const auto compare = [column](const XrefRow& a, const XrefRow& b) -> int {
        const auto numeric = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
        switch (column) {
            case 0:
                return platform::_mbsicmp(a.name, b.name);
            case 1:
                return platform::_mbsicmp(a.statusText, b.statusText);
            case 2:
                return platform::_mbsicmp(a.fullPath(), b.fullPath());
            case 3:
                return numeric(a.fileTime, b.fileTime);
            case 4:
                return numeric(a.fileSize, b.fileSize);
            case 5:
                return numeric(a.timestampDiffers, b.timestampDiffers);
            default:
                return 0;
        }
    };
    std::stable_sort(rows_.begin(), rows_.end(), [&](const auto& a, const auto& b) {
        const int order = compare(*a, *b);
        return ascending ? order < 0 : order > 0;
    });
}

}  // namespace lnkhold
