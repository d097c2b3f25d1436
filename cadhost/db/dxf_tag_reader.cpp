#include "cadhost/db/dxf_tag_reader.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "cadhost/db/dxf_group_codes.h"

namespace cadhost::dxf {
namespace {

constexpr std::string_view kUtf8Bom{"\xEF\xBB\xBF"};

// Shows a piece of bad input in a message: short, printable ASCII only.
std::string quote(std::string_view text) {
    std::string shown = "'";
    for (char c : text.substr(0, 40)) {
        shown += (c >= 0x20 && c < 0x7f) ? c : '?';
    }
    return shown + (text.size() > 40 ? "...'" : "'");
}

std::uint64_t valueSize(ValueType type) {
    switch (type) {
        case ValueType::Double:
        case ValueType::Int64:
            return 8;
        case ValueType::Int32:
            return 4;
        case ValueType::Int16:
            return 2;
        case ValueType::Bool:
            return 1;
        case ValueType::String:
        case ValueType::BinaryChunk:
            break;
    }
    return 0;
}

}  // namespace

Encoding detectEncoding(std::string_view data, std::uint64_t& start) {
    if (data.starts_with(kBinarySentinel)) {
        start = kBinarySentinel.size();
        // The first tag is "0 SECTION" (or a 999 comment): its code bytes tell the code width.
        auto byte = [&](std::size_t i) {
            return i < data.size() ? static_cast<unsigned char>(data[i]) : 0u;
        };
        unsigned b0 = byte(start), b1 = byte(start + 1);
        bool oneByte = b0 == 0xFF || (b0 == 0 && b1 != 0);
        return Encoding{true, oneByte};
    }
    start = data.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    return Encoding{};
}

TagReader::TagReader(std::string_view data, Encoding encoding, std::uint64_t begin,
                     std::uint64_t end, std::uint64_t firstLine)
    : data_(data), encoding_(encoding), pos_(begin), end_(end), line_(firstLine) {}

DxfError TagReader::errorAt(const RawTag& tag, const std::string& problem) const {
    return encoding_.binary ? DxfError::atOffset(tag.begin, problem)
                            : DxfError::atLine(tag.line, problem);
}

DxfError TagReader::errorAtEnd(const std::string& problem) const {
    return encoding_.binary ? DxfError::atOffset(pos_, problem) : DxfError::atLine(line_, problem);
}

std::uint64_t TagReader::newlinesAt(std::uint64_t from) const {
    const char* bytes = data_.data() + from;
    const std::uint64_t count = data_.size() - from;
    std::uint64_t newlines = 0;
#if defined(__SSE2__)
    if (count >= 64) {
        const __m128i newline = _mm_set1_epi8('\n');
        for (int i = 0; i < 4; ++i) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * i));
            const auto bits =
                static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, newline)));
            newlines |= std::uint64_t{bits} << (16 * i);
        }
        return newlines;
    }
#endif
    for (std::uint64_t i = 0; i < count && i < 64; ++i) {
        newlines |= std::uint64_t{bytes[i] == '\n'} << i;
    }
    return newlines;
}

void TagReader::lineTooLong() const {
    throw DxfError::atLine(line_, "line longer than " + std::to_string(kMaxLineBytes) + " bytes");
}

void TagReader::endsBeforeValue(int code) const {
    throw DxfError::atLine(line_,
                           "file ends before the value of group code " + std::to_string(code));
}

int TagReader::parseCodeSlowly(std::string_view codeText, std::uint64_t line) const {
    std::size_t i = 0;
    while (i < codeText.size() && codeText[i] == ' ') {
        ++i;
    }
    long code = 0;
    std::size_t digits = 0;
    for (; i < codeText.size() && codeText[i] >= '0' && codeText[i] <= '9'; ++i, ++digits) {
        if (digits < 6) {
            code = code * 10 + (codeText[i] - '0');
        }
    }
    while (i < codeText.size() && (codeText[i] == ' ' || codeText[i] == '\t')) {
        ++i;
    }
    if (digits == 0 || i != codeText.size()) {
        throw DxfError::atLine(line, "invalid group code " + quote(codeText));
    }
    if (digits > 6 || !isValidGroupCode(code)) {
        throw DxfError::atLine(line, "group code " + quote(codeText) + " out of range");
    }
    return static_cast<int>(code);
}

std::string_view TagReader::take(std::uint64_t count, const RawTag& tag) {
    if (end_ - pos_ < count) {
        throw DxfError::atOffset(
            tag.begin, "file ends inside the value of group code " + std::to_string(tag.code));
    }
    std::string_view bytes = data_.substr(pos_, count);
    pos_ += count;
    return bytes;
}

bool TagReader::nextBinary(RawTag& tag) {
    tag.begin = pos_;
    tag.line = 0;
    auto byteAt = [this](std::uint64_t i) { return static_cast<unsigned char>(data_[i]); };
    auto need = [&](std::uint64_t count) {
        if (end_ - pos_ < count) {
            throw DxfError::atOffset(tag.begin, "file ends inside a group code");
        }
    };
    unsigned code;
    if (encoding_.oneByteCodes && byteAt(pos_) != 0xFF) {
        code = byteAt(pos_);
        pos_ += 1;
    } else {
        std::uint64_t at = encoding_.oneByteCodes ? pos_ + 1 : pos_;
        need(at - pos_ + 2);
        code = byteAt(at) | (byteAt(at + 1) << 8);
        pos_ = at + 2;
    }
    if (!isValidGroupCode(code)) {
        throw DxfError::atOffset(tag.begin, "group code " + std::to_string(code) + " out of range");
    }
    tag.code = static_cast<int>(code);
    ValueType type = valueType(tag.code);
    if (type == ValueType::String) {
        std::uint64_t remaining = end_ - pos_;
        std::uint64_t window = remaining < kMaxLineBytes + 1 ? remaining : kMaxLineBytes + 1;
        const char* start = data_.data() + pos_;
        const auto* nul = static_cast<const char*>(std::memchr(start, '\0', window));
        if (!nul) {
            throw DxfError::atOffset(
                tag.begin, window == remaining
                               ? "file ends inside a string (no terminating NUL)"
                               : "string longer than " + std::to_string(kMaxLineBytes) + " bytes");
        }
        tag.value = take(static_cast<std::uint64_t>(nul - start), tag);
        pos_ += 1;
    } else if (type == ValueType::BinaryChunk) {
        std::uint64_t length = static_cast<unsigned char>(take(1, tag)[0]);
        tag.value = take(length, tag);
    } else {
        tag.value = take(valueSize(type), tag);
    }
    return true;
}

}  // namespace cadhost::dxf
