#pragma once
// The host products installed for the configured releases, and the demand-load entries that
// make each selected product load the plug-in module on first use of one of its commands.

#include <functional>
#include <string>
#include <vector>

#include "setup/messages.h"
#include "setup/registry_key.h"
#include "setup/strings.h"

namespace setup {

using StringLoader = std::function<std::string(UINT)>;

struct ProductEntry {
    std::string label;    // "ProductName  -  Release (key)"
    std::string keyPath;  // below the root: release base, release, "\", product key
};

// Every product key below each release of the configured list, in discovery order. Release
// and product keys that cannot be opened (with full access) are left out.
std::vector<ProductEntry> discoverProducts(const CRegistryKey& registry,
                                           const StringLoader& strings = loadString);

// Finish of the wizard for the selected products (their key paths, in list order).
class DemandLoadRegistration {
  public:
    DemandLoadRegistration(const CRegistryKey& registry, MessageSink messages,
                           StringLoader strings = loadString);

    // Writes the entries; on a failed step tells the user, removes the entries of every
    // selected product and says so; else reports completion.
    void install(const std::vector<std::string>& products, const std::string& installFolder) const;
    // Removes the entries and reports it.
    void uninstall(const std::vector<std::string>& products) const;

    bool writeEntryValues(const std::vector<std::string>& products,
                          const std::string& installFolder) const;
    bool writeCommandLists(const std::vector<std::string>& products) const;
    void removeEntries(const std::vector<std::string>& products) const;

  private:
    bool checkSelection(const std::vector<std::string>& products) const;
    bool writeCommandsAndGroups(HKEY applicationKey) const;
    void rollBack(const std::vector<std::string>& products) const;
    int say(const std::string& text, const std::string& caption) const;

    const CRegistryKey& registry_;
    MessageSink messages_;
    StringLoader strings_;
};

}  // namespace setup
