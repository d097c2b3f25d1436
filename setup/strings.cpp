#include "setup/strings.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace setup {

namespace {

constexpr std::array<std::pair<UINT, std::string_view>, 11> kStringTable{{
    {IDS_APPNAME, "Linkhold16"},
    {IDS_INSTALL, "Install "},
    {IDS_UNINSTALL, "Uninstall "},
    {IDS_MAKER, "Tarnwick"},
    {IDS_RELEASES, "R16.0\\R16.1"},
    {IDS_RELEASE_BASE, "Software\\Autodesk\\AutoCAD\\"},
    {IDS_LOADCTRLS, "12"},
    {IDS_MODULE, "Linkhold16"},
    {IDS_GROUP_FIRST, "TWK"},
    {IDS_COMMAND_FIRST, "Linkhold,LKH"},
    {IDS_COMMAND_FIRST + 1, "-Linkhold,-LKH"},
}};

}  // namespace

std::string loadString(UINT id) {
    const auto entry = std::find_if(kStringTable.begin(), kStringTable.end(),
                                    [id](const auto& e) { return e.first == id; });
    return entry == kStringTable.end() ? std::string() : std::string(entry->second);
}

}  // namespace setup
