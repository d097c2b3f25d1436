// Fuzzes SZDD expansion: any input is refused cleanly or expands to exactly the length its
// header states, never reading past the input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/lz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const auto expansion = platform::expandSzdd(file);
    if (expansion.error == 0) {
        const std::size_t stated = static_cast<std::size_t>(data[10]) | data[11] << 8 |
                                   data[12] << 16 | static_cast<std::size_t>(data[13]) << 24;
        if (expansion.bytes.size() != stated) {
            std::abort();
        }
    } else if (!expansion.bytes.empty()) {
        std::abort();
    }
    return 0;
}
