#include "cadhost/xref/host_search.h"

#include <filesystem>

#include "cadhost/app/host_registration.h"
#include "cadhost/app/registry_key.h"
#include "cadhost/sdk/aced.h"
#include "platform/host_path.h"

namespace cadhost::xref {

SearchPath hostSearchPath() {
    SearchPath path;
    const app::RegistryKey general(platform::HKEY_CURRENT_USER, app::profileKey() + "\\General",
                                   false);
    if (auto support = general.readString("ACAD")) {
        path.supportFolders = splitSearchPath(*support);
    }
    std::error_code ec;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        path.programFolder = platform::nativeToHost(program.parent_path());
    }
    return path;
}

std::unique_ptr<DrawingXrefs> openDrawingXrefs(AcDbDatabase& drawing) {
    auto xrefs = std::make_unique<DrawingXrefs>(
        drawing, hostSearchPath(), [](const std::string& text) { acutPrintf("%s", text.c_str()); });
    xrefs->update();
    return xrefs;
}

}  // namespace cadhost::xref
