#include "platform/host_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <span>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "platform/case_fold.h"
#include "platform/current_folder.h"
#include "platform/drive_map.h"
#include "platform/prefix.h"

namespace fs = std::filesystem;

namespace platform {

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether host[i] may not appear in a path: ':' may, right after a drive letter.
bool forbiddenAt(std::string_view host, std::size_t i) {
    return isForbiddenNameCharacter(host[i]) && !(host[i] == ':' && i == 1);
}

struct ParsedPath {
    std::string root;  // "C:" or "\\server\share"
    std::string server;
    std::string share;
    std::vector<std::string> names;

    bool isUnc() const { return !server.empty(); }
};

// Takes the next name, up to a separator, off text.
std::string_view takeName(std::string_view& text) {
    const auto end = std::find_if(text.begin(), text.end(), isHostSeparator);
    const std::string_view name(text.data(), static_cast<std::size_t>(end - text.begin()));
    text.remove_prefix(name.size() + (end != text.end() ? 1 : 0));
    return name;
}

// Appends the names of text, resolving "." and ".." and removing trailing dots and spaces of
// each name as Windows does ("a. " names a).
void appendNames(std::vector<std::string>& names, std::string_view text) {
    while (!text.empty()) {
        std::string_view name = takeName(text);
        if (name == "..") {
            if (!names.empty()) {
                names.pop_back();
            }
            continue;
        }
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
            name.remove_suffix(1);
        }
        if (!name.empty()) {
            names.emplace_back(name);
        }
    }
}

bool isUncStart(std::string_view text) {
    return text.size() >= 2 && isHostSeparator(text[0]) && isHostSeparator(text[1]);
}

bool hasDrive(std::string_view text) {
    return text.size() >= 2 && text[1] == ':';
}

// The rooted form of host: relative forms are put after the current folder.
std::string rooted(std::string_view host) {
    if (isUncStart(host) || (hasDrive(host) && host.size() > 2 && isHostSeparator(host[2]))) {
        return std::string(host);
    }
    const std::string current = currentHostFolder();
    if (hasDrive(host)) {
        const std::string drive{upperAscii(host[0]), ':'};
        return (hostRoot(current) == drive ? current : drive) + '\\' + std::string(host.substr(2));
    }
    if (isHostSeparator(host[0])) {
        return std::string(hostRoot(current)) + std::string(host);
    }
    return current + '\\' + std::string(host);
}

PathResult<ParsedPath> parseRooted(std::string_view text) {
    ParsedPath parsed;
    if (isUncStart(text)) {
        text.remove_prefix(2);
        parsed.server = takeName(text);
        parsed.share = takeName(text);
        for (const std::string* name : {&parsed.server, &parsed.share}) {
            if (name->empty() || *name == "." || *name == "..") {
                return {{}, ERROR_INVALID_NAME};
            }
        }
        parsed.root = "\\\\" + parsed.server + "\\" + parsed.share;
    } else if (hasDrive(text)) {
        parsed.root = {upperAscii(text[0]), ':'};
        text.remove_prefix(2);
    } else {
        return {{}, ERROR_PATH_NOT_FOUND};
    }
    appendNames(parsed.names, text);
    std::size_t length = parsed.root.size() + 1;
    for (const std::string& name : parsed.names) {
        if (name.size() > kMaxNameLength) {
            return {{}, ERROR_FILENAME_EXCED_RANGE};
        }
        length += name.size() + 1;
    }
    if (length > kMaxHostPath + 1) {
        return {{}, ERROR_FILENAME_EXCED_RANGE};
    }
    return {std::move(parsed), ERROR_SUCCESS};
}

