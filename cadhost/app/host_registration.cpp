#include "cadhost/app/host_registration.h"

#include <filesystem>

#include "cadhost/app/registry_key.h"
#include "cadhost/sdk/rxregsvc.h"
#include "platform/host_path.h"

namespace cadhost::app {

namespace {

constexpr const char* kSupportFolder = "C:\\Program Files\\cadhost\\Support";

platform::LONG writeMissing(const RegistryKey& key, const char* name, const std::string& value) {
    return key.readString(name) ? platform::ERROR_SUCCESS : key.writeString(name, value);
}

}  // namespace

std::string profilesKey() {
    return std::string(kProductKey) + "\\Profiles";
}

std::string currentProfileName() {
    const RegistryKey profiles(platform::HKEY_CURRENT_USER, profilesKey(), false);
    std::optional<std::string> name = profiles.readString("");
    return name && !name->empty() ? *name : std::string(kProfileName);
}

std::string profileKey(const std::string& profileName) {
    return profilesKey() + "\\" + profileName;
}

std::string registerHost() {
    const RegistryKey product(platform::HKEY_LOCAL_MACHINE, kProductKey, true);
    const RegistryKey profiles(platform::HKEY_CURRENT_USER, profilesKey(), true);
    const RegistryKey general(platform::HKEY_CURRENT_USER, profileKey() + "\\General", true);
    if (writeMissing(product, "ProductName", kProductName) != platform::ERROR_SUCCESS ||
        writeMissing(product, "Release", kRelease) != platform::ERROR_SUCCESS) {
        return std::string("cannot register the host under HKEY_LOCAL_MACHINE\\") + kProductKey;
    }
    if (writeMissing(profiles, "", kProfileName) != platform::ERROR_SUCCESS ||
        writeMissing(general, "ACAD", kSupportFolder) != platform::ERROR_SUCCESS) {
        return "cannot write the current profile under HKEY_CURRENT_USER\\" + profileKey();
    }
    if (auto native = platform::hostToNative(kSupportFolder); native.ok()) {
        std::error_code ec;
        std::filesystem::create_directories(native.value, ec);
    }
    return {};
}

}  // namespace cadhost::app

const char* acrxProductKey() {
    return cadhost::app::kProductKey;
}
