#pragma once
// The registry key of a host profile, as the host's profile manager names it
// ("HKEY_CURRENT_USER\<product key>\Profiles\<profile>").
//
// The host SDK offers no profile manager yet; until it does, this seam forms the key the way
// the host lays out its profiles.

#include <optional>
#include <string>

namespace lnkhold::host {

std::optional<std::string> profileRegistryKey(const std::string& profile);

}  // namespace lnkhold::host
