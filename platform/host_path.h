#pragma once
// The Windows path namespace: host paths ("C:\a\b", "\\server\share\x", relative forms) and
// the native paths they stand for. Drive letters map through the prefix's drive links, UNC
// shares through <prefix>/dosdevices/unc/<server>/<share>. Names match case-insensitively.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/win32_types.h"

namespace platform {

// Longer host paths are refused, as Windows refuses them even in its long-path form.
inline constexpr std::size_t kMaxHostPath = 32767;
// The longest name of one file or folder.
inline constexpr std::size_t kMaxNameLength = 255;

template <class T>
struct PathResult {
    T value{};
    LONG error = ERROR_SUCCESS;

    bool ok() const { return error == ERROR_SUCCESS; }
};

// The absolute, normalised host form, as GetFullPathName gives it: separators become '\',
// drive letters upper case, "." and ".." resolved lexically (".." at a root stays there),
// trailing dots and spaces of names removed. Relative forms start at the current folder
// ("C:a" at drive C's current folder if the current folder is on C:, else at C:\).
// Errors: ERROR_PATH_NOT_FOUND (empty), ERROR_INVALID_NAME (characters Windows forbids, a
// UNC path without server and share), ERROR_FILENAME_EXCED_RANGE (too long).
PathResult<std::string> fullHostPath(std::string_view host);

// The full host path of a name a user typed: a host path, or a native one ("/...", or "~/..."
// in the home folder). Errors as fullHostPath.
PathResult<std::string> typedFullHostPath(std::string_view typed);

// The native path of a host path. Each name that exists is matched in its folder, the exact
// name first, else a name equal but for letter case; the first name that does not exist and
// everything after it are kept as given, so new files and folders can be named.
// Errors as fullHostPath, and ERROR_INVALID_DRIVE (no such drive letter),
// ERROR_PATH_NOT_FOUND (drive target or UNC share missing).
PathResult<std::filesystem::path> hostToNative(std::string_view host);

// The folders read while many host paths are looked up in one pass (a drawing opened with its
// xrefs, a reload): each folder is listed at most once, and only when a name is not found in it
// as given, however many names are looked up in it. What changes on disk after a folder was
// read is not seen through the same object, so one lives only as long as its pass.
class FolderListings {
  public:
    FolderListings();
    ~FolderListings();
    FolderListings(const FolderListings&) = delete;
    FolderListings& operator=(const FolderListings&) = delete;

    // The native path of the existing file or folder that host names, matched as hostToNative
    // matches it. Errors as hostToNative, and ERROR_PATH_NOT_FOUND or ERROR_FILE_NOT_FOUND
    // when a folder of the path or its last name does not exist. When it exists and `fullHost`
    // is given, that receives host's full form, as fullHostPath gives it: the path is read once.
    PathResult<std::filesystem::path> existing(std::string_view host,
                                               std::string* fullHost = nullptr);
    // The same for a regular file (or a link to one); ERROR_FILE_NOT_FOUND for anything else.
    // A listed folder tells which of its entries are files, as it was when it was read.
    PathResult<std::filesystem::path> existingFile(std::string_view host,
                                                   std::string* fullHost = nullptr);

  private:
    PathResult<std::filesystem::path> find(std::string_view host, std::string* fullHost,
                                           bool fileOnly);

    struct State;
    std::unique_ptr<State> state_;
};

// The host form of a native path: the drive whose root is the longest that contains the
// path, else Z: followed by the absolute native path.
std::string nativeToHost(const std::filesystem::path& native);

// Characters no Windows file or folder name may hold.
inline bool isForbiddenNameCharacter(char c) {
    // A switch, not a search of a string: every character of every path looked up comes here.
    switch (c) {
        case '<':
        case '>':
        case ':':
        case '"':
        case '|':
        case '?':
        case '*':
            return true;
        default:
            return static_cast<unsigned char>(c) < 0x20;
    }
}

inline bool isHostSeparator(char c) {
    return c == '\\' || c == '/';
}

// The drive or share part of a full host path: "C:" or "\\server\share".
std::string_view hostRoot(std::string_view fullHost);

}  // namespace platform
