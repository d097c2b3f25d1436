#pragma once
// Internal to the application: what the host keeps of a loaded module.

#include <filesystem>
#include <string>

#include "cadhost/sdk/rxregsvc.h"
#include "platform/module_handle.h"

namespace cadhost::app {

using EntryPoint = AcRx::AppRetCode (*)(AcRx::AppMsgCode, void*);

struct LoadedModule {
    std::string hostPath;
    void* handle = nullptr;      // from dlopen
    const void* base = nullptr;  // load address, to tell which functions are the module's
    EntryPoint entryPoint = nullptr;
    HINSTANCE__ instance;  // its address is the module's handle (appId)
    bool locked = true;    // a module unlocks itself to allow unloading
    bool mdiAware = false;

    void* appId() { return &instance; }
};

}  // namespace cadhost::app
