// Reading the current project's reference search path from the host profile's registry key.

#include <array>
#include <cstring>
#include <vector>

#include "acprofile.h"
#include "acutads.h"
#include "platform/case_fold.h"
#include "platform/registry.h"
#include "plugin/host/host_variables.h"
#include "plugin/model/path_resolution.h"

namespace lnkhold {

namespace {

struct NamedRoot {
    const char* name;
    platform::HKEY root;
};

// The predefined root a key string starts with; null when it names none.
platform::HKEY rootNamed(std::string_view name) {
    const std::array<NamedRoot, 7> roots{{
        {"HKEY_CLASSES_ROOT", platform::HKEY_CLASSES_ROOT},
        {"HKEY_CURRENT_CONFIG", platform::HKEY_CURRENT_CONFIG},
        {"HKEY_CURRENT_USER", platform::HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", platform::HKEY_LOCAL_MACHINE},
        {"HKEY_USERS", platform::HKEY_USERS},
        {"HKEY_PERFORMANCE_DATA", platform::HKEY_PERFORMANCE_DATA},
        {"HKEY_DYN_DATA", platform::HKEY_DYN_DATA},
    }};
    for (const NamedRoot& root : roots) {
        if (platform::equalsIgnoreCase(name, root.name)) {
            return root.root;
        }
    }
    return nullptr;
}

std::string readRefSearchPath(platform::HKEY root, const std::string& subKey) {
    platform::HKEY key = nullptr;
    if (platform::RegOpenKeyExA(root, subKey.c_str(), 0, platform::KEY_READ, &key) !=
        platform::ERROR_SUCCESS) {
        return {};
    }
    std::string folders;
    platform::DWORD size = 0;
    if (platform::RegQueryValueExA(key, "RefSearchPath", nullptr, nullptr, nullptr, &size) ==
        platform::ERROR_SUCCESS) {
        std::vector<platform::BYTE> data(size + 1, 0);
        if (platform::RegQueryValueExA(key, "RefSearchPath", nullptr, nullptr, data.data(),
                                       &size) == platform::ERROR_SUCCESS) {
            folders.assign(reinterpret_cast<const char*>(data.data()),
                           strnlen(reinterpret_cast<const char*>(data.data()), data.size()));
        }
    }
    platform::RegCloseKey(key);
    return folders;
}

}  // namespace

void loadProjectSearchPath() {
    setProjectSearchPath({});
    const std::optional<std::string> profile = host::stringVariable("cprofile");
    if (!profile || profile->empty()) {
        return;
    }
    // The host hands the profile's key back in a string of its own, which is ours to free.
    char* hostKey = nullptr;
    acProfileManagerPtr()->ProfileRegistryKey(hostKey, profile->c_str());
    if (!hostKey) {
        return;
    }
    const std::string key(hostKey);
    acutDelString(hostKey);
    const std::size_t firstBackslash = key.find('\\');
    if (firstBackslash == std::string::npos) {
        return;
    }
    const platform::HKEY root = rootNamed(std::string_view(key).substr(0, firstBackslash));
    const std::optional<std::string> project = host::stringVariable("projectname");
    if (!root || !project || project->empty()) {
        return;
    }
    const std::string subKey = key.substr(firstBackslash + 1) + "\\Project Settings\\" + *project;
    setProjectSearchPath(readRefSearchPath(root, subKey));
}

}  // namespace lnkhold
