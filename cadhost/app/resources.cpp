// Resource instances: the host's own, and where an instance's files are found.

#include <dlfcn.h>

#include "cadhost/app/loaded_module.h"
#include "cadhost/sdk/aced.h"

HINSTANCE acedGetAcadResourceInstance() {
    // The host's files lie beside its library.
    static HINSTANCE__ host = [] {
        Dl_info info{};
        dladdr(reinterpret_cast<const void*>(&acedGetAcadResourceInstance), &info);
        return HINSTANCE__{{},
                           info.dli_fname ? std::filesystem::path(info.dli_fname).parent_path()
                                          : std::filesystem::current_path()};
    }();
    return &host;
}

std::filesystem::path acedResourceFolder(HINSTANCE instance) {
    return instance ? instance->folder : acedGetAcadResourceInstance()->folder;
}
