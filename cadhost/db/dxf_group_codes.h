#pragma once
// The value type of each DXF group code, as the DXF reference's table of group code ranges
// gives it. ASCII files hold every value as text; binary files store it in this type.

#include <cstdint>

namespace cadhost::dxf {

enum class ValueType : std::uint8_t { String, Double, Int16, Int32, Int64, Bool, BinaryChunk };

inline constexpr int kMaxGroupCode = 1071;

constexpr bool isValidGroupCode(long code) {
    return code >= 0 && code <= kMaxGroupCode;
}

// Codes outside the numeric ranges (names, text, handles, comments) are strings.
constexpr ValueType valueType(int code) {
    auto in = [code](int first, int last) { return code >= first && code <= last; };
    if (in(10, 59) || in(110, 149) || in(210, 239) || in(460, 469) || in(1010, 1059)) {
        return ValueType::Double;
    }
    if (in(60, 79) || in(170, 179) || in(270, 289) || in(370, 389) || in(400, 409) ||
        in(1060, 1070)) {
        return ValueType::Int16;
    }
    if (in(90, 99) || in(420, 459) || code == 1071) {
        return ValueType::Int32;
    }
    if (in(160, 169)) {
        return ValueType::Int64;
    }
    if (in(290, 299)) {
        return ValueType::Bool;
    }
    if (in(310, 319) || code == 1004) {
        return ValueType::BinaryChunk;
    }
    return ValueType::String;
}

}  // namespace cadhost::dxf
