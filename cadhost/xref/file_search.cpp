#include "cadhost/xref/file_search.h"

#include <filesystem>

#include "platform/case_fold.h"
#include "platform/host_path.h"

namespace cadhost::xref {

namespace {

bool isAbsolute(std::string_view name) {
    return (name.size() >= 3 && name[1] == ':' && platform::isHostSeparator(name[2])) ||
           (!name.empty() && platform::isHostSeparator(name[0]));
}

std::string_view lastPart(std::string_view name) {
    const auto separator = name.find_last_of("\\/");
    std::string_view last = separator == std::string_view::npos ? name : name.substr(separator + 1);
    // "C:plan.dwg" names plan.dwg in drive C's current folder.
    return last.size() >= 2 && last[1] == ':' ? last.substr(2) : last;
}

std::string joined(const std::string& folder, std::string_view name) {
    if (folder.empty() || platform::isHostSeparator(folder.back())) {
        return folder + std::string(name);
    }
    return folder + '\\' + std::string(name);
}

// The ".dxf" name beside a ".dwg" name, keeping the extension's letter case ("X.DWG" gives
// "X.DXF"); nullopt for other names.
std::optional<std::string> dxfBeside(std::string_view name) {
    if (name.size() < 4 || !platform::equalsIgnoreCase(name.substr(name.size() - 4), ".dwg")) {
        return std::nullopt;
    }
    std::string dxf(name);
    const bool upper = dxf[dxf.size() - 2] == 'W';
    dxf[dxf.size() - 2] = upper ? 'X' : 'x';
    dxf[dxf.size() - 1] = upper ? 'F' : 'f';
    return dxf;
}

std::optional<std::string> existingFile(const std::string& candidate,
                                        platform::FolderListings& pass) {
    std::string full;
    const auto native = pass.existingFile(candidate, &full);
    if (!native.ok() || full.size() > platform::kMaxHostPath) {
        return std::nullopt;
    }
    return full;
}

std::optional<std::string> findAt(const std::string& candidate, platform::FolderListings& pass) {
    if (auto found = existingFile(candidate, pass)) {
        return found;
    }
    auto dxf = dxfBeside(candidate);
    return dxf ? existingFile(*dxf, pass) : std::nullopt;
}

}  // namespace

std::optional<std::string> findFile(std::string_view name, const std::string& drawingFolder,
                                    const SearchPath& searchPath) {
    platform::FolderListings pass;
    return findFile(name, drawingFolder, searchPath, pass);
}

std::optional<std::string> findFile(std::string_view name, const std::string& drawingFolder,
                                    const SearchPath& searchPath, platform::FolderListings& pass) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (isAbsolute(name) || drawingFolder.empty()) {
        if (auto found = findAt(std::string(name), pass)) {
            return found;
        }
    } else if (auto found = findAt(joined(drawingFolder, name), pass)) {
        return found;
    }
    const std::string_view file = lastPart(name);
    if (file.empty()) {
        return std::nullopt;
    }
    std::vector<const std::string*> folders{&drawingFolder};
    for (const std::string& folder : searchPath.supportFolders) {
        folders.push_back(&folder);
    }
    folders.push_back(&searchPath.programFolder);
    for (const std::string* folder : folders) {
        if (!folder->empty()) {
            if (auto found = findAt(joined(*folder, file), pass)) {
                return found;
            }
        }
    }
    return std::nullopt;
}

std::vector<std::string> splitSearchPath(std::string_view list) {
    std::vector<std::string> folders;
    while (!list.empty()) {
        const auto end = list.find(';');
        std::string_view folder = list.substr(0, end);
        if (folder.find_first_not_of(' ') != std::string_view::npos) {
            folders.emplace_back(folder);
        }
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    }
    return folders;
}

std::string hostFolderOf(std::string_view fullPath) {
    const auto separator = fullPath.find_last_of("\\/");
    if (separator == std::string_view::npos) {
        return {};
    }
    // Keep the separator of a root ("C:\").
    return std::string(fullPath.substr(0, separator == 2 && fullPath[1] == ':' ? 3 : separator));
}

}  // namespace cadhost::xref
