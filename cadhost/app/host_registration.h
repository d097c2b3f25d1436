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

// The current profile's key below HKEY_CURRENT_USER.
std::string profileKey();

// Writes what is missing of the product key (HKEY_LOCAL_MACHINE: ProductName, Release) and
// of the current profile (HKEY_CURRENT_USER: the profile name as the Profiles key's default
// value, and the support search path "ACAD" under its General key). Values already there
// are kept. Returns "" or a message saying what could not be written.
std::string registerHost();

}  // namespace cadhost::app
