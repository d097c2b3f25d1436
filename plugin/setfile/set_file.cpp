#include "plugin/setfile/set_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "plugin/setfile/text_file.h"

namespace lnkhold {

namespace {

// Set files are lists of paths: anything larger is not one, and is not read into memory.
constexpr std::uintmax_t kMaxSetFileBytes = 64u << 20;

bool isLineEnd(char c) {
    return c == '\r' || c == '\n' || c == '\0';
}

}  // namespace

std::string setFileText(const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& path : paths) {
        text += path;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> setFileEntries(std::string_view text) {
    std::vector<std::string> entries;
    std::size_t position = 0;
    while (position < text.size()) {
        while (position < text.size() && isLineEnd(text[position])) {
            ++position;
        }
        const std::size_t start = position;
        while (position < text.size() && !isLineEnd(text[position])) {
            ++position;
        }
        if (position > start) {
            entries.emplace_back(text.substr(start, position - start));
        }
    }
    return entries;
}

std::string writeSetFile(const std::string& hostPath, const std::string& text) {
    return replaceFileText(hostPath, text);
}

std::string readSetFile(const std::string& hostPath, std::string& text) {
    std::filesystem::path native;
    if (std::string error = nativeFileOf(hostPath, native); !error.empty()) {
        return error;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(native, ec)) {
        return "it is a folder";
    }
    const std::uintmax_t size = std::filesystem::file_size(native, ec);
    if (ec) {
        return ec.message();
    }
    if (size > kMaxSetFileBytes) {
        return "it is too large to be a list of drawings";
    }
    std::ifstream file(native, std::ios::binary);
    if (!file) {
        return std::strerror(errno);
    }
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) {
        return "it cannot be read";
    }
    return {};
}

}  // namespace lnkhold
