#pragma once
// Objects by index, stored in blocks that never move: references stay valid as objects are
// added, and growing never copies what is there, so a store of millions of objects costs
// their size and no more. Block k holds first << k objects (first: 64, or as many as the
// store is expected to hold); blocks of a huge page or more come from allocateLarge()
// (large_memory.h), so a large store takes few page faults. A store expected to be large
// should say so before its first object: its small blocks would otherwise be paged in one
// small page at a time, which costs far more than a huge page each.

#include <bit>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "cadhost/db/large_memory.h"

namespace cadhost::dxf {

template <class T>
class BlockStore {
  public:
    BlockStore() = default;
    BlockStore(BlockStore&& other) noexcept
        : blocks_(std::move(other.blocks_)),
          size_(std::exchange(other.size_, 0)),
          firstShift_(std::exchange(other.firstShift_, kFirstShift)) {}
    BlockStore& operator=(BlockStore&& other) noexcept {
        if (this != &other) {
            clear();
            blocks_ = std::move(other.blocks_);
            size_ = std::exchange(other.size_, 0);
            firstShift_ = std::exchange(other.firstShift_, kFirstShift);
        }
        return *this;
    }
    ~BlockStore() { clear(); }

    std::uint64_t size() const { return size_; }
    T& operator[](std::uint64_t index) { return *locate(index); }
    const T& operator[](std::uint64_t index) const { return *locate(index); }

    // While the store is empty: makes its first block hold `objects` (rounded down to a power
    // of two, at least 64).
    void expect(std::uint64_t objects) {
        if (size_ == 0 && objects > (std::uint64_t{1} << kFirstShift)) {
            firstShift_ = std::bit_width(objects) - 1;
        }
    }

    // Adds a value-initialised object at index size().
    T& add() {
        const std::uint64_t slot = size_ + first();
        if (std::bit_floor(slot) == slot) {  // the first object of a new block
            blocks_.push_back(static_cast<T*>(allocateLarge(blockBytes(blocks_.size()))));
        }
        T* item = ::new (static_cast<void*>(locate(size_))) T();
        ++size_;
        return *item;
    }

  private:
    static constexpr int kFirstShift = 6;  // 64 objects in block 0 unless expect() says more

    std::uint64_t first() const { return std::uint64_t{1} << firstShift_; }
    std::size_t blockBytes(std::size_t block) const { return (first() << block) * sizeof(T); }

    T* locate(std::uint64_t index) const {
        const std::uint64_t slot = index + first();
        const int high = std::bit_width(slot) - 1;
        const auto block = static_cast<std::size_t>(high - firstShift_);
        return blocks_[block] + (slot - (std::uint64_t{1} << high));
    }

    void clear() noexcept {
        for (std::uint64_t i = 0; i < size_; ++i) {
            locate(i)->~T();
        }
        for (std::size_t block = 0; block < blocks_.size(); ++block) {
            releaseLarge(blocks_[block], blockBytes(block));
        }
        blocks_.clear();
        size_ = 0;
    }

    std::vector<T*> blocks_;
    std::uint64_t size_ = 0;
    int firstShift_ = kFirstShift;
};

}  // namespace cadhost::dxf
