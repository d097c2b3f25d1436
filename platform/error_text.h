#pragma once
// The system's message text for an error code, as the system's message table words it.

#include <cstdint>
#include <string>

namespace platform {

// The text for a Win32 error code or an HRESULT; "Unknown error 0x<code>" for a code the
// system has no text for.
std::string systemErrorText(std::uint32_t code);

}  // namespace platform
