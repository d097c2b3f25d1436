#include "plugin/model/settings.h"

#include <array>
#include <string>

#include "platform/registry.h"
#include "rxregsvc.h"

namespace lnkhold {

namespace {

std::string settingsKey() {
    const char* product = acrxProductKey();
    return std::string(product ? product : "") + "\\Applications\\Linkhold16\\Settings";
}

}  // namespace

std::int32_t readSetting(const char* name, std::int32_t fallback) {
    const std::string path = settingsKey();
    platform::HKEY key = nullptr;
    if (platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, path.c_str(), 0, platform::KEY_READ,
                                &key) != platform::ERROR_SUCCESS &&
        platform::RegOpenKeyExA(platform::HKEY_CURRENT_USER, path.c_str(), 0, platform::KEY_READ,
                                &key) != platform::ERROR_SUCCESS) {
        return fallback;
    }
    std::array<platform::BYTE, 4> data{};
    platform::DWORD size = data.size();
    const platform::LONG result =
        platform::RegQueryValueExA(key, name, nullptr, nullptr, data.data(), &size);
    platform::RegCloseKey(key);
    // A shorter value would leave bytes of the buffer unread: it is no setting of ours.
    if (result != platform::ERROR_SUCCESS || size != data.size()) {
        return fallback;
    }
    const std::uint32_t bits =
        static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
        static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    return static_cast<std::int32_t>(bits);
}

void writeSetting(const char* name, std::int32_t value) {
    const std::string path = settingsKey();
    char noClass[] = "";
    platform::HKEY key = nullptr;
    const auto create = [&](platform::HKEY root) {
        return platform::RegCreateKeyExA(root, path.c_str(), 0, noClass,
                                         platform::REG_OPTION_NON_VOLATILE, platform::KEY_WRITE,
                                         nullptr, &key, nullptr) == platform::ERROR_SUCCESS;
    };
    if (!create(platform::HKEY_LOCAL_MACHINE) && !create(platform::HKEY_CURRENT_USER)) {
        return;
    }
    const auto bits = static_cast<std::uint32_t>(value);
    const std::array<platform::BYTE, 4> data{
        static_cast<platform::BYTE>(bits), static_cast<platform::BYTE>(bits >> 8),
        static_cast<platform::BYTE>(bits >> 16), static_cast<platform::BYTE>(bits >> 24)};
    platform::RegSetValueExA(key, name, 0, platform::REG_NONE, data.data(), data.size());
    platform::RegCloseKey(key);
}

}  // namespace lnkhold
