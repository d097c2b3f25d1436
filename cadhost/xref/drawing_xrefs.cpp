#include "cadhost/xref/drawing_xrefs.h"

#include <deque>
#include <fstream>
#include <unordered_set>

#include "cadhost/db/xref_state.h"
#include "cadhost/xref/drawing_scan.h"
#include "platform/host_path.h"

namespace cadhost::xref {

namespace {

std::unordered_map<const AcDbDatabase*, DrawingXrefs*>& registry() {
    static std::unordered_map<const AcDbDatabase*, DrawingXrefs*> drawings;
    return drawings;
}

// Drawings in the host's binary format start with their release, "AC1015" and the like.
bool isDwgFile(const std::filesystem::path& native) {
    std::ifstream in(native, std::ios::binary);
    char start[4] = {};
    return in.read(start, sizeof start) && std::string_view(start, 4) == "AC10";
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

// One record to resolve: where its relative path starts.
struct DrawingXrefs::Visit {
    AcDbObjectId block;
    std::string folder;
};

DrawingXrefs::DrawingXrefs(AcDbDatabase& drawing, SearchPath searchPath, MessageSink messages)
    : drawing_(drawing), searchPath_(std::move(searchPath)), messages_(std::move(messages)) {
    registry()[&drawing_] = this;
}

DrawingXrefs::~DrawingXrefs() {
    forgetStates();
    registry().erase(&drawing_);
}

DrawingXrefs* DrawingXrefs::of(const AcDbDatabase* drawing) {
    auto found = registry().find(drawing);
    return found == registry().end() ? nullptr : found->second;
}

std::string DrawingXrefs::drawingFolder() const {
    return hostFolderOf(drawingHostPath(drawing_));
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
                                                        std::string& reason) {
    auto native = platform::hostToNative(hostPath);
    if (!native.ok()) {
        reason = "the path cannot be used";
        return nullptr;
    }
    if (isDwgFile(native.value)) {
        reason = "it is a DWG file; drawings are read in DXF form only";
        return nullptr;
    }
    auto database = std::make_unique<AcDbDatabase>(false, true);
    if (database->readDxfFile(native.value.c_str()) != Acad::eOk) {
        reason = database->lastMessage();
        return nullptr;
    }
    return database;
}

const DrawingXrefs::LoadedFile& DrawingXrefs::load(
    const std::string& foundPath, const std::string& xrefName,
    std::map<std::string, LoadedFile, FoldedLess>& previous) {
    if (auto done = files_.find(foundPath); done != files_.end()) {
        return done->second;
    }
    if (auto kept = previous.find(foundPath); kept != previous.end()) {
        return files_.emplace(foundPath, std::move(kept->second)).first->second;
    }
    LoadedFile file;
    file.database = readDrawing(foundPath, file.reason);
    if (!file.database) {
        message("\nXref \"" + xrefName + "\" is unresolved: cannot load " + foundPath + ": " +
                file.reason);
    }
    return files_.emplace(foundPath, std::move(file)).first->second;
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
        message("\nNested xref \"" + name + "\" cannot be added to the drawing");
    }
    table->close();
    return id;
}

void DrawingXrefs::update(const std::vector<AcDbObjectId>& reread) {
    std::map<std::string, LoadedFile, FoldedLess> previous;
    previous.swap(files_);
    for (AcDbObjectId block : reread) {
        previous.erase(foundPath(block));
    }
    found_.clear();
    forgetStates();

    const std::string folder = drawingFolder();
    const std::string ownPath = drawingHostPath(drawing_);
    std::unordered_map<AcDbObjectId, bool> unloaded;
    std::deque<Visit> pending;
    for (const XrefRecord& record : scanXrefs(drawing_)) {
        unloaded[record.id] = record.unloaded;
        if (record.inserted) {
            pending.push_back({record.id, folder});
        }
    }
    std::unordered_set<AcDbObjectId> visited;
    // One pass: each folder is listed at most once however many xrefs are searched in it, and
    // the next update reads the folders anew.
    platform::FolderListings pass;
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
        AcDbBlockTableRecord* block = nullptr;
        if (acdbOpenObject(block, visit.block, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        const char* text = nullptr;
        block->getName(text);
        const std::string name = text;
        block->pathName(text);
        const std::string path = text;
        const bool isUnloaded = unloaded.contains(visit.block) ? unloaded[visit.block] : false;
        block->close();
        if (isUnloaded) {
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
            message("\nXref \"" + name + "\" is unresolved: " + *found +
                    " is the drawing itself (circular reference)");
            setState(visit.block, AcDb::kXrfUnresolved, nullptr);
            continue;
        }
        const LoadedFile& file = load(*found, name, previous);
        if (!file.database) {
            setState(visit.block, AcDb::kXrfUnresolved, nullptr);
            continue;
        }
        setState(visit.block, AcDb::kXrfResolved, file.database.get());
        const std::string nestedFolder = hostFolderOf(*found);
        for (const XrefRecord& nested : scanXrefs(*file.database)) {
            if (nested.inserted && !nested.overlay) {
                AcDbObjectId record = nestedRecord(nested.name, nested.path);
                if (!record.isNull()) {
                    pending.push_back({record, nestedFolder});
                }
            }
        }
    }
    for (const XrefRecord& record : scanXrefs(drawing_)) {
        if (!visited.contains(record.id)) {
            setState(record.id, record.unloaded ? AcDb::kXrfUnloaded : AcDb::kXrfUnreferenced,
                     nullptr);
        }
    }
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
