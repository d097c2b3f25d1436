#include "cadhost/xref/dwg_reader.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "cadhost/db/database_state.h"
#include "platform/file_descriptor.h"

extern char** environ;

namespace cadhost::xref {

namespace {

using Clock = std::chrono::steady_clock;

// An answer larger than this is taken for nonsense rather than read into memory.
constexpr std::uint32_t kLongestAnswer = 1u << 30;

std::string scriptLocation() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&isDwgFile), &info) && info.dli_fname) {
        std::error_code ec;
        const auto library = std::filesystem::canonical(info.dli_fname, ec);
        if (!ec) {
            return (library.parent_path() / "dwg" / "dwg_reader.mjs").string();
        }
    }
    return "dwg/dwg_reader.mjs";
}

std::filesystem::path findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/bin:/bin";
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        if (!folder.empty()) {
            std::filesystem::path candidate = std::filesystem::path(folder) / program;
            if (access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        if (colon == std::string_view::npos) {
            return {};
        }
        rest.remove_prefix(colon + 1);
    }
}

// A descriptor at 10 or above, closed on exec: the child's 0 and 3 are made from these, and
// dup2 onto a descriptor's own number would keep its close-on-exec flag.
int highDescriptor(int fd) {
    const int high = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    close(fd);
    return high;
}

void closeFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// Writes all bytes; false when the reader went away. SIGPIPE is held back meanwhile and a
// pending one is taken, so a dead helper cannot end the host.
bool writeAll(int fd, const std::string& bytes) {
    sigset_t pipeOnly;
    sigset_t previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    bool ok = true;
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!ok) {
        const timespec none{};
        sigtimedwait(&pipeOnly, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return ok;
}

enum class ReadEnd { Done, Closed, TimedOut, Failed };

// Reads exactly `size` bytes before `deadline`.
ReadEnd readAll(int fd, char* into, std::size_t size, Clock::time_point deadline) {
    std::size_t done = 0;
    while (done < size) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return ReadEnd::TimedOut;
        }
        pollfd wait{fd, POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) {
            return ReadEnd::Failed;
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t n = read(fd, into + done, size - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n < 0) {
            return ReadEnd::Failed;
        }
        if (n == 0) {
            return ReadEnd::Closed;
        }
        done += static_cast<std::size_t>(n);
    }
    return ReadEnd::Done;
}

std::string frame(const std::string& body) {
    std::string bytes(4, '\0');
    const auto size = static_cast<std::uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((size >> (8 * i)) & 0xFF);
    }
    return bytes + body;
}

std::string exitText(int status) {
    if (WIFSIGNALED(status)) {
        return "killed by signal " + std::to_string(WTERMSIG(status));
    }
    if (WIFEXITED(status)) {
        return "exit code " + std::to_string(WEXITSTATUS(status));
    }
    return "status " + std::to_string(status);
}

}  // namespace

bool isDwgFile(const std::filesystem::path& native) {
    // A plain read: every xref of a drawing is asked, and a stream costs more than the read.
    const platform::FileDescriptor fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
    char start[4] = {};
    return fd.valid() && ::read(fd.get(), start, sizeof start) == sizeof start &&
           std::string_view(start, 4) == "AC10";
}

std::unique_ptr<AcDbDatabase> readDwgDatabase(const std::filesystem::path& native,
                                              DwgReader& reader, std::string& reason) {
    std::optional<DwgDrawing> drawing = reader.read(native, reason);
    if (!drawing) {
        return nullptr;
    }
    auto database = std::make_unique<AcDbDatabase>(false, true);
    if (db::readDwgDrawing(*database, std::move(drawing->dxf), native,
                           std::move(drawing->leftOut)) != Acad::eOk) {
        reason = std::string("the DWG reader's drawing cannot be read: ") + database->lastMessage();
        return nullptr;
    }
    return database;
}

DwgReader::Setup DwgReader::defaultSetup() {
    Setup setup;
    if (const char* node = std::getenv("CADHOST_NODE")) {
        setup.node = node;
    } else {
        setup.node = findOnPath("node");
        if (setup.node.empty()) {
            setup.node = findOnPath("nodejs");
        }
    }
    const char* script = std::getenv("CADHOST_DWG_READER");
    setup.script = script ? std::string(script) : scriptLocation();
    if (const char* limit = std::getenv("CADHOST_DWG_TIME_LIMIT_MS")) {
        char* end = nullptr;
        const long long ms = std::strtoll(limit, &end, 10);
        if (end != limit && *end == '\0' && ms > 0) {
            setup.timeLimit = std::chrono::milliseconds(ms);
        }
    }
    return setup;
}

DwgReader::DwgReader(Setup setup) : setup_(std::move(setup)) {}

DwgReader::~DwgReader() {
    stop(false);
}

