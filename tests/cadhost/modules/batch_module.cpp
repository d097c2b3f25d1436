// A module for the tests of batches. It prints nothing of its own when it is loaded or
// unloaded, so a batch's output is the same however many workers load it. BMREPORT appends
// a line to the batch's report part (BATCHREPORT), with a header line when it starts the
// file; BMCRASH asks for a drawing name and, in that drawing, ends the process as a crash
// does. Loaded once with ARX, it writes its
// demand-load entries, so that typing BMREPORT or BMCRASH loads it again.

#include <cstdlib>
#include <fstream>
#include <string>

#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/appinfo.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "platform/host_path.h"

namespace {

std::string stringVariable(const char* name) {
    resbuf value{};
    if (acedGetVar(name, &value) != RTNORM || value.restype != RTSTR) {
        return "";
    }
    std::string text = value.resval.rstring ? value.resval.rstring : "";
    acutDelString(value.resval.rstring);
    return text;
}

void report() {
    const std::string part = stringVariable("BATCHREPORT");
    const platform::PathResult<std::filesystem::path> native = platform::hostToNative(part);
    if (part.empty() || !native.ok()) {
        acutPrintf("\nNo batch report.");
        return;
    }
    const bool exists = std::filesystem::exists(native.value);
    std::ofstream file(native.value, std::ios::binary | std::ios::app);
    if (!exists) {
        file << "drawing,layer\n";
    }
    file << stringVariable("DWGNAME") << "," << stringVariable("CLAYER") << "\n";
    acutPrintf("\nReported %s.", stringVariable("DWGNAME").c_str());
}

void crash() {
    char name[133];
    if (acedGetString(0, "\nCrash in drawing: ", name) == RTNORM &&
        stringVariable("DWGNAME") == name) {
        std::abort();
    }
}

}  // namespace

ACRX_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode message, void* data) {
    if (message == AcRx::kInitAppMsg) {
        acrxDynamicLinker->unlockApplication(data);
        acrxDynamicLinker->registerAppMDIAware(data);
        acedRegCmds->addCommand("BMOD", "BMREPORT", "BMREPORT", ACRX_CMD_MODAL, report);
        acedRegCmds->addCommand("BMOD", "BMCRASH", "BMCRASH", ACRX_CMD_MODAL, crash);
        AcadAppInfo info;
        info.setAppName("BatchModule");
        info.setModuleName(acedGetAppName());
        info.setLoadReason(static_cast<AcadApp::LoadReasons>(AcadApp::kOnCommandInvocation |
                                                             AcadApp::kOnLoadRequest));
        info.writeToRegistry(false, false);
        info.writeGroupNameToRegistry("BMOD");
        info.writeCommandNameToRegistry("BMREPORT", "BMREPORT");
        info.writeCommandNameToRegistry("BMCRASH", "BMCRASH");
    } else if (message == AcRx::kUnloadAppMsg) {
        acedRegCmds->removeGroup("BMOD");
    }
    return AcRx::kRetOK;
}
