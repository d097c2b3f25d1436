#include "cadhost/db/background_read.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace cadhost::dxf {
namespace {

// Each read brings this much: small enough that the parser starts early and rarely waits,
// large enough that the hand-over costs nothing against the copying.
constexpr std::uint64_t kSlice = std::uint64_t{2} << 20;

}  // namespace

BackgroundRead::BackgroundRead(int fd, char* into, std::uint64_t size,
                               std::function<void()> afterReading)
    : fd_(fd),
      into_(into),
      size_(size),
      slices_((size + kSlice - 1) / kSlice),
      read_(new std::atomic<std::uint8_t>[slices_]()),
      end_(size) {
    try {
        thread_ = std::thread([this, then = std::move(afterReading)] { work(then); });
    } catch (const std::system_error&) {
        // No thread to be had: the caller reads every slice as it needs it.
    }
}

BackgroundRead::~BackgroundRead() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void BackgroundRead::work(const std::function<void()>& afterReading) {
    while (readNextSlice()) {
    }
    if (!afterReading || end_.load() < size_) {
        return;
    }
    // Reading did not end early, so every slice is taken: wait for those the caller took.
    for (std::uint64_t slice = 0; slice < slices_; ++slice) {
        read_[slice].wait(0, std::memory_order_acquire);
    }
    if (end_.load(std::memory_order_acquire) == size_) {
        afterReading();
    }
}

bool BackgroundRead::readNextSlice() {
    const std::uint64_t slice = nextSlice_.fetch_add(1);
    if (slice >= slices_) {
        return false;
    }
    const std::uint64_t begin = slice * kSlice;
    const std::uint64_t end = std::min(begin + kSlice, size_);
    std::uint64_t at = begin;
    while (at < end && at < end_.load()) {  // nothing past where reading ended
        const ssize_t count = ::pread(fd_, into_ + at, end - at, static_cast<off_t>(at));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {  // an error, or the end of a file that shrank
            if (count < 0) {
                int none = 0;
                error_.compare_exchange_strong(none, errno);
            }
            std::uint64_t known = end_.load();
            while (at < known && !end_.compare_exchange_weak(known, at)) {
            }
            break;
        }
        at += static_cast<std::uint64_t>(count);
    }
    // Every slice taken is marked, read or not, so that no one waits for it in vain.
    read_[slice].store(1, std::memory_order_release);
    read_[slice].notify_all();
    return at == end;
}

std::uint64_t BackgroundRead::inMemoryBefore(std::uint64_t slice) const {
    return std::min(slice * kSlice, end_.load(std::memory_order_acquire));
}

std::uint64_t BackgroundRead::waitFor(std::uint64_t offset) {
    offset = std::min(offset, size_);
    const std::uint64_t needed = (offset + kSlice - 1) / kSlice;  // slices before `offset`
    while (complete_ < needed && inMemoryBefore(complete_) == complete_ * kSlice) {
        if (read_[complete_].load(std::memory_order_acquire)) {
            ++complete_;
        } else if (complete_ >= nextSlice_.load()) {
            readNextSlice();  // no one has taken it yet: reading it here is quicker
        } else {
            read_[complete_].wait(0, std::memory_order_acquire);
        }
    }
    return inMemoryBefore(complete_);
}

std::uint64_t BackgroundRead::finish(int& error) {
    if (thread_.joinable()) {
        thread_.join();
    }
    while (readNextSlice()) {  // what no one has read yet
    }
    error = error_.load();
    while (complete_ < slices_ && read_[complete_].load(std::memory_order_acquire)) {
        ++complete_;
    }
    return inMemoryBefore(complete_);
}

}  // namespace cadhost::dxf
