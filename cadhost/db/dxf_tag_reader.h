#pragma once
// Splits DXF bytes into tags without copying or converting values. It reads ASCII DXF (LF or
// CR LF lines) and binary DXF (1-byte group codes of R12 and earlier, 2-byte codes later) and
// throws DxfError naming the line (ASCII) or byte offset (binary) of the first fault.

#include <bit>
#include <cstdint>
#include <string_view>

#include "cadhost/db/dxf_error.h"

namespace cadhost::dxf {

inline constexpr std::string_view kBinarySentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

// Longest line (or binary string) accepted; DXF strings are at most a few thousand bytes.
inline constexpr std::uint64_t kMaxLineBytes = 1u << 20;

struct Encoding {
    bool binary = false;
    bool oneByteCodes = false;  // binary R12 and earlier: 1-byte codes, 255 escapes a 2-byte one
};

// Finds the encoding from the start of a file; `start` receives where the first tag begins
// (after the binary sentinel or a UTF-8 byte order mark).
Encoding detectEncoding(std::string_view data, std::uint64_t& start);

struct RawTag {
    int code = 0;
    // ASCII: the value line without its line end. Binary: the value's bytes (a string without
    // its NUL, a chunk without its length byte, numbers little-endian).
    std::string_view value;
    std::uint64_t begin = 0;  // offset of the tag's first byte
    std::uint64_t line = 0;   // ASCII: line of the group code (1-based)
};

class TagReader {
  public:
    TagReader(std::string_view data, Encoding encoding, std::uint64_t begin, std::uint64_t end,
              std::uint64_t firstLine = 1);

    // Reads the next tag; false at the end of the range. Inline: it runs for every tag of a
    // file, and reading large files is bound by it.
    bool next(RawTag& tag) {
        if (pos_ >= end_) {
            return false;
        }
        return encoding_.binary ? nextBinary(tag) : nextAscii(tag);
    }

    // ASCII only: reads on over tags of the usual shape — a group code other than 0 in three
    // characters on its own line, then a value line of at most kUsualValueBytes — handing each
    // to `take(code, value)`, and stops before the first tag of another shape or near the end
    // of the range or `limit`, where next() goes on; no byte from `limit` on is looked at.
    // Most tags of a large file are read here: it does what next() does with fewer checks, as
    // the shape rules out what they are for.
    template <class Take>
    void nextUsualTags(Take&& take, std::uint64_t limit);

    // Goes on at `offset`, where a tag begins on line `line`, as if the tags before it had
    // been read here.
    void skipTo(std::uint64_t offset, std::uint64_t line) {
        pos_ = offset;
        line_ = line;
    }

    // Where the next tag begins, and its line (ASCII).
    std::uint64_t position() const { return pos_; }
    std::uint64_t line() const { return line_; }

    // An error placed at `tag`: its line for ASCII, its offset for binary.
    DxfError errorAt(const RawTag& tag, const std::string& problem) const;
    // An error placed where reading stopped (for "the file ends here" problems).
    DxfError errorAtEnd(const std::string& problem) const;

  private:
    static constexpr std::uint64_t kNone = ~std::uint64_t{0};
    static constexpr std::uint64_t kUsualValueBytes = 256;

    // The group code of a three-character code line (blanks then digits, as writers put
    // them), or -1.
    static int usualCode(const char* text);

    bool nextAscii(RawTag& tag);
    bool nextBinary(RawTag& tag);
    std::string_view readLine();
    // The offset of the first '\n' in [from, limit), or kNone.
    std::uint64_t findNewline(std::uint64_t from, std::uint64_t limit);
    // Where the newlines of data_ are from `from` on: bit i of the result stands for
    // data_[from + i], up to the end of data_ (64 bytes at most).
    std::uint64_t newlinesAt(std::uint64_t from) const;
    // A code line that is not three characters of blanks then digits, parsed one by one.
    int parseCodeSlowly(std::string_view codeText, std::uint64_t line) const;
    std::string_view take(std::uint64_t count, const RawTag& tag);
    [[noreturn]] void lineTooLong() const;
    [[noreturn]] void endsBeforeValue(int code) const;

