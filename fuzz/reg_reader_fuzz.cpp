// Fuzzes the .reg reader: any input is rejected cleanly or parsed, and whatever parses is
// written out and read back to the same tree, and written again to the same text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto parsed = platform::parseRegistryText(text, "HKEY_LOCAL_MACHINE", "fuzz.reg");
    if (parsed.error) {
        return 0;
    }
    std::string written;
    platform::appendRegistryText(written, parsed.root, "HKEY_LOCAL_MACHINE");
    auto reparsed = platform::parseRegistryText(written, "HKEY_LOCAL_MACHINE", "written.reg");
    if (reparsed.error || !(reparsed.root == parsed.root)) {
        std::abort();
    }
    std::string rewritten;
    platform::appendRegistryText(rewritten, reparsed.root, "HKEY_LOCAL_MACHINE");
    if (rewritten != written) {
        std::abort();
    }
    return 0;
}
