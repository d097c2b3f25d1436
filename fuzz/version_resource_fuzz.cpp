// Fuzzes the reading of version resources. The first input byte picks what the rest is: an
// ELF file image, whose version section is looked for and checked, or the resource itself.
// A resource that passes the checks is made into version information and queried, with
// sub-blocks taken from the input too; every answer must lie inside the block.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "platform/version_info.h"

namespace {

void queryAll(const std::vector<std::uint8_t>& block, const std::string& extra) {
    const std::string queries[] = {"\\",
                                   "\\VarFileInfo\\Translation",
                                   "\\StringFileInfo\\040904b0\\ProductName",
                                   "\\StringFileInfo\\040904B0\\productname",
                                   "\\\\StringFileInfo\\",
                                   extra};
    for (const std::string& query : queries) {
        void* buffer = nullptr;
        platform::UINT length = 0;
        if (platform::VerQueryValueA(block.data(), query.c_str(), &buffer, &length)) {
            const auto* at = static_cast<const std::uint8_t*>(buffer);
            if (at < block.data() || at + length > block.data() + block.size()) {
                std::abort();
            }
        } else if (length != 0) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const bool isImage = data[0] & 1;
    // The query takes the bytes after the first NUL of the rest, up to 64 of them.
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    std::string extra;
    for (std::size_t i = rest.size(); i > 0 && extra.size() < 64; --i) {
        if (rest[i - 1] == 0) {
            break;
        }
        extra.insert(extra.begin(), static_cast<char>(rest[i - 1]));
    }
    std::vector<std::uint8_t> resource;
    if (isImage) {
        auto section = platform::version_resource::sectionOfElfImage(rest);
        if (!section) {
            return 0;
        }
        resource = std::move(*section);
    } else {
        resource.assign(rest.begin(), rest.end());
    }
    const std::vector<std::uint8_t> block = platform::version_resource::versionInfoBlock(resource);
    if (block.empty() != !platform::version_resource::isValid(resource)) {
        std::abort();
    }
    if (!block.empty()) {
        queryAll(block, extra);
    }
    return 0;
}
