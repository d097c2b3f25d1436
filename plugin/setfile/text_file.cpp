#include "plugin/setfile/text_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/host_path.h"

namespace lnkhold {

namespace {

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

// Whether the file's first bytes are `start`.
bool startsWith(int fd, std::string_view start) {
    std::string head(start.size(), '\0');
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t read =
            ::pread(fd, head.data() + got, head.size() - got, static_cast<off_t>(got));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(read);
    }
    return head == start;
}

// Closes the descriptor when it goes out of scope (the lock goes with it).
struct ClosedOnExit {
    int fd;
    ~ClosedOnExit() { ::close(fd); }
};

}  // namespace

std::string nativeFileOf(const std::string& hostPath, std::filesystem::path& native) {
    const platform::PathResult<std::filesystem::path> converted = platform::hostToNative(hostPath);
    if (!converted.ok()) {
        return "the path cannot be used";
    }
    native = converted.value;
    return {};
}

std::string replaceFileText(const std::string& hostPath, std::string_view text) {
    std::filesystem::path native;
    if (std::string error = nativeFileOf(hostPath, native); !error.empty()) {
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

std::string appendFileText(const std::string& hostPath, std::string_view header,
                           std::string_view text) {
    std::filesystem::path native;
    if (std::string error = nativeFileOf(hostPath, native); !error.empty()) {
        return error;
    }
    const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return std::strerror(errno);
    }
    const ClosedOnExit closed{fd};
    struct stat facts {};
    if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &facts) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISREG(facts.st_mode)) {
        return "it is not a file";
    }
    std::string added;
    if (facts.st_size == 0) {
        added = header;
    } else if (!startsWith(fd, header)) {
        return "it holds something else than a report of this kind";
    }
    added += text;
    if (::lseek(fd, 0, SEEK_END) < 0) {
        return std::strerror(errno);
    }
    // No fsync: a report grows by a few lines per drawing, and a batch over a project appends
    // once per drawing; the kernel keeps what was written if the process dies.
    if (!writeAll(fd, added)) {
        const int error = errno;
        // Nothing half-written stays behind: the file goes back to its old end.
        if (::ftruncate(fd, facts.st_size) != 0) {
            return std::string(std::strerror(error)) + "; the file could not be cut back";
        }
        return std::strerror(error);
    }
    return {};
}

}  // namespace lnkhold
