#pragma once
// Reads a file into memory on a second thread, front to back in slices, while the caller
// works on the bytes that have arrived. Getting a large file into fresh memory (the system
// clears each new page, then copies the file in) costs about as much as parsing it; with two
// cores the two overlap instead of following each other. A caller that would wait for a slice
// nobody is reading yet reads it itself, so a busy machine that gives the second thread no
// time costs no more than reading on one thread, and where no thread can be started, the
// caller reads it all.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace cadhost::dxf {

class BackgroundRead {
  public:
    // Starts reading `size` bytes of the file open as `fd` (the caller keeps it open until
    // finish()) into `into`. Once all of them are in memory, the thread goes on to
    // `afterReading`, if given; it is not called when reading ends early.
    BackgroundRead(int fd, char* into, std::uint64_t size, std::function<void()> afterReading = {});
    ~BackgroundRead();
    BackgroundRead(const BackgroundRead&) = delete;
    BackgroundRead& operator=(const BackgroundRead&) = delete;

    // Returns once the bytes before `offset` (at most the size) are in memory, or reading
    // ended before them: how many bytes from the start are in memory, less than asked only
    // when reading ended early (an error, or a file that shrank).
    std::uint64_t waitFor(std::uint64_t offset);

    // Waits for the end of reading: the bytes read from the start, and `error` the system's
    // error that stopped it (0: none; fewer bytes than the size then mean that the file
    // shrank).
    std::uint64_t finish(int& error);

  private:
    // Reads the next slice that no one has taken; false when none is left or reading ended.
    bool readNextSlice();
    // Where the bytes in memory from the start end, as far as `slice` (excluded) is read.
    std::uint64_t inMemoryBefore(std::uint64_t slice) const;
    // The thread's work: reading slices until none is left, then `afterReading` once every
    // slice (some read by the caller) is in memory.
    void work(const std::function<void()>& afterReading);

    const int fd_;
    char* const into_;
    const std::uint64_t size_;
    const std::uint64_t slices_;
    std::atomic<std::uint64_t> nextSlice_{0};  // the first slice no one has taken
    // Per slice: 0 until it is read, or found to lie past where reading ended.
    std::unique_ptr<std::atomic<std::uint8_t>[]> read_;
    std::atomic<std::uint64_t> end_;  // where the file ended or reading failed; else the size
    std::atomic<int> error_{0};
    std::uint64_t complete_ = 0;  // the caller's: slices before it are known to be read
    std::thread thread_;
};

}  // namespace cadhost::dxf
