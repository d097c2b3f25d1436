#pragma once
// The installation folder: its default, accepting (and on request creating) the folder the
// user typed, and copying the files that setup16.ini names from the setup folder into it.
// Folders are host paths; the process's current folder is the platform's host one.

#include <string>
#include <string_view>
#include <vector>

#include "setup/demand_load.h"
#include "setup/messages.h"
#include "setup/registry_key.h"

namespace setup {

// The Program Files folder the machine names, else "C:\".
std::string programFilesFolder(const CRegistryKey& registry);
// Program Files folder, "\", maker, "\", application name.
std::string defaultInstallFolder(const CRegistryKey& registry,
                                 const StringLoader& strings = loadString);

class InstallFolder {
  public:
    explicit InstallFolder(MessageSink messages) : messages_(std::move(messages)) {}

    // Takes the current folder as the source folder, then accepts the typed folder if it
    // exists, or asks and creates it. The current folder is the source folder again after.
    bool accept(const std::string& typed);

    const std::string& installFolder() const { return installFolder_; }
    const std::string& sourceFolder() const { return sourceFolder_; }

  private:
    bool create(const std::string& typed) const;

    MessageSink messages_;
    std::string sourceFolder_;
    std::string installFolder_;
};

// The names of a file list: one per line (LF, CR LF or CR), blank lines skipped, not trimmed.
std::vector<std::string> listedNames(std::string_view text);

// Copies every name listed in sourceFolder\setup16.ini from the source folder to the same
// relative place in the installation folder, making its subfolders, overwriting older copies.
// Names that would reach outside either folder are not copied; failed copies are skipped.
void copyListedFiles(const std::string& sourceFolder, const std::string& installFolder);

}  // namespace setup
