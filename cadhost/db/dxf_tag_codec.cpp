#include "cadhost/db/dxf_tag_codec.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "cadhost/db/dxf_group_codes.h"

namespace cadhost::dxf {
namespace {

static_assert(std::endian::native == std::endian::little, "binary DXF is little-endian");

template <typename Number>
Number loadLittleEndian(std::string_view bytes) {
    Number value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

template <typename Number>
void storeLittleEndian(Number value, std::string& out) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out.append(bytes, sizeof value);
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool isHexChunk(std::string_view text) {
    if (text.size() % 2 != 0 || text.size() > 2 * 255) {
        return false;
    }
    for (char c : text) {
        if (hexValue(c) < 0) {
            return false;
        }
    }
    return true;
}

bool fitsInteger(ValueType type, std::int64_t value) {
    switch (type) {
        case ValueType::Int16:
            return value >= INT16_MIN && value <= INT16_MAX;
        case ValueType::Int32:
            return value >= INT32_MIN && value <= INT32_MAX;
        case ValueType::Bool:
            return value >= 0 && value <= 255;
        default:
            return true;
    }
}

}  // namespace

TagCodec::TagCodec(Encoding encoding, std::string lineEnd, Codepage codepage)
    : encoding_(encoding), lineEnd_(std::move(lineEnd)), codepage_(std::move(codepage)) {}

Tag TagCodec::decode(const RawTag& raw) const {
    if (!encoding_.binary) {
        return {raw.code, codepage_.toUtf8(raw.value)};
    }
    switch (valueType(raw.code)) {
        case ValueType::String:
            return {raw.code, codepage_.toUtf8(raw.value)};
        case ValueType::Double:
            return {raw.code, formatDouble(loadLittleEndian<double>(raw.value))};
        case ValueType::Int16:
            return {raw.code, std::to_string(loadLittleEndian<std::int16_t>(raw.value))};
        case ValueType::Int32:
            return {raw.code, std::to_string(loadLittleEndian<std::int32_t>(raw.value))};
        case ValueType::Int64:
            return {raw.code, std::to_string(loadLittleEndian<std::int64_t>(raw.value))};
        case ValueType::Bool:
            return {raw.code, std::to_string(static_cast<unsigned char>(raw.value[0]))};
        case ValueType::BinaryChunk:
            break;
    }
    std::string hex;
    for (unsigned char byte : raw.value) {
        hex += kHexDigits[byte >> 4];
        hex += kHexDigits[byte & 0xF];
    }
    return {raw.code, hex};
}

std::string TagCodec::problemWith(const Tag& tag) const {
    if (!isValidGroupCode(tag.code)) {
        return "group code " + std::to_string(tag.code) + " out of range";
    }
    if (tag.value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        return "value of group code " + std::to_string(tag.code) + " contains a line break or NUL";
    }
    if (!encoding_.binary) {
        // ASCII keeps a value's text as given, also text other readers accept ("1,5").
        return tag.value.size() <= kMaxLineBytes ? "" : "value longer than a DXF line may be";
    }
    ValueType type = valueType(tag.code);
    bool valid = true;
    switch (type) {
        case ValueType::Double:
            valid = parseDouble(tag.value).has_value();
            break;
        case ValueType::Int16:
        case ValueType::Int32:
        case ValueType::Int64:
        case ValueType::Bool: {
            auto value = parseInteger(tag.value);
            valid = value && fitsInteger(type, *value);
            break;
        }
        case ValueType::BinaryChunk:
            valid = isHexChunk(tag.value);
            break;
        case ValueType::String:
            valid = tag.value.size() <= kMaxLineBytes;
            break;
    }
    if (!valid) {
        return "value '" + tag.value.substr(0, 40) + "' does not fit group code " +
               std::to_string(tag.code);
    }
    return "";
}

void TagCodec::encode(const Tag& tag, std::string& out) const {
    if (!encoding_.binary) {
        std::string code = std::to_string(tag.code);
        if (code.size() < 3) {
            out.append(3 - code.size(), ' ');
        }
        out += code;
        out += lineEnd_;
        out += codepage_.fromUtf8(tag.value);
        out += lineEnd_;
        return;
    }
    auto code = static_cast<std::uint16_t>(tag.code);
    if (encoding_.oneByteCodes) {
        if (code >= 255) {
            out += '\xFF';
            storeLittleEndian(code, out);
        } else {
            out += static_cast<char>(code);
        }
    } else {
        storeLittleEndian(code, out);
    }
    encodeBinaryValue(tag, out);
}

void TagCodec::encodeBinaryValue(const Tag& tag, std::string& out) const {
    switch (valueType(tag.code)) {
        case ValueType::String:
            out += codepage_.fromUtf8(tag.value);
            out += '\0';
            return;
        case ValueType::Double:
            storeLittleEndian(parseDouble(tag.value).value_or(0.0), out);
            return;
        case ValueType::Int16:
            storeLittleEndian(static_cast<std::int16_t>(parseInteger(tag.value).value_or(0)), out);
            return;
        case ValueType::Int32:
            storeLittleEndian(static_cast<std::int32_t>(parseInteger(tag.value).value_or(0)), out);
            return;
        case ValueType::Int64:
            storeLittleEndian(parseInteger(tag.value).value_or(0), out);
            return;
        case ValueType::Bool:
            out += static_cast<char>(parseInteger(tag.value).value_or(0));
            return;
        case ValueType::BinaryChunk:
            break;
    }
    out += static_cast<char>(tag.value.size() / 2);
    for (std::size_t i = 0; i + 1 < tag.value.size(); i += 2) {
        out += static_cast<char>(hexValue(tag.value[i]) * 16 + hexValue(tag.value[i + 1]));
    }
}

}  // namespace cadhost::dxf
