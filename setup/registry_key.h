#pragma once
// A small accessor for the keys the installer reads and writes under one root key
// (HKEY_LOCAL_MACHINE). Every key is opened or created with full access, so a user who may
// not write the root finds nothing. It keeps no handle: each one it opens goes to the caller,
// who closes it with RegCloseKey. The write and open operations are virtual so that tests
// can make single steps fail.

#include <string>

#include "platform/registry.h"

namespace setup {

using platform::DWORD;
using platform::HKEY;
using platform::LONG;

class CRegistryKey {
  public:
    explicit CRegistryKey(HKEY root = platform::HKEY_LOCAL_MACHINE) : root_(root) {}
    virtual ~CRegistryKey() = default;

    HKEY root() const { return root_; }
    void setRoot(HKEY root) { root_ = root; }

    // Opens (or creates) each backslash-separated part of path below the root in turn; a path
    // without parts fails with ERROR_INVALID_PARAMETER.
    virtual LONG openPath(const std::string& path, HKEY* result, bool create) const;
    virtual LONG openSubKey(HKEY parent, const std::string& name, HKEY* result, bool create) const;

    // The name of the subkey at index, empty on failure; a non-zero result ends enumerating.
    LONG enumSubKey(HKEY key, DWORD index, std::string& name) const;

    // The value's text whatever its stored type; defaultText when it cannot be read.
    std::string readString(HKEY key, const std::string& valueName,
                           const std::string& defaultText) const;
    std::string readString(const std::string& path, const std::string& valueName,
                           const std::string& defaultText) const;

    virtual LONG writeNumber(HKEY key, const std::string& valueName, DWORD number) const;
    // REG_SZ with its terminating NUL counted.
    virtual LONG writeString(HKEY key, const std::string& valueName, const std::string& text) const;

    // Deletes the subkey with everything below it.
    LONG deleteTree(HKEY parent, const std::string& name) const;

  private:
    HKEY root_;
};

}  // namespace setup
