#include "cadhost/db/database_state.h"

#include <algorithm>

#include "cadhost/db/dxf_error.h"
#include "cadhost/db/new_records.h"
#include "cadhost/db/object_access.h"

namespace cadhost::db {

using dxf::kNoRecord;
using dxf::RecordId;

DatabaseState::DatabaseState(AcDbDatabase& owner) : database(owner), transactions(*this) {}

DatabaseState::~DatabaseState() = default;

namespace {

// What was mended in a damaged file, for the one warning the host prints about it.
std::string repairNote(const std::vector<std::string>& repairs) {
    if (repairs.empty()) {
        return {};
    }
    std::string note =
        "the file is damaged and was read mended (saved unchanged it stays as it "
        "is): ";
    for (std::size_t i = 0; i < repairs.size(); ++i) {
        note += (i ? "; " : "") + repairs[i];
    }
    return note;
}

}  // namespace

Acad::ErrorStatus readDocument(DatabaseState& state, const std::function<dxf::Document()>& load,
                               const std::filesystem::path& fileName) {
    try {
        state.setDocument(load());
    } catch (const dxf::DxfError& error) {
        state.lastMessage = error.what();
        return error.place() == dxf::DxfError::Place::None ? Acad::eFileAccessErr
                                                           : Acad::eBadDxfSequence;
    }
    state.fileName = fileName;
    state.fileNameText = fileName.string();
    state.lastMessage = repairNote(state.document->repairs());
    return Acad::eOk;
}

Acad::ErrorStatus readDwgDrawing(AcDbDatabase& database, std::string dxf,
                                 const std::filesystem::path& dwgFile,
                                 std::vector<std::string> leftOut) {
    DatabaseState& state = database.state();
    if (state.document) {
        return Acad::eAlreadyInDb;
    }
    const Acad::ErrorStatus es = readDocument(
        state, [&dxf] { return dxf::Document::fromBytes(std::move(dxf)); }, dwgFile);
    if (es == Acad::eOk) {
        state.dwgLeftOut = std::move(leftOut);
        state.fromDwg = true;
    }
    return es;
}

void DatabaseState::setDocument(dxf::Document doc) {
    document.emplace(std::move(doc));
    savedRevision = document->revision();
    names_.clear();
}

dxf::Document& DatabaseState::doc() {
    if (!document) {
        throw dxf::DxfError("the database holds no drawing");
    }
    return *document;
}

const dxf::Document& DatabaseState::doc() const {
    return const_cast<DatabaseState*>(this)->doc();
}

bool DatabaseState::modern() const {
    return doc().version() > "AC1009";
}

bool DatabaseState::hasLwpolylines() const {
    return doc().version() >= "AC1014";  // R14 introduced them
}

ObjectStub& DatabaseState::newStub() {
    ObjectStub& stub = stubs_.emplace_back();
    stub.state = this;
    return stub;
}

void DatabaseState::bind(ObjectStub* stub, RecordId record) {
    stub->record = record;
    stub->handle = doc().handle(record);
    byRecord_[record] = stub;
}

ObjectStub* DatabaseState::stubFor(RecordId record) {
    if (record == kNoRecord) {
        return nullptr;
    }
    if (auto found = byRecord_.find(record); found != byRecord_.end()) {
        return found->second;
    }
    ObjectStub* stub = &newStub();
    bind(stub, record);
    return stub;
}

ObjectStub* DatabaseState::stubForHandle(std::uint64_t handle) {
    RecordId record = handle ? doc().findHandle(handle) : kNoRecord;
    return stubFor(record);
}

namespace {

struct TableNames {
    const char* table;
    const char* entry;
};

TableNames namesOf(TableKind kind, bool modern) {
    switch (kind) {
        case TableKind::Block:
            return modern ? TableNames{"BLOCK_RECORD", "BLOCK_RECORD"} : TableNames{"", "BLOCK"};
        case TableKind::Layer:
            return {"LAYER", "LAYER"};
        case TableKind::RegApp:
            return {"APPID", "APPID"};
    }
    return {"", ""};
}

bool isFollower(std::string_view type) {
    return type == "VERTEX" || type == "ATTRIB" || type == "SEQEND";
}

bool isLayoutName(std::string_view name, std::string_view layout) {
    // R12 files written by some programs spell the layout blocks with '$' for '*'.
    return name.size() == layout.size() + 1 && (name[0] == '*' || name[0] == '$') &&
           sameName(name.substr(1), layout);
}

// The layout block that an R12 drawing spelling them with '$' holds under the host's name
// "*Model_Space" or "*Paper_Space" for it; nullopt for other names.
std::optional<std::string> dollarLayoutName(std::string_view name) {
    for (std::string_view layout : {"Model_Space", "Paper_Space"}) {
        if (name.starts_with('*') && isLayoutName(name, layout)) {
            return "$" + std::string(name.substr(1));
        }
    }
    return std::nullopt;
}

}  // namespace

ObjectStub* DatabaseState::tableStub(TableKind kind) {
    if (kind == TableKind::Block && !modern()) {
        if (!virtualBlockTable_) {
            ObjectStub& stub = newStub();
            stub.virtualBlockTable = true;
            virtualBlockTable_ = &stub;
        }
        return *virtualBlockTable_;
    }
    auto table = doc().table(namesOf(kind, modern()).table);
    return table ? stubFor(table->begin) : nullptr;
}

TagList DatabaseState::tagsOf(const ObjectStub* stub) {
    return stub->erased ? stub->erasedTags : doc().tags(stub->record);
}

std::vector<ObjectStub*> DatabaseState::recordsBetween(RecordId begin, RecordId end,
                                                       bool withErased) {
    std::unordered_map<const ObjectStub*, std::vector<ObjectStub*>> erasedAfter;
    if (withErased) {
        for (ObjectStub* stub : erased_) {
            erasedAfter[stub->anchor].push_back(stub);
        }
    }
    std::vector<ObjectStub*> records;
    // Erased records in the order they stood: each one's own followers come right after it.
    auto addErasedAfter = [&](const ObjectStub* anchor, auto& self) -> void {
        auto found = erasedAfter.find(anchor);
        if (found == erasedAfter.end()) {
            return;
        }
        for (ObjectStub* stub : found->second) {
            records.push_back(stub);
            self(stub, self);
        }
    };
    if (withErased) {
        addErasedAfter(stubFor(begin), addErasedAfter);
    }
    for (RecordId id = doc().next(begin); id != end && id != kNoRecord; id = doc().next(id)) {
        ObjectStub* stub = stubFor(id);
        records.push_back(stub);
        if (withErased) {
            addErasedAfter(stub, addErasedAfter);
        }
    }
    return records;
}

std::vector<ObjectStub*> DatabaseState::entriesOf(const ObjectStub* table, bool withErased) {
    if (table->virtualBlockTable) {
        return tableEntries(TableKind::Block, withErased);
    }
    RecordId end = doc().next(table->record);
    while (end != kNoRecord && doc().type(end) != "ENDTAB" && doc().type(end) != "ENDSEC" &&
           doc().type(end) != "TABLE") {
        end = doc().next(end);
    }
    return recordsBetween(table->record, end, withErased);
}

std::vector<ObjectStub*> DatabaseState::tableEntries(TableKind kind, bool withErased) {
    TableNames names = namesOf(kind, modern());
    std::optional<dxf::Range> range =
        *names.table ? doc().table(names.table) : doc().section("BLOCKS");
    if (!range) {
        return {};
    }
    std::vector<ObjectStub*> entries = recordsBetween(range->begin, range->end, withErased);
    std::erase_if(entries, [&](const ObjectStub* stub) {
        return stub->erased ? stub->erasedTags.front().value != names.entry
                            : doc().type(stub->record) != names.entry;
    });
    return entries;
}

RecordId DatabaseState::nameScope(TableKind kind) {
    TableNames names = namesOf(kind, modern());
    std::optional<dxf::Range> range =
        *names.table ? doc().table(names.table) : doc().section("BLOCKS");
    return range ? range->begin : kNoRecord;
}

RecordId DatabaseState::nameScope(const ObjectStub* table) {
    return table->virtualBlockTable ? nameScope(TableKind::Block) : table->record;
}

// Every block reference asks for its block by name, and every new entry for its name, so
// these look up an index rather than read the table.
ObjectStub* DatabaseState::findEntry(TableKind kind, std::string_view name) {
    const std::string_view type = namesOf(kind, modern()).entry;
    ObjectStub* found = names_.find(nameScope(kind), name, type);
    if (!found && kind == TableKind::Block && !modern()) {
        if (auto dollar = dollarLayoutName(name)) {
            found = names_.find(nameScope(kind), *dollar, type);
        }
    }
    return found;
}

ObjectStub* DatabaseState::findInTable(const ObjectStub* table, std::string_view name) {
    return table->virtualBlockTable ? findEntry(TableKind::Block, name)
                                    : names_.find(nameScope(table), name);
}

bool DatabaseState::isInTable(const ObjectStub* table, const ObjectStub* entry) {
    return entry && entry->state == this && names_.contains(nameScope(table), entry->record);
}

void DatabaseState::indexBlocks() {
    if (blocksIndexed_) {
        return;
    }
    blockBegins_.clear();
    if (auto blocks = doc().section("BLOCKS")) {
        for (RecordId id = blocks->begin; id != blocks->end; id = doc().next(id)) {
            if (doc().type(id) == "BLOCK" && doc().owner(id)) {
                blockBegins_.emplace(doc().owner(id), id);
            }
        }
    }
    blocksIndexed_ = true;
}

RecordId DatabaseState::blockBegin(const ObjectStub* block) {
    if (!modern()) {
        return block->record;
    }
    indexBlocks();
    if (auto found = blockBegins_.find(block->handle); found != blockBegins_.end()) {
        return found->second;
    }
    // Files without owner handles: the BLOCK of the same name.
    std::string name = entryName(block);
    if (auto blocks = doc().section("BLOCKS")) {
        for (RecordId id = blocks->begin; id != blocks->end; id = doc().next(id)) {
            if (doc().type(id) == "BLOCK" && sameName(groupText(doc().tags(id), 2), name)) {
                return id;
            }
        }
    }
    return kNoRecord;
}

ObjectStub* DatabaseState::ownerBlockOf(const ObjectStub* entity) {
    if (entity->erased || entity->record == kNoRecord) {
        return nullptr;
    }
    const std::string_view section = doc().sectionName(entity->record);
    if (section == "ENTITIES") {
        const bool paper = groupInteger(tagsOf(entity), 67) == 1;
        return findEntry(TableKind::Block, paper ? "*Paper_Space" : "*Model_Space");
    }
    if (section != "BLOCKS" || doc().type(entity->record) == "BLOCK") {
        return nullptr;
    }
    for (RecordId id = doc().previous(entity->record); id != kNoRecord; id = doc().previous(id)) {
        const std::string_view type = doc().type(id);
        if (type == "BLOCK") {
            return modern() ? findEntry(TableKind::Block, groupText(doc().tags(id), 2))
                            : stubFor(id);
        }
        if (type == "ENDBLK" || type == "SECTION") {
            break;
        }
    }
    return nullptr;
}

RecordId DatabaseState::blockEnd(const ObjectStub* block) {
    RecordId begin = blockBegin(block);
    if (begin == kNoRecord) {
        return kNoRecord;
    }
    for (RecordId id = doc().next(begin); id != kNoRecord; id = doc().next(id)) {
        std::string_view type = doc().type(id);
        if (type == "ENDBLK") {
            return id;
        }
        if (type == "BLOCK" || type == "ENDSEC") {
            break;
        }
    }
    return kNoRecord;
}

std::string DatabaseState::entryName(const ObjectStub* entry) {
    return groupText(tagsOf(entry), 2);
}

bool DatabaseState::entitiesInEntitiesSection(const ObjectStub* block) {
    std::string name = entryName(block);
    return isLayoutName(name, "Model_Space") || isLayoutName(name, "Paper_Space");
}

std::vector<ObjectStub*> DatabaseState::blockEntities(ObjectStub* block, bool withErased) {
    std::vector<ObjectStub*> entities;
    if (entitiesInEntitiesSection(block)) {
        auto section = doc().section("ENTITIES");
        if (!section) {
            return {};
        }
        bool paper = isLayoutName(entryName(block), "Paper_Space");
        entities = recordsBetween(section->begin, section->end, withErased);
        std::erase_if(entities, [&](const ObjectStub* stub) {
            TagList tags = tagsOf(stub);
            auto ownerAt = findGroup(tags, 330);
            std::uint64_t owner = ownerAt ? tags[*ownerAt].asHandle().value_or(0) : 0;
            bool inPaper = groupInteger(tags, 67) == 1;
            return !((modern() && owner == block->handle) || (owner == 0 && inPaper == paper));
        });
    } else {
        RecordId begin = blockBegin(block);
        RecordId end = blockEnd(block);
        if (begin == kNoRecord || end == kNoRecord) {
            return {};
        }
        entities = recordsBetween(begin, end, withErased);
    }
    // Vertices, attributes and SEQENDs belong to the entity before them.
    std::erase_if(entities, [&](const ObjectStub* stub) {
        return isFollower(stub->erased ? stub->erasedTags.front().value : doc().type(stub->record));
    });
    return entities;
}

std::vector<ObjectStub*> DatabaseState::followers(const ObjectStub* stub) {
    if (stub->erased) {
        return {stub->erasedWith.rbegin(), stub->erasedWith.rend()};
    }
    std::vector<ObjectStub*> records;
    std::string_view type = doc().type(stub->record);
    if (type != "POLYLINE" && type != "INSERT") {
        return records;
    }
    for (RecordId id = doc().next(stub->record); id != kNoRecord; id = doc().next(id)) {
        std::string_view next = doc().type(id);
        if (!isFollower(next)) {
            break;
        }
        records.push_back(stubFor(id));
        if (next == "SEQEND") {
            break;
        }
    }
    return records;
}

// --- the open protocol

Acad::ErrorStatus DatabaseState::open(AcDbObject*& object, ObjectStub* stub, AcDb::OpenMode mode,
                                      bool openErased) {
    object = nullptr;
    if (!stub) {
        return Acad::eNullObjectId;
    }
    if (stub->erased && !openErased) {
        return Acad::eWasErased;
    }
    if (stub->writer) {
        return Acad::eWasOpenForWrite;
    }
    if (mode == AcDb::kForWrite && stub->readers > 0) {
        return Acad::eWasOpenForRead;
    }
    if (!stub->object) {
        try {
            stub->object = materialize(*this, stub).release();
        } catch (const dxf::DxfError&) {
            return Acad::eInvalidInput;
        } catch (const std::bad_alloc&) {
            return Acad::eOutOfMemory;
        }
    }
    if (mode == AcDb::kForWrite) {
        stub->writer = true;
    } else {
        ++stub->readers;
    }
    object = stub->object;
    return Acad::eOk;
}

void DatabaseState::release(ObjectStub* stub) {
    if (stub->writer) {
        stub->writer = false;
    } else if (stub->readers > 0) {
        --stub->readers;
    }
    if (!stub->writer && stub->readers == 0) {
        AcDbObject* object = stub->object;
        stub->object = nullptr;
        stub->holder = nullptr;
        ObjectAccess::state(*object).stub = nullptr;  // so that its destructor lets go
        delete object;
    }
}

Acad::ErrorStatus DatabaseState::close(AcDbObject& object) {
    ObjectStub* stub = ObjectAccess::state(object).stub;
    if (stub->object != &object || (!stub->writer && stub->readers == 0)) {
        return Acad::eInvalidOpenState;
    }
    if (stub->holder) {
        return Acad::eOk;  // its transaction closes it
    }
    Acad::ErrorStatus es = Acad::eOk;
    if (stub->writer) {
        try {
            writeBack(object, logFor(stub));
        } catch (const dxf::DxfError&) {
            es = Acad::eInvalidInput;
        }
    }
    release(stub);
    return es;
}

UndoLog* DatabaseState::logFor(const ObjectStub* stub) {
    if (stub && stub->holder) {
        return &stub->holder->state().log;
    }
    AcTransaction* top = transactions.topTransaction();
    return top ? &top->state().log : nullptr;
}

void DatabaseState::writeBack(AcDbObject& object, UndoLog* log) {
    AcDbObject::State& state = ObjectAccess::state(object);
    ObjectStub* stub = state.stub;
    if (state.eraseTo == false && stub->erased) {
        uneraseWithMembers(
            stub, state.polylineRecords ? stub->erasedTags : state.parts.front().tags, log);
    }
    if (state.polylineRecords && !stub->erased &&
        readPolyline(*this, stub) != state.parts.front().tags) {
        writePolyline(*this, stub, state.parts.front().tags, log);
    }
    for (AcDbObject::State::Part& part : state.parts) {
        if (!part.stub || state.polylineRecords) {
            continue;
        }
        if (part.stub->erased) {
            part.stub->erasedTags = part.tags;
        } else if (doc().tags(part.stub->record) != part.tags) {
            replace(part.stub, part.tags, log);
        }
    }
    if (state.eraseTo == true && !stub->erased) {
        eraseWithMembers(stub, log);
    }
    state.eraseTo.reset();
}

// --- edits

void DatabaseState::replace(ObjectStub* stub, TagList tags, UndoLog* log) {
    TagList previous = doc().tags(stub->record);
    SymbolNames::Edit names = names_.beginEdit(stub, groupText(previous, 2));
    std::string name = groupText(tags, 2);
    doc().replaceTags(stub->record, std::move(tags));
    names_.finishEdit(names, stub, name);
    stub->handle = doc().handle(stub->record);
    if (log) {
        log->entries.push_back({UndoLog::Kind::Replaced, stub, std::move(previous)});
    }
}

void DatabaseState::followTableCount(RecordId marker) {
    const auto found = marker == kNoRecord ? byRecord_.end() : byRecord_.find(marker);
    if (found == byRecord_.end() || !found->second->object) {
        return;
    }
    const std::optional<std::size_t> at = findGroup(doc().tags(marker), 70);
    if (!at) {
        return;
    }
    const Tag count = doc().tags(marker)[*at];
    for (AcDbObject::State::Part& part : ObjectAccess::state(*found->second->object).parts) {
        if (part.stub == found->second && findGroup(part.tags, 70)) {
            setGroup(part.tags, count);
        }
    }
}

ObjectStub* DatabaseState::insertBefore(RecordId position, TagList tags, UndoLog* log) {
    SymbolNames::Edit names = names_.beginEdit(nullptr, {});
    std::string name = groupText(tags, 2);
    RecordId record = doc().insertBefore(position, std::move(tags));
    blocksIndexed_ = false;
    followTableCount(doc().tableOf(record));
    ObjectStub* stub = stubFor(record);
    names_.finishEdit(names, stub, name);
    if (log) {
        log->entries.push_back({UndoLog::Kind::Inserted, stub, {}});
    }
    return stub;
}

void DatabaseState::erase(ObjectStub* stub, UndoLog* log) {
    TagList tags = doc().tags(stub->record);
    stub->anchor = stubFor(doc().previous(stub->record));
    stub->erasedSection = doc().sectionName(stub->record);
    SymbolNames::Edit names = names_.beginEdit(stub, groupText(tags, 2));
    const RecordId table = doc().tableOf(stub->record);
    doc().erase(stub->record);
    blocksIndexed_ = false;
    followTableCount(table);
    byRecord_.erase(stub->record);
    stub->erasedRecord = stub->record;
    stub->record = kNoRecord;
    names_.finishEdit(names, stub, {});
    stub->erased = true;
    stub->erasedTags = std::move(tags);
    erased_.push_back(stub);
    if (log) {
        log->entries.push_back({UndoLog::Kind::Erased, stub, {}});
    }
}

void DatabaseState::discard(ObjectStub* stub) {
    erase(stub, nullptr);
    std::erase(erased_, stub);  // it never was in the drawing, so no listing shows it
}

void DatabaseState::eraseWithMembers(ObjectStub* stub, UndoLog* log) {
    std::vector<ObjectStub*> members;
    std::string_view type = doc().type(stub->record);
    if (type == "BLOCK_RECORD" || (type == "BLOCK" && !modern())) {
        RecordId begin = blockBegin(stub);
        RecordId end = blockEnd(stub);
        if (begin != kNoRecord && end != kNoRecord) {
            // Last first: each record's anchor is then one that comes back before it.
            members = recordsBetween(begin, end, false);
            members.push_back(stubFor(end));
            std::reverse(members.begin(), members.end());
            if (begin != stub->record) {
                members.push_back(stubFor(begin));
            }
        }
    } else {
        members = followers(stub);
        std::reverse(members.begin(), members.end());
    }
    for (ObjectStub* member : members) {
        erase(member, log);
    }
    erase(stub, log);
    stub->erasedWith = std::move(members);
}

Acad::ErrorStatus DatabaseState::uneraseWithMembers(ObjectStub* stub, TagList tags, UndoLog* log) {
    if (Acad::ErrorStatus es = unerase(stub, std::move(tags), log); es != Acad::eOk) {
        return es;
    }
    std::vector<ObjectStub*> members = std::move(stub->erasedWith);
    stub->erasedWith.clear();
    for (auto member = members.rbegin(); member != members.rend(); ++member) {
        if ((*member)->erased) {
            unerase(*member, (*member)->erasedTags, log);
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus DatabaseState::unerase(ObjectStub* stub, TagList tags, UndoLog* log) {
    // Back after the nearest record before it that is still in the drawing.
    ObjectStub* anchor = stub->anchor;
    while (anchor && anchor->erased) {
        anchor = anchor->anchor;
    }
    if (!anchor || anchor->record == kNoRecord) {
        return Acad::eInvalidInput;
    }
    SymbolNames::Edit names = names_.beginEdit(nullptr, {});
    std::string name = groupText(tags, 2);
    // The same record of the document where it can be, so that a record erased and brought
    // back unchanged is written as before.
    RecordId record = doc().reinsertAfter(anchor->record, stub->erasedRecord, std::move(tags));
    blocksIndexed_ = false;
    followTableCount(doc().tableOf(record));
    bind(stub, record);
    names_.finishEdit(names, stub, name);
    stub->erased = false;
    stub->erasedTags.clear();
    std::erase(erased_, stub);
    if (log) {
        log->entries.push_back({UndoLog::Kind::Inserted, stub, {}});
    }
    return Acad::eOk;
}

void DatabaseState::undo(const UndoLog& log) {
    for (auto entry = log.entries.rbegin(); entry != log.entries.rend(); ++entry) {
        ObjectStub* stub = entry->stub;
        if (entry->kind == UndoLog::Kind::Header) {
            const RecordId variable = doc().headerVariable(entry->variable);
            if (entry->previousTags.empty()) {
                if (variable != kNoRecord) {
                    doc().erase(variable);
                }
            } else if (variable == kNoRecord) {
                doc().setHeaderVariable(
                    entry->variable, {entry->previousTags.begin() + 1, entry->previousTags.end()});
            } else {
                doc().replaceTags(variable, entry->previousTags);
            }
            continue;
        }
        switch (entry->kind) {
            case UndoLog::Kind::Replaced:
                if (!stub->erased) {
                    replace(stub, entry->previousTags, nullptr);
                }
                break;
            case UndoLog::Kind::Inserted:
                if (!stub->erased) {
                    for (ObjectStub* follower : followers(stub)) {
                        discard(follower);
                    }
                    // A block goes with everything between its BLOCK and ENDBLK.
                    if (doc().type(stub->record) == "BLOCK") {
                        for (RecordId id = doc().next(stub->record);
                             doc().type(id) != "BLOCK" && doc().type(id) != "ENDSEC";) {
                            RecordId next = doc().next(id);
                            bool last = doc().type(id) == "ENDBLK";
                            discard(stubFor(id));
                            id = next;
                            if (last) {
                                break;
                            }
                        }
                    }
                    discard(stub);
                }
                break;
            case UndoLog::Kind::Erased:
                if (stub->erased) {
                    unerase(stub, stub->erasedTags, nullptr);
                }
                break;
            case UndoLog::Kind::Header:
                break;
        }
        reloadOpenObject(stub);
    }
}

void DatabaseState::reloadOpenObject(ObjectStub* stub) {
    if (!stub->object) {
        return;
    }
    AcDbObject::State& state = ObjectAccess::state(*stub->object);
    for (AcDbObject::State::Part& part : state.parts) {
        if (part.stub == stub) {
            part.tags = state.polylineRecords ? readPolyline(*this, stub).value_or(part.tags)
                                              : tagsOf(stub);
        }
    }
}

// --- header variables

std::optional<Tag> DatabaseState::header(std::string_view name) const {
    if (!document) {
        return std::nullopt;
    }
    std::vector<Tag> values = doc().headerValues(name);
    if (values.empty()) {
        return std::nullopt;
    }
    return values.front();
}

void DatabaseState::setHeader(std::string_view name, Tag value, bool undoable) {
    AcTransaction* top = undoable ? transactions.topTransaction() : nullptr;
    TagList previous;
    if (top) {
        if (const RecordId variable = doc().headerVariable(name); variable != kNoRecord) {
            previous = doc().tags(variable);
        }
    }
    doc().setHeaderVariable(name, {std::move(value)});
    if (top) {
        top->state().log.entries.push_back(
            {UndoLog::Kind::Header, nullptr, std::move(previous), std::string(name)});
    }
}

std::vector<ObjectStub*> DatabaseState::openStubs() {
    std::vector<ObjectStub*> open;
    for (ObjectStub& stub : stubs_) {
        if (stub.object) {
            open.push_back(&stub);
        }
    }
    return open;
}

DatabaseState* stateOf(AcDbObjectId id) {
    return id.stub() ? id.stub()->state : nullptr;
}

}  // namespace cadhost::db
