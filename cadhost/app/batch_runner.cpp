#include "cadhost/app/batch_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <utility>

#include "cadhost/app/batch_report.h"
#include "cadhost/app/batch_worker.h"
#include "cadhost/app/host_input.h"
#include "cadhost/db/dxf_file.h"
#include "platform/case_fold.h"
#include "platform/host_path.h"

namespace fs = std::filesystem;

namespace cadhost::app {

namespace {

// A worker's share of the drawings, and what the runner knows of it.
struct Share {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;  // the first drawing without a result
    std::optional<std::size_t> running;
    fs::path part;  // its report part, when the batch writes a report

    pid_t pid = -1;  // its current worker
    std::size_t workerFirst = 0;
    int out = -1;
    int control = -1;
    std::string message;  // the start of a message still being received

    std::string held;  // output waiting for the shares before it
    bool endsLine = true;
    bool finished = false;
};

class Runner {
  public:
    Runner(const BatchOptions& options, std::size_t jobs);
    int run();

  private:
    void start(Share& share);
    void failRest(Share& share, const std::string& reason);
    void receive(Share& share, int& fd, bool isOutput);
    void handle(Share& share, const std::string& message);
    void ended(Share& share, int status);
    void record(std::size_t drawing, DrawingResult result, std::string reason);
    void show(Share& share, std::string_view text);
    void showFinishedShares();
    bool mergeReport();
    void summarise();

