// The open drawings: opening, creating, saving and closing them, the current and the active
// one, and the messages that tell loaded modules about them.

#include <algorithm>
#include <filesystem>

#include "cadhost/app/command_line.h"
#include "cadhost/app/document_commands.h"
#include "cadhost/app/host_input.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/loaded_module.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/db/database_state.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/dbapserv.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "cadhost/xref/dwg_reader.h"
#include "cadhost/xref/host_search.h"
#include "platform/case_fold.h"
#include "platform/host_path.h"

using cadhost::app::commandLine;

// Loading the xrefs may add records for nested xrefs; they do not count as changes.
AcApDocument::AcApDocument(std::unique_ptr<AcDbDatabase> database, std::string fileName,
                           bool readOnly)
    : database_(std::move(database)),
      fileName_(std::move(fileName)),
      readOnly_(readOnly),
      named_(fileName_.find('\\') != std::string::npos) {
    const bool wasModified = database_->isModifiedSinceSave();
    xrefs_ = cadhost::xref::openDrawingXrefs(*database_);
    if (!wasModified) {
        database_->acceptAsSaved();
    }
}

AcApDocument::~AcApDocument() = default;

Acad::ErrorStatus AcApDocument::save() {
    if (!named_ || readOnly_) {
        return Acad::eFileAccessErr;
    }
    return saveAs(fileName_.c_str());
}

Acad::ErrorStatus AcApDocument::saveAs(const char* hostPath) {
    const platform::PathResult<std::string> full = platform::fullHostPath(hostPath ? hostPath : "");
    const platform::PathResult<std::filesystem::path> native =
        platform::hostToNative(full.ok() ? full.value : "");
    if (!full.ok() || !native.ok()) {
        return Acad::eInvalidInput;
    }
    if (database_->state().fromDwg &&
        !platform::equalsIgnoreCase(native.value.extension().string(), ".dxf")) {
        database_->state().lastMessage =
            "a drawing read from a DWG file is saved as DXF only "
            "(give a name ending in .dxf)";
        return Acad::eNotApplicable;
    }
    const std::string folder = xrefs_->drawingFolder();
    const Acad::ErrorStatus es = database_->saveAs(native.value.c_str());
    if (es == Acad::eOk) {
        fileName_ = full.value;
        named_ = true;
        readOnly_ = false;
        database_->state().fromDwg = false;  // it is a DXF drawing now
        // Relative xref paths start at the drawing's folder, so in a new folder they may lead
        // to other files or to none: the xrefs are found and loaded again from there. Records
        // of nested xrefs this adds are no change of the user's, as when a drawing is opened.
        if (xrefs_->drawingFolder() != folder) {
            xrefs_->updateAndReport();
            database_->acceptAsSaved();
        }
    }
    return es;
}

namespace {

void tellModules(AcRx::AppMsgCode message, AcApDocument* document) {
    if (AcRxDynamicLinker* linker = acrxDynamicLinker) {
        linker->sendToAll(message, document);
    }
}

// Says how to open the recovery copy beside a drawing when it is newer than the drawing: a
// cadhost that was ended with unsaved changes wrote it.
void reportRecoveryCopy(const cadhost::app::ExistingFile& drawing) {
    std::filesystem::path copy = drawing.nativePath;
    copy += ".sv$";
    std::error_code copyError;
    std::error_code drawingError;
    const auto copyTime = std::filesystem::last_write_time(copy, copyError);
    const auto drawingTime = std::filesystem::last_write_time(drawing.nativePath, drawingError);
    if (copyError || drawingError || copyTime <= drawingTime) {
        return;
    }
    const std::string copyName = cadhost::app::recoveryCopyName(drawing.hostPath);
    commandLine().print("\nA recovered copy of " + drawing.hostPath +
                        ", newer than the drawing, is beside it: " + copyName +
                        "\nIt holds changes that were not saved when cadhost was ended. To use "
                        "it, OPEN " +
                        copyName + " and save it with SAVEAS " + drawing.hostPath + ".\n");
}

}  // namespace

AcApDocManager::AcApDocManager() = default;
AcApDocManager::~AcApDocManager() = default;

AcApDocumentIterator* AcApDocManager::newAcApDocumentIterator() const {
    std::vector<AcApDocument*> documents;
    for (const auto& document : documents_) {
        documents.push_back(document.get());
    }
    return new AcApDocumentIterator(std::move(documents));
}

bool AcApDocManager::isApplicationContext() const {
    return cadhost::app::interpreter().inApplicationContext();
}

Acad::ErrorStatus AcApDocManager::activateDocument(AcApDocument* document, bool) {
    if (!document || !findDocument(document->fileName()) ||
        findDocument(document->fileName()) != document) {
        return Acad::eInvalidInput;
    }
    if (!isApplicationContext()) {
        return Acad::eNotApplicable;
    }
    makeCurrent(document);
    return Acad::eOk;
}

void AcApDocManager::makeCurrent(AcApDocument* document) {
    current_ = document;
    active_ = document;
    acdbHostApplicationServices()->setWorkingDatabase(document ? document->database() : nullptr);
}

Acad::ErrorStatus AcApDocManager::sendStringToExecute(AcApDocument* document, const char* text,
                                                      bool activate, bool, bool) {
    if (!document || !text || findDocument(document->fileName()) != document) {
        return Acad::eInvalidInput;
    }
    if (activate && document != current_ && isApplicationContext()) {
        makeCurrent(document);
    }
    commandLine().queue(text);
    return Acad::eOk;
}

