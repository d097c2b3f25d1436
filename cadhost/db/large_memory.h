#pragma once
// Memory for the large arrays of a drawing: its file's bytes and its records. Touching fresh
// memory costs a page fault per 4 KiB page, which for a file of tens of megabytes can cost more
// than reading and parsing it. Large memory is therefore aligned to 2 MiB and advised to be
// backed by transparent huge pages, one fault per 2 MiB, where the system allows it; where it
// does not, the advice is ignored and the memory works as any other.

#include <cstddef>
#include <memory>

namespace cadhost::dxf {

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Uninitialised memory of `bytes`, aligned to and advised for huge pages when at least one
// huge page large; release it with releaseLarge(data, bytes).
void* allocateLarge(std::size_t bytes);
void releaseLarge(void* data, std::size_t bytes) noexcept;

struct LargeBytesDeleter {
    std::size_t bytes = 0;
    void operator()(char* data) const noexcept { releaseLarge(data, bytes); }
};
using LargeBytes = std::unique_ptr<char[], LargeBytesDeleter>;

// Uninitialised bytes from allocateLarge().
LargeBytes allocateLargeBytes(std::size_t bytes);

}  // namespace cadhost::dxf
