#pragma once
// Registry contents for installer tests: host product keys as the host program writes them,
// and the text of system.reg, where the machine root is saved.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/prefix.h"
#include "platform/registry.h"

namespace setuptest {

inline void setString(const std::string& path, const std::string& name, const std::string& value) {
    using namespace platform;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1)),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

inline const std::string kProducts = "Software\\Autodesk\\AutoCAD\\";

// A product key with its name and release, as the host program writes it on first start.
inline std::string addProduct(const std::string& release, const std::string& key,
                              const std::string& productName, const std::string& releaseText) {
    const std::string path = kProducts + release + "\\" + key;
    setString(path, "ProductName", productName);
    setString(path, "Release", releaseText);
    return path;
}

inline bool keyExists(const std::string& path) {
    using namespace platform;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// The lines of one key's section in system.reg (its header up to the blank line after it);
// empty when the file has no such key.
inline std::string regSection(const std::string& path) {
    std::ifstream file(platform::currentPrefix().systemReg());
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const std::string header = "[HKEY_LOCAL_MACHINE\\" + path + "]\n";
    const auto start = text.find(header);
    if (start == std::string::npos) {
        return {};
    }
    const auto end = text.find("\n\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
}

}  // namespace setuptest
