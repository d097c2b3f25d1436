#pragma once
// Cuts the back part of a text DXF file into records on a second thread while the first
// thread cuts the front. The second thread cannot know the state the first will be in where
// its part begins, so it cuts only what needs no state: runs of plain records (neither
// section nor table markers nor EOF), each run from one record's group-0 tag to the group-0
// tag after its last record. The first thread takes a run over only when its own reading
// arrives exactly at the run's first tag, outside HEADER and with no name pending: from a tag
// boundary the tags that follow are the same whoever reads them, so the run's records are
// the ones it would have cut itself. Anything else (a run it lands beside, a fault inside a
// run, a damaged file) it reads the checked way as before, so results and errors never
// depend on the second thread.

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

#include "cadhost/db/block_store.h"
#include "cadhost/db/dxf_record.h"

namespace cadhost::dxf {

class CutAhead {
  public:
    // A record of a run, in the few bytes that its cutting found out.
    struct Record {
        std::uint64_t begin = 0;  // offset of its group-0 tag; it ends where the next begins
        std::uint64_t handle = 0;
        std::uint64_t owner = 0;
        std::uint32_t typeOffset = 0;  // its type: bytes from `begin` on, as trimType gives it
        std::uint32_t typeSize = 0;
    };
    struct Run {
        std::uint64_t begin = 0;  // the first record's group-0 tag
        std::uint64_t end = 0;    // the group-0 tag after the last record
        std::uint64_t lines = 0;  // lines from begin to end
        std::uint64_t first = 0;  // index of the first record
        std::uint64_t count = 0;
        RecordKeys lastKeys{""};  // the last record's keys, as its tags left them
    };

    // `data`: the whole text of the file, which must be in memory before cut() runs.
    explicit CutAhead(std::string_view data) : data_(data) {}
    CutAhead(const CutAhead&) = delete;
    CutAhead& operator=(const CutAhead&) = delete;

    // --- the second thread
    // Cuts from half-way between where the first thread has got to and the end, unless the
    // first thread has given up on it or the part left is too small to pay.
    void cut() noexcept;

    // --- the first thread
    // Where it has got to; the second thread starts half-way from there to the end.
    void reportProgress(std::uint64_t offset) {
        progress_.store(offset, std::memory_order_relaxed);
    }
    // Where the first run not yet passed begins (the largest offset while none is known).
    // Check it before each group-0 tag.
    std::uint64_t nextRunBegin() const {
        return finished_ ? (next_ < runs_.size() ? runs_[next_].begin : kNowhere)
                         : begin_.load(std::memory_order_acquire);
    }
    // Called at `offset` once offset >= nextRunBegin(): the run beginning there, waiting for
    // the cutting to end if it is still going, or null when none does. Runs that begin
    // before `offset` are passed for good; and if the first thread is already past the first
    // run, the cutting stops (there is nothing it could still give).
    const Run* runAt(std::uint64_t offset);
    const Record& record(std::uint64_t index) const { return records_[index]; }
    // Stops the cutting as soon as it looks; idempotent.
    void abandon();

  private:
    static constexpr std::uint64_t kNowhere = ~std::uint64_t{0};
    enum State : int { kWaiting, kCutting, kDone, kAbandoned };

    // The offset of a group-0 tag of a record type at or after `from` (within a short
    // distance), or kNowhere.
    std::uint64_t findRecordStart(std::uint64_t from) const;
    void cutFrom(std::uint64_t start);

    std::string_view data_;
    std::atomic<std::uint64_t> progress_{0};
    std::atomic<std::uint64_t> begin_{kNowhere};
    std::atomic<int> state_{kWaiting};
    std::atomic<bool> cancel_{false};
    // Written by the second thread until state_ is kDone, then read by the first.
    BlockStore<Record> records_;
    std::vector<Run> runs_;
    // The first thread's.
    bool finished_ = false;
    std::size_t next_ = 0;
};

}  // namespace cadhost::dxf
