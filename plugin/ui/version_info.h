#pragma once
// The plug-in module's version text and help file, read from the module's own file: its
// version resource gives the text of the dialog caption and the About box, its folder holds
// the help file.

#include <optional>
#include <string>
#include <vector>

#include "platform/module_handle.h"
#include "platform/version_info.h"

namespace lnkhold {

// Reader of one module's version resource.
class VersionInfo {
  public:
    // Reads the version resource of the module's file; true when it has a valid fixed block.
    // A module whose file name does not fit the buffers the name is read into is not read
    // at all (false), rather than read from a cut, different path.
    bool loadFromModule(HINSTANCE module);
    // The string value `name` of the table for (language, codePage); empty when nothing was
    // loaded or the value is missing.
    std::string text(const char* name) const;

    platform::VS_FIXEDFILEINFO fixedInfo{};
    platform::WORD language = 0;
    platform::WORD codePage = 1252;
    std::vector<platform::BYTE> data;  // the version information, as GetFileVersionInfoA gave it
};

// "<ProductName>, Version <major>.<minor>" of the module ("Linkhold, Version 1.4"); empty when
// the module's version resource cannot be read, so that callers keep a caption of their own.
std::string versionTitle(HINSTANCE module);

// The host path of "lnkhold.hlp" in the module's folder; nullopt when the module's file name
// cannot be read whole.
std::optional<std::string> helpFilePath(HINSTANCE module);

}  // namespace lnkhold
