#pragma once
// File names typed by the user: host paths, or native paths (starting with "/" or "~/").

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cadhost::app {

class InputSource;

struct ExistingFile {
    std::string hostPath;  // full host path
    std::filesystem::path nativePath;
};
// The file a host path names; nullopt when it is not a usable path or no such file exists.
std::optional<ExistingFile> findExistingFile(const std::string& hostPath);

// The full host path of what was typed; nullopt (with a message printed) when it is not a
// usable path. A name without extension gets defaultExtension.
std::optional<std::string> typedHostPath(const std::string& typed,
                                         const std::string& defaultExtension = "");
// The same without a message.
std::optional<std::string> typedHostPathQuietly(const std::string& typed,
                                                const std::string& defaultExtension = "");

// The script file a user named (host or native path, ".scr" when no extension is given),
// read as a batch script under the name as typed; nullptr when it cannot be opened.
std::unique_ptr<InputSource> scriptFileSource(const std::string& typed);

// Asks for a file name on the command line; an empty answer gives `fallback` (nullopt when
// that is empty too, or the input ended).
std::optional<std::string> askFileName(const std::string& prompt,
                                       const std::string& defaultExtension,
                                       const std::string& fallback = "");

// The keyword an answer stands for: any prefix of a keyword at least as long as its leading
// capitals, letter case ignored; nullopt when none.
std::optional<std::string> matchKeyword(const std::string& answer,
                                        const std::vector<std::string>& keywords);

// Asks a keyword question such as "[Yes/No/Cancel] <Yes>"; the answer matches a keyword by
// any prefix at least as long as the keyword's capital letters. An empty answer gives
// `preset`; nullopt when the input ended or nothing matched (after a message).
std::optional<std::string> askKeyword(const std::string& prompt,
                                      const std::vector<std::string>& keywords,
                                      const std::string& preset = "");

}  // namespace cadhost::app
