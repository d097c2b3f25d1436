#include "cadhost/app/registry_key.h"

#include <algorithm>

namespace cadhost::app {

using namespace platform;

RegistryKey::RegistryKey(HKEY root, const std::string& path, bool create) {
    error_ = create ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, &key_, nullptr)
                    : RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key_);
    if (error_ != ERROR_SUCCESS) {
        key_ = nullptr;
    }
}

RegistryKey::~RegistryKey() {
    if (key_) {
        RegCloseKey(key_);
    }
}

std::optional<std::string> RegistryKey::readString(const char* name) const {
    DWORD type = 0;
    DWORD size = 0;
    if (!key_ || RegQueryValueExA(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    std::string value(size, '\0');
    if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.resize(std::min<std::size_t>(size, value.size()));
    while (!value.empty() && value.back() == '\0') {
        value.pop_back();
    }
    return value;
}

std::optional<DWORD> RegistryKey::readDword(const char* name) const {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!key_ ||
        RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

LONG RegistryKey::writeString(const char* name, const std::string& value) const {
    return key_
               ? RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1))
               : error_;
}

LONG RegistryKey::writeDword(const char* name, DWORD value) const {
    return key_ ? RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof value)
                : error_;
}

std::vector<std::string> RegistryKey::subkeyNames() const {
    std::vector<std::string> names;
    for (DWORD index = 0; key_; ++index) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::pair<std::string, std::string>> RegistryKey::stringValues() const {
    std::vector<std::pair<std::string, std::string>> values;
    for (DWORD index = 0; key_; ++index) {
        char name[16384];
        DWORD length = sizeof name;
        DWORD type = 0;
        if (RegEnumValueA(key_, index, name, &length, nullptr, &type, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::string valueName(name, length);
        if (std::optional<std::string> data = readString(valueName.c_str())) {
            values.emplace_back(valueName, *data);
        }
    }
    return values;
}

}  // namespace cadhost::app
