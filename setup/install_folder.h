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

// A file that was not copied, and why, in words for the user.
struct CopyFailure {
    std::string name;  // as listed, or "setup16.ini" when the list itself could not be read
    std::string reason;

    bool operator==(const CopyFailure&) const = default;
};

// Copies every name listed in sourceFolder\setup16.ini from the source folder to the same
// relative place in the installation folder, making its subfolders, overwriting older copies.
// Names that would reach outside either folder are not copied. A failed copy does not stop
// the others; every file not copied (and an unreadable list) is returned, in list order.
std::vector<CopyFailure> copyListedFiles(const std::string& sourceFolder,
                                         const std::string& installFolder);

// When files were not copied, asks once (caption "Installation Error", Yes and No, question
// icon) whether to go on without them, naming each with its reason. True when nothing failed
// or the user answers Yes.
bool goOnDespite(const std::vector<CopyFailure>& failures, const std::string& installFolder,
                 const MessageSink& messages);

}  // namespace setup
