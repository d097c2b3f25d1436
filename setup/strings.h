#pragma once
// The installer's string table: everything product-specific, read at each use.

#include <string>

namespace setup {

using UINT = unsigned int;

enum : UINT {
    IDS_APPNAME = 2000,       // application name, registry key, last install folder
    IDS_INSTALL = 2001,       // "Install " prefix
    IDS_UNINSTALL = 2002,     // "Uninstall " prefix
    IDS_MAKER = 2003,         // middle folder of the default install folder
    IDS_RELEASES = 2004,      // host release keys, backslash-separated
    IDS_RELEASE_BASE = 2005,  // HKEY_LOCAL_MACHINE path a release key is appended to
    IDS_LOADCTRLS = 2006,     // demand-load flags, decimal
    IDS_MODULE = 2030,        // base name of the plug-in module file
    IDS_GROUP_FIRST = 2040,   // command groups, up to IDS_GROUP_LAST
    IDS_GROUP_LAST = 2049,
    IDS_COMMAND_FIRST = 2060,  // "global,local" command names, up to IDS_COMMAND_LAST
    IDS_COMMAND_LAST = 2069,
};

// The entry's text; an entry missing from the table loads as the empty string.
std::string loadString(UINT id);

}  // namespace setup
