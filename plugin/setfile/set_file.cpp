#include "plugin/setfile/set_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/host_path.h"

namespace lnkhold {

namespace {

// Set files are lists of paths: anything larger is not one, and is not read into memory.
constexpr std::uintmax_t kMaxSetFileBytes = 64u << 20;

bool isLineEnd(char c) {
    return c == '\r' || c == '\n' || c == '\0';
}

std::string nativeOf(const std::string& hostPath, std::filesystem::path& native) {
    const platform::PathResult<std::filesystem::path> converted = platform::hostToNative(hostPath);
    if (!converted.ok()) {
        return "the path cannot be used";
    }
    native = converted.value;
    return {};
}

// Writes all of the text to the descriptor; false with errno set when it could not.
bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
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
    std::filesystem::path native;
    if (std::string error = nativeOf(hostPath, native); !error.empty()) {
        return error;
    }
    std::filesystem::path temporary = native;
    temporary += ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return std::strerror(errno);
    }
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        const int error = written ? errno : writeError;
        ::unlink(temporary.c_str());
        return std::strerror(error);
    }
    if (::rename(temporary.c_str(), native.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return std::strerror(error);
    }
    return {};
}

std::string readSetFile(const std::string& hostPath, std::string& text) {
    std::filesystem::path native;
    if (std::string error = nativeOf(hostPath, native); !error.empty()) {
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
