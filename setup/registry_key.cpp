#include "setup/registry_key.h"

#include <sstream>
#include <vector>

namespace setup {

using namespace platform;

LONG CRegistryKey::openSubKey(HKEY parent, const std::string& name, HKEY* result,
                              bool create) const {
    if (create) {
        char noClass[] = "";
        DWORD disposition = 0;
        return RegCreateKeyExA(parent, name.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS, nullptr, result, &disposition);
    }
    return RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, result);
}

LONG CRegistryKey::openPath(const std::string& path, HKEY* result, bool create) const {
    HKEY current = root_;
    bool opened = false;
    std::istringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '\\')) {
        if (part.empty()) {
            continue;
        }
        HKEY next = nullptr;
        const LONG error = openSubKey(current, part, &next, create);
        if (opened) {
            RegCloseKey(current);
        }
        if (error != ERROR_SUCCESS) {
            return error;
        }
        current = next;
        opened = true;
    }
    if (!opened) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = current;
    return ERROR_SUCCESS;
}

LONG CRegistryKey::enumSubKey(HKEY key, DWORD index, std::string& name) const {
    char buffer[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    const LONG error =
        RegEnumKeyExA(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    name = error == ERROR_SUCCESS ? std::string(buffer, length) : std::string();
    return error;
}

std::string CRegistryKey::readString(HKEY key, const std::string& valueName,
                                     const std::string& defaultText) const {
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
        return defaultText;
    }
    std::vector<BYTE> data(static_cast<std::size_t>(size) + 1, 0);
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, data.data(), &size) !=
        ERROR_SUCCESS) {
        return defaultText;
    }
    return std::string(reinterpret_cast<const char*>(data.data()));  // up to the first NUL
}

std::string CRegistryKey::readString(const std::string& path, const std::string& valueName,
                                     const std::string& defaultText) const {
    HKEY key = nullptr;
    if (openPath(path, &key, false) != ERROR_SUCCESS) {
        return defaultText;
    }
    std::string text = readString(key, valueName, defaultText);
    RegCloseKey(key);
    return text;
}

LONG CRegistryKey::writeNumber(HKEY key, const std::string& valueName, DWORD number) const {
    return RegSetValueExA(key, valueName.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&number), sizeof number);
}

LONG CRegistryKey::writeString(HKEY key, const std::string& valueName,
                               const std::string& text) const {
    return RegSetValueExA(key, valueName.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

LONG CRegistryKey::deleteTree(HKEY parent, const std::string& name) const {
    return SHDeleteKeyA(parent, name.c_str());
}

}  // namespace setup