    const BatchOptions& options_;
    fs::path report_;  // absolute, or empty
    std::vector<Share> shares_;
    std::vector<std::optional<DrawingOutcome>> outcomes_;
    std::size_t shown_ = 0;           // the share whose output goes straight through
    std::vector<std::string> notes_;  // what else went wrong
};

Runner::Runner(const BatchOptions& options, std::size_t jobs)
    : options_(options),
      report_(options.report.empty() ? fs::path() : fs::absolute(options.report)),
      outcomes_(options.drawings.size()) {
    for (const auto& [begin, end] : batchShares(options.drawings.size(), jobs)) {
        Share& share = shares_.emplace_back();
        share.begin = share.next = begin;
        share.end = end;
        if (!report_.empty()) {
            share.part = report_.string() + "." + std::to_string(::getpid()) + "-" +
                         std::to_string(shares_.size()) + ".part";
            std::error_code ignored;
            fs::remove(share.part, ignored);
        }
    }
}

void Runner::record(std::size_t drawing, DrawingResult result, std::string reason) {
    outcomes_[drawing] = DrawingOutcome{result, std::move(reason)};
}

void Runner::failRest(Share& share, const std::string& reason) {
    for (; share.next < share.end; ++share.next) {
        record(share.next, DrawingResult::Failed, reason);
    }
}

// A new worker for the drawings of the share that have no result yet.
void Runner::start(Share& share) {
    std::vector<std::string> arguments{"cadhost", kBatchWorkerOption};
    arguments.insert(arguments.end(), options_.hostArguments.begin(), options_.hostArguments.end());
    arguments.insert(arguments.end(), {"--each", options_.script});
    if (!share.part.empty()) {
        arguments.insert(arguments.end(), {"--report", share.part.string()});
    }
    arguments.insert(arguments.end(), options_.drawings.begin() + share.next,
                     options_.drawings.begin() + share.end);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int out[2];
    int control[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        failRest(share, std::string("cannot start a worker: ") + std::strerror(errno));
        return;
    }
    if (::pipe2(control, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        failRest(share, std::string("cannot start a worker: ") + std::strerror(errno));
        return;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int nothing = ::open("/dev/null", O_RDONLY);
        ::dup2(nothing, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        if (control[1] == kBatchControlFd) {
            ::fcntl(kBatchControlFd, F_SETFD, 0);
        } else {
            ::dup2(control[1], kBatchControlFd);
        }
        ::execv("/proc/self/exe", argv.data());
        ::_exit(127);
    }
    const int forkError = errno;
    ::close(out[1]);
    ::close(control[1]);
    if (pid < 0) {
        ::close(out[0]);
        ::close(control[0]);
        failRest(share, std::string("cannot start a worker: ") + std::strerror(forkError));
        return;
    }
    // The runner reads whatever is there and never waits on one worker's pipe.
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);
    ::fcntl(control[0], F_SETFL, O_NONBLOCK);
    share.pid = pid;
    share.workerFirst = share.next;
    share.out = out[0];
    share.control = control[0];
    share.message.clear();
}

void Runner::show(Share& share, std::string_view text) {
    if (text.empty()) {
        return;
    }
    if (&share == &shares_[shown_]) {
        writeAll(STDOUT_FILENO, text);
    } else {
        share.held.append(text);
    }
    share.endsLine = text.back() == '\n';
}

// Output of a share is shown once every share before it has finished: then the whole
// output reads as one worker would have written it.
void Runner::showFinishedShares() {
    while (shown_ < shares_.size() && shares_[shown_].finished) {
        if (++shown_ < shares_.size()) {
            writeAll(STDOUT_FILENO, shares_[shown_].held);
            std::string().swap(shares_[shown_].held);
        }
    }
}

void Runner::handle(Share& share, const std::string& message) {
    const std::size_t space = message.find(' ');
    const std::string word = message.substr(0, space);
    std::size_t index = 0;
    std::size_t used = 0;
    try {
        index = share.workerFirst + std::stoul(message.substr(space + 1), &used);
    } catch (const std::exception&) {
        return;
    }
    if (index < share.next || index >= share.end) {
        return;
    }
    if (word == "start") {
        share.running = index;
        const std::string progress = "[" + std::to_string(index + 1) + "/" +
                                     std::to_string(outcomes_.size()) + "] " +
                                     options_.drawings[index] + "\n";
        writeAll(STDERR_FILENO, progress);
    } else if (word == "done") {
        std::string rest = message.substr(std::min(message.size(), space + 1 + used + 1));
        const std::size_t gap = rest.find(' ');
        const std::string result = rest.substr(0, gap);
        std::string reason = gap == std::string::npos ? std::string() : rest.substr(gap + 1);
        record(index,
               result == "changed"     ? DrawingResult::Changed
               : result == "unchanged" ? DrawingResult::Unchanged
                                       : DrawingResult::Failed,
               std::move(reason));
        share.running.reset();
        share.next = index + 1;
    }
}

void Runner::receive(Share& share, int& fd, bool isOutput) {
    char buffer[1 << 16];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    if (got <= 0) {
        ::close(fd);
        fd = -1;
        return;
    }
    const std::string_view text(buffer, static_cast<std::size_t>(got));
    if (isOutput) {
        show(share, text);
        return;
    }
    share.message.append(text);
    for (std::size_t end; (end = share.message.find('\n')) != std::string::npos;) {
        handle(share, share.message.substr(0, end));
        share.message.erase(0, end + 1);
    }
}

void Runner::ended(Share& share, int status) {
    const pid_t pid = std::exchange(share.pid, -1);
    const std::string how = describeWorkerEnd(status);
    if (share.running) {
        const std::size_t drawing = *share.running;
        // A save cut short leaves its new file beside the drawing; the drawing itself is
        // whole, as it was or as last saved.
        removeSaveLeftovers(options_.drawings[drawing], pid);
        record(drawing, DrawingResult::Failed, "the host " + how + " while running the script");
        share.running.reset();
        share.next = drawing + 1;
        if (!share.endsLine) {
            show(share, "\n");
        }
    } else if (share.next < share.end) {
        failRest(share, "not run: its worker " + how + " before it");
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        notes_.push_back("The worker for drawings " + std::to_string(share.workerFirst + 1) +
                         " to " + std::to_string(share.end) + " " + how +
                         " after its last drawing.");
    }
    if (share.next < share.end) {
        start(share);
    }
    if (share.pid < 0) {
        share.finished = true;
        showFinishedShares();
    }
}

int Runner::run() {
    for (Share& share : shares_) {
        start(share);
        if (share.pid < 0) {
            share.finished = true;
        }
    }
    showFinishedShares();
    for (;;) {
        std::vector<pollfd> waiting;
        for (const Share& share : shares_) {
            for (int fd : {share.out, share.control}) {
                if (fd >= 0) {
                    waiting.push_back({fd, POLLIN, 0});
                }
            }
        }
        if (waiting.empty()) {
            break;
        }
        if (::poll(waiting.data(), waiting.size(), -1) < 0 && errno != EINTR) {
            break;
        }
        for (const pollfd& ready : waiting) {
            for (Share& share : shares_) {
                if (ready.revents != 0 && ready.fd == share.out) {
                    receive(share, share.out, true);
                } else if (ready.revents != 0 && ready.fd == share.control) {
                    receive(share, share.control, false);
                }
            }
        }
        // Reaped only now: a new worker's pipes may reuse the numbers of the ones just closed.
        for (Share& share : shares_) {
            if (share.pid > 0 && share.out < 0 && share.control < 0) {
                int status = 0;
                while (::waitpid(share.pid, &status, 0) < 0 && errno == EINTR) {
                }
                ended(share, status);
            }
        }
    }
    const bool reportWritten = mergeReport();
    summarise();
    const bool anyFailed = std::any_of(outcomes_.begin(), outcomes_.end(), [](const auto& o) {
        return !o || o->result == DrawingResult::Failed;
    });
    return anyFailed || !notes_.empty() || !reportWritten ? 1 : 0;
}

bool Runner::mergeReport() {
    if (report_.empty()) {
        return true;
    }
    std::vector<fs::path> parts;
    for (const Share& share : shares_) {
        parts.push_back(share.part);
    }
    if (const std::string error = mergeReportParts(parts, report_); !error.empty()) {
        notes_.push_back("The report was not written (" + error +
                         "); its parts are kept beside it.");
        return false;
    }
    for (const fs::path& part : parts) {
        std::error_code ignored;
        fs::remove(part, ignored);
    }
    return true;
}

void Runner::summarise() {
    std::size_t counts[3] = {0, 0, 0};
    std::string failures;
    for (std::size_t i = 0; i < outcomes_.size(); ++i) {
        const DrawingOutcome outcome =
            outcomes_[i].value_or(DrawingOutcome{DrawingResult::Failed, "not run"});
        ++counts[static_cast<int>(outcome.result)];
        if (outcome.result == DrawingResult::Failed) {
            failures += "  " + options_.drawings[i] + ": " + outcome.reason + "\n";
        }
    }
    std::string summary = "Batch of " + std::to_string(outcomes_.size()) +
                          " drawing(s): " + std::to_string(counts[0]) + " changed, " +
                          std::to_string(counts[1]) + " unchanged, " + std::to_string(counts[2]) +
                          " failed\n";
    if (!failures.empty()) {
        summary += "Failed:\n" + failures;
    }
    for (const std::string& note : notes_) {
        summary += note + "\n";
    }
    writeAll(STDERR_FILENO, summary);
}

}  // namespace

std::vector<std::pair<std::size_t, std::size_t>> batchShares(std::size_t count, std::size_t jobs) {
    jobs = std::clamp<std::size_t>(jobs, 1, std::max<std::size_t>(count, 1));
    std::vector<std::pair<std::size_t, std::size_t>> shares;
    for (std::size_t k = 0; k < jobs && count > 0; ++k) {
        shares.emplace_back(k * count / jobs, (k + 1) * count / jobs);
    }
    return shares;
}

void removeSaveLeftovers(const std::string& drawing, int pid) {
    const std::optional<std::string> host = typedHostPathQuietly(drawing, ".dxf");
    const platform::PathResult<fs::path> native = platform::hostToNative(host ? *host : "");
    if (native.ok()) {
        for (const fs::path& leftover : dxf::saveTemporaries(native.value, pid)) {
            std::error_code ignored;
            fs::remove(leftover, ignored);
        }
    }
}

std::string describeWorkerEnd(int waitStatus) {
    if (WIFSIGNALED(waitStatus)) {
        const int signal = WTERMSIG(waitStatus);
        const char* name = ::sigabbrev_np(signal);
        const char* text = ::sigdescr_np(signal);
        return "was killed by signal " +
               (name ? "SIG" + std::string(name) : std::to_string(signal)) +
               (text ? " (" + std::string(text) + ")" : std::string());
    }
    return "exited with status " + std::to_string(WEXITSTATUS(waitStatus));
}

std::optional<std::string> drawingNamedTwice(const std::vector<std::string>& drawings) {
    std::map<std::u32string, std::string> seen;  // each file by its folded name
    for (const std::string& drawing : drawings) {
        const std::optional<std::string> host = typedHostPathQuietly(drawing, ".dxf");
        const platform::PathResult<fs::path> native = platform::hostToNative(host ? *host : "");
        std::error_code ec;
        const fs::path file = native.ok() ? fs::weakly_canonical(native.value, ec) : fs::path();
        const std::string key = !ec && !file.empty() ? file.string() : host ? *host : drawing;
        if (!seen.emplace(platform::foldCase(key), drawing).second) {
            return drawing;
        }
    }
    return std::nullopt;
}

int runBatch(const BatchOptions& options) {
    // Two workers on one file would each save it, and one's changes would be lost.
    if (std::optional<std::string> twice = drawingNamedTwice(options.drawings)) {
        writeAll(STDERR_FILENO, "cadhost: " + *twice +
                                    " is named more than once; a batch takes each drawing once\n");
        return 2;
    }
    if (!options.report.empty()) {
        std::error_code ec;
        const fs::path folder = fs::absolute(options.report, ec).parent_path();
        if (ec || !fs::is_directory(folder, ec)) {
            writeAll(STDERR_FILENO, "cadhost: no folder " + folder.string() + " for the report\n");
            return 2;
        }
    }
    std::size_t jobs = options.jobs;
    if (jobs == 0) {
        const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
        jobs = processors > 0 ? static_cast<std::size_t>(processors) : 1;
    }
    return Runner(options, jobs).run();
}

}  // namespace cadhost::app
