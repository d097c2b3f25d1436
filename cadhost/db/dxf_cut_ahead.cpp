#include "cadhost/db/dxf_cut_ahead.h"

#include <algorithm>
#include <exception>

#include "cadhost/db/dxf_tag_reader.h"

namespace cadhost::dxf {
namespace {

// The part left for the second thread must be at least this large to pay for the hand-over.
constexpr std::uint64_t kLeastBytes = std::uint64_t{1} << 20;
// How far from its starting point the second thread looks for a record's first tag.
constexpr std::uint64_t kSearchBytes = std::uint64_t{1} << 16;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    return text;
}

// A record's type has a letter; a group code has none. So a line "0" followed by a line with
// a letter is a group-0 tag in any file that reads: read the other way, the letter would be
// in a group code.
bool namesType(std::string_view line) {
    return std::any_of(line.begin(), line.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

}  // namespace

void CutAhead::cut() noexcept {
    int waiting = kWaiting;
    if (!state_.compare_exchange_strong(waiting, kCutting)) {
        return;  // the first thread has given up on it
    }
    const std::uint64_t size = data_.size();
    std::uint64_t textStart = 0;
    const bool binary = detectEncoding(data_, textStart).binary;  // no tag found from within
    const std::uint64_t progress = std::min(progress_.load(std::memory_order_relaxed), size);
    const std::uint64_t from = progress + (size - progress) / 2;
    if (!binary && size - from >= kLeastBytes) {
        const std::uint64_t start = findRecordStart(from);
        if (start != kNowhere) {
            try {
                cutFrom(start);
            } catch (const std::exception&) {
                // Out of memory: the runs cut so far stand, the rest is left to the first thread.
            }
        }
    }
    state_.store(kDone, std::memory_order_release);
    state_.notify_all();
}

std::uint64_t CutAhead::findRecordStart(std::uint64_t from) const {
    const std::uint64_t limit = std::min<std::uint64_t>(data_.size(), from + kSearchBytes);
    std::uint64_t line = data_.find('\n', from);
    if (line >= limit) {
        return kNowhere;
    }
    ++line;
    std::uint64_t lineEnd = data_.find('\n', line);
    while (lineEnd < limit) {
        const std::uint64_t nextEnd = data_.find('\n', lineEnd + 1);
        if (nextEnd >= limit) {
            break;
        }
        if (trimmed(data_.substr(line, lineEnd - line)) == "0" &&
            namesType(data_.substr(lineEnd + 1, nextEnd - lineEnd - 1))) {
            return line;
        }
        line = lineEnd + 1;
        lineEnd = nextEnd;
    }
    return kNowhere;
}

void CutAhead::cutFrom(std::uint64_t start) {
    begin_.store(start, std::memory_order_release);
    records_.expect((data_.size() - start) / kLeastRecordBytes);
    TagReader reader(data_, Encoding{}, start, data_.size());
    RawTag tag;
    Run run;
    bool inRun = false;
    std::uint64_t runLine = 0;
    Record open;  // the record whose tags are being read, while `isOpen`
    bool isOpen = false;
    std::uint64_t openLine = 0;
    RecordKeys keys("");
    auto endRun = [&](std::uint64_t end, std::uint64_t line) {
        if (inRun && run.count > 0) {
            run.end = end;
            run.lines = line - runLine;
            runs_.push_back(run);
        }
        inRun = false;
    };
    auto take = [&keys](int code, std::string_view value) { keys.add(code, value); };
    try {
        while (!cancel_.load(std::memory_order_relaxed)) {
            if (isOpen) {
                reader.nextUsualTags(take, data_.size());
            }
            if (!reader.next(tag)) {
                break;
            }
            if (tag.code != 0) {
                if (isOpen) {
                    keys.add(tag.code, tag.value);
                }
                continue;  // else a marker's tags
            }
            if (isOpen) {
                open.handle = keys.handle();
                open.owner = keys.owner();
                records_.add() = open;
                ++run.count;
                run.lastKeys = keys;
                isOpen = false;
            }
            const std::string_view type = trimType(tag.value);
            if (isMarker(type)) {
                endRun(tag.begin, tag.line);
                continue;
            }
            if (!inRun) {
                run = Run{};
                run.begin = tag.begin;
                run.first = records_.size();
                runLine = tag.line;
                inRun = true;
            }
            open = Record{tag.begin, 0, 0,
                          static_cast<std::uint32_t>(type.data() - data_.data() - tag.begin),
                          static_cast<std::uint32_t>(type.size())};
            openLine = tag.line;
            keys = RecordKeys(type);
            isOpen = true;
        }
    } catch (const DxfError&) {
        // A fault: the first thread reads its record the checked way and reports it.
    }
    // The last record's end is not known (the file ended, a fault, or the first thread gave
    // up): the run ends where it begins, and the first thread reads it.
    if (isOpen) {
        endRun(open.begin, openLine);
    }
}

const CutAhead::Run* CutAhead::runAt(std::uint64_t offset) {
    if (!finished_) {
        // The first run is known, so the cutting has begun: wait for its end.
        if (offset != begin_.load(std::memory_order_acquire)) {
            abandon();  // already past the first run: the cutting can give nothing more
        }
        for (int state = state_.load(std::memory_order_acquire); state == kCutting;
             state = state_.load(std::memory_order_acquire)) {
            state_.wait(kCutting, std::memory_order_acquire);
        }
        finished_ = true;
    }
    while (next_ < runs_.size() && runs_[next_].begin < offset) {
        ++next_;
    }
    if (next_ < runs_.size() && runs_[next_].begin == offset) {
        return &runs_[next_++];
    }
    return nullptr;
}

void CutAhead::abandon() {
    cancel_.store(true, std::memory_order_relaxed);
    int waiting = kWaiting;
    state_.compare_exchange_strong(waiting, kAbandoned);
}

}  // namespace cadhost::dxf
