#include "cadhost/db/dxf_codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace cadhost::dxf {
namespace {

constexpr std::string_view kReplacement{"\xEF\xBF\xBD"};  // U+FFFD in UTF-8
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The iconv name for a $DWGCODEPAGE value, or "" when there is no obvious one.
std::string iconvName(std::string_view dwgCodepage) {
    std::string upper;
    for (char c : dwgCodepage) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    for (std::string_view prefix : {"ANSI_", "DOS"}) {
        if (upper.starts_with(prefix) && upper.size() > prefix.size()) {
            return "CP" + upper.substr(prefix.size());
        }
    }
    if (upper.starts_with("ISO8859-")) {
        return "ISO-8859-" + upper.substr(8);
    }
    if (upper == "KSC5601") {
        return "CP949";
    }
    if (upper == "GB2312" || upper == "BIG5" || upper == "JOHAB" || upper == "MACINTOSH") {
        return upper;
    }
    return "";
}

// Length of the UTF-8 sequence starting at `text` (1 for a stray byte) and its code point.
std::size_t decodeUtf8(std::string_view text, char32_t& codePoint) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned lead = byte(0);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 0;
    if (length == 0 || length > text.size()) {
        codePoint = 0xFFFD;
        return 1;
    }
    codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            codePoint = 0xFFFD;
            return 1;
        }
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    return length;
}

void appendUtf8(char32_t codePoint, std::string& output) {
    if (codePoint < 0x800) {
        output += static_cast<char>(0xC0 | (codePoint >> 6));
    } else {
        output += static_cast<char>(0xE0 | (codePoint >> 12));
        output += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    }
    output += static_cast<char>(0x80 | (codePoint & 0x3F));
}

// Replaces the \U+XXXX escapes fromUtf8 writes for characters a code page cannot hold. Only
// non-ASCII, non-surrogate code points are decoded: fromUtf8 never escapes anything else, so
// other escapes are literal text and stay as they are.
std::string decodeEscapes(std::string text) {
    std::size_t at = text.find("\\U+");
    if (at == std::string::npos) {
        return text;
    }
    std::string output(text, 0, at);
    while (at < text.size()) {
        char32_t codePoint = 0;
        bool escape = text.compare(at, 3, "\\U+") == 0 && at + 7 <= text.size();
        for (std::size_t i = at + 3; escape && i < at + 7; ++i) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            escape = std::isxdigit(c) != 0;
            codePoint =
                codePoint * 16 +
                static_cast<char32_t>(std::isdigit(c) ? c - '0' : std::toupper(c) - 'A' + 10);
        }
        if (escape && codePoint >= 0x80 && (codePoint < 0xD800 || codePoint > 0xDFFF)) {
            appendUtf8(codePoint, output);
            at += 7;
        } else {
            output += text[at++];
        }
    }
    return output;
}

// Runs iconv over `input`; at each sequence it cannot convert, `onFailure` appends a stand-in
// to the output and says how many input bytes it stands for.
template <typename OnFailure>
std::string convert(iconv_t converter, std::string_view input, OnFailure onFailure) {
    std::string output;
    output.reserve(input.size() * 2);
    char chunk[4096];
    char* in = const_cast<char*>(input.data());  // iconv's signature lacks const
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
        output.append(chunk, static_cast<std::size_t>(out - chunk));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            std::size_t skipped = onFailure(std::string_view(in, inLeft), output);
            in += skipped;
            inLeft -= skipped;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return output;
}

// Whether iconv converts text of the code page to UTF-8; asked of iconv once per name, as
// every drawing read asks.
bool iconvReads(const std::string& name) {
    static std::mutex mutex;
    static std::unordered_map<std::string, bool> known;
    std::lock_guard lock(mutex);
    const auto [entry, added] = known.try_emplace(name, false);
    if (added) {
        const iconv_t probe = iconv_open("UTF-8", name.c_str());
        entry->second = probe != kNoConverter;
        if (entry->second) {
            iconv_close(probe);
        }
    }
    return entry->second;
}

}  // namespace

// Each direction is opened at its first use: most drawings hold only ASCII text, and opening
// a converter costs more than reading a small drawing.
struct Codepage::Converters {
    explicit Converters(std::string codepage) : name(std::move(codepage)) {}
    ~Converters() {
        for (const std::optional<iconv_t>& converter : {toUtf8, fromUtf8}) {
            if (converter && *converter != kNoConverter) {
                iconv_close(*converter);
            }
        }
    }
    Converters(const Converters&) = delete;
    Converters& operator=(const Converters&) = delete;

    iconv_t toUtf8Converter() { return opened(toUtf8, "UTF-8", name.c_str()); }
    iconv_t fromUtf8Converter() { return opened(fromUtf8, name.c_str(), "UTF-8"); }
    static iconv_t opened(std::optional<iconv_t>& converter, const char* to, const char* from) {
        if (!converter) {
            converter = iconv_open(to, from);
        }
        return *converter;
    }

    std::string name;
    std::optional<iconv_t> toUtf8;
    std::optional<iconv_t> fromUtf8;
};

Codepage::Codepage(std::string name) : name_(std::move(name)) {
    if (name_ != "UTF-8") {
        converters_ = std::make_shared<Converters>(name_);
    }
}

Codepage Codepage::utf8() {
    return Codepage("UTF-8");
}

Codepage Codepage::fromDwgCodepage(std::string_view dwgCodepage) {
    std::string name = iconvName(dwgCodepage);
    return Codepage(!name.empty() && iconvReads(name) ? name : "CP1252");
}

std::string Codepage::toUtf8(std::string_view stored) const {
    if (!converters_) {  // UTF-8: keep valid sequences, replace broken ones
        if (isAscii(stored)) {
            return std::string(stored);
        }
        std::string output;
        while (!stored.empty()) {
            char32_t codePoint;
            std::size_t length = decodeUtf8(stored, codePoint);
            output += length == 1 && codePoint == 0xFFFD ? kReplacement : stored.substr(0, length);
            stored.remove_prefix(length);
        }
        return output;
    }
    if (isAscii(stored)) {
        return decodeEscapes(std::string(stored));
    }
    return decodeEscapes(
        convert(converters_->toUtf8Converter(), stored, [](std::string_view, std::string& output) {
            output += kReplacement;
            return std::size_t{1};
        }));
}

std::string Codepage::fromUtf8(std::string_view utf8) const {
    if (!converters_ || isAscii(utf8)) {
        return std::string(utf8);
    }
    return convert(
        converters_->fromUtf8Converter(), utf8, [](std::string_view rest, std::string& output) {
            char32_t codePoint;
            std::size_t length = decodeUtf8(rest, codePoint);
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\U+%04X", static_cast<unsigned>(codePoint));
            output += escape;
            return length;
        });
}

}  // namespace cadhost::dxf
