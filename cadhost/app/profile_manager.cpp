#include <string_view>

#include "cadhost/app/host_registration.h"
#include "cadhost/app/registry_key.h"
#include "cadhost/sdk/acprofile.h"
#include "cadhost/sdk/acutads.h"

void AcApProfileManager::ProfileRegistryKey(char*& key, const char* profileName) {
    key = nullptr;
    // A profile is one key: a backslash in a name would reach into another key.
    if (profileName && std::string_view(profileName).find('\\') != std::string_view::npos) {
        return;
    }
    const std::string path = profileName && *profileName ? cadhost::app::profileKey(profileName)
                                                         : cadhost::app::profileKey();
    if (cadhost::app::RegistryKey(platform::HKEY_CURRENT_USER, path, false).ok()) {
        acutNewString(("HKEY_CURRENT_USER\\" + path).c_str(), key);
    }
}

AcApProfileManager* acProfileManagerPtr() {
    static AcApProfileManager manager;
    return &manager;
}
