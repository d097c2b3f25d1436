// The module's entry into the host: the work done when the system loads and unloads the file
// (process attach and detach), the host's messages to acrxEntryPoint, and the commands and
// demand-load entries registered at initialisation.

#include "accmd.h"
#include "aced.h"
#include "adui.h"
#include "appinfo.h"
#include "platform/ui/resources.h"
#include "plugin/host/commands.h"
#include "plugin/host/module.h"
#include "rxdlinkr.h"

namespace lnkhold {

namespace {

platform::AFX_EXTENSION_MODULE extensionModule;
HINSTANCE instance = nullptr;

constexpr int DLL_PROCESS_DETACH = 0;
constexpr int DLL_PROCESS_ATTACH = 1;

int DllMain(HINSTANCE module, int reason) {
    if (reason == DLL_PROCESS_ATTACH) {
        instance = module;
        platform::AfxInitExtensionModule(extensionModule, module, ":/lnkhold");
        InitAcUiDLL();
    } else if (reason == DLL_PROCESS_DETACH && extensionModule.bInitialized) {
        platform::AfxTermExtensionModule(extensionModule);
    }
    return 1;
}

// The system's calls when it maps the file into the process and when it unmaps it.
struct ProcessAttachment {
    ProcessAttachment() { DllMain(platform::moduleHandleOf(&extensionModule), DLL_PROCESS_ATTACH); }
    ~ProcessAttachment() { DllMain(instance, DLL_PROCESS_DETACH); }
    ProcessAttachment(const ProcessAttachment&) = delete;
    ProcessAttachment& operator=(const ProcessAttachment&) = delete;
};
const ProcessAttachment attachment;

// The class record of the command stack, looked up once for the life of the module.
const AcRxClass* commandStackClass() {
    static const AcRxClass* cls = [] {
        const auto* classes =
            AcRxClassDictionary::cast(acrxSysRegistry()->at(ACRX_CLASS_DICTIONARY));
        return classes ? classes->at("AcEdCommandStack") : nullptr;
    }();
    return cls;
}

// The host's command stack, looked up afresh for each use; null when the host has none.
AcEdCommandStack* commandStack() {
    AcRxObject* entry = acrxSysRegistry()->at(ACRX_COMMAND_DOCK);
    const AcRxClass* cls = commandStackClass();
    return entry && cls && entry->isKindOf(cls) ? static_cast<AcEdCommandStack*>(entry) : nullptr;
}

void addCommand(const char* globalName, const char* localName, int flags, AcRxFunctionPtr handler) {
    if (AcEdCommandStack* commands = commandStack()) {
        commands->addCommand(kCommandGroup, globalName, localName, flags, handler, nullptr, -1,
                             nullptr, nullptr);
    }
}

// The entries that make the host load this module when LINKHOLD or -LINKHOLD is first typed.
void writeDemandLoadEntries() {
    AcadAppInfo info;
    info.setAppName(kApplicationName);
    info.setModuleName(acedGetAppName());
    info.setLoadReason(
        static_cast<AcadApp::LoadReasons>(AcadApp::kOnCommandInvocation | AcadApp::kOnLoadRequest));
    info.writeToRegistry(false, false);
    info.writeGroupNameToRegistry(kCommandGroup);
    info.writeCommandNameToRegistry("Linkhold", "lkh");
    info.writeCommandNameToRegistry("-Linkhold", "-lkh");
}

void initialise(void* appId) {
    AcRxObject* entry = acrxSysRegistry()->at(ACRX_DYNAMIC_LINKER);
    if (entry && entry->isKindOf(AcRxDynamicLinker::desc())) {
        auto* linker = static_cast<AcRxDynamicLinker*>(entry);
        linker->unlockApplication(appId);
        linker->registerAppMDIAware(appId);
    }
    addCommand("LINKHOLD", "LKH", ACRX_CMD_TRANSPARENT | ACRX_CMD_USEPICKSET, mainCommand);
    addCommand("-LINKHOLD", "-LKH", ACRX_CMD_MODAL, commandLineCommand);
    addCommand("LINKHOLDSD", "LINKHOLDSD", ACRX_CMD_SESSION, secondStageCommand);
    writeDemandLoadEntries();
}

}  // namespace

HINSTANCE moduleInstance() {
    return instance;
}

}  // namespace lnkhold

AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode message, void* appId) {
    switch (message) {
        case AcRx::kInitAppMsg:
            lnkhold::initialise(appId);
            break;
        case AcRx::kUnloadAppMsg:
            if (AcEdCommandStack* commands = lnkhold::commandStack()) {
                commands->removeGroup(lnkhold::kCommandGroup);
            }
            break;
        default:
            break;
    }
    return AcRx::kRetOK;
}
