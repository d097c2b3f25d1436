#include "platform/error_text.h"

#include <array>
#include <cstdio>
#include <utility>

namespace platform {

namespace {

// The codes the host's interfaces and files give back, with the system's own wording.
constexpr std::array<std::pair<std::uint32_t, const char*>, 9> kTexts = {{
    {0x00000002, "The system cannot find the file specified."},
    {0x00000003, "The system cannot find the path specified."},
    {0x00000005, "Access is denied."},
    {0x00000057, "The parameter is incorrect."},
    {0x80004002, "No such interface supported"},
    {0x80004003, "Invalid pointer"},
    {0x80004005, "Unspecified error"},
    {0x80070005, "Access is denied."},
    {0x80070057, "The parameter is incorrect."},
}};

}  // namespace

std::string systemErrorText(std::uint32_t code) {
    for (const auto& [known, text] : kTexts) {
        if (known == code) {
            return text;
        }
    }
    char unknown[32];
    std::snprintf(unknown, sizeof unknown, "Unknown error 0x%08X", static_cast<unsigned>(code));
    return unknown;
}

}  // namespace platform