PathResult<ParsedPath> parse(std::string_view host) {
    if (host.size() > kMaxHostPath) {
        return {{}, ERROR_FILENAME_EXCED_RANGE};
    }
    if (host.empty()) {
        return {{}, ERROR_PATH_NOT_FOUND};
    }
    for (std::size_t i = 0; i < host.size(); ++i) {
        if (forbiddenAt(host, i)) {
            return {{}, ERROR_INVALID_NAME};
        }
    }
    if (hasDrive(host) && !isAsciiLetter(host[0])) {
        return {{}, ERROR_INVALID_NAME};
    }
    return parseRooted(rooted(host));
}

bool entryExists(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The entry of folder that name stands for: the exact name if it exists, else the
// (byte-wise first) name equal to it but for letter case.
std::optional<std::string> matchEntry(const fs::path& folder, const std::string& name) {
    if (entryExists(folder / name)) {
        return name;
    }
    std::optional<std::string> match;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (equalsIgnoreCase(entry, name) && (!match || entry < *match)) {
            match = std::move(entry);
        }
    }
    return match;
}

// Follows names down from native, each matched with match(folder, name) in the folder the
// names before it lead to; from the first name that does not exist on, names are kept as given.
// `matched` tells whether every name exists.
template <class Match>
fs::path matchNames(fs::path native, std::span<const std::string> names, Match&& match,
                    bool& matched) {
    matched = true;
    for (const std::string& name : names) {
        const auto entry = matched ? match(native, name) : std::nullopt;
        matched = entry.has_value();
        native /= entry ? *entry : name;
    }
    return native;
}

// Whether an entry is a regular file, as a folder's listing or lstat tells without following
// a link; a link, or an entry of a file system that does not tell, leaves it unsure.
enum class EntryKind { File, Other, Unsure };

std::optional<EntryKind> lstatKind(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    if (S_ISREG(st.st_mode)) {
        return EntryKind::File;
    }
    return S_ISLNK(st.st_mode) ? EntryKind::Unsure : EntryKind::Other;
}

EntryKind listedKind(unsigned char type) {
    if (type == DT_REG) {
        return EntryKind::File;
    }
    return type == DT_LNK || type == DT_UNKNOWN ? EntryKind::Unsure : EntryKind::Other;
}

struct FoundEntry {
    std::string name;
    EntryKind kind;
};

// What one folder holds, read at the first name that is not found in it as given; then it
// answers as matchEntry would have when the folder was read.
class FolderEntries {
  public:
    std::optional<FoundEntry> match(const fs::path& folder, const std::string& name) {
        if (!read_) {
            if (const auto kind = lstatKind(folder / name)) {
                return FoundEntry{name, *kind};
            }
            read(folder);
        }
        // A folder that could not be read whole is asked for the exact name, as matchEntry
        // does; its case-insensitive matches come from what was read, as in matchEntry.
        if (complete_) {
            if (const auto exact = exact_.find(name); exact != exact_.end()) {
                return FoundEntry{name, exact->second};
            }
        } else if (const auto kind = lstatKind(folder / name)) {
            return FoundEntry{name, *kind};
        }
        const auto folded = folded_.find(foldCase(name));
        if (folded == folded_.end()) {
            return std::nullopt;
        }
        const auto listed = exact_.find(folded->second);
        return FoundEntry{folded->second, listed->second};
    }

  private:
    // With readdir, not a directory iterator: the listing's entry types are kept, so that the
    // search need not ask the system whether each file it finds is one.
    void read(const fs::path& folder) {
        read_ = true;
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
        if (!dir) {
            return;
        }
        for (;;) {
            errno = 0;
            const dirent* listed = ::readdir(dir.get());
            if (!listed) {
                complete_ = errno == 0;
                return;
            }
            std::string entry = listed->d_name;
            if (entry == "." || entry == "..") {
                continue;
            }
            const auto [folded, added] = folded_.try_emplace(foldCase(entry), entry);
            if (!added && entry < folded->second) {
                folded->second = entry;
            }
            exact_.emplace(std::move(entry), listedKind(listed->d_type));
        }
    }

