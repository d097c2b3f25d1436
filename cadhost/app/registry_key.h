#pragma once
// An open registry key that closes itself, with the reads and writes the host needs.

#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace cadhost::app {

class RegistryKey {
  public:
    // Opens (or with create, creates) path below root; check ok() or error().
    RegistryKey(platform::HKEY root, const std::string& path, bool create);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool ok() const { return key_ != nullptr; }
    platform::LONG error() const { return error_; }

    std::optional<std::string> readString(const char* name) const;
    std::optional<platform::DWORD> readDword(const char* name) const;
    // Strings are written with their terminating NUL counted.
    platform::LONG writeString(const char* name, const std::string& value) const;
    platform::LONG writeDword(const char* name, platform::DWORD value) const;
    std::vector<std::string> subkeyNames() const;
    // Names and data of the string values.
    std::vector<std::pair<std::string, std::string>> stringValues() const;

  private:
    platform::HKEY key_ = nullptr;
    platform::LONG error_ = platform::ERROR_SUCCESS;
};

}  // namespace cadhost::app
