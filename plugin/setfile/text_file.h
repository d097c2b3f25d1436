#pragma once
// Text files the plug-in writes (set files, reports), named by host paths. Each call either
// does all it was asked or leaves the file as it was, and says why in words when it failed.

#include <filesystem>
#include <string>
#include <string_view>

namespace lnkhold {

// The native path of a host path; the reason when it cannot be used, empty on success.
std::string nativeFileOf(const std::string& hostPath, std::filesystem::path& native);

// Replaces the file with the text: the text goes to a temporary file beside it that is synced
// and renamed over it. The reason when it failed; empty on success.
std::string replaceFileText(const std::string& hostPath, std::string_view text);

// Adds the text at the end of the file, creating it when missing, under an exclusive lock so
// that processes appending at the same time never mix their texts (not synced to the disk:
// reports are appended to once per drawing of a batch). A file that is empty gets
// `header` first; a file that holds text not starting with `header` is left as it was. A write
// that fails part-way is cut back to the old end. The reason when it failed; empty on success.
std::string appendFileText(const std::string& hostPath, std::string_view header,
                           std::string_view text);

}  // namespace lnkhold
