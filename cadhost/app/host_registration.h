#pragma once
// The host's product key and profile in the registry, written on first start so that an
// installer looking for products of release 16.0 finds this host.

#include <string>

namespace cadhost::app {

inline constexpr const char* kProductKeyName = "ACAD-201:409";
inline constexpr const char* kProductKey = "Software\\Autodesk\\AutoCAD\\R16.0\\ACAD-201:409";
inline constexpr const char* kProductName = "cadhost";
inline constexpr const char* kRelease = "16.0";
inline constexpr const char* kProfileName = "<<Unnamed Profile>>";

// The key that lists the profiles below HKEY_CURRENT_USER; its default value names the
// current profile.
std::string profilesKey();
// The current profile's name: the Profiles key's default value, else kProfileName.
std::string currentProfileName();
// A profile's key below HKEY_CURRENT_USER; the current profile's without a name.
std::string profileKey(const std::string& profileName = currentProfileName());

// Writes what is missing of the product key (HKEY_LOCAL_MACHINE: ProductName, Release) and
// of the current profile (HKEY_CURRENT_USER: the profile name as the Profiles key's default
// value, and the support search path "ACAD" under its General key). Values already there
// are kept. Returns "" or a message saying what could not be written.
std::string registerHost();

}  // namespace cadhost::app
