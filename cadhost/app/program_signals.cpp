#include "cadhost/app/program_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "cadhost/app/document_commands.h"

namespace cadhost::app {

namespace {

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handlers use these atomics");

std::mutex hostMutex;
bool installed = false;  // set once on the main thread, before the watcher starts
int endingPipe[2] = {-1, -1};
int interruptPipe[2] = {-1, -1};
std::atomic<int> endingSignal{0};
std::atomic<bool> interrupted{false};
std::atomic<bool> resumed{false};
termios terminalSettings{};
bool restoreTerminal = false;

// Notes the first ending signal and wakes the watcher; false when one came before.
bool noteEnding(int signo) {
    int none = 0;
    if (!endingSignal.compare_exchange_strong(none, signo)) {
        return false;
    }
    const unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t written = ::write(endingPipe[1], &byte, 1);
    return true;
}

void onSignal(int signo) {
    const int savedErrno = errno;
    if (signo == SIGINT || signo == SIGCONT) {
        (signo == SIGINT ? interrupted : resumed).store(true);
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(interruptPipe[1], &byte, 1);
    } else {
        noteEnding(signo);
    }
    errno = savedErrno;
}

[[noreturn]] void waitForTheEnd() {
    for (;;) {
        ::pause();
    }
}

void writeError(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

// On the watcher thread, with the host lock: the main thread waits for input, or has stopped.
[[noreturn]] void endProgram(int signo) {
    const char* name = signo == SIGHUP ? "SIGHUP (the terminal was closed)" : "SIGTERM";
    writeError(std::string("\ncadhost: ended by ") + name + ".\n");
    writeError(writeRecoveryCopies());
    if (restoreTerminal) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &terminalSettings);  // as the line editor found it
    }
    ::_exit(128 + signo);
}

void watch() {
    unsigned char signo = 0;
    while (::read(endingPipe[0], &signo, 1) != 1) {
        if (errno != EINTR) {
            return;
        }
    }
    hostMutex.lock();  // released for good by a main thread that saw the signal
    endProgram(signo);
}

void makePipe(int (&ends)[2]) {
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    // The watcher blocks on its end; the handlers never block on theirs.
    ::fcntl(ends[0], F_SETFL, 0);
}

void install(int signo, int flags) {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Reads of scripts and pipes go on as if nothing happened; the work is done elsewhere.
    action.sa_flags = SA_RESTART | flags;
    ::sigaction(signo, &action, nullptr);
}

}  // namespace

void handleProgramSignals(bool cancelOnInterrupt) {
    if (installed) {
        return;
    }
    makePipe(endingPipe);
    restoreTerminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &terminalSettings) == 0;
    hostMutex.lock();
    installed = true;
    std::thread(watch).detach();
    // The first ending signal is acted on when the drawings are at rest; a second one ends
    // the program at once.
    install(SIGTERM, SA_RESETHAND);
    install(SIGHUP, SA_RESETHAND);
    if (cancelOnInterrupt) {
        makePipe(interruptPipe);
        ::fcntl(interruptPipe[0], F_SETFL, O_NONBLOCK);
        install(SIGINT, 0);
        install(SIGCONT, 0);
    }
}

WaitingForInput::WaitingForInput() {
    if (installed) {
        hostMutex.unlock();
        if (endingSignal.load() != 0) {
            waitForTheEnd();  // no new prompt: the terminal is about to be set back
        }
    }
}

WaitingForInput::~WaitingForInput() {
    if (!installed) {
        return;
    }
    hostMutex.lock();
    if (endingSignal.load() != 0) {
        hostMutex.unlock();
        waitForTheEnd();
    }
}

HostLock::HostLock() {
    if (installed) {
        hostMutex.lock();
    }
}

HostLock::~HostLock() {
    if (installed) {
        hostMutex.unlock();
    }
}

int interruptDescriptor() {
    return interruptPipe[0];
}

bool takeInterrupt() {
    if (interruptPipe[0] >= 0) {
        char bytes[64];
        while (::read(interruptPipe[0], bytes, sizeof bytes) > 0) {
        }
    }
    return interrupted.exchange(false);
}

bool takeResumed() {
    return resumed.exchange(false);
}

void endWithLostTerminal() {
    if (!installed) {
        ::_exit(128 + SIGHUP);
    }
    noteEnding(SIGHUP);
    waitForTheEnd();
}

}  // namespace cadhost::app
