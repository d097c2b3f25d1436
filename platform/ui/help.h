#pragma once
// WinHelp, done with a help window of our own.
//
// A help file is one HTML document (the plug-in's is "lnkhold.hlp"): its <title> titles the
// window, its anchors are the topics its links lead to, its pictures are embedded as data:
// URIs (data:image/png;base64,...). Nothing outside the file is loaded. Each owner window has
// at most one help window; it belongs to the owner, stays usable while the owner is modal and
// closes when the owner is destroyed.

#include <cstdint>

#include "platform/ui/modal.h"
#include "platform/win32_types.h"

class QWidget;

namespace platform {

using ULONG_PTR = std::uintptr_t;

inline constexpr UINT HELP_CONTEXT = 0x0001;  // data: a context number
inline constexpr UINT HELP_QUIT = 0x0002;
inline constexpr UINT HELP_INDEX = 0x0003;
inline constexpr UINT HELP_CONTENTS = 0x0003;
inline constexpr UINT HELP_FINDER = 0x000B;

// HELP_QUIT closes the help window that `owner` opened (TRUE, whether or not there was one).
// Every other command opens the help file (a host path) in the owner's help window, or reloads
// it there, and shows its contents page: the file has no numbered topics, so a context number
// leads to the contents too. A missing, unreadable or foreign file is reported in a message
// box (MessageBoxA) and gives FALSE with the last error set.
BOOL WinHelpA(QWidget* owner, const char* helpFile, UINT command, ULONG_PTR data);

// The help window `owner` has open, or null: for tests.
QWidget* helpWindowOf(QWidget* owner);

}  // namespace platform
