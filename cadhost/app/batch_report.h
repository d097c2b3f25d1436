#pragma once
// The batch's report: the parts its workers wrote, joined into one file.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace cadhost::app {

// Joins the report parts, in order, into target (written to a temporary file beside it and
// renamed into place). Missing parts are skipped; a part whose first line repeats the first
// line already written (a header) loses that line. "" on success, else why not.
std::string mergeReportParts(const std::vector<std::filesystem::path>& parts,
                             const std::filesystem::path& target);

// Writes the whole text to fd (retrying after interruptions); false on an error.
bool writeAll(int fd, std::string_view text);

}  // namespace cadhost::app
