#include "cadhost/db/dxf_tag.h"

#include <charconv>
#include <cmath>

namespace cadhost::dxf {
namespace {

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

template <typename Number, typename... Options>
std::optional<Number> parseNumber(std::string_view text, Options... options) {
    text = trimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    Number value{};
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, options...);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

Tag Tag::real(int code, double value) {
    return {code, formatDouble(value)};
}

Tag Tag::integer(int code, std::int64_t value) {
    return {code, std::to_string(value)};
}

Tag Tag::handle(int code, std::uint64_t handle) {
    return {code, formatHandle(handle)};
}

std::optional<double> Tag::asDouble() const {
    return parseDouble(value);
}

std::optional<std::int64_t> Tag::asInteger() const {
    return parseInteger(value);
}

std::optional<std::uint64_t> Tag::asHandle() const {
    return parseHandle(value);
}

std::string formatDouble(double value) {
    char buffer[64];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, ec == std::errc() ? ptr : buffer);
    if (std::isfinite(value) && text.find_first_of(".e") == std::string::npos) {
        text += ".0";
    }
    return text;
}

std::string formatHandle(std::uint64_t handle) {
    char buffer[32];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, handle, 16);
    std::string text(buffer, ec == std::errc() ? ptr : buffer);
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

std::optional<double> parseDouble(std::string_view text) {
    return parseNumber<double>(text);
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    return parseNumber<std::int64_t>(text);
}

std::optional<std::uint64_t> parseHandleSlowly(std::string_view text) {
    return parseNumber<std::uint64_t>(text, 16);
}

}  // namespace cadhost::dxf