    bool read_ = false;
    bool complete_ = false;
    std::unordered_map<std::string, EntryKind> exact_;
    // For each folded name, the byte-wise first entry that folds to it.
    std::unordered_map<std::u32string, std::string> folded_;
};

PathResult<fs::path> shareRoot(const ParsedPath& parsed) {
    const fs::path unc = currentPrefix().dosdevices() / "unc";
    const auto server = matchEntry(unc, parsed.server);
    const auto share = server ? matchEntry(unc / *server, parsed.share) : std::nullopt;
    std::error_code ec;
    const fs::path root = share ? fs::canonical(unc / *server / *share, ec) : fs::path();
    if (!share || ec || !fs::is_directory(root, ec)) {
        return {{}, ERROR_PATH_NOT_FOUND};
    }
    return {root, ERROR_SUCCESS};
}

PathResult<fs::path> rootOf(const ParsedPath& parsed) {
    if (parsed.isUnc()) {
        return shareRoot(parsed);
    }
    // The root first: it exists for nearly every path, and the link is then not read again.
    const char letter = parsed.root[0];
    if (auto root = driveRoot(letter)) {
        return {std::move(*root), ERROR_SUCCESS};
    }
    return {{}, driveLink(letter) ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_DRIVE};
}

// The path of path relative to folder, if it lies in (or is) folder.
std::optional<fs::path> relativeInside(const fs::path& path, const fs::path& folder) {
    fs::path relative = path.lexically_relative(folder);
    if (relative.empty() || *relative.begin() == "..") {
        return std::nullopt;
    }
    return relative;
}

// The full host form of a root and the names below it.
std::string fullForm(const std::string& root, std::span<const std::string> names) {
    std::string full = root;
    for (const std::string& name : names) {
        full += '\\';
        full += name;
    }
    if (names.empty()) {
        full += '\\';
    }
    return full;
}

std::string hostJoin(std::string root, const fs::path& relative) {
    std::string host = std::move(root);
    for (const fs::path& name : relative) {
        if (!name.empty() && name != "/" && name != ".") {
            host += '\\';
            host += name.string();
        }
    }
    return host.size() <= 2 ? host + '\\' : host;
}

}  // namespace

std::string_view hostRoot(std::string_view fullHost) {
    if (isUncStart(fullHost)) {
        const auto server = fullHost.find_first_of("\\/", 2);
        const auto share =
            server == std::string_view::npos ? server : fullHost.find_first_of("\\/", server + 1);
        return fullHost.substr(0, share);
    }
    return hasDrive(fullHost) ? fullHost.substr(0, 2) : std::string_view();
}

PathResult<std::string> fullHostPath(std::string_view host) {
    auto parsed = parse(host);
    if (!parsed.ok()) {
        return {{}, parsed.error};
    }
    return {fullForm(parsed.value.root, parsed.value.names), ERROR_SUCCESS};
}

PathResult<std::string> typedFullHostPath(std::string_view typed) {
    std::string path(typed);
    if (path.starts_with("~/")) {
        const char* home = std::getenv("HOME");
        path = std::string(home ? home : "") + path.substr(1);
    }
    if (path.starts_with("/")) {
        path = nativeToHost(fs::path(path).lexically_normal());
    }
    return fullHostPath(path);
}

PathResult<fs::path> hostToNative(std::string_view host) {
    const auto parsed = parse(host);
    if (!parsed.ok()) {
        return {{}, parsed.error};
    }
    auto root = rootOf(parsed.value);
    if (!root.ok()) {
        return root;
    }
    bool matched = false;
    return {matchNames(std::move(root.value), parsed.value.names, matchEntry, matched),
            ERROR_SUCCESS};
}

struct FolderListings::State {
    // Where a folder named by a host path lies: its native path, or the error of its drive or
    // share; `matched` when every name of it exists.
    struct Place {
        PathResult<fs::path> native;
        bool matched = false;
        FolderEntries* entries = nullptr;  // of `native`, once matched
    };

