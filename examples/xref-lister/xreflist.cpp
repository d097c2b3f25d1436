// XREFLIST: lists the xrefs of the current drawing with their status, stored path and the
// file the host finds for them, walking the block table. A module in the classic style.

#include "aced.h"
#include "acedxref.h"
#include "dbsymtb.h"
#include "rxregsvc.h"

static const char* statusText(AcDb::XrefStatus status) {
    switch (status) {
        case AcDb::kXrfResolved:
            return "Loaded";
        case AcDb::kXrfUnloaded:
            return "Unloaded";
        case AcDb::kXrfUnreferenced:
            return "Unreferenced";
        case AcDb::kXrfFileNotFound:
            return "Not found";
        case AcDb::kXrfUnresolved:
            return "Unresolved";
        default:
            return "Not an xref";
    }
}

static void listXrefs() {
    AcDbDatabase* drawing = acdbHostApplicationServices()->workingDatabase();
    AcDbBlockTable* blocks = nullptr;
    if (!drawing || drawing->getBlockTable(blocks, AcDb::kForRead) != Acad::eOk) {
        acutPrintf("\nNo drawing is open.");
        return;
    }
    AcDbBlockTableIterator* it = nullptr;
    blocks->newIterator(it);
    int count = 0;
    for (; it && !it->done(); it->step()) {
        AcDbBlockTableRecord* record = nullptr;
        if (it->getRecord(record, AcDb::kForRead) != Acad::eOk) {
            continue;
        }
        if (record->isFromExternalReference()) {
            const char* name = nullptr;
            const char* path = nullptr;
            record->getName(name);
            record->pathName(path);
            char found[1024] = "";
            if (acedFindFile(path, found, sizeof found) != RTNORM) {
                found[0] = '\0';
            }
            acutPrintf("\n%-16s %-12s %s -> %s", name, statusText(record->xrefStatus()), path,
                       found[0] ? found : "(no file)");
            ++count;
        }
        record->close();
    }
    delete it;
    blocks->close();
    acutPrintf("\n%d xref(s).", count);
}

extern "C" AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode message, void* appId) {
    switch (message) {
        case AcRx::kInitAppMsg:
            acrxDynamicLinker->unlockApplication(appId);
            acrxDynamicLinker->registerAppMDIAware(appId);
            acedRegCmds->addCommand("XREFLIST_COMMANDS", "XREFLIST", "XREFLIST", ACRX_CMD_MODAL,
                                    listXrefs);
            break;
        case AcRx::kUnloadAppMsg:
            acedRegCmds->removeGroup("XREFLIST_COMMANDS");
            break;
        default:
            break;
    }
    return AcRx::kRetOK;
}
