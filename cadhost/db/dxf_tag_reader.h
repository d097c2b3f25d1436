#pragma once
// Splits DXF bytes into tags without copying or converting values. It reads ASCII DXF (LF or
// CR LF lines) and binary DXF (1-byte group codes of R12 and earlier, 2-byte codes later) and
// throws DxfError naming the line (ASCII) or byte offset (binary) of the first fault.

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

    // Reads the next tag; false at the end of the range.
    bool next(RawTag& tag);

    // Where the next tag begins.
    std::uint64_t position() const { return pos_; }

    // An error placed at `tag`: its line for ASCII, its offset for binary.
    DxfError errorAt(const RawTag& tag, const std::string& problem) const;
    // An error placed where reading stopped (for "the file ends here" problems).
    DxfError errorAtEnd(const std::string& problem) const;

  private:
    bool nextAscii(RawTag& tag);
    bool nextBinary(RawTag& tag);
    std::string_view readLine();
    std::string_view take(std::uint64_t count, const RawTag& tag);

    std::string_view data_;
    Encoding encoding_;
    std::uint64_t pos_;
    std::uint64_t end_;
    std::uint64_t line_;
};

}  // namespace cadhost::dxf
