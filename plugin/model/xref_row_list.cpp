#include "plugin/model/xref_row_list.h"

#include <algorithm>

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

bool XrefRowList::removeAt(int position) {
    if (!rowAt(position)) {
        return false;
    }
    rows_.erase(rows_.begin() + position);
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

}  // namespace lnkhold
