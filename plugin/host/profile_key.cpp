#include "plugin/host/profile_key.h"

#include "cadhost/sdk/rxregsvc.h"

namespace lnkhold::host {

std::optional<std::string> profileRegistryKey(const std::string& profile) {
    const char* product = acrxProductKey();
    if (!product || !*product || profile.empty()) {
        return std::nullopt;
    }
    return std::string("HKEY_CURRENT_USER\\") + product + "\\Profiles\\" + profile;
}

}  // namespace lnkhold::host
