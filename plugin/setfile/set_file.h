#pragma once
// Xref set files (*.lkh): plain text, one drawing path per line, each line ended by CR LF,
// the bytes of the paths as they stand. Reading takes any run of CR, LF (and zero bytes, which
// no text holds) as one line end, so files from other editors read the same.

#include <string>
#include <string_view>
#include <vector>

namespace lnkhold {

// The text of a set file listing these paths, in order.
std::string setFileText(const std::vector<std::string>& paths);
// The entries of a set file's text, in order; no empty entries.
std::vector<std::string> setFileEntries(std::string_view text);

// Replaces the file (a host path) with the text, or leaves it as it was: the text goes to a
// temporary file beside it that is synced and renamed over it. The reason when it failed;
// empty on success.
std::string writeSetFile(const std::string& hostPath, const std::string& text);
// Reads the whole file (a host path) into text. The reason when it failed; empty on success.
std::string readSetFile(const std::string& hostPath, std::string& text);

}  // namespace lnkhold
