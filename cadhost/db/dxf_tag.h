#pragma once
// A decoded DXF tag: group code and value. The value is the tag's DXF text in UTF-8, exactly as
// an ASCII DXF file spells it ("1.5", "7", "1F" for a handle, hex digits for binary chunks), so
// a tag read from a file and written back keeps its spelling.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cadhost::dxf {

struct Tag {
    int code = 0;
    std::string value;

    bool operator==(const Tag&) const = default;

    static Tag text(int code, std::string value) { return {code, std::move(value)}; }
    static Tag real(int code, double value);
    static Tag integer(int code, std::int64_t value);
    static Tag handle(int code, std::uint64_t handle);

    std::optional<double> asDouble() const;
    std::optional<std::int64_t> asInteger() const;
    std::optional<std::uint64_t> asHandle() const;
};

// Shortest text that reads back as the same double, with ".0" on whole numbers ("2.0").
std::string formatDouble(double value);
// Upper-case hex without leading zeros, as handles are written ("1F").
std::string formatHandle(std::uint64_t handle);

// Parsers accept surrounding blanks, as DXF writers pad numbers; they reject anything else.
std::optional<double> parseDouble(std::string_view text);
std::optional<std::int64_t> parseInteger(std::string_view text);
// parseHandle() for any text other than 1 to 16 hex digits.
std::optional<std::uint64_t> parseHandleSlowly(std::string_view text);

// Files write handles as 1 to 16 hex digits and nothing else: those are read here at once,
// inline, as reading a file reads two handles a record.
inline std::optional<std::uint64_t> parseHandle(std::string_view text) {
    if (text.empty() || text.size() > 16) {
        return parseHandleSlowly(text);
    }
    std::uint64_t value = 0;
    for (char c : text) {
        const unsigned digit = c <= '9' ? static_cast<unsigned>(c - '0')
                                        : static_cast<unsigned>((c | 0x20) - 'a') + 10;
        if (digit > 15) {
            return parseHandleSlowly(text);
        }
        value = value << 4 | digit;
    }
    return value;
}

}  // namespace cadhost::dxf
