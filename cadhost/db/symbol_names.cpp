#include "cadhost/db/symbol_names.h"

#include <algorithm>

#include "cadhost/db/database_state.h"

namespace cadhost::db {

using dxf::kNoRecord;
using dxf::RecordId;

namespace {

bool opensSection(const dxf::Document& doc, RecordId scope) {
    return doc.type(scope) == "SECTION";
}

}  // namespace

bool SymbolNames::contains(RecordId scope, RecordId record) const {
    const dxf::Document& doc = db_.doc();
    if (scope == kNoRecord || record == kNoRecord) {
        return false;
    }
    std::string_view type = doc.type(record);
    if (opensSection(doc, scope)) {
        return type == "BLOCK" && doc.sectionOf(record) == scope;
    }
    return type != "TABLE" && type != "ENDTAB" && doc.tableOf(record) == scope;
}

template <class Visit>
void SymbolNames::forEachRecord(RecordId scope, Visit visit) const {
    const dxf::Document& doc = db_.doc();
    std::string_view end = opensSection(doc, scope) ? "ENDSEC" : "ENDTAB";
    for (RecordId id = doc.next(scope); id != kNoRecord && doc.type(id) != end; id = doc.next(id)) {
        if (!visit(id)) {
            break;
        }
    }
}

SymbolNames::Index& SymbolNames::indexOf(RecordId scope) {
    auto [at, made] = indexes_.try_emplace(scope);
    Index& index = at->second;
    const std::uint64_t revision = db_.doc().revisionWithin(scope);
    if (made || index.revision != revision) {
        index.byName.clear();
        index.unordered.clear();
        forEachRecord(scope, [&](RecordId id) {
            if (contains(scope, id)) {
                index.byName[nameKey(groupText(db_.doc().tags(id), 2))].push_back(db_.stubFor(id));
            }
            return true;
        });
        index.revision = revision;
    }
    return index;
}

void SymbolNames::putInOrder(RecordId scope, std::vector<ObjectStub*>& entries) const {
    std::unordered_map<RecordId, std::size_t> positions;
    for (const ObjectStub* entry : entries) {
        positions.emplace(entry->record, 0);
    }
    std::size_t position = 0;
    std::size_t left = positions.size();
    forEachRecord(scope, [&](RecordId id) {
        if (auto found = positions.find(id); found != positions.end()) {
            found->second = position;
            --left;
        }
        ++position;
        return left > 0;
    });
    std::sort(entries.begin(), entries.end(), [&](const ObjectStub* a, const ObjectStub* b) {
        return positions[a->record] < positions[b->record];
    });
}

ObjectStub* SymbolNames::find(RecordId scope, std::string_view name, std::string_view type) {
    if (scope == kNoRecord) {
        return nullptr;
    }
    Index& index = indexOf(scope);
    auto found = index.byName.find(nameKey(name));
    if (found == index.byName.end()) {
        return nullptr;
    }
    std::vector<ObjectStub*>& entries = found->second;
    if (index.unordered.erase(found->first) > 0) {
        putInOrder(scope, entries);
    }
    for (ObjectStub* entry : entries) {
        if (type.empty() || db_.doc().type(entry->record) == type) {
            return entry;
        }
    }
    return nullptr;
}

std::vector<SymbolNames::Listing> SymbolNames::listingsOf(RecordId record,
                                                          std::string_view name) const {
    std::vector<Listing> listings;
    for (RecordId scope : {db_.doc().tableOf(record), db_.doc().sectionOf(record)}) {
        if (indexes_.contains(scope) && contains(scope, record)) {
            listings.push_back({scope, nameKey(name)});
        }
    }
    return listings;
}

SymbolNames::Edit SymbolNames::beginEdit(const ObjectStub* stub, std::string_view name) const {
    Edit edit;
    for (const auto& [scope, index] : indexes_) {
        if (index.revision == db_.doc().revisionWithin(scope)) {
            edit.current.push_back(scope);
        }
    }
    if (stub && stub->record != kNoRecord) {
        edit.left = listingsOf(stub->record, name);
    }
    return edit;
}

void SymbolNames::finishEdit(const Edit& edit, ObjectStub* stub, std::string_view name) {
    std::vector<Listing> joined;
    if (stub->record != kNoRecord) {
        joined = listingsOf(stub->record, name);
    }
    auto in = [](const std::vector<Listing>& listings, RecordId scope) {
        auto found = std::find_if(listings.begin(), listings.end(),
                                  [scope](const Listing& l) { return l.scope == scope; });
        return found == listings.end() ? nullptr : &*found;
    };
    for (RecordId scope : edit.current) {
        Index& index = indexes_.at(scope);
        const Listing* was = in(edit.left, scope);
        const Listing* now = in(joined, scope);
        // A record that keeps its name keeps its place among the entries of that name.
        const bool moved = !(was && now && *was == *now);
        if (auto entries = was && moved ? index.byName.find(was->key) : index.byName.end();
            entries != index.byName.end()) {
            std::erase(entries->second, stub);
            if (entries->second.empty()) {
                index.unordered.erase(entries->first);
                index.byName.erase(entries);
            }
        }
        if (now && moved) {
            std::vector<ObjectStub*>& entries = index.byName[now->key];
            if (!entries.empty()) {
                index.unordered.insert(now->key);  // it may stand before the others
            }
            entries.push_back(stub);
        }
        index.revision = db_.doc().revisionWithin(scope);
    }
}

}  // namespace cadhost::db
