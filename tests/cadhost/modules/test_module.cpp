// A module built only for the tests. It reports every message it gets on the command line
// and registers commands in the group "TMOD" that exercise the host's module interface.
// Variants (compile definitions): TEST_MODULE_PLAIN neither declares itself MDI-aware nor
// removes its commands at unload; TEST_MODULE_LOCKED never unlocks itself.

#include <string>
#include <vector>

#include "cadhost/sdk/acadi.h"
#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/appinfo.h"
#include "cadhost/sdk/rxdlinkr.h"

namespace {

AcApDocument* documentToActivate = nullptr;

void hello() {
    acutPrintf("\nHello from the test module (%s)", acedGetAppName());
}

void ask() {
    char name[133];
    if (acedGetString(1, "\nYour name: ", name) == RTNORM) {
        acutPrintf("\nHello, %s", name);
    }
}

// Opens the drawings named on one line through the automation object, then queues the
// session command that activates the last one.
void openDrawings() {
    char paths[133];
    if (acedGetString(1, "\nDrawings to open: ", paths) != RTNORM) {
        return;
    }
    IAcadApplication* application = nullptr;
    IAcadDocuments* documents = nullptr;
    IDispatch* dispatch = acedGetAcadWinApp()->GetIDispatch(true);
    HRESULT result =
        dispatch->QueryInterface(IID_IAcadApplication, reinterpret_cast<void**>(&application));
    if (SUCCEEDED(result)) {
        result =
            application->QueryInterface(IID_IAcadDocuments, reinterpret_cast<void**>(&documents));
    }
    std::string rest = paths;
    while (SUCCEEDED(result) && !rest.empty()) {
        const auto space = rest.find(' ');
        const std::string path = rest.substr(0, space);
        rest = space == std::string::npos ? "" : rest.substr(space + 1);
        IAcadDocument* document = nullptr;
        const HRESULT opened = documents->Open(path.c_str(), VARIANT{}, VARIANT{}, &document);
        acutPrintf("\nOpen %s: 0x%08X", path.c_str(), static_cast<unsigned>(opened));
        documentToActivate = nullptr;
        if (document) {
            const char* fullName = nullptr;
            document->get_FullName(&fullName);
            AcApDocumentIterator* it = acDocManager->newAcApDocumentIterator();
            for (; !it->done(); it->step()) {
                if (std::string(it->document()->fileName()) == fullName) {
                    documentToActivate = it->document();
                }
            }
            delete it;
            document->Release();
        }
    }
    if (documents) {
        documents->Release();
    }
    if (application) {
        application->Release();
    }
    dispatch->Release();
    acutPrintf("\nCurrent after open: %s", acDocManager->curDocument()->fileName());
    acutPrintf("\nActivate in document context: %d",
               documentToActivate ? acDocManager->activateDocument(documentToActivate) : -1);
    if (documentToActivate) {
        acDocManager->sendStringToExecute(acDocManager->curDocument(), "TMACTIVATE\n");
    }
}

void activate() {
    if (documentToActivate) {
        acutPrintf("\nActivate in application context: %d",
                   acDocManager->activateDocument(documentToActivate));
    }
    documentToActivate = nullptr;
    acutPrintf("\nCurrent: %s", acDocManager->curDocument()->fileName());
}

void syncOpen() {
    char path[133];
    if (acedGetString(1, "\nDrawing to open: ", path) == RTNORM) {
        acutPrintf("\nacedSyncFileOpen: %d", acedSyncFileOpen(path));
    }
}

AcEdCommandStack* commandStack() {
    AcRxObject* entry = acrxSysRegistry()->at(ACRX_COMMAND_DOCK);
    const AcRxClass* cls = acrxClassDictionary()->at("AcEdCommandStack");
    return entry && entry->isKindOf(cls) ? static_cast<AcEdCommandStack*>(entry) : nullptr;
}

void initialise(void* appId) {
    AcRxDynamicLinker* linker = acrxDynamicLinker;
#ifndef TEST_MODULE_LOCKED
    linker->unlockApplication(appId);
#endif
#ifndef TEST_MODULE_PLAIN
    linker->registerAppMDIAware(appId);
#endif
    AcEdCommandStack* commands = commandStack();
    commands->addCommand("TMOD", "TMHELLO", "TMH", ACRX_CMD_TRANSPARENT | ACRX_CMD_USEPICKSET,
                         hello);
    commands->addCommand("TMOD", "TMASK", "TMASK", ACRX_CMD_MODAL, ask);
    commands->addCommand("TMOD", "TMOPEN", "TMOPEN", ACRX_CMD_MODAL, openDrawings);
    commands->addCommand("TMOD", "TMACTIVATE", "TMACTIVATE", ACRX_CMD_SESSION, activate);
    commands->addCommand("TMOD", "TMSYNCOPEN", "TMSYNCOPEN", ACRX_CMD_MODAL, syncOpen);

    AcadAppInfo info;
    info.setAppName("TestModule");
    info.setModuleName(acedGetAppName());
    info.setLoadReason(
        static_cast<AcadApp::LoadReasons>(AcadApp::kOnCommandInvocation | AcadApp::kOnLoadRequest));
    info.writeToRegistry(false, false);
    info.writeGroupNameToRegistry("TMOD");
    info.writeCommandNameToRegistry("TMHELLO", "TMH");
}

}  // namespace

ACRX_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode message, void* data) {
    switch (message) {
        case AcRx::kInitAppMsg:
            acutPrintf("\n[test module] init %s", acedGetAppName());
            initialise(data);
            break;
        case AcRx::kUnloadAppMsg:
            acutPrintf("\n[test module] unload");
#ifndef TEST_MODULE_PLAIN
            commandStack()->removeGroup("TMOD");
#endif
            break;
        case AcRx::kLoadDwgMsg:
            acutPrintf("\n[test module] load drawing %s",
                       static_cast<AcApDocument*>(data)->fileName());
            break;
        case AcRx::kUnloadDwgMsg:
            acutPrintf("\n[test module] unload drawing %s",
                       static_cast<AcApDocument*>(data)->fileName());
            break;
        default:
            break;
    }
    return AcRx::kRetOK;
}
