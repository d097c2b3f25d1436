#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/errno_map.h"
#include "platform/file_descriptor.h"
#include "platform/files.h"
#include "platform/host_path.h"

namespace fs = std::filesystem;

namespace platform {

namespace {

// The temporary copy beside the destination; removed unless it has been renamed into place.
class TemporaryFile {
  public:
    explicit TemporaryFile(const fs::path& folder)
        : path_((folder / ".copy-XXXXXX").string()),
          fd_(::mkstemp(path_.data())),
          created_(fd_.valid()) {}
    ~TemporaryFile() {
        if (created_ && !kept_) {
            ::unlink(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    FileDescriptor& fd() { return fd_; }
    const char* path() const { return path_.c_str(); }
    void keep() { kept_ = true; }

  private:
    std::string path_;
    FileDescriptor fd_;
    bool created_;
    bool kept_ = false;
};

bool copyContents(int from, int to) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                errno = put == 0 ? EIO : errno;
                return false;
            }
            done += put;
        }
    }
}

// Why an existing destination may not be replaced, or ERROR_SUCCESS.
LONG refusalToReplace(const struct stat& source, const struct stat& target, bool failIfExists) {
    if (source.st_dev == target.st_dev && source.st_ino == target.st_ino) {
        return ERROR_SHARING_VIOLATION;  // a file cannot be copied onto itself
    }
    if (failIfExists) {
        return ERROR_FILE_EXISTS;
    }
    if (S_ISDIR(target.st_mode) || (target.st_mode & S_IWUSR) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

LONG copyFile(const fs::path& from, const fs::path& to, bool failIfExists) {
    FileDescriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat sourceStat {};
    if (!source.valid() || ::fstat(source.get(), &sourceStat) != 0) {
        return errorFromErrno(errno, from);
    }
    if (S_ISDIR(sourceStat.st_mode)) {
        return ERROR_ACCESS_DENIED;
    }
    if (struct stat targetStat{}; ::stat(to.c_str(), &targetStat) == 0) {
        if (const LONG refusal = refusalToReplace(sourceStat, targetStat, failIfExists)) {
            return refusal;
        }
    }
    TemporaryFile temporary(to.parent_path());
    FileDescriptor& copy = temporary.fd();
    if (!copy.valid()) {
        return errno == ENOENT ? ERROR_PATH_NOT_FOUND : errorFromErrno(errno);
    }
    const timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
    if (!copyContents(source.get(), copy.get()) ||
        ::fchmod(copy.get(), sourceStat.st_mode & 07777) != 0 ||
        ::futimens(copy.get(), times) != 0 || ::fsync(copy.get()) != 0 || !copy.close()) {
        return errorFromErrno(errno);
    }
    // link() never replaces, so a file that appeared meanwhile is still not overwritten.
    if (failIfExists ? ::link(temporary.path(), to.c_str()) != 0
                     : ::rename(temporary.path(), to.c_str()) != 0) {
        return errno == EEXIST ? ERROR_FILE_EXISTS : errorFromErrno(errno);
    }
    if (!failIfExists) {
        temporary.keep();
    }
    return ERROR_SUCCESS;
}

}  // namespace

BOOL CopyFileA(const char* existingFile, const char* newFile, BOOL failIfExists) {
    if (existingFile == nullptr || newFile == nullptr) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    const auto from = hostToNative(existingFile);
    if (!from.ok()) {
        return failWith(from.error);
    }
    const auto to = hostToNative(newFile);
    if (!to.ok()) {
        return failWith(to.error);
    }
    const LONG error = copyFile(from.value, to.value, failIfExists != FALSE);
    return error == ERROR_SUCCESS ? TRUE : failWith(error);
}

}  // namespace platform
