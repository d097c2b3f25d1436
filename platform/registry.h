#pragma once
// The Windows registry functions, with Windows values and results, over the registry store of
// the current prefix: HKEY_LOCAL_MACHINE in system.reg and HKEY_CURRENT_USER in user.reg.
// The other predefined roots do not exist here and answer ERROR_FILE_NOT_FOUND.
//
// A handle names its root and key path; it stays valid when another process changes the file,
// answers ERROR_KEY_DELETED once its key is gone, and ERROR_INVALID_HANDLE after the prefix
// changed. Bad or closed handles give ERROR_INVALID_HANDLE. Calls are thread-safe.

#include <cstdint>
#include <string>

#include "platform/win32_types.h"

namespace platform {

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;

namespace detail {
inline HKEY predefinedKey(DWORD value) {
    // Windows sign-extends the 32-bit constants to pointer width.
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(value)));
}
}  // namespace detail

inline const HKEY HKEY_CLASSES_ROOT = detail::predefinedKey(0x80000000);
inline const HKEY HKEY_CURRENT_USER = detail::predefinedKey(0x80000001);
inline const HKEY HKEY_LOCAL_MACHINE = detail::predefinedKey(0x80000002);
inline const HKEY HKEY_USERS = detail::predefinedKey(0x80000003);
inline const HKEY HKEY_PERFORMANCE_DATA = detail::predefinedKey(0x80000004);
inline const HKEY HKEY_CURRENT_CONFIG = detail::predefinedKey(0x80000005);
inline const HKEY HKEY_DYN_DATA = detail::predefinedKey(0x80000006);

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Subkey paths may hold several backslash-separated parts (empty parts are skipped);
// a null or empty subkey names the key itself.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM desired, HKEY* result);
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                     REGSAM desired, void* securityAttributes, HKEY* result, DWORD* disposition);
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
// Subkeys in case-insensitive name order; lastWriteTime is not kept and comes back zero.
LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameLength, DWORD* reserved,
                   char* keyClass, DWORD* classLength, FILETIME* lastWriteTime);
// Values in the order they were first set.
LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameLength, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* dataSize);
LONG RegDeleteValueA(HKEY key, const char* valueName);
// Deletes a key that has no subkeys (a key with subkeys gives ERROR_ACCESS_DENIED).
LONG RegDeleteKeyA(HKEY key, const char* subKey);
// Deletes a key with everything below it.
LONG SHDeleteKeyA(HKEY key, const char* subKey);
LONG RegCloseKey(HKEY key);

// Appends the .reg text of the key and its subtree; an empty text first gets the file header.
LONG exportRegistryKey(HKEY key, std::string& text);

// The read-only switch of a root (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER). While on, every
// process (root included) gets ERROR_ACCESS_DENIED for writes and for opening with write access.
LONG setRegistryRootReadOnly(HKEY root, bool readOnly);
bool registryRootReadOnly(HKEY root);

// Why a root answers ERROR_BADDB or could not be read ("file:line: what"); empty when both
// roots are fine.
std::string registryErrorText();

}  // namespace platform
