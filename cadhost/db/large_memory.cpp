#include "cadhost/db/large_memory.h"

#include <sys/mman.h>

#include <new>

namespace cadhost::dxf {

void* allocateLarge(std::size_t bytes) {
    if (bytes < kHugePageBytes) {
        return ::operator new(bytes);
    }
    void* data = ::operator new (bytes, std::align_val_t{kHugePageBytes});
    // Only advice: without huge pages the memory is served in small pages as before. The last
    // part-page is left out, as it may be shared with whatever the allocator puts after it.
    ::madvise(data, bytes & ~(kHugePageBytes - 1), MADV_HUGEPAGE);
    return data;
}

void releaseLarge(void* data, std::size_t bytes) noexcept {
    if (bytes < kHugePageBytes) {
        ::operator delete(data);
    } else {
        ::operator delete (data, std::align_val_t{kHugePageBytes});
    }
}

LargeBytes allocateLargeBytes(std::size_t bytes) {
    return LargeBytes(static_cast<char*>(allocateLarge(bytes)), LargeBytesDeleter{bytes});
}

}  // namespace cadhost::dxf
