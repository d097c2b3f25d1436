#pragma once
// The dynamic linker: loads and unloads modules and sends them the host's messages.

#include <memory>
#include <string>
#include <vector>

#include "rxregsvc.h"

namespace cadhost::app {
struct LoadedModule;
}

class AcRxDynamicLinker : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcRxDynamicLinker)

    AcRxDynamicLinker();
    ~AcRxDynamicLinker() override;

    // Loads a module given by its host path, initialises it and sends it the drawing-load
    // message of every open drawing. True when the module is loaded afterwards (also when it
    // already was). Failures are printed on the command line when printErrors is true.
    bool loadModule(const char* fileName, bool printErrors);
    // Unloads a module given by its host path or file name; only an unlocked module can be
    // unloaded, and only when it agrees to.
    bool unloadModule(const char* fileName, bool printErrors);

    // What a module calls with the handle its entry point got.
    bool unlockApplication(void* appId) const;
    bool lockApplication(void* appId) const;
    bool isApplicationLocked(const char* fileName) const;
    bool registerAppMDIAware(void* appId) const;
    bool registerAppNotMDIAware(void* appId) const;

    // Host paths of the loaded modules, in load order.
    std::vector<std::string> loadedModules() const;
    // Sends a message to every loaded module; for drawing messages `data` is the document.
    void sendToAll(AcRx::AppMsgCode message, void* data);
    // The module whose code holds the address; null for the host's own code.
    cadhost::app::LoadedModule* moduleContaining(const void* address) const;
    // The host path of the module whose code the host runs (its entry point, or one of its
    // commands); "" when none.
    const char* currentModulePath() const;
    // The host runs the module that holds `function` until leaveModule.
    void enterModuleOf(const void* function);
    void leaveModule();
    // Unloads every module at the end of the host's run.
    void unloadAll();

  private:
    cadhost::app::LoadedModule* find(void* appId) const;
    cadhost::app::LoadedModule* findByName(const std::string& name) const;

    AcRx::AppRetCode send(cadhost::app::LoadedModule& module, AcRx::AppMsgCode message, void* data);
    void unload(cadhost::app::LoadedModule& module);

    std::vector<std::unique_ptr<cadhost::app::LoadedModule>> modules_;
    std::vector<std::string> running_;  // host paths of modules whose code runs, innermost last
};

#define acrxDynamicLinker AcRxDynamicLinker::cast(acrxSysRegistry()->at(ACRX_DYNAMIC_LINKER))
