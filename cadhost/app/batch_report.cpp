#include "cadhost/app/batch_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/file_descriptor.h"

namespace fs = std::filesystem;

namespace cadhost::app {

namespace {

std::string firstLine(std::string_view text) {
    std::string_view line = text.substr(0, text.find('\n'));
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return std::string(line);
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes a file whole or not at all: a temporary file beside it, flushed to the disk and
// renamed over it. An existing file keeps its permissions.
std::string writeFileAtomically(const fs::path& target, std::string_view text) {
    std::string temporary =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    platform::FileDescriptor fd(::mkstemp(temporary.data()));
    if (!fd.valid()) {
        return "cannot write beside " + target.string() + ": " + std::strerror(errno);
    }
    struct stat existing {};
    const mode_t mode =
        ::stat(target.c_str(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode();
    const bool written =
        ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), text) && ::fsync(fd.get()) == 0;
    const int error = errno;
    if (!fd.close() || !written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        const int why = written ? errno : error;
        ::unlink(temporary.c_str());
        return "cannot write " + target.string() + ": " + std::strerror(why);
    }
    return "";
}

}  // namespace

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t put = ::write(fd, text.data(), text.size());
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

std::string mergeReportParts(const std::vector<fs::path>& parts, const fs::path& target) {
    std::string merged;
    std::string header;
    for (const fs::path& part : parts) {
        std::error_code ec;
        if (part.empty() || !fs::exists(part, ec)) {
            continue;
        }
        std::ifstream file(part, std::ios::binary);
        std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        if (!file.good() && !file.eof()) {
            return "cannot read " + part.string();
        }
        if (text.empty()) {
            continue;
        }
        if (merged.empty()) {
            header = firstLine(text);
        } else {
            if (firstLine(text) == header) {
                const std::size_t lineEnd = text.find('\n');
                text.erase(0, lineEnd == std::string::npos ? text.size() : lineEnd + 1);
            }
            // A part whose last line has no line end does not run into the next part.
            if (!text.empty() && merged.back() != '\n') {
                merged += '\n';
            }
        }
        merged += text;
    }
    return writeFileAtomically(target, merged);
}

}  // namespace cadhost::app
