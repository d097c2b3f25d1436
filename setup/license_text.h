#pragma once
// The licence text shown before installing: license.txt in the setup folder, else its
// compressed form license.tx_, else a note where to get it.

#include <string>

namespace setup {

// Shown when neither file gives any text.
extern const char* const kLicenseMissingText;

// setupFolder is a host path.
std::string loadLicenseText(const std::string& setupFolder);

}  // namespace setup
