// Loading modules with dlopen: the API-version handshake, the entry point's messages, locking
// and multi-document awareness.

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>

#include "cadhost/app/command_line.h"
#include "cadhost/app/host_input.h"
#include "cadhost/app/loaded_module.h"
#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "platform/case_fold.h"
#include "platform/host_path.h"

using cadhost::app::LoadedModule;

ACRX_DEFINE_MEMBERS(AcRxDynamicLinker, AcRxObject)

namespace {

using ApiVersionFunction = std::int32_t (*)();

void report(bool printErrors, const std::string& message) {
    if (printErrors) {
        cadhost::app::commandLine().print("\n" + message + "\n");
    }
}

std::string fileNameOf(const std::string& hostPath) {
    const auto slash = hostPath.find_last_of("\\/");
    return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

std::string withoutExtension(const std::string& name) {
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

const void* baseOf(const void* address) {
    Dl_info info{};
    return dladdr(address, &info) ? info.dli_fbase : nullptr;
}

template <class Function>
Function symbol(void* handle, const char* name) {
    return reinterpret_cast<Function>(dlsym(handle, name));
}

}  // namespace

AcRxDynamicLinker::AcRxDynamicLinker() = default;
AcRxDynamicLinker::~AcRxDynamicLinker() = default;

LoadedModule* AcRxDynamicLinker::find(void* appId) const {
    auto found = std::find_if(modules_.begin(), modules_.end(),
                              [&](const auto& module) { return module->appId() == appId; });
    return found == modules_.end() ? nullptr : found->get();
}

// By full host path, file name, or file name without extension; letter case ignored.
LoadedModule* AcRxDynamicLinker::findByName(const std::string& name) const {
    const platform::PathResult<std::string> full = platform::fullHostPath(name);
    for (const auto& module : modules_) {
        const std::string file = fileNameOf(module->hostPath);
        if ((full.ok() && platform::equalsIgnoreCase(module->hostPath, full.value)) ||
            platform::equalsIgnoreCase(file, name) ||
            platform::equalsIgnoreCase(withoutExtension(file), name)) {
            return module.get();
        }
    }
    return nullptr;
}

AcRx::AppRetCode AcRxDynamicLinker::send(LoadedModule& module, AcRx::AppMsgCode message,
                                         void* data) {
    running_.push_back(module.hostPath);
    const AcRx::AppRetCode result = module.entryPoint(message, data);
    running_.pop_back();
    return result;
}

bool AcRxDynamicLinker::loadModule(const char* fileName, bool printErrors) {
    const std::optional<cadhost::app::ExistingFile> file =
        cadhost::app::findExistingFile(fileName ? fileName : "");
    if (!file) {
        report(printErrors,
               std::string("Unable to load ") + (fileName ? fileName : "") + ": file not found.");
        return false;
    }
    if (LoadedModule* loaded = findByName(file->hostPath)) {
        report(printErrors, loaded->hostPath + " is already loaded.");
        return true;
    }
    auto module = std::make_unique<LoadedModule>();
    module->hostPath = file->hostPath;
    module->instance.file = file->nativePath;
    module->instance.folder = file->nativePath.parent_path();
    // Registered before the file is opened: the module's start-up code looks up its handle.
    platform::registerModule(&module->instance);
    module->handle = dlopen(file->nativePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module->handle) {
        platform::unregisterModule(&module->instance);
        const char* error = dlerror();
        report(printErrors,
               "Unable to load " + file->hostPath + ": " + (error ? error : "unknown error") + ".");
        return false;
    }
    const auto version = symbol<ApiVersionFunction>(module->handle, "acrxGetApiVersion");
    module->entryPoint = symbol<cadhost::app::EntryPoint>(module->handle, "acrxEntryPoint");
    std::string refusal;
    if (!version || !module->entryPoint) {
        refusal = " is not a module of this host (it lacks acrxEntryPoint or acrxGetApiVersion).";
    } else if (const std::int32_t offered = version(); offered != kAcrxApiVersion) {
        char text[96];
        std::snprintf(text, sizeof text,
                      " was built for API version 0x%08X; this host needs 0x%08X.",
                      static_cast<unsigned>(offered), static_cast<unsigned>(kAcrxApiVersion));
        refusal = text;
    }
    if (!refusal.empty()) {
        dlclose(module->handle);
        platform::unregisterModule(&module->instance);
        report(printErrors, "Unable to load " + file->hostPath + ":" + refusal);
        return false;
    }
    module->base = baseOf(reinterpret_cast<const void*>(module->entryPoint));
    LoadedModule& added = *modules_.emplace_back(std::move(module));
    if (send(added, AcRx::kInitAppMsg, added.appId()) != AcRx::kRetOK) {
        report(printErrors, "Unable to load " + added.hostPath + ": it failed to initialise.");
        unload(added);
        return false;
    }
    if (!added.mdiAware && acDocManagerPtr()->documentCount() > 1) {
        report(printErrors, "Unable to load " + added.hostPath +
                                ": it works with one open drawing only; close the others first.");
        send(added, AcRx::kUnloadAppMsg, added.appId());
        unload(added);
        return false;
    }
    std::unique_ptr<AcApDocumentIterator> documents(acDocManagerPtr()->newAcApDocumentIterator());
    for (; !documents->done(); documents->step()) {
        send(added, AcRx::kLoadDwgMsg, documents->document());
    }
    return true;
}

bool AcRxDynamicLinker::unloadModule(const char* fileName, bool printErrors) {
    LoadedModule* module = fileName ? findByName(fileName) : nullptr;
    if (!module) {
        report(printErrors, std::string(fileName ? fileName : "") + " is not loaded.");
        return false;
    }
    if (module->locked) {
        report(printErrors, module->hostPath + " is locked and cannot be unloaded.");
        return false;
    }
    std::unique_ptr<AcApDocumentIterator> documents(acDocManagerPtr()->newAcApDocumentIterator());
    for (; !documents->done(); documents->step()) {
        send(*module, AcRx::kUnloadDwgMsg, documents->document());
    }
    if (send(*module, AcRx::kUnloadAppMsg, module->appId()) != AcRx::kRetOK) {
        report(printErrors, module->hostPath + " refused to be unloaded.");
        return false;
    }
    unload(*module);
    return true;
}

// Drops the module's commands that it left behind, so no command can call into unloaded code.
void AcRxDynamicLinker::unload(LoadedModule& module) {
    if (AcEdCommandStack* commands = acedRegCmds) {
        commands->removeCommandsIf([&](const AcEdCommand& command) {
            return baseOf(reinterpret_cast<const void*>(command.functionAddr())) == module.base;
        });
    }
    dlclose(module.handle);
    platform::unregisterModule(&module.instance);
    std::erase_if(modules_, [&](const auto& m) { return m.get() == &module; });
}

void AcRxDynamicLinker::unloadAll() {
    while (!modules_.empty()) {
        LoadedModule& last = *modules_.back();
        send(last, AcRx::kUnloadAppMsg, last.appId());
        unload(last);
    }
}

bool AcRxDynamicLinker::unlockApplication(void* appId) const {
    LoadedModule* module = find(appId);
    return module && !(module->locked = false);
}

bool AcRxDynamicLinker::lockApplication(void* appId) const {
    LoadedModule* module = find(appId);
    return module && (module->locked = true);
}

bool AcRxDynamicLinker::isApplicationLocked(const char* fileName) const {
    LoadedModule* module = fileName ? findByName(fileName) : nullptr;
    return module && module->locked;
}

bool AcRxDynamicLinker::registerAppMDIAware(void* appId) const {
    LoadedModule* module = find(appId);
    return module && (module->mdiAware = true);
}

bool AcRxDynamicLinker::registerAppNotMDIAware(void* appId) const {
    LoadedModule* module = find(appId);
    return module && !(module->mdiAware = false);
}

std::vector<std::string> AcRxDynamicLinker::loadedModules() const {
    std::vector<std::string> paths;
    for (const auto& module : modules_) {
        paths.push_back(module->hostPath);
    }
    return paths;
}

void AcRxDynamicLinker::sendToAll(AcRx::AppMsgCode message, void* data) {
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        send(*modules_[i], message, data);
    }
}

const char* AcRxDynamicLinker::currentModulePath() const {
    return running_.empty() ? "" : running_.back().c_str();
}

void AcRxDynamicLinker::enterModuleOf(const void* function) {
    LoadedModule* module = moduleContaining(function);
    running_.push_back(module ? module->hostPath : std::string());
}

void AcRxDynamicLinker::leaveModule() {
    if (!running_.empty()) {
        running_.pop_back();
    }
}

LoadedModule* AcRxDynamicLinker::moduleContaining(const void* address) const {
    const void* base = baseOf(address);
    auto found = std::find_if(modules_.begin(), modules_.end(),
                              [&](const auto& module) { return base && module->base == base; });
    return found == modules_.end() ? nullptr : found->get();
}

const char* acedGetAppName() {
    AcRxDynamicLinker* linker = acrxDynamicLinker;
    return linker ? linker->currentModulePath() : "";
}
