#include "platform/module_handle.h"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace platform {

namespace {

struct ModuleTable {
    std::mutex mutex;
    std::vector<HINSTANCE> modules;
};

ModuleTable& table() {
    static ModuleTable instance;
    return instance;
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return a == b || std::filesystem::equivalent(a, b, ec);
}

}  // namespace

void registerModule(HINSTANCE module) {
    ModuleTable& t = table();
    const std::lock_guard lock(t.mutex);
    if (module && std::find(t.modules.begin(), t.modules.end(), module) == t.modules.end()) {
        t.modules.push_back(module);
    }
}

void unregisterModule(HINSTANCE module) {
    ModuleTable& t = table();
    const std::lock_guard lock(t.mutex);
    std::erase(t.modules, module);
}

HINSTANCE moduleHandleOfFile(const std::filesystem::path& file) {
    ModuleTable& t = table();
    const std::lock_guard lock(t.mutex);
    const auto found = std::find_if(t.modules.begin(), t.modules.end(), [&](HINSTANCE module) {
        return !module->file.empty() && sameFile(module->file, file);
    });
    return found == t.modules.end() ? nullptr : *found;
}

std::vector<HINSTANCE> registeredModules() {
    ModuleTable& t = table();
    const std::lock_guard lock(t.mutex);
    return t.modules;
}

HINSTANCE moduleHandleOf(const void* address) {
    Dl_info info{};
    if (!address || !dladdr(address, &info) || !info.dli_fname || !*info.dli_fname) {
        return nullptr;
    }
    return moduleHandleOfFile(info.dli_fname);
}

}  // namespace platform
