#pragma once
// What a program asks of the system's file-open and file-save dialogs, shaped as the Windows
// calls: a filter string of "Description|pattern|...||" pairs, a default extension, an initial
// name and the OFN_ flags. Chosen files come back as host paths. The dialog itself lives in
// the platform's UI half (platform/ui/file_dialog.h); this header needs no Qt.

#include <string>
#include <utility>
#include <vector>

#include "platform/win32_types.h"

namespace platform {

inline constexpr DWORD OFN_READONLY = 0x1;
inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
inline constexpr DWORD OFN_HIDEREADONLY = 0x4;
inline constexpr DWORD OFN_NOVALIDATE = 0x100;
inline constexpr DWORD OFN_ALLOWMULTISELECT = 0x200;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
inline constexpr DWORD OFN_CREATEPROMPT = 0x2000;
inline constexpr DWORD OFN_EXPLORER = 0x80000;
inline constexpr DWORD OFN_ENABLESIZING = 0x800000;

struct FileDialogRequest {
    bool save = false;
    std::string title;             // empty: "Open" or "Save As"
    std::string filter;            // "Drawings (*.dwg)|*.dwg|All Files (*.*)|*.*||"
    std::string defaultExtension;  // without the dot; added to a typed name without one
    std::string initialName;       // a file name or host path; may be empty
    DWORD flags = 0;
};

// The (description, patterns) pairs of a filter string; patterns are separated by ';'.
// Stops at the empty entry that ends the string; an odd last entry is dropped.
std::vector<std::pair<std::string, std::string>> splitFileFilter(const std::string& filter);

}  // namespace platform
