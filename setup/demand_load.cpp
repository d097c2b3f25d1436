#include "setup/demand_load.h"

#include <cstdlib>
#include <sstream>

namespace setup {

using namespace platform;

namespace {

constexpr const char* kApplications = "\\Applications\\";

constexpr const char* kNoSelection = "No Autocad versions selected";
constexpr const char* kNoticeCaption = "Notice";
constexpr const char* kNotice =
    "A problem occurred while setting up the registry for demand\r\n"
    "loading of the application from within AutoCAD.  In order to\r\n"
    "run the application you will need to manually load it once\r\n"
    "AutoCAD is started.  Once the application is successfully\r\n"
    "loaded within AutoCAD it will automatically try and fix up\r\n"
    "the demand loading on it's own.";
constexpr const char* kProblemCaption = "Installation problem";
constexpr const char* kProblem =
    "A problem occurred while setting up the registry. \r\n"
    "The registry will be restored to its original state.\r\n"
    "You can still run %s by manually loading\r\n"
    "it within AutoCAD.  See the help documentation for\r\n"
    "more information about the demand load feature.\r\n"
    "Setup will now exit.";
constexpr const char* kCompleteCaption = "Installation complete";
constexpr const char* kComplete =
    "Installation of %s is complete and ready for\r\n"
    "use inside AutoCAD.  Setup will now exit.";
constexpr const char* kUninstalledCaption = "Finish uninstalling";
constexpr const char* kUninstalled =
    "%s registry entries are removed.  To finish uninstalling\r\n"
    "the application, delete the directory where the application\r\n"
    "is installed.";

std::string withName(const char* format, const std::string& name) {
    std::string text = format;
    text.replace(text.find("%s"), 2, name);
    return text;
}

// The entries of a list in the string table, up to the first empty one.
std::vector<std::string> loadList(const StringLoader& strings, UINT first, UINT last) {
    std::vector<std::string> entries;
    for (UINT id = first; id <= last; ++id) {
        std::string entry = strings(id);
        if (entry.empty()) {
            break;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

class KeyCloser {
  public:
    explicit KeyCloser(HKEY key) : key_(key) {}
    ~KeyCloser() { RegCloseKey(key_); }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

  private:
    HKEY key_;
};

}  // namespace

std::vector<ProductEntry> discoverProducts(const CRegistryKey& registry,
                                           const StringLoader& strings) {
    std::vector<ProductEntry> products;
    const std::string releases = strings(IDS_RELEASES);
    std::istringstream parts(releases);
    std::string release;
    while (std::getline(parts, release, '\\') && !release.empty()) {
        const std::string releasePath = strings(IDS_RELEASE_BASE) + release;
        HKEY releaseKey = nullptr;
        if (registry.openPath(releasePath, &releaseKey, false) != ERROR_SUCCESS) {
            continue;
        }
        const KeyCloser closeRelease(releaseKey);
        std::string name;
        for (DWORD index = 0; registry.enumSubKey(releaseKey, index, name) == ERROR_SUCCESS;
             ++index) {
            HKEY productKey = nullptr;
            if (registry.openSubKey(releaseKey, name, &productKey, false) != ERROR_SUCCESS) {
                continue;
            }
            const KeyCloser closeProduct(productKey);
            products.push_back({registry.readString(productKey, "ProductName", "") + "  -  " +
                                    registry.readString(productKey, "Release", "") + " (" + name +
                                    ")",
                                releasePath + "\\" + name});
        }
    }
    return products;
}

DemandLoadRegistration::DemandLoadRegistration(const CRegistryKey& registry, MessageSink messages,
                                               StringLoader strings)
    : registry_(registry), messages_(std::move(messages)), strings_(std::move(strings)) {}

int DemandLoadRegistration::say(const std::string& text, const std::string& caption) const {
    return messages_(text, caption, MB_OK);
}

bool DemandLoadRegistration::checkSelection(const std::vector<std::string>& products) const {
    if (products.empty()) {
        say(kNoSelection, "Error");
        return false;
    }
    return true;
}

bool DemandLoadRegistration::writeEntryValues(const std::vector<std::string>& products,
                                              const std::string& installFolder) const {
    if (!checkSelection(products)) {
        return false;
    }
    const std::string appName = strings_(IDS_APPNAME);
    const DWORD loadCtrls = static_cast<DWORD>(std::atoi(strings_(IDS_LOADCTRLS).c_str()));
    const std::string loader = installFolder + "\\" + strings_(IDS_MODULE) + ".arx";
    for (const std::string& product : products) {
        HKEY key = nullptr;
        if (registry_.openPath(product + kApplications + appName, &key, true) != ERROR_SUCCESS) {
            continue;  // a product we may not write is passed over
        }
        const KeyCloser closeKey(key);
        if (registry_.writeNumber(key, "LOADCTRLS", loadCtrls) != ERROR_SUCCESS) {
            say("Problem writing registry value LOADCTRLS", kProgramName);
            return false;
        }
        if (registry_.writeString(key, "LOADER", loader) != ERROR_SUCCESS) {
            say("Problem writing registry value LOADER", kProgramName);
            return false;
        }
    }
    return true;
}

bool DemandLoadRegistration::writeCommandsAndGroups(HKEY applicationKey) const {
    HKEY commands = nullptr;
    if (registry_.openSubKey(applicationKey, "COMMANDS", &commands, true) != ERROR_SUCCESS) {
        return false;
    }
    {
        const KeyCloser closeCommands(commands);
        for (const std::string& entry : loadList(strings_, IDS_COMMAND_FIRST, IDS_COMMAND_LAST)) {
            const auto comma = entry.find(',');
            const std::string name = entry.substr(0, comma);
            const std::string local = comma == std::string::npos ? entry : entry.substr(comma + 1);
            if (registry_.writeString(commands, name, local) != ERROR_SUCCESS) {
                return false;
            }
        }
    }
    HKEY groups = nullptr;
    if (registry_.openSubKey(applicationKey, "GROUPS", &groups, true) != ERROR_SUCCESS) {
        return false;
    }
    const KeyCloser closeGroups(groups);
    for (const std::string& group : loadList(strings_, IDS_GROUP_FIRST, IDS_GROUP_LAST)) {
        if (registry_.writeString(groups, group, group) != ERROR_SUCCESS) {
            return false;
        }
    }
    return true;
}

bool DemandLoadRegistration::writeCommandLists(const std::vector<std::string>& products) const {
    if (!checkSelection(products)) {
        return false;
    }
    const std::string appName = strings_(IDS_APPNAME);
    for (const std::string& product : products) {
        HKEY key = nullptr;
        if (registry_.openPath(product + kApplications + appName, &key, true) != ERROR_SUCCESS) {
            continue;
        }
        const KeyCloser closeKey(key);
        if (!writeCommandsAndGroups(key)) {
            return false;
        }
    }
    return true;
}

void DemandLoadRegistration::removeEntries(const std::vector<std::string>& products) const {
    const std::string appName = strings_(IDS_APPNAME);
    for (const std::string& product : products) {
        HKEY applications = nullptr;
        if (registry_.openPath(product + kApplications, &applications, false) == ERROR_SUCCESS) {
            registry_.deleteTree(applications, appName);
            RegCloseKey(applications);
        }
    }
}

void DemandLoadRegistration::rollBack(const std::vector<std::string>& products) const {
    say(kNotice, kNoticeCaption);
    removeEntries(products);
    say(withName(kProblem, strings_(IDS_APPNAME)), kProblemCaption);
}

void DemandLoadRegistration::install(const std::vector<std::string>& products,
                                     const std::string& installFolder) const {
    if (!writeEntryValues(products, installFolder) || !writeCommandLists(products)) {
        rollBack(products);
        return;
    }
    say(withName(kComplete, strings_(IDS_APPNAME)), kCompleteCaption);
}

void DemandLoadRegistration::uninstall(const std::vector<std::string>& products) const {
    removeEntries(products);
    say(withName(kUninstalled, strings_(IDS_APPNAME)), kUninstalledCaption);
}

}  // namespace setup