void AcApDocManager::pushResourceHandle(HINSTANCE instance) {
    resourceHandles_.push_back(instance);
}

void AcApDocManager::popResourceHandle() {
    if (!resourceHandles_.empty()) {
        resourceHandles_.pop_back();
    }
}

HINSTANCE AcApDocManager::curResourceHandle() const {
    return resourceHandles_.empty() ? acedGetAcadResourceInstance() : resourceHandles_.back();
}

AcApDocument* AcApDocManager::findDocument(const std::string& hostPath) const {
    auto found = std::find_if(documents_.begin(), documents_.end(), [&](const auto& document) {
        return platform::equalsIgnoreCase(document->fileName(), hostPath);
    });
    return found == documents_.end() ? nullptr : found->get();
}

AcApDocument* AcApDocManager::addDocument(std::unique_ptr<AcApDocument> document) {
    AcApDocument* added = documents_.emplace_back(std::move(document)).get();
    tellModules(AcRx::kLoadDwgMsg, added);
    return added;
}

AcApDocument* AcApDocManager::openDocument(const std::string& hostPath, bool readOnly) {
    const std::optional<cadhost::app::ExistingFile> file = cadhost::app::findExistingFile(hostPath);
    if (!file) {
        commandLine().print("\nCannot find " + hostPath + ".\n");
        return nullptr;
    }
    if (AcApDocument* open = findDocument(hostPath)) {
        return open;
    }
    std::unique_ptr<AcDbDatabase> database;
    if (cadhost::xref::isDwgFile(file->nativePath)) {
        // Read through the DWG reader; the host writes DXF only, so the drawing is read-only.
        cadhost::xref::DwgReader reader;
        std::string reason;
        database = cadhost::xref::readDwgDatabase(file->nativePath, reader, reason);
        if (!database) {
            commandLine().print("\nCannot open " + hostPath + ": " + reason + "\n");
            return nullptr;
        }
        commandLine().print("\n" + hostPath +
                            " is a DWG drawing: it is open read-only and can be saved as DXF "
                            "only (SAVEAS with a .dxf name).\n");
        if (!database->state().dwgLeftOut.empty()) {
            std::string types;
            for (const std::string& type : database->state().dwgLeftOut) {
                types += " " + type;
            }
            commandLine().print(
                "\nNot read from it, of types the host does not take from DWG "
                "drawings:" +
                types + ".\n");
        }
        readOnly = true;
    } else {
        database = std::make_unique<AcDbDatabase>(false);
        if (database->readDxfFile(file->nativePath.c_str()) != Acad::eOk) {
            commandLine().print("\nCannot open " + hostPath + ": " + database->lastMessage() +
                                "\n");
            return nullptr;
        }
    }
    if (*database->lastMessage()) {
        commandLine().print("\nWarning: " + hostPath + ": " + database->lastMessage() + "\n");
    }
    reportRecoveryCopy(*file);
    if (cadhost::app::systemVariables().getInt("SDI") && current_ &&
        !closeDocument(current_, true)) {
        return nullptr;
    }
    return addDocument(std::make_unique<AcApDocument>(std::move(database), hostPath, readOnly));
}

AcApDocument* AcApDocManager::newDocument() {
    if (cadhost::app::systemVariables().getInt("SDI") && current_ &&
        !closeDocument(current_, true)) {
        return nullptr;
    }
    std::string name;
    do {
        name = "Drawing" + std::to_string(++untitledCount_) + ".dxf";
    } while (findDocument(name));
    return addDocument(
        std::make_unique<AcApDocument>(std::make_unique<AcDbDatabase>(true), name, false));
}

bool AcApDocManager::closeDocument(AcApDocument* document, bool askFirst) {
    if (askFirst && document->isModified()) {
        std::optional<std::string> answer = cadhost::app::askKeyword(
            std::string("Save changes to ") + document->fileName() + "? [Yes/No/Cancel] <Yes>: ",
            {"Yes", "No", "Cancel"}, "Yes");
        // Cancel is the user's choice; no answer, or a save that failed, fails the command.
        if (!answer || (*answer == "Yes" && !cadhost::app::saveDocument(*document, false))) {
            cadhost::app::interpreter().markFailed();
            return false;
        }
        if (*answer == "Cancel") {
            return false;
        }
    }
    tellModules(AcRx::kUnloadDwgMsg, document);
    auto found = std::find_if(documents_.begin(), documents_.end(),
                              [&](const auto& d) { return d.get() == document; });
    std::unique_ptr<AcApDocument> closing = std::move(*found);
    documents_.erase(found);
    if (current_ == document || active_ == document) {
        makeCurrent(documents_.empty() ? nullptr : documents_.back().get());
    }
    return true;
}

AcApDocManager* acDocManagerPtr() {
    static AcApDocManager manager;
    return &manager;
}

int acedSyncFileOpen(const char* fileName, const char*) {
    std::optional<std::string> path =
        fileName ? cadhost::app::typedHostPath(fileName) : std::nullopt;
    AcApDocument* document = path ? acDocManagerPtr()->openDocument(*path, false) : nullptr;
    if (!document) {
        return RTERROR;
    }
    acDocManagerPtr()->makeCurrent(document);
    return RTNORM;
}