bool DwgReader::start(std::string& reason) {
    if (!missing_.empty()) {
        reason = missing_;
        return false;
    }
    std::error_code ec;
    if (setup_.node.empty() || access(setup_.node.c_str(), X_OK) != 0) {
        missing_ = setup_.node.empty()
                       ? "Node.js is not installed (no node or nodejs on the PATH); DWG "
                         "drawings are read through it"
                       : "Node.js is not installed (" + setup_.node.string() +
                             " cannot be run); DWG drawings are read through it";
        reason = missing_;
        return false;
    }
    if (!std::filesystem::is_regular_file(setup_.script, ec)) {
        missing_ = "the DWG reader is not installed (" + setup_.script.string() + " is missing)";
        reason = missing_;
        return false;
    }
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) {
        reason = std::string("cannot start the DWG reader: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        reason = std::string("cannot start the DWG reader: ") + std::strerror(errno);
        close(toChild[0]);
        close(toChild[1]);
        return false;
    }
    const int childIn = highDescriptor(toChild[0]);
    requests_ = highDescriptor(toChild[1]);
    answers_ = highDescriptor(fromChild[0]);
    const int childOut = highDescriptor(fromChild[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childIn, 0);
    posix_spawn_file_actions_adddup2(&actions, childOut, 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // The child's signals start at their defaults whatever the host set or blocked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::string node = setup_.node.string();
    std::string script = setup_.script.string();
    char* argv[] = {node.data(), script.data(), nullptr};
    const int error = posix_spawn(&pid_, node.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(childIn);
    close(childOut);
    if (error != 0) {
        pid_ = -1;
        closeFd(requests_);
        closeFd(answers_);
        reason = "cannot start the DWG reader " + node + ": " + std::strerror(error);
        return false;
    }
    ++starts_;
    return true;
}

int DwgReader::stop(bool kill) {
    closeFd(requests_);
    closeFd(answers_);
    int status = 0;
    if (pid_ <= 0) {
        return status;
    }
    if (!kill) {
        // Without input the helper ends by itself; give it a moment.
        for (int waited = 0; waited < 100; ++waited) {
            const pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_ || (done < 0 && errno != EINTR)) {
                pid_ = -1;
                return status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ::kill(pid_, SIGKILL);
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return status;
}

bool DwgReader::answer(std::string& body, std::string& reason) {
    const auto deadline = Clock::now() + setup_.timeLimit;
    char head[4];
    ReadEnd end = readAll(answers_, head, sizeof head, deadline);
    std::uint32_t size = 0;
    if (end == ReadEnd::Done) {
        for (int i = 3; i >= 0; --i) {
            size = (size << 8) | static_cast<unsigned char>(head[i]);
        }
        if (size > kLongestAnswer) {
            reason = "the DWG reader answered nonsense";
            stop(true);
            return false;
        }
        body.resize(size);
        end = readAll(answers_, body.data(), size, deadline);
    }
    switch (end) {
        case ReadEnd::Done:
            return true;
        case ReadEnd::TimedOut:
            reason = "the DWG reader did not finish within " +
                     std::to_string(setup_.timeLimit.count()) + " ms and was stopped";
            stop(true);
            return false;
        case ReadEnd::Closed:
        case ReadEnd::Failed:
            // Its answers ended: it has stopped, or is stopped now should it linger.
            reason = "the DWG reader stopped (" + exitText(stop(false)) + ")";
            return false;
    }
    return false;
}

std::optional<DwgDrawing> DwgReader::read(const std::filesystem::path& native,
                                          std::string& reason) {
    if (pid_ <= 0 && !start(reason)) {
        return std::nullopt;
    }
    std::string body;
    if (!writeAll(requests_, frame(native.string()))) {
        // It died since the last read: one more try with a fresh process.
        stop(true);
        if (!start(reason) || !writeAll(requests_, frame(native.string()))) {
            if (reason.empty()) {
                reason = "the DWG reader does not take requests";
            }
            stop(true);
            return std::nullopt;
        }
    }
    if (!answer(body, reason)) {
        return std::nullopt;
    }
    if (body.starts_with("ERR ")) {
        reason = body.substr(4);
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
            reason.pop_back();
        }
        return std::nullopt;
    }
    const std::size_t firstLine = body.find('\n');
    const std::size_t secondLine =
        firstLine == std::string::npos ? std::string::npos : body.find('\n', firstLine + 1);
    if (!body.starts_with("OK\nSKIPPED ") || secondLine == std::string::npos) {
        reason = "the DWG reader answered nonsense";
        stop(true);
        return std::nullopt;
    }
    DwgDrawing drawing;
    std::string_view types(body.data() + firstLine + 9, secondLine - firstLine - 9);
    while (!types.empty()) {
        const std::size_t space = types.find(' ');
        if (space != 0) {
            drawing.leftOut.emplace_back(types.substr(0, space));
        }
        if (space == std::string_view::npos) {
            break;
        }
        types.remove_prefix(space + 1);
    }
    drawing.dxf = body.substr(secondLine + 1);
    return drawing;
}

}  // namespace cadhost::xref
