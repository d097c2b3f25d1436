#include "platform/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/file_descriptor.h"
#include "platform/registry.h"
#include "platform/registry_file.h"

namespace platform {

namespace {

LONG errorFromErrno(int error) {
    return (error == EACCES || error == EPERM || error == EROFS) ? ERROR_ACCESS_DENIED
                                                                 : ERROR_REGISTRY_IO_FAILED;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool readAll(int fd, std::string& out) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            return true;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string pathWithSuffix(const std::filesystem::path& file, std::string_view suffix) {
    return file.string() + std::string(suffix);
}

RegistryStore::Change noChange() {
    return [](RegistryNode&, bool&) { return ERROR_SUCCESS; };
}

}  // namespace

bool RegistryStore::Stamp::operator==(const Stamp& other) const {
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
}

RegistryStore::RegistryStore(std::filesystem::path file, std::string rootName,
                             std::function<void(RegistryNode&)> seed)
    : file_(std::move(file)), rootName_(std::move(rootName)), seed_(std::move(seed)) {}

LONG RegistryStore::read(const RegistryNode*& tree) {
    tree = &tree_;
    struct stat info {};
    Stamp now;
    if (::stat(file_.c_str(), &info) == 0) {
        now = Stamp{true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_mode};
    }
    if (!loaded_ || !(now == stamp_)) {
        loadFromDisk();
    }
    if (status_ == ERROR_SUCCESS && text_.empty() && seed_ && !seedTried_) {
        // First use of a root that starts with content: write it out so other tools see it.
        // When that fails the root still reads as seeded.
        seedTried_ = true;
        commit(noChange(), false);
    }
    return status_;
}

LONG RegistryStore::loadFromDisk() {
    FileDescriptor fd(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT) {
            adopt({}, Stamp{});
            return status_;
        }
        return readFailed(errno);
    }
    struct stat info {};
    std::string text;
    if (::fstat(fd.get(), &info) != 0 || !readAll(fd.get(), text)) {
        return readFailed(errno);
    }
    adopt(std::move(text),
          Stamp{true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_mode});
    return status_;
}

LONG RegistryStore::readFailed(int error) {
    loaded_ = false;
    errorText_ = file_.string() + ": cannot read: " + std::strerror(error);
    return status_ = errorFromErrno(error);
}

void RegistryStore::adopt(std::string text, const Stamp& stamp) {
    stamp_ = stamp;
    if (loaded_ && text == text_) {
        return;
    }
    text_ = std::move(text);
    loaded_ = true;
    auto parsed = parseRegistryText(text_, rootName_, file_.string());
    if (parsed.error) {
        tree_ = RegistryNode{};
        status_ = ERROR_BADDB;
        errorText_ = parsed.error->text();
        if (errorText_ != reportedError_) {
            std::fprintf(stderr, "registry: %s\n", errorText_.c_str());
            reportedError_ = errorText_;
        }
        return;
    }
    tree_ = std::move(parsed.root);
    if (text_.empty() && seed_) {
        seed_(tree_);
    }
    status_ = ERROR_SUCCESS;
    errorText_.clear();
}

LONG RegistryStore::modify(const Change& change) {
    return commit(change, true);
}

LONG RegistryStore::commit(const Change& change, bool honourReadOnly) {
    if (honourReadOnly && readOnly()) {
        return ERROR_ACCESS_DENIED;
    }
    FileDescriptor lock(
        ::open(pathWithSuffix(file_, ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!lock.valid()) {
        return errorFromErrno(errno);
    }
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return errorFromErrno(errno);
        }
    }
    // Another process may have saved since the last read: always start from the file itself.
    if (LONG status = loadFromDisk(); status != ERROR_SUCCESS) {
        return status;
    }
    bool changed = text_.empty() && seed_;  // a seeded root not yet on disk
    if (LONG status = change(tree_, changed); status != ERROR_SUCCESS) {
        return status;
    }
    if (!changed) {
        return ERROR_SUCCESS;
    }
    std::string text;
    appendRegistryText(text, tree_, rootName_);
    if (LONG status = save(text); status != ERROR_SUCCESS) {
        loaded_ = false;  // tree_ holds a change that is not on disk: reload on next use
        return status;
    }
    return ERROR_SUCCESS;
}

LONG RegistryStore::save(const std::string& text) {
    const std::string temporary = pathWithSuffix(file_, ".tmp-" + std::to_string(::getpid()));
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid()) {
        return errorFromErrno(errno);
    }
    struct stat info {};
    const bool written = (!stamp_.exists || ::fchmod(fd.get(), stamp_.mode & 07777) == 0) &&
                         writeAll(fd.get(), text) && ::fsync(fd.get()) == 0 &&
                         ::fstat(fd.get(), &info) == 0;
    const int writeError = errno;
    if (!fd.close() || !written || ::rename(temporary.c_str(), file_.c_str()) != 0) {
        const int error = written ? errno : writeError;
        ::unlink(temporary.c_str());
        return errorFromErrno(error);
    }
    // Make the rename itself durable; the new file is complete either way.
    FileDescriptor folder(::open(file_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) {
        ::fsync(folder.get());
    }
    text_ = text;
    stamp_ = Stamp{true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_mode};
    loaded_ = true;
    return ERROR_SUCCESS;
}

bool RegistryStore::readOnly() const {
    return ::access(pathWithSuffix(file_, ".readonly").c_str(), F_OK) == 0;
}

LONG RegistryStore::setReadOnly(bool on) {
    const std::string marker = pathWithSuffix(file_, ".readonly");
    if (on) {
        FileDescriptor fd(::open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        return fd.valid() ? ERROR_SUCCESS : errorFromErrno(errno);
    }
    return (::unlink(marker.c_str()) == 0 || errno == ENOENT) ? ERROR_SUCCESS
                                                              : errorFromErrno(errno);
}

}  // namespace platform