    std::unordered_map<std::string, Place> places;           // by full host path
    std::unordered_map<std::string, FolderEntries> folders;  // by native path

    std::optional<FoundEntry> match(const fs::path& folder, const std::string& name) {
        return folders[folder.native()].match(folder, name);
    }
};

FolderListings::FolderListings() : state_(std::make_unique<State>()) {}

FolderListings::~FolderListings() = default;

PathResult<fs::path> FolderListings::existing(std::string_view host, std::string* fullHost) {
    return find(host, fullHost, false);
}

PathResult<fs::path> FolderListings::existingFile(std::string_view host, std::string* fullHost) {
    return find(host, fullHost, true);
}

PathResult<fs::path> FolderListings::find(std::string_view host, std::string* fullHost,
                                          bool fileOnly) {
    auto parsed = parse(host);
    if (!parsed.ok()) {
        return {{}, parsed.error};
    }
    std::vector<std::string>& names = parsed.value.names;
    if (names.empty()) {
        auto root = rootOf(parsed.value);
        if (root.ok() && fileOnly) {
            return {{}, ERROR_FILE_NOT_FOUND};  // a root is a folder
        }
        if (root.ok() && fullHost) {
            *fullHost = fullForm(parsed.value.root, names);
        }
        return root;
    }
    const std::string name = std::move(names.back());
    names.pop_back();
    auto [place, added] = state_->places.try_emplace(fullForm(parsed.value.root, names));
    if (added) {
        auto root = rootOf(parsed.value);
        auto match = [this](const fs::path& folder, const std::string& entry) {
            auto found = state_->match(folder, entry);
            return found ? std::optional(std::move(found->name)) : std::nullopt;
        };
        place->second.native = root.ok()
                                   ? PathResult<fs::path>{matchNames(std::move(root.value), names,
                                                                     match, place->second.matched),
                                                          ERROR_SUCCESS}
                                   : root;
    }
    State::Place& folder = place->second;
    if (!folder.native.ok()) {
        return folder.native;
    }
    if (folder.matched && !folder.entries) {
        folder.entries = &state_->folders[folder.native.value.native()];
    }
    const auto entry =
        folder.matched ? folder.entries->match(folder.native.value, name) : std::nullopt;
    if (!entry) {
        return {{}, folder.matched ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND};
    }
    fs::path native = folder.native.value / entry->name;
    std::error_code ec;
    if (fileOnly && (entry->kind == EntryKind::Other ||
                     (entry->kind == EntryKind::Unsure && !fs::is_regular_file(native, ec)))) {
        return {{}, ERROR_FILE_NOT_FOUND};
    }
    if (fullHost) {
        names.push_back(name);
        *fullHost = fullForm(parsed.value.root, names);
    }
    return {std::move(native), ERROR_SUCCESS};
}

std::string nativeToHost(const fs::path& native) {
    std::error_code ec;
    fs::path path = fs::weakly_canonical(fs::absolute(native, ec), ec);
    if (ec) {
        path = fs::absolute(native, ec).lexically_normal();
    }
    const std::uint32_t mask = driveMask();
    std::optional<fs::path> bestRelative;
    char bestLetter = 'Z';
    std::size_t bestDepth = 0;
    for (int i = 0; i < 26; ++i) {
        const char letter = static_cast<char>('A' + i);
        const auto root = (mask & (1u << i)) ? driveRoot(letter) : std::nullopt;
        const auto relative = root ? relativeInside(path, *root) : std::nullopt;
        const auto depth =
            root ? static_cast<std::size_t>(std::distance(root->begin(), root->end())) : 0;
        if (relative && (!bestRelative || depth > bestDepth)) {
            bestRelative = relative;
            bestLetter = letter;
            bestDepth = depth;
        }
    }
    return hostJoin(std::string{bestLetter, ':'}, bestRelative ? *bestRelative : path);
}

}  // namespace platform
