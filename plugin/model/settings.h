#pragma once
// The dialog's 32-bit integer settings, under the host product's key:
//   <product key>\Applications\Linkhold16\Settings, HKEY_LOCAL_MACHINE first, then
//   HKEY_CURRENT_USER; each value 4 bytes, little-endian, written as REG_NONE.

#include <cstdint>

namespace lnkhold {

// The stored value, or `fallback` when it cannot be read. Only the first root whose key
// opens is consulted; the value's type is not looked at.
std::int32_t readSetting(const char* name, std::int32_t fallback);
// Stores the value under the first root that can be written; silently nothing otherwise.
void writeSetting(const char* name, std::int32_t value);

}  // namespace lnkhold
