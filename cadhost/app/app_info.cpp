// Demand-load entries of an application below the host's product key.

#include "cadhost/app/host_registration.h"
#include "cadhost/app/registry_key.h"
#include "cadhost/sdk/appinfo.h"

namespace {

using cadhost::app::RegistryKey;

std::string applicationKey(const std::string& appName) {
    return std::string(cadhost::app::kProductKey) + "\\Applications\\" + appName;
}

AcadApp::ErrorStatus statusOf(platform::LONG error) {
    switch (error) {
        case platform::ERROR_SUCCESS:
            return AcadApp::eOk;
        case platform::ERROR_ACCESS_DENIED:
            return AcadApp::eRegAccessDenied;
        case platform::ERROR_FILE_NOT_FOUND:
            return AcadApp::eKeyNotFound;
        default:
            return AcadApp::eUnknownError;
    }
}

bool isValidKeyName(const std::string& name) {
    return !name.empty() && name.find('\\') == std::string::npos;
}

// Writes one string value below the application's key (or its subkey).
AcadApp::ErrorStatus writeString(const std::string& appName, const char* subkey, const char* name,
                                 const char* data) {
    if (!isValidKeyName(appName)) {
        return AcadApp::eInvalidKey;
    }
    if (!name || !*name || !data) {
        return AcadApp::eInvalidValue;
    }
    const RegistryKey key(platform::HKEY_LOCAL_MACHINE, applicationKey(appName) + "\\" + subkey,
                          true);
    return statusOf(key.ok() ? key.writeString(name, data) : key.error());
}

}  // namespace

AcadApp::ErrorStatus AcadAppInfo::writeToRegistry(bool writeDescription,
                                                  bool keepExistingLoader) const {
    if (!isValidKeyName(appName_)) {
        return AcadApp::eInvalidKey;
    }
    const RegistryKey key(platform::HKEY_LOCAL_MACHINE, applicationKey(appName_), true);
    if (!key.ok()) {
        return statusOf(key.error());
    }
    platform::LONG error = key.writeDword("LOADCTRLS", static_cast<platform::DWORD>(loadReason_));
    if (error == platform::ERROR_SUCCESS && !(keepExistingLoader && key.readString("LOADER"))) {
        error = key.writeString("LOADER", moduleName_);
    }
    if (error == platform::ERROR_SUCCESS && writeDescription) {
        error = key.writeString("DESCRIPTION", description_);
    }
    return statusOf(error);
}

AcadApp::ErrorStatus AcadAppInfo::writeGroupNameToRegistry(const char* group) const {
    return writeString(appName_, "GROUPS", group, group);
}

AcadApp::ErrorStatus AcadAppInfo::writeCommandNameToRegistry(const char* globalName,
                                                             const char* localName) const {
    return writeString(appName_, "COMMANDS", globalName, localName);
}

AcadApp::ErrorStatus AcadAppInfo::readFromRegistry() {
    if (!isValidKeyName(appName_)) {
        return AcadApp::eInvalidKey;
    }
    const RegistryKey key(platform::HKEY_LOCAL_MACHINE, applicationKey(appName_), false);
    if (!key.ok()) {
        return statusOf(key.error());
    }
    const std::optional<platform::DWORD> reasons = key.readDword("LOADCTRLS");
    const std::optional<std::string> loader = key.readString("LOADER");
    if (!reasons || !loader) {
        return AcadApp::eValueNotFound;
    }
    loadReason_ = static_cast<AcadApp::LoadReasons>(*reasons);
    moduleName_ = *loader;
    description_ = key.readString("DESCRIPTION").value_or("");
    return AcadApp::eOk;
}
