#include "plugin/ui/version_info.h"

#include <cstdio>
#include <cstring>

using namespace platform;

namespace lnkhold {

namespace {

// The module's file name in a buffer of `size` bytes, or nullopt when it cannot be read or
// does not fit: a cut name would be another file's name.
std::optional<std::string> moduleFileName(HMODULE module, DWORD size) {
    std::vector<char> buffer(size);
    const DWORD length = GetModuleFileNameA(module, buffer.data(), size);
    if (length == 0 || length >= size) {
        return std::nullopt;
    }
    return std::string(buffer.data(), length);
}

}  // namespace

bool VersionInfo::loadFromModule(HINSTANCE module) {
    const std::optional<std::string> fileName = moduleFileName(module, 514);
    if (!fileName) {
        return false;
    }
    fixedInfo = {};
    codePage = 1252;
    language = 0;
    data.clear();

    const std::optional<std::string> fullName =
        moduleFileName(GetModuleHandleA(fileName->c_str()), MAX_PATH);
    if (!fullName) {
        return false;
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(fullName->c_str(), &handle);
    if (size == 0) {
        return false;
    }
    data.assign(size, 0);
    if (!GetFileVersionInfoA(fullName->c_str(), handle, size, data.data())) {
        data.clear();
        return false;
    }
    void* buffer = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", &buffer, &length) || length < sizeof fixedInfo) {
        return false;
    }
    std::memcpy(&fixedInfo, buffer, sizeof fixedInfo);
    if (VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &buffer, &length) &&
        length >= 4) {
        DWORD translation = 0;
        std::memcpy(&translation, buffer, sizeof translation);
        language = LOWORD(translation);
        codePage = HIWORD(translation);
    }
    return fixedInfo.dwSignature == VS_FFI_SIGNATURE;
}

std::string VersionInfo::text(const char* name) const {
    if (data.empty() || !name) {
        return {};
    }
    char subBlock[64];
    std::snprintf(subBlock, sizeof subBlock, "\\StringFileInfo\\%04x%04x\\", language, codePage);
    const std::string query = subBlock + std::string(name);
    void* buffer = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), query.c_str(), &buffer, &length) || length == 0) {
        return {};
    }
    return static_cast<const char*>(buffer);
}

std::string versionTitle(HINSTANCE module) {
    VersionInfo info;
    if (!info.loadFromModule(module)) {
        return {};
    }
    const std::string product = info.text("ProductName");
    const DWORD version = info.fixedInfo.dwFileVersionMS;
    std::vector<char> title(product.size() + 64);
    std::snprintf(title.data(), title.size(), "%s, Version %d.%d", product.c_str(),
                  static_cast<int>(HIWORD(version)), static_cast<int>(LOWORD(version)));
    return title.data();
}

std::optional<std::string> helpFilePath(HINSTANCE module) {
    std::optional<std::string> path = moduleFileName(module, 512);
    if (!path) {
        return std::nullopt;
    }
    const std::size_t slash = path->rfind('\\');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    path->resize(slash);
    return *path + "\\lnkhold.hlp";
}

}  // namespace lnkhold