    std::string_view data_;
    Encoding encoding_;
    std::uint64_t pos_;
    std::uint64_t end_;
    std::uint64_t line_;
    // The newlines of the 64 bytes from newlinesFrom_ on (kNone: none found yet), as
    // newlinesAt() gives them; most lines are a few bytes long, so one such look serves many.
    std::uint64_t newlinesFrom_ = kNone;
    std::uint64_t newlines_ = 0;
};

inline std::uint64_t TagReader::findNewline(std::uint64_t from, std::uint64_t limit) {
    while (from < limit) {
        if (newlinesFrom_ > from || from - newlinesFrom_ >= 64) {
            newlinesFrom_ = from;
            newlines_ = newlinesAt(from);
        }
        const std::uint64_t ahead = newlines_ >> (from - newlinesFrom_);
        if (ahead) {
            const std::uint64_t newline =
                from + static_cast<std::uint64_t>(std::countr_zero(ahead));
            return newline < limit ? newline : kNone;
        }
        from = newlinesFrom_ + 64;
    }
    return kNone;
}

inline std::string_view TagReader::readLine() {
    const std::uint64_t remaining = end_ - pos_;
    const std::uint64_t limit =
        pos_ + (remaining < kMaxLineBytes + 1 ? remaining : kMaxLineBytes + 1);
    const std::uint64_t newline = findNewline(pos_, limit);
    const char* start = data_.data() + pos_;
    std::uint64_t length;
    if (newline != kNone) {
        length = newline - pos_;
        pos_ = newline + 1;
    } else if (remaining <= kMaxLineBytes) {
        length = remaining;  // the last line may lack its line end
        pos_ = end_;
    } else {
        lineTooLong();
    }
    ++line_;
    if (length > 0 && start[length - 1] == '\r') {
        --length;
    }
    return {start, length};
}

inline bool TagReader::nextAscii(RawTag& tag) {
    tag.begin = pos_;
    tag.line = line_;
    const std::string_view codeText = readLine();
    // Writers put group codes right-aligned in three characters ("  0", " 10", "330"): read
    // those without a branch on each character.
    int code = codeText.size() == 3 ? usualCode(codeText.data()) : -1;
    if (code < 0) {
        code = parseCodeSlowly(codeText, tag.line);
    }
    if (pos_ >= end_) {
        endsBeforeValue(code);
    }
    tag.code = code;
    tag.value = readLine();
    return true;
}

inline int TagReader::usualCode(const char* text) {
    // Read without a branch on each character.
    const auto digit = [](char c) { return static_cast<unsigned>(c - '0') < 10; };
    const char c0 = text[0], c1 = text[1], c2 = text[2];
    const bool d0 = digit(c0), d1 = digit(c1), s0 = c0 == ' ';
    const bool fits = digit(c2) && (d0 || s0) && (d1 || (s0 && c1 == ' '));
    return fits ? (d0 ? (c0 - '0') * 100 : 0) + (d1 ? (c1 - '0') * 10 : 0) + (c2 - '0') : -1;
}

template <class Take>
void TagReader::nextUsualTags(Take&& take, std::uint64_t limit) {
    const char* bytes = data_.data();
    limit = limit < end_ ? limit : end_;
    // The code line with its line end ("330\r\n"), a value line up to its line end, and the
    // 64 bytes that findNewline() looks at from where it starts fit before the limit.
    while (limit > pos_ && limit - pos_ > 5 + kUsualValueBytes + 2 + 64) {
        const std::uint64_t codeEnd = findNewline(pos_ + 3, pos_ + 5);
        if (codeEnd == kNone || (codeEnd == pos_ + 4 && bytes[pos_ + 3] != '\r')) {
            return;
        }
        const int code = usualCode(bytes + pos_);
        if (code <= 0) {
            return;
        }
        const std::uint64_t valueBegin = codeEnd + 1;
        const std::uint64_t valueEnd = findNewline(valueBegin, valueBegin + kUsualValueBytes + 1);
        if (valueEnd == kNone) {
            return;
        }
        const std::uint64_t length = valueEnd - valueBegin;
        take(code, std::string_view(bytes + valueBegin,
                                    length - (length > 0 && bytes[valueEnd - 1] == '\r')));
        pos_ = valueEnd + 1;
        line_ += 2;
    }
}

}  // namespace cadhost::dxf
