#include "cadhost/app/document_commands.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "cadhost/app/command_line.h"
#include "cadhost/app/drawing_space.h"
#include "cadhost/app/host_input.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/dbmain.h"
#include "platform/host_path.h"

namespace cadhost::app {

namespace {

FileDialog& fileDialog() {
    static FileDialog dialog;
    return dialog;
}

// The file name for OPEN or SAVEAS: from the file dialog when FILEDIA is 1 and no script
// runs, else from the command line.
std::optional<std::string> chooseFile(bool save, const std::string& prompt,
                                      const std::string& initial) {
    if (systemVariables().getInt("FILEDIA") == 1 && !commandLine().inScript() && fileDialog()) {
        try {
            std::optional<std::string> chosen =
                fileDialog()(save, save ? "Save Drawing As" : "Select File", initial);
            return chosen ? typedHostPath(*chosen) : std::nullopt;
        } catch (const std::runtime_error& error) {
            commandLine().print(std::string("\n") + error.what() +
                                "; type the file name instead (FILEDIA 0 does so always).\n");
        }
    }
    return askFileName(prompt, ".dxf", initial);
}

AcApDocument* requireDrawing() {
    AcApDocument* document = acDocManagerPtr()->curDocument();
    if (!document) {
        commandLine().print("\nNo drawing is open.\n");
    }
    return document;
}

bool switchCurrentSpace(bool model) {
    AcApDocument* document = requireDrawing();
    return document && switchSpace(*document, model);
}

bool open() {
    std::optional<std::string> path = chooseFile(false, "Enter name of drawing to open: ", "");
    if (!path) {
        return false;
    }
    AcApDocument* document = acDocManagerPtr()->openDocument(*path, false);
    if (document) {
        acDocManagerPtr()->makeCurrent(document);
    }
    return document != nullptr;
}

// Closing stops at a drawing the user chose to keep (Cancel), which is no failure.
bool close() {
    AcApDocument* document = requireDrawing();
    if (document) {
        acDocManagerPtr()->closeDocument(document, true);
    }
    return document != nullptr;
}

bool quit() {
    AcApDocManager* manager = acDocManagerPtr();
    while (manager->documentCount() > 0) {
        std::unique_ptr<AcApDocumentIterator> it(manager->newAcApDocumentIterator());
        AcApDocument* document = manager->curDocument() ? manager->curDocument() : it->document();
        if (!manager->closeDocument(document, true)) {
            return true;
        }
    }
    interpreter().requestQuit();
    return true;
}

}  // namespace

void setFileDialog(FileDialog dialog) {
    fileDialog() = std::move(dialog);
}

bool saveDocument(AcApDocument& document, bool askName) {
    std::string target = document.fileName();
    if (askName || !document.isNamed() || document.isReadOnly()) {
        std::optional<std::string> chosen =
            chooseFile(true, "Save drawing as <" + target + ">: ", target);
        if (!chosen) {
            return false;
        }
        target = *chosen;
        AcApDocument* other = acDocManagerPtr()->findDocument(target);
        if (other && other != &document) {
            commandLine().print("\n" + target + " is open as another drawing.\n");
            return false;
        }
    }
    if (document.saveAs(target.c_str()) != Acad::eOk) {
        commandLine().print("\nCannot save " + target + ": " + document.database()->lastMessage() +
                            "\n");
        return false;
    }
    commandLine().print("\nSaved " + target + "\n");
    return true;
}

void closeAllDocuments() {
    AcApDocManager* documents = acDocManagerPtr();
    while (documents->documentCount() > 0) {
        std::unique_ptr<AcApDocumentIterator> it(documents->newAcApDocumentIterator());
        AcApDocument* document = it->document();
        if (document->isModified()) {
            commandLine().print(std::string("\nUnsaved changes to ") + document->fileName() +
                                " discarded.\n");
        }
        documents->closeDocument(document, false);
    }
    commandLine().endLine();
}

std::string recoveryCopyName(const std::string& hostPath) {
    return hostPath + ".sv$";
}

std::string writeRecoveryCopies() {
    std::string report;
    std::unique_ptr<AcApDocumentIterator> it(acDocManagerPtr()->newAcApDocumentIterator());
    for (; !it->done(); it->step()) {
        AcApDocument* document = it->document();
        if (!document->isModified()) {
            continue;
        }
        const std::string name = document->fileName();
        const std::optional<std::string> copy = typedHostPathQuietly(recoveryCopyName(name));
        const platform::PathResult<std::filesystem::path> native =
            platform::hostToNative(copy ? *copy : "");
        AcDbDatabase& database = *document->database();
        if (native.ok() && database.saveAs(native.value.c_str()) == Acad::eOk) {
            report += "Unsaved changes to " + name + " written to " + native.value.string() + "\n";
        } else {
            report += "Unsaved changes to " + name + " could not be written: " +
                      (native.ok() ? database.lastMessage() : "no file name for them") + "\n";
        }
    }
    return report;
}

void addDocumentCommands(Interpreter& interpreter) {
    interpreter.addBuiltin("OPEN", {open, ACRX_CMD_SESSION});
    interpreter.addBuiltin("NEW", {[] {
                                       AcApDocument* document = acDocManagerPtr()->newDocument();
                                       if (document) {
                                           acDocManagerPtr()->makeCurrent(document);
                                       }
                                       return document != nullptr;
                                   },
                                   ACRX_CMD_SESSION});
    interpreter.addBuiltin("SAVE", {[] {
                                        AcApDocument* document = requireDrawing();
                                        return document && saveDocument(*document, false);
                                    },
                                    ACRX_CMD_MODAL});
    interpreter.addBuiltin("SAVEAS", {[] {
                                          AcApDocument* document = requireDrawing();
                                          return document && saveDocument(*document, true);
                                      },
                                      ACRX_CMD_MODAL});
    interpreter.addBuiltin("CLOSE", {close, ACRX_CMD_SESSION});
    interpreter.addBuiltin("QUIT", {quit, ACRX_CMD_SESSION});
    interpreter.addBuiltin("MSPACE", {[] { return switchCurrentSpace(true); }, ACRX_CMD_MODAL});
    interpreter.addBuiltin("PSPACE", {[] { return switchCurrentSpace(false); }, ACRX_CMD_MODAL});
}

}  // namespace cadhost::app
