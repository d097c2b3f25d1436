#include "cadhost/db/dxf_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "cadhost/db/dxf_error.h"
#include "cadhost/db/large_memory.h"
#include "platform/file_descriptor.h"

namespace cadhost::dxf {
namespace {

using platform::FileDescriptor;

DxfError systemError(const std::string& what, const std::filesystem::path& path, int error) {
    return DxfError(what + " '" + path.string() + "': " + std::strerror(error));
}

// Writes in slices and starts writing each back to the disk at once, so that the final fsync
// of a large file waits for the last slice only.
void writeAll(int fd, std::string_view bytes, const std::filesystem::path& path) {
    constexpr std::size_t kSlice = std::size_t{8} << 20;
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), std::min(bytes.size(), kSlice));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw systemError("cannot write", path, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        if (static_cast<std::size_t>(written) == kSlice) {
            ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);  // a hint; fsync reports errors
        }
    }
}

// Collects small pieces into large writes; large pieces go straight through.
class BufferedFile {
  public:
    BufferedFile(int fd, const std::filesystem::path& path) : fd_(fd), path_(path) {
        buffer_.reserve(kCapacity);
    }
    void append(std::string_view bytes) {
        if (buffer_.size() + bytes.size() > kCapacity) {
            flush();
        }
        if (bytes.size() >= kCapacity) {
            writeAll(fd_, bytes, path_);
        } else {
            buffer_ += bytes;
        }
    }
    void flush() {
        writeAll(fd_, buffer_, path_);
        buffer_.clear();
    }

  private:
    static constexpr std::size_t kCapacity = 1 << 16;
    int fd_;
    const std::filesystem::path& path_;
    std::string buffer_;
};

void syncFolder(const std::filesystem::path& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) {
        ::fsync(fd.get());
    }
}

// Makes `bak` a copy of `path`: a hard link where the file system has them.
void keepBackup(const std::filesystem::path& path, const std::filesystem::path& bak) {
    const std::filesystem::path linkName = saveTemporaries(path, ::getpid())[1];
    ::unlink(linkName.c_str());
    if (::link(path.c_str(), linkName.c_str()) == 0) {
        if (::rename(linkName.c_str(), bak.c_str()) != 0) {
            int error = errno;
            ::unlink(linkName.c_str());
            throw systemError("cannot keep the previous file as", bak, error);
        }
        return;
    }
    std::error_code ec;
    std::filesystem::copy_file(path, bak, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        throw DxfError("cannot keep the previous file as '" + bak.string() + "': " + ec.message());
    }
}

}  // namespace

OpenFile openForReading(const std::filesystem::path& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        throw systemError("cannot open", path, errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        throw readError(path, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        throw DxfError("cannot read '" + path.string() + "': not a regular file");
    }
    auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > kMaxFileBytes) {
        throw DxfError("cannot read '" + path.string() + "': larger than " +
                       std::to_string(kMaxFileBytes >> 30) + " GiB");
    }
    return OpenFile{std::move(fd), size};
}

FileBytes readAll(OpenFile& file, const std::filesystem::path& path) {
    FileBytes bytes{allocateLargeBytes(file.size), 0};
    while (bytes.size < file.size) {
        ssize_t got = ::read(file.fd.get(), bytes.data.get() + bytes.size, file.size - bytes.size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw readError(path, errno);
        }
        if (got == 0) {
            break;  // the file shrank while we read it: take what is there
        }
        bytes.size += static_cast<std::uint64_t>(got);
    }
    return bytes;
}

DxfError readError(const std::filesystem::path& path, int error) {
    return systemError("cannot read", path, error);
}

namespace {

// What saveTemporaries adds to the file name, before the process id.
constexpr const char* kTemporarySuffixes[] = {".tmp-", ".bak.tmp-"};

// Removes what saves of `path` by processes that no longer run left behind (a save killed
// halfway): no one finishes them, and they may be large. A process id still in use, whoever
// uses it now, keeps its files.
void removeAbandonedTemporaries(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        for (const char* suffix : kTemporarySuffixes) {
            const std::string start = name + suffix;
            const std::string digits = entry.starts_with(start) ? entry.substr(start.size()) : "";
            if (digits.empty() || digits.size() > 9 ||
                digits.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            const pid_t pid = std::stoi(digits);
            if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH) {
                ::unlink(it->path().c_str());
            }
        }
    }
}

}  // namespace

std::vector<std::filesystem::path> saveTemporaries(const std::filesystem::path& path, int pid) {
    std::vector<std::filesystem::path> files;
    for (const char* suffix : kTemporarySuffixes) {
        files.push_back(path);
        files.back() += suffix + std::to_string(pid);
    }
    return files;
}

void writeFileAtomically(const std::filesystem::path& path,
                         const std::function<void(const ByteSink&)>& produce) {
    removeAbandonedTemporaries(path);
    const std::filesystem::path temporary = saveTemporaries(path, ::getpid())[0];
    std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();

    struct stat previous {};
    bool hadFile = ::stat(path.c_str(), &previous) == 0;
    mode_t mode = hadFile ? (previous.st_mode & 07777) : 0666;
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
    if (fd.get() < 0) {
        throw systemError("cannot create", temporary, errno);
    }
    try {
        BufferedFile out(fd.get(), temporary);
        produce([&out](std::string_view bytes) { out.append(bytes); });
        out.flush();
        if (::fsync(fd.get()) != 0) {
            throw systemError("cannot write", temporary, errno);
        }
        if (!fd.close()) {
            throw systemError("cannot write", temporary, errno);
        }
        if (hadFile) {
            std::filesystem::path bak = path;
            bak += ".bak";
            keepBackup(path, bak);
        }
        if (::rename(temporary.c_str(), path.c_str()) != 0) {
            throw systemError("cannot replace", path, errno);
        }
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    syncFolder(folder);
}

}  // namespace cadhost::dxf
