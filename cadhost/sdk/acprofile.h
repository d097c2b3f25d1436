#pragma once
// The host's profiles: each keeps its settings in a registry key below HKEY_CURRENT_USER.

class AcApProfileManager {
  public:
    // Hands back "HKEY_CURRENT_USER\<the profile's key>" in a new string that the caller frees
    // with acutDelString; null when no such profile is registered. A null or empty name asks
    // for the current profile.
    void ProfileRegistryKey(char*& key, const char* profileName);
};

AcApProfileManager* acProfileManagerPtr();
