#include "setup/install_folder.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "platform/current_folder.h"
#include "platform/errno_map.h"
#include "platform/files.h"
#include "platform/host_path.h"

namespace setup {

using namespace platform;

namespace {

constexpr const char* kErrorCaption = "Installation Error";

// The full host form of folder + "\" + name, when that stays inside folder; none for names
// that climb out, are absolute, or are not valid host names.
std::optional<std::string> inside(const std::string& folder, const std::string& name) {
    if (name.empty() || isHostSeparator(name.front()) || name.find(':') != std::string::npos) {
        return std::nullopt;
    }
    const auto base = fullHostPath(folder);
    const auto joined = fullHostPath(folder + "\\" + name);
    if (!base.ok() || !joined.ok()) {
        return std::nullopt;
    }
    const std::string prefix = base.value.ends_with('\\') ? base.value : base.value + "\\";
    if (joined.value.size() <= prefix.size() || !joined.value.starts_with(prefix)) {
        return std::nullopt;
    }
    return joined.value;
}

void makeParentFolders(const std::string& folder, const std::string& fullFile) {
    const std::string prefix = folder.ends_with('\\') ? folder : folder + "\\";
    for (auto sep = fullFile.find('\\', prefix.size()); sep != std::string::npos;
         sep = fullFile.find('\\', sep + 1)) {
        CreateDirectoryA(fullFile.substr(0, sep).c_str(), nullptr);
    }
}

// What a Win32 error of a file copy means for the user.
std::string copyErrorText(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return "not found in the setup folder";
        case ERROR_PATH_NOT_FOUND:
            return "a folder on the way does not exist";
        case ERROR_ACCESS_DENIED:
            return "access denied";
        case ERROR_SHARING_VIOLATION:
            return "the source and the destination are the same file";
        case ERROR_DISK_FULL:
            return "the disk is full";
        case ERROR_INVALID_NAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return "the name is not valid or too long";
        default:
            return "error " + std::to_string(error);
    }
}

}  // namespace

std::string programFilesFolder(const CRegistryKey& registry) {
    return registry.readString("Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                               "C:\\");
}

std::string defaultInstallFolder(const CRegistryKey& registry, const StringLoader& strings) {
    return programFilesFolder(registry) + "\\" + strings(IDS_MAKER) + "\\" + strings(IDS_APPNAME);
}

bool InstallFolder::accept(const std::string& typed) {
    sourceFolder_ = currentHostFolder();
    if (_chdir(typed.c_str()) == 0) {
        installFolder_ = typed;
        _chdir(sourceFolder_.c_str());
        return true;
    }
    const std::string question =
        "Directory: " + typed + ",\nDoes not exist, do you want to create it?";
    if (messages_(question, "Unknown Directory", MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return false;
    }
    const bool created = create(typed);
    installFolder_ = created ? typed : std::string();
    // Also after a failed creation, so that the next try reads the setup folder again.
    _chdir(sourceFolder_.c_str());
    return created;
}

bool InstallFolder::create(const std::string& typed) const {
    const auto colon = typed.find(':');
    const std::string drive = typed.substr(0, colon);
    if (!drive.empty()) {
        const std::string root = drive + ":\\";
        if (_chdir(root.c_str()) != 0) {
            messages_("Could not change to drive: " + root, kErrorCaption, MB_OK);
            return false;
        }
    }
    std::istringstream parts(colon == std::string::npos ? std::string() : typed.substr(colon + 1));
    std::string part;
    while (std::getline(parts, part, '\\')) {
        if (part.empty()) {
            continue;
        }
        const std::string level = ".\\" + part;
        if (_chdir(level.c_str()) == 0) {
            continue;
        }
        if (_mkdir(level.c_str()) != 0 || _chdir(level.c_str()) != 0) {
            messages_(
                "Problem creating subdirectory " + level + "\nin directory: " + currentHostFolder(),
                kErrorCaption, MB_OK);
            return false;
        }
    }
    return true;
}

std::vector<std::string> listedNames(std::string_view text) {
    std::vector<std::string> names;
    std::string name;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n') {
            name += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') {
            ++i;
        }
        if (!name.empty()) {
            names.push_back(std::move(name));
            name.clear();
        }
    }
    return names;
}

std::vector<CopyFailure> copyListedFiles(const std::string& sourceFolder,
                                         const std::string& installFolder) {
    const auto list = hostToNative(sourceFolder + "\\setup16.ini");
    std::ifstream file;
    if (list.ok()) {
        file.open(list.value, std::ios::binary);
    }
    if (!file) {
        const DWORD error =
            list.ok() ? static_cast<DWORD>(errorFromErrno(errno, list.value)) : list.error;
        return {{"setup16.ini",
                 "the list of files to copy could not be read: " + copyErrorText(error)}};
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto installBase = fullHostPath(installFolder);
    std::vector<CopyFailure> failures;
    for (const std::string& name : listedNames(text)) {
        const auto from = inside(sourceFolder, name);
        const auto to = inside(installFolder, name);
        if (!from || !to || !installBase.ok()) {
            failures.push_back({name, "the name leads outside the setup or installation folder"});
            continue;
        }
        makeParentFolders(installBase.value, *to);
        if (!CopyFileA(from->c_str(), to->c_str(), FALSE)) {
            failures.push_back({name, copyErrorText(GetLastError())});
        }
    }
    return failures;
}

bool goOnDespite(const std::vector<CopyFailure>& failures, const std::string& installFolder,
                 const MessageSink& messages) {
    if (failures.empty()) {
        return true;
    }
    std::string text = "These files could not be copied to " + installFolder + ":\n\n";
    for (const CopyFailure& failure : failures) {
        text += failure.name + ": " + failure.reason + "\n";
    }
    text +=
        "\nWithout them the application may not load.\nDo you want to continue the installation "
        "anyway?";
    return messages(text, kErrorCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace setup
