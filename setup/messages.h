#pragma once
// How the installer's logic talks to the user: a MessageBoxA-shaped function (text, caption,
// MB_ type) that returns IDOK, IDYES or IDNO. The wizard passes one that shows message boxes.

#include <functional>
#include <string>

#include "platform/ui/modal.h"

namespace setup {

using MessageSink =
    std::function<int(const std::string& text, const std::string& caption, platform::UINT type)>;

// The caption of messages that name no other: the program's name.
inline constexpr const char* kProgramName = "setup";

}  // namespace setup
