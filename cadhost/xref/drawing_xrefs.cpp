#include "cadhost/xref/drawing_xrefs.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <unordered_set>

#include "cadhost/db/database_state.h"
#include "cadhost/db/xref_state.h"
#include "cadhost/xref/drawing_scan.h"
#include "cadhost/xref/dwg_reader.h"
#include "cadhost/xref/unload_mark.h"
#include "platform/host_path.h"

namespace cadhost::xref {

namespace {

std::unordered_map<const AcDbDatabase*, DrawingXrefs*>& registry() {
    static std::unordered_map<const AcDbDatabase*, DrawingXrefs*> drawings;
    return drawings;
}

AcDb::XrefStatus statusOf(AcDbObjectId id) {
    AcDbBlockTableRecord* block = nullptr;
    if (acdbOpenObject(block, id, AcDb::kForRead) != Acad::eOk) {
        return AcDb::kXrfNotAnXref;
    }
    const AcDb::XrefStatus status = block->xrefStatus();
    block->close();
    return status;
}

}  // namespace

std::string statusWord(AcDb::XrefStatus status) {
    switch (status) {
        case AcDb::kXrfResolved:
            return "Loaded";
        case AcDb::kXrfUnloaded:
            return "Unloaded";
        case AcDb::kXrfUnreferenced:
            return "Unreferenced";
        case AcDb::kXrfFileNotFound:
            return "Not Found";
        case AcDb::kXrfUnresolved:
            return "Unresolved";
        case AcDb::kXrfNotAnXref:
            break;
    }
    return "Not an xref";
}

// One record to resolve: where its relative path starts, and the record whose file inserts it
// (null for the drawing).
struct DrawingXrefs::Visit {
    AcDbObjectId block;
    std::string folder;
    AcDbObjectId from;
};

const std::vector<XrefRecord>& DrawingXrefs::LoadedFile::scan() {
    const db::DatabaseState& state = database->state();
    const std::uint64_t revision = state.document ? state.doc().revision() : 0;
    if (scanned != revision) {
        xrefs = scanXrefs(*database);
        scanned = revision;
    }
    return xrefs;
}

DrawingXrefs::DrawingXrefs(AcDbDatabase& drawing, SearchPath searchPath, MessageSink messages)
    : drawing_(drawing), searchPath_(std::move(searchPath)), messages_(std::move(messages)) {
    registry()[&drawing_] = this;
    drawing_.state().watchers.push_back(this);
}

DrawingXrefs::~DrawingXrefs() {
    std::erase(drawing_.state().watchers, static_cast<db::TransactionWatcher*>(this));
    forgetStates();
    registry().erase(&drawing_);
}

// --- transactions

void DrawingXrefs::transactionStarted(AcTransaction& transaction) {
    frames_.push_back({&transaction, revisions(), nullptr});
}

void DrawingXrefs::transactionEnded(AcTransaction& transaction) {
    // What an ended transaction kept is what its enclosing one kept: nothing changed here
    // between their starts once the inner one kept something.
    std::erase_if(frames_,
                  [&transaction](const Frame& f) { return f.transaction == &transaction; });
}

void DrawingXrefs::transactionAborted(AcTransaction& transaction) {
    auto frame = std::find_if(frames_.begin(), frames_.end(), [&transaction](const Frame& f) {
        return f.transaction == &transaction;
    });
    if (frame == frames_.end()) {
        return;  // started before this object was made
    }
    const Frame aborted = *frame;
    frames_.erase(frame, frames_.end());
    if (aborted.kept) {
        restore(*aborted.kept);
    }
    // The drawing's records are back as they were at the start; what followed them then
    // follows them now, though their revisions moved on with the undo.
    const std::array<std::uint64_t, 3> now = revisions();
    if (revisions_ == aborted.startRevisions) {
        revisions_ = now;
    }
    if (scanned_ == aborted.startRevisions) {
        scanned_ = now;
    }
}

void DrawingXrefs::remember() {
    std::shared_ptr<const Kept> kept;
    for (Frame& frame : frames_) {
        if (frame.kept) {
            continue;
        }
        // Nothing changed here since this transaction started: what is kept now is what it
        // found.
        if (!kept) {
            auto now = std::make_shared<Kept>();
            now->files = files_;
            now->found = found_;
            for (AcDbObjectId block : stated_) {
                const db::ObjectStub* stub = block.stub();
                now->states.push_back(
                    {block, stub && stub->xrefStatus ? *stub->xrefStatus : AcDb::kXrfUnreferenced,
                     stub ? stub->xrefDatabase : nullptr});
            }
            now->outcomes = outcomes_;
            now->updated = updated_;
            now->repeats = repeats_;
            now->revisions = revisions_;
            now->ownPath = ownPath_;
            now->records = records_;
            now->scanned = scanned_;
            kept = std::move(now);
        }
        frame.kept = kept;
    }
}

void DrawingXrefs::restore(const Kept& kept) {
    forgetStates();
    files_ = kept.files;
    byDatabase_.clear();
    for (auto& [path, file] : files_) {
        if (file.database) {
            byDatabase_[file.database.get()] = &file;
        }
    }
    found_ = kept.found;
    for (const Kept::State& state : kept.states) {
        db::setXrefState(state.block, state.status, state.loaded);
        stated_.push_back(state.block);
    }
    outcomes_ = kept.outcomes;
    for (auto& [record, outcome] : outcomes_) {
        const auto file = outcome.file.empty() ? files_.end() : files_.find(outcome.file);
        outcome.loaded = file == files_.end() ? nullptr : &file->second;
    }
    updated_ = kept.updated;
    repeats_ = kept.repeats;
    revisions_ = kept.revisions;
    ownPath_ = kept.ownPath;
    records_ = kept.records;
    scanned_ = kept.scanned;
}

DrawingXrefs* DrawingXrefs::of(const AcDbDatabase* drawing) {
    auto found = registry().find(drawing);
    return found == registry().end() ? nullptr : found->second;
}

const std::string& DrawingXrefs::drawingPath() const {
    const char* native = nullptr;
    drawing_.getFilename(native);
    const std::string_view name = native ? native : "";
    if (!drawingPath_ || drawingPath_->first != name) {
        drawingPath_.emplace(std::string(name), drawingHostPath(drawing_));
    }
    return drawingPath_->second;
}

std::string DrawingXrefs::drawingFolder() const {
    return hostFolderOf(drawingPath());
}

void DrawingXrefs::message(const std::string& text) const {
    if (messages_) {
        messages_(text);
    }
}

std::string DrawingXrefs::foundPath(AcDbObjectId block) const {
    auto found = found_.find(block);
    return found == found_.end() ? std::string() : found->second;
}

void DrawingXrefs::forgetStates() {
    for (AcDbObjectId block : stated_) {
        db::setXrefState(block, AcDb::kXrfUnreferenced, nullptr);
    }
    stated_.clear();
}

std::unique_ptr<AcDbDatabase> DrawingXrefs::readDrawing(const std::string& hostPath,
                                                        std::string& reason, DwgReader* dwg,
                                                        platform::FolderListings* pass) {
    auto native = pass ? pass->existing(hostPath) : platform::PathResult<std::filesystem::path>{};
    if (!pass || !native.ok()) {
        native = platform::hostToNative(hostPath);
    }
    if (!native.ok()) {
        reason = "the path cannot be used";
        return nullptr;
    }
    // The DXF reading comes first, and the file is asked whether it is a DWG file only when
    // that fails: nearly every xref is a DXF file, which need not be opened twice, and no DWG
    // file reads as DXF (its first line, "AC10..", is no group code).
    auto database = std::make_unique<AcDbDatabase>(false, true);
    if (database->readDxfFile(native.value.c_str()) == Acad::eOk) {
        return database;
    }
    if (isDwgFile(native.value)) {
        std::optional<DwgReader> own;
        return readDwgDatabase(native.value, dwg ? *dwg : own.emplace(), reason);
    }
    reason = database->lastMessage();
    return nullptr;
}

DrawingXrefs::Files::iterator DrawingXrefs::load(const std::string& foundPath,
                                                 const std::string& xrefName, Files& previous,
                                                 DwgReader& dwg, platform::FolderListings* pass) {
    auto loaded = files_.find(foundPath);
    if (loaded == files_.end()) {
        if (auto kept = previous.find(foundPath); kept != previous.end()) {
            kept->second.users = 0;
            loaded = files_.emplace(foundPath, std::move(kept->second)).first;
        } else {
            LoadedFile file;
            file.database = readDrawing(foundPath, file.reason, &dwg, pass);
            if (!file.database) {
                message("\nXref \"" + xrefName + "\" is unresolved: cannot load " + foundPath +
                        ": " + file.reason);
            } else if (*file.database->lastMessage()) {
                // A damaged drawing read mended: said once, when it is loaded.
                message("\nWarning: xref \"" + xrefName + "\" (" + foundPath +
                        "): " + file.database->lastMessage());
            }
            loaded = files_.emplace(foundPath, std::move(file)).first;
        }
        if (loaded->second.database) {
            byDatabase_[loaded->second.database.get()] = &loaded->second;
        }
    }
    ++loaded->second.users;
    return loaded;
}

const std::vector<XrefRecord>* DrawingXrefs::xrefsOfLoaded(const AcDbDatabase* loaded) const {
    auto file = byDatabase_.find(loaded);
    return file == byDatabase_.end() ? nullptr : &file->second->scan();
}

// The drawing's block record for an xref nested in a loaded xref: the record of that name,
// made when missing. Null when the name belongs to a block that is not an xref.
AcDbObjectId DrawingXrefs::nestedRecord(const std::string& name, const std::string& path) {
    AcDbBlockTable* table = nullptr;
    AcDbObjectId id;
    if (drawing_.getBlockTable(table, AcDb::kForRead) != Acad::eOk) {
        return id;
    }
    if (table->getAt(name.c_str(), id) == Acad::eOk) {
        table->close();
        AcDbBlockTableRecord* block = nullptr;
        bool isXref = acdbOpenObject(block, id, AcDb::kForRead) == Acad::eOk &&
                      block->isFromExternalReference();
        if (block) {
            block->close();
        }
        if (!isXref) {
            repeats_ = true;
            message("\nNested xref \"" + name + "\" is not loaded: a block of that name exists");
            return AcDbObjectId::kNull;
        }
        return id;
    }
    auto* block = new AcDbBlockTableRecord;
    Acad::ErrorStatus es = table->upgradeOpen();
    if (es == Acad::eOk) {
        es = block->setName(name.c_str());
    }
    if (es == Acad::eOk) {
        es = db::setXrefFlags(*block, true, false);
    }
    if (es == Acad::eOk) {
        es = block->setPathName(path.c_str());
    }
    if (es == Acad::eOk) {
        es = table->add(id, block);
    }
    if (es == Acad::eOk) {
        block->close();
    } else {
        delete block;
        id = AcDbObjectId::kNull;
        repeats_ = true;
        message("\nNested xref \"" + name + "\" cannot be added to the drawing");
    }
    table->close();
    return id;
}

void DrawingXrefs::update(const std::vector<AcDbObjectId>& reread) {
    remember();
    Files previous;
    previous.swap(files_);
    for (AcDbObjectId block : reread) {
        previous.erase(foundPath(block));
    }
    found_.clear();
    forgetStates();
    byDatabase_.clear();
    outcomes_.clear();
    repeats_ = false;
    ++updates_;

    const std::string folder = drawingFolder();
    const std::string ownPath = drawingPath();
    // What the scan read of each record; a nested record made during the update is read when
    // it is visited.
    const std::vector<XrefRecord> scanned = records();
    std::unordered_map<AcDbObjectId, const XrefRecord*> scannedRecords;
    std::deque<Visit> pending;
    for (const XrefRecord& record : scanned) {
        scannedRecords[record.id] = &record;
        if (record.inserted) {
            pending.push_back({record.id, folder, AcDbObjectId::kNull});
        }
    }
    std::unordered_set<AcDbObjectId> visited;
    // One pass: each folder is listed at most once however many xrefs are searched in it, and
    // the next update reads the folders anew.
    platform::FolderListings pass;
    // DWG files of the pass are read by one helper process, started at the first of them.
    DwgReader dwg;
    auto setState = [this](AcDbObjectId block, AcDb::XrefStatus status, AcDbDatabase* loaded) {
        db::setXrefState(block, status, loaded);
        stated_.push_back(block);
    };
    while (!pending.empty()) {
        Visit visit = std::move(pending.front());
        pending.pop_front();
        if (!visited.insert(visit.block).second) {
            continue;
        }
        const auto stored = scannedRecords.find(visit.block);
        std::optional<XrefRecord> made;
        if (stored == scannedRecords.end() && !(made = readXrefRecord(visit.block))) {
            continue;
        }
        const XrefRecord& xref = made ? *made : *stored->second;
        Outcome& outcome = outcomes_[visit.block];
        outcome.visited = true;
        outcome.from = visit.from;
        const std::string& name = xref.name;
        const std::string& path = xref.path;
        if (xref.unloaded) {
            setState(visit.block, AcDb::kXrfUnloaded, nullptr);
            continue;
        }
        const auto found = findFile(path, visit.folder, searchPath_, pass);
        if (!found) {
            setState(visit.block, AcDb::kXrfFileNotFound, nullptr);
            continue;
        }
        found_[visit.block] = *found;
        if (!ownPath.empty() && platform::equalsIgnoreCase(*found, ownPath)) {
            repeats_ = true;
            message("\nXref \"" + name + "\" is unresolved: " + *found +
                    " is the drawing itself (circular reference)");
            setState(visit.block, AcDb::kXrfUnresolved, nullptr);
            continue;
        }
        const auto loaded = load(*found, name, previous, dwg, &pass);
        outcome.file = loaded->first;
        outcome.loaded = &loaded->second;
        LoadedFile& file = loaded->second;
        if (!file.database) {
            setState(visit.block, AcDb::kXrfUnresolved, nullptr);
            continue;
        }
        setState(visit.block, AcDb::kXrfResolved, file.database.get());
        const std::string nestedFolder = hostFolderOf(*found);
        for (const XrefRecord& nested : file.scan()) {
            if (nested.inserted && !nested.overlay) {
                AcDbObjectId record = nestedRecord(nested.name, nested.path);
                if (!record.isNull()) {
                    pending.push_back({record, nestedFolder, visit.block});
                }
            }
        }
    }
    for (const XrefRecord& record : records()) {
        Outcome& outcome = outcomes_[record.id];
        outcome.name = record.name;
        outcome.inserted = record.inserted;
        if (!visited.contains(record.id)) {
            setState(record.id, record.unloaded ? AcDb::kXrfUnloaded : AcDb::kXrfUnreferenced,
                     nullptr);
        }
    }
    updated_ = true;
    ownPath_ = ownPath;
    finishStep();
}

bool DrawingXrefs::writerOpen() const {
    for (const db::ObjectStub* stub : drawing_.state().openStubs()) {
        if (stub->writer) {
            return true;
        }
    }
    return false;
}

bool DrawingXrefs::canStep() const {
    return updated_ && !repeats_ && drawing_.state().document && drawingPath() == ownPath_ &&
           !writerOpen();
}

// An object open for write may hold changes the drawing does not show yet: then the drawing is
// scanned, and the scan not kept.
std::vector<XrefRecord> DrawingXrefs::records() {
    const bool keep = drawing_.state().document && !writerOpen();
    if (!keep || scanned_ != revisions()) {
        records_ = scanXrefs(drawing_);
        scanned_ = keep ? std::optional(revisions()) : std::nullopt;
        return records_;
    }
    for (XrefRecord& record : records_) {
        const db::ObjectStub* stub = record.id.stub();
        record.status = stub && stub->xrefStatus ? *stub->xrefStatus : AcDb::kXrfFileNotFound;
        record.loaded = stub && record.status == AcDb::kXrfResolved ? stub->xrefDatabase : nullptr;
    }
    return records_;
}

// The block records (the BLOCK_RECORD table; an R12 drawing keeps them in BLOCKS), the blocks
// and the entities: all the xref states depend on. Saving the drawing, setting a header
// variable, or changing another table (a new layer for an xref's insertion) leaves these as
// they are.
std::array<std::uint64_t, 3> DrawingXrefs::revisions() const {
    std::array<std::uint64_t, 3> revisions{};
    const db::DatabaseState& state = drawing_.state();
    if (!state.document) {
        return revisions;
    }
    const dxf::Document& doc = state.doc();
    if (const std::optional<dxf::Range> records = doc.table("BLOCK_RECORD")) {
        revisions[0] = doc.revisionWithin(records->begin);
    }
    const char* sections[] = {"BLOCKS", "ENTITIES"};
    for (std::size_t i = 0; i < 2; ++i) {
        if (const std::optional<dxf::Range> range = doc.section(sections[i])) {
            revisions[i + 1] = doc.revisionWithin(range->begin);
        }
    }
    return revisions;
}

bool DrawingXrefs::isCurrent() const {
    return canStep() && revisions() == revisions_;
}

void DrawingXrefs::finishStep() {
    revisions_ = revisions();
}

void DrawingXrefs::release(const std::string& file) {
    auto loaded = files_.find(file);
    if (loaded != files_.end() && --loaded->second.users == 0) {
        byDatabase_.erase(loaded->second.database.get());
        files_.erase(loaded);
    }
}

bool DrawingXrefs::insertsAny(const Outcome& outcome, const std::vector<std::string>& names) {
    if (!outcome.loaded || !outcome.loaded->database) {
        return false;
    }
    for (const XrefRecord& nested : outcome.loaded->scan()) {
        if (nested.inserted && !nested.overlay) {
            for (const std::string& name : names) {
                if (platform::equalsIgnoreCase(nested.name, name)) {
                    return true;
                }
            }
        }
    }
    return false;
}

// The records leave, and every other record keeps its state, when update() would find each of
// them as before: none was reached first through a record that leaves (it would be searched
// from another folder), no loaded file of the others inserts one of the names that leave (a
// nested record would come back, or be refused), and the drawing still references the same
// records.
void DrawingXrefs::removed(const std::vector<AcDbObjectId>& gone, bool wasCurrent) {
    remember();
    if (!wasCurrent || !canStep()) {
        update();
        return;
    }
    const std::unordered_set<AcDbObjectId> leaving(gone.begin(), gone.end());
    std::vector<std::string> names;
    for (AcDbObjectId record : gone) {
        auto outcome = outcomes_.find(record);
        if (outcome == outcomes_.end()) {
            update();
            return;
        }
        names.push_back(outcome->second.name);
    }
    std::unordered_map<AcDbObjectId, bool> inserted;  // every xref record left
    for (const XrefRecord& record : records()) {
        inserted[record.id] = record.inserted;
    }
    for (const auto& [record, outcome] : outcomes_) {
        if (leaving.contains(record)) {
            continue;
        }
        const auto now = inserted.find(record);
        if (now == inserted.end() || now->second != outcome.inserted ||
            (outcome.visited && leaving.contains(outcome.from)) || insertsAny(outcome, names)) {
            update();
            return;
        }
    }
    for (AcDbObjectId record : gone) {
        auto outcome = outcomes_.find(record);
        if (!outcome->second.file.empty()) {
            release(outcome->second.file);
        }
        outcomes_.erase(outcome);
        found_.erase(record);
        db::setXrefState(record, AcDb::kXrfUnreferenced, nullptr);
    }
    std::erase_if(stated_, [&leaving](AcDbObjectId record) { return leaving.contains(record); });
    finishStep();
}

// The new record is found and loaded on its own when update() would change nothing else: its
// own file inserts no xref (those would be reached in update()'s order, which may come before
// records reached already). No loaded file inserts its name: the last update gave every name a
// loaded file inserts a record, or reported it and so left no step to take.
void DrawingXrefs::added(AcDbObjectId record, bool wasCurrent) {
    remember();
    if (!wasCurrent || !canStep() || outcomes_.contains(record)) {
        update();
        return;
    }
    AcDbBlockTableRecord* block = nullptr;
    if (acdbOpenObject(block, record, AcDb::kForRead) != Acad::eOk) {
        update();
        return;
    }
    // The scan, when it held for the drawing before the attachment, holds with the new record
    // after the others: it is the last of the block table, and the others stay as they were.
    const bool scanHeld = scanned_ == revisions_;
    XrefRecord scanned;
    scanned.id = record;
    const char* text = nullptr;
    block->getName(text);
    Outcome outcome;
    outcome.name = scanned.name = text;
    block->pathName(text);
    const std::string path = scanned.path = text;
    const bool unloaded = scanned.unloaded = isMarkedUnloaded(*block);
    scanned.overlay = block->isFromOverlayReference();
    scanned.inserted = true;
    block->close();
    auto finish = [&] {
        finishStep();
        if (scanHeld) {
            records_.push_back(std::move(scanned));
            scanned_ = revisions_;
        }
    };
    outcome.inserted = true;
    outcome.visited = true;
    auto setState = [this, record](AcDb::XrefStatus status, AcDbDatabase* loaded) {
        db::setXrefState(record, status, loaded);
        stated_.push_back(record);
    };
    const std::optional<std::string> found =
        unloaded ? std::nullopt : findFile(path, drawingFolder(), searchPath_);
    if (unloaded) {
        setState(AcDb::kXrfUnloaded, nullptr);
    } else if (!found) {
        setState(AcDb::kXrfFileNotFound, nullptr);
    } else if (found_[record] = *found; platform::equalsIgnoreCase(*found, ownPath_)) {
        repeats_ = true;
        message("\nXref \"" + outcome.name + "\" is unresolved: " + *found +
                " is the drawing itself (circular reference)");
        setState(AcDb::kXrfUnresolved, nullptr);
    } else {
        Files none;
        DwgReader dwg;
        const auto loaded = load(*found, outcome.name, none, dwg, nullptr);
        outcome.file = loaded->first;
        outcome.loaded = &loaded->second;
        LoadedFile& file = loaded->second;
        setState(file.database ? AcDb::kXrfResolved : AcDb::kXrfUnresolved, file.database.get());
        outcomes_[record] = std::move(outcome);
        if (file.database) {
            for (const XrefRecord& nested : file.scan()) {
                if (nested.inserted && !nested.overlay) {
                    update();
                    return;
                }
            }
        }
        finish();
        return;
    }
    outcomes_[record] = std::move(outcome);
    finish();
}

void DrawingXrefs::updateAndReport() {
    struct Before {
        AcDb::XrefStatus status;
        std::string found;
    };
    std::unordered_map<AcDbObjectId, Before> before;
    for (const XrefRecord& record : scanXrefs(drawing_)) {
        before[record.id] = {statusOf(record.id), foundPath(record.id)};
    }
    update();
    for (const XrefRecord& record : scanXrefs(drawing_)) {
        const AcDb::XrefStatus status = statusOf(record.id);
        const std::string found = foundPath(record.id);
        const auto was = before.find(record.id);
        const std::string xref = "\nXref \"" + record.name + "\" ";
        if (was == before.end()) {
            // A nested xref that a newly loaded file brought in.
            message(xref + "is now " + statusWord(status) + " (nested, new in the drawing).");
        } else if (was->second.status != status) {
            message(xref + "is now " + statusWord(status) + " (was " +
                    statusWord(was->second.status) + ").");
        } else if (was->second.found != found) {
            message(xref + "is now found at " + found + " (was " + was->second.found + ").");
        }
    }
}

}  // namespace cadhost::xref
