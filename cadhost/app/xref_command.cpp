// -XREF on the command line: list the current drawing's xrefs, attach, overlay, detach,
// unload, reload, bind them and change their stored paths, every answer from a prompt.

#include <functional>

#include "cadhost/app/builtin_commands.h"
#include "cadhost/app/command_line.h"
#include "cadhost/app/host_input.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/name_patterns.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/app/value_input.h"
#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/acedxref.h"
#include "cadhost/sdk/dbxrefgraph.h"
#include "cadhost/xref/change.h"
#include "cadhost/xref/drawing_xrefs.h"
#include "platform/splitpath.h"

namespace cadhost::app {

namespace {

struct XrefEntry {
    std::string name;
    AcDbObjectId block;
    AcDb::XrefStatus status = AcDb::kXrfNotAnXref;
    std::string owners;  // the xrefs it is nested in, "" for a first-level or unreferenced one
    bool overlay = false;
    std::string storedPath;
};

std::string reason(Acad::ErrorStatus es) {
    switch (es) {
        case Acad::eDuplicateRecordName:
            return "a block of that name exists";
        case Acad::eFileNotFound:
            return "the file is not found";
        case Acad::eFileAccessErr:
            return "the file cannot be read as a drawing";
        case Acad::eNotApplicable:
            return "it is nested in another xref, or it or an xref nested in it is not loaded";
        case Acad::eKeyNotFound:
            return "there is no xref of that name";
        case Acad::eInvalidInput:
            return "the name or path cannot be used";
        case Acad::eNullObjectId:
            return "the drawing or the xref holds entities only, without a block for model space";
        case Acad::eIncompatibleRelease:
            return "the xref holds what a drawing of this release cannot (R12 and later releases "
                   "do not mix)";
        default:
            return "error " + std::to_string(static_cast<int>(es));
    }
}

// The xrefs of the drawing in its graph's order, nested ones after those holding them.
std::vector<XrefEntry> xrefEntries(AcDbDatabase& drawing) {
    std::vector<XrefEntry> entries;
    AcDbXrefGraph graph;
    if (acdbGetHostDwgXrefGraph(&drawing, graph) != Acad::eOk) {
        return entries;
    }
    for (int i = 1; i < graph.numNodes(); ++i) {
        const AcDbXrefGraphNode* node = graph.xrefNode(i);
        XrefEntry entry;
        entry.name = node->name();
        entry.block = node->btrId();
        entry.status = node->xrefStatus();
        for (int in = 0; node->isNested() && in < node->numIn(); ++in) {
            const auto* owner = static_cast<const AcDbXrefGraphNode*>(node->in(in));
            entry.owners += (entry.owners.empty() ? "" : ", ") + std::string(owner->name());
        }
        AcDbBlockTableRecord* block = nullptr;
        if (acdbOpenObject(block, node->btrId(), AcDb::kForRead) == Acad::eOk) {
            const char* path = "";
            block->pathName(path);
            entry.storedPath = path;
            entry.overlay = block->isFromOverlayReference();
            block->close();
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

void listXrefs(const AcApDocument& document, const std::string& list) {
    int count = 0;
    for (const XrefEntry& xref : xrefEntries(*document.database())) {
        if (!matchesList(list, xref.name)) {
            continue;
        }
        ++count;
        const std::string found = document.xrefs().foundPath(xref.block);
        commandLine().print("\nXref \"" + xref.name + "\"  " +
                            (xref.overlay ? "Overlay" : "Attach") + "  " +
                            cadhost::xref::statusWord(xref.status) +
                            (xref.owners.empty() ? "" : "  nested in " + xref.owners) +
                            "\n  Stored path: " + xref.storedPath +
                            "\n  Found at: " + (found.empty() ? "-" : found) + "\n");
    }
    commandLine().print("\nTotal xref(s): " + std::to_string(count) + "\n");
}

// The first-level xrefs whose names the list matches (nested ones change with their
// parents); a message and nothing when none does.
std::vector<XrefEntry> chooseXrefs(const AcApDocument& document, const std::string& prompt) {
    std::vector<XrefEntry> chosen;
    std::optional<std::string> list =
        commandLine().ask(prompt, true, {Completion::Kind::Xrefs, {}});
    if (!list || list->empty()) {
        return chosen;
    }
    for (XrefEntry& xref : xrefEntries(*document.database())) {
        if (!matchesList(*list, xref.name)) {
            continue;
        }
        if (xref.owners.empty()) {
            chosen.push_back(std::move(xref));
        } else {
            commandLine().print("\nXref \"" + xref.name + "\" is nested in " + xref.owners +
                                " and changes with it.\n");
        }
    }
    if (chosen.empty()) {
        commandLine().print("\nNo xref of the drawing matches " + *list + ".\n");
    }
    return chosen;
}

bool reportEach(const std::vector<XrefEntry>& xrefs, const char* done,
                const std::function<Acad::ErrorStatus(const XrefEntry&)>& operation) {
    bool allDone = !xrefs.empty();
    for (const XrefEntry& xref : xrefs) {
        const Acad::ErrorStatus es = operation(xref);
        if (es == Acad::eOk) {
            commandLine().print("\nXref \"" + xref.name + "\" " + done + ".\n");
        } else {
            commandLine().print("\nXref \"" + xref.name + "\" is unchanged: " + reason(es) + ".\n");
            allDone = false;
        }
    }
    return allDone;
}

bool blockExists(const AcApDocument& document, const std::string& name) {
    AcDbBlockTable* blocks = nullptr;
    if (document.database()->getBlockTable(blocks, AcDb::kForRead) != Acad::eOk) {
        return false;
    }
    const bool has = blocks->has(name.c_str());
    blocks->close();
    return has;
}

// Attach or Overlay: the xref takes the file's name (without folder and extension); then the
// reference's insertion point, scale factors and rotation, each with its usual default.
bool attach(const AcApDocument& document, bool overlay) {
    std::optional<std::string> path = commandLine().ask(
        overlay ? "Enter name of file to overlay: " : "Enter name of file to attach: ", true,
        {Completion::Kind::Files, {}});
    if (!path || path->empty()) {
        return false;
    }
    XrefEntry xref;
    xref.name = platform::splitPath(*path).fname;
    // Refused before the placement questions, so that nobody answers them for nothing.
    if (blockExists(document, xref.name)) {
        commandLine().print("\nXref \"" + xref.name + "\" is not " +
                            (overlay ? "overlaid" : "attached") + ": " +
                            reason(Acad::eDuplicateRecordName) + ".\n");
        return false;
    }
    commandLine().print(std::string("\n") + (overlay ? "Overlay" : "Attach") + " Xref \"" +
                        xref.name + "\": " + *path + "\n");
    const std::optional<AcGePoint3d> position =
        askPoint("Specify insertion point <0,0,0>: ", AcGePoint3d::kOrigin);
    const std::optional<double> xScale =
        position ? askScaleFactor("Enter X scale factor <1>: ", 1.0) : std::nullopt;
    const std::optional<double> yScale =
        xScale ? askScaleFactor("Enter Y scale factor <use X scale factor>: ", *xScale)
               : std::nullopt;
    const std::optional<double> rotation =
        yScale ? askAngle("Specify rotation angle <0>: ", 0.0) : std::nullopt;
    if (!rotation) {
        return false;
    }
    // The Z factor follows X, as the X/Y questions leave it.
    const AcGeScale3d scale{*xScale, *yScale, *xScale};
    return reportEach({xref}, overlay ? "overlaid" : "attached", [&](const XrefEntry& x) {
        return overlay ? acedXrefOverlay(path->c_str(), x.name.c_str(), nullptr, nullptr,
                                         &*position, &scale, &*rotation)
                       : acedXrefAttach(path->c_str(), x.name.c_str(), nullptr, nullptr, &*position,
                                        &scale, &*rotation);
    });
}

bool detach(const AcApDocument& document) {
    return reportEach(chooseXrefs(document, "Enter xref(s) to detach: "), "detached",
                      [](const XrefEntry& x) { return acedXrefDetach(x.name.c_str()); });
}

// Bind or Insert as the BINDTYPE variable says (0 bind, 1 insert).
bool bind(const AcApDocument& document) {
    const bool insert = systemVariables().getInt("BINDTYPE") == 1;
    return reportEach(
        chooseXrefs(document, "Enter xref(s) to bind: "), "bound",
        [insert](const XrefEntry& x) { return acedXrefBind(x.name.c_str(), insert); });
}

Acad::ErrorStatus setStoredPath(AcApDocument& document, AcDbObjectId block,
                                const std::string& path) {
    {
        xref::Change change(*document.database());
        AcDbBlockTableRecord* record = nullptr;
        Acad::ErrorStatus es = change.open(record, block, AcDb::kForWrite);
        if (es == Acad::eOk) {
            es = record->setPathName(path.c_str());
        }
        if (es != Acad::eOk) {
            return es;
        }
        change.commit();
    }
    document.xrefs().update({block});
    return Acad::eOk;
}

bool changePaths(AcApDocument& document) {
    const std::vector<XrefEntry> xrefs = chooseXrefs(document, "Edit path for which xref(s): ");
    return reportEach(xrefs, "has its new path", [&](const XrefEntry& x) {
        commandLine().print("\nXref name: " + x.name + "\nOld path: " + x.storedPath + "\n");
        std::optional<std::string> path =
            commandLine().ask("Enter new path: ", true, {Completion::Kind::Files, {}});
        if (!path || path->empty()) {
            return Acad::eInvalidInput;
        }
        return setStoredPath(document, x.block, *path);
    });
}

bool xrefCommand() {
    AcApDocument* document = acDocManagerPtr()->curDocument();
    if (!document) {
        commandLine().print("\nNo drawing is open.\n");
        return false;
    }
    std::optional<std::string> option = askKeyword(
        "Enter an option [?/Bind/Detach/Path/Unload/Reload/Overlay/Attach] <Attach>: ",
        {"?", "Bind", "Detach", "Path", "Unload", "Reload", "Overlay", "Attach"}, "Attach");
    if (!option) {
        return false;
    }
    if (*option == "?") {
        std::optional<std::string> list =
            commandLine().ask("Enter xref(s) to list <*>: ", false, {Completion::Kind::Xrefs, {}});
        if (list) {
            listXrefs(*document, list->empty() ? "*" : *list);
        }
        return list.has_value();
    }
    if (*option == "Attach" || *option == "Overlay") {
        return attach(*document, *option == "Overlay");
    }
    if (*option == "Detach") {
        return detach(*document);
    }
    if (*option == "Bind") {
        return bind(*document);
    }
    if (*option == "Path") {
        return changePaths(*document);
    }
    const bool unload = *option == "Unload";
    return reportEach(
        chooseXrefs(*document, unload ? "Enter xref(s) to unload: " : "Enter xref(s) to reload: "),
        unload ? "unloaded" : "reloaded", [unload](const XrefEntry& x) {
            return unload ? acedXrefUnload(x.name.c_str()) : acedXrefReload(x.name.c_str());
        });
}

}  // namespace

void addXrefCommand(Interpreter& interpreter) {
    interpreter.addBuiltin("-XREF", {xrefCommand, ACRX_CMD_MODAL});
}

}  // namespace cadhost::app
