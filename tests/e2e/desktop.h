#pragma once
// Real programs on a real X display for end-to-end tests: child processes that are waited for
// with a timeout and killed if the test ends first, a private Xvfb server on a free display
// number, and xdotool to wait for windows by name and type into them.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace e2etest {

// A program started in a folder with extra environment entries, its standard output and error
// going to a file. The destructor kills it if it is still running.
class Child {
  public:
    // `environment` holds NAME=VALUE entries that replace or add to the test's own; an entry
    // NAME without "=" removes NAME. `passedFd`, when not -1, is the child's descriptor 3.
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
          const std::filesystem::path& folder, const std::filesystem::path& output,
          int passedFd = -1) {
        std::vector<std::string> env;
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            const std::string name = text.substr(0, text.find('='));
            bool replaced = false;
            for (const std::string& change : environment) {
                replaced = replaced || change.substr(0, change.find('=')) == name;
            }
            if (!replaced) {
                env.push_back(text);
            }
        }
        for (const std::string& change : environment) {
            if (change.find('=') != std::string::npos) {
                env.push_back(change);
            }
        }
        // Everything the child needs is made before fork: after it only async-signal-safe
        // calls are allowed.
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        std::vector<char*> envp;
        for (const std::string& entry : env) {
            envp.push_back(const_cast<char*>(entry.c_str()));
        }
        envp.push_back(nullptr);
        const std::string dir = folder.string();
        const std::string out = output.string();

        pid_ = ::fork();
        if (pid_ < 0) {
            throw std::runtime_error("fork failed: " + std::string(std::strerror(errno)));
        }
        if (pid_ == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            const int log = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || log < 0 || ::chdir(dir.c_str()) != 0 || ::dup2(in, 0) < 0 ||
                ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0 ||
                (passedFd >= 0 && ::dup2(passedFd, 3) < 0)) {
                ::_exit(126);
            }
            ::execve(args[0], args.data(), envp.data());
            ::_exit(127);
        }
    }
    ~Child() {
        if (running()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool running() const { return !status_.has_value(); }

    // The exit code (128 + signal for a killed child), or none if it is still running when
    // the timeout ends. Looks every 20 ms.
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (running()) {
            int status = 0;
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            } else if (std::chrono::steady_clock::now() >= end) {
                return std::nullopt;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        return status_;
    }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A private X server (Xvfb) on a display number it chooses itself among the free ones.
class VirtualDisplay {
  public:
    explicit VirtualDisplay(const std::filesystem::path& logFolder) {
        int ready[2];
        if (::pipe(ready) != 0) {
            throw std::runtime_error("pipe failed");
        }
        server_.emplace(std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "3", "-screen", "0",
                                                 "1280x1024x24", "-nolisten", "tcp"},
                        std::vector<std::string>{}, logFolder, logFolder / "xvfb.log", ready[1]);
        ::close(ready[1]);
        // Xvfb writes the display number once it accepts connections.
        pollfd wait{ready[0], POLLIN, 0};
        std::string number;
        char buffer[16];
        while (number.find('\n') == std::string::npos && ::poll(&wait, 1, 10000) > 0) {
            const ssize_t got = ::read(ready[0], buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            number.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(ready[0]);
        if (number.find('\n') == std::string::npos) {
            throw std::runtime_error("Xvfb did not start within 10 s: " +
                                     readFile(logFolder / "xvfb.log"));
        }
        name_ = ":" + number.substr(0, number.find('\n'));
    }
    ~VirtualDisplay() {
        if (server_ && server_->running()) {
            ::kill(server_->pid(), SIGTERM);
            server_->wait(std::chrono::seconds(5));
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    const std::string& name() const { return name_; }

  private:
    std::optional<Child> server_;
    std::string name_;
};

// xdotool on one display. Each call that fails or outlasts its timeout is a test failure
// that says what was being waited for.
class Xdotool {
  public:
    Xdotool(std::string display, std::filesystem::path scratch)
        : display_(std::move(display)), scratch_(std::move(scratch)) {}

    // Runs xdotool with the arguments; its output, or none after a failure (already reported).
    std::optional<std::string> run(const std::vector<std::string>& arguments,
                                   const std::string& what,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(20),
                                   bool failureIsReported = true) {
        std::vector<std::string> argv{"/usr/bin/xdotool"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const auto output = scratch_ / "xdotool.out";
        Child tool(argv, {"DISPLAY=" + display_}, scratch_, output);
        const auto code = tool.wait(timeout);
        if (!code) {
            ADD_FAILURE() << "timed out after " << timeout.count() << " ms: " << what;
            return std::nullopt;
        }
        if (*code != 0) {
            if (failureIsReported) {
                ADD_FAILURE() << what << ": xdotool failed (" << *code << "): " << readFile(output);
            }
            return std::nullopt;
        }
        return readFile(output);
    }

    // Waits for a shown window whose title matches the regular expression, gives it the
    // keyboard and returns its id. A window found as it closes (a message box answered, a
    // page replaced) is gone before it takes the focus: then it is looked for again.
    std::optional<std::string> focusWindow(const std::string& titlePattern) {
        constexpr int kAttempts = 3;
        for (int attempt = 1; attempt <= kAttempts; ++attempt) {
            const auto found = run({"search", "--sync", "--onlyvisible", "--name", titlePattern},
                                   "waiting for a window titled /" + titlePattern + "/");
            if (!found || found->empty()) {
                return std::nullopt;
            }
            std::string window = found->substr(0, found->find('\n'));
            if (run({"windowfocus", "--sync", window}, "focusing /" + titlePattern + "/",
                    std::chrono::seconds(20), attempt == kAttempts)) {
                return window;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return std::nullopt;
    }

    // Waits until no shown window's title matches (a message box answered has closed), so
    // that keys typed next reach the window beneath it.
    bool waitGone(const std::string& titlePattern) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (run({"search", "--onlyvisible", "--name", titlePattern}, "",
                   std::chrono::seconds(20), false)) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "a window titled /" << titlePattern << "/ did not close";
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return true;
    }

    // Types keys (xdotool names: Return, Tab, space, alt+o ...) into the focused window.
    bool keys(const std::vector<std::string>& names, const std::string& what) {
        std::vector<std::string> arguments{"key", "--delay", "60"};
        arguments.insert(arguments.end(), names.begin(), names.end());
        return run(arguments, what).has_value();
    }

    // Waits for a window that matches the pattern, then types keys into it.
    bool answer(const std::string& titlePattern, const std::vector<std::string>& names) {
        return focusWindow(titlePattern) && keys(names, "typing into /" + titlePattern + "/");
    }

  private:
    std::string display_;
    std::filesystem::path scratch_;
};

}  // namespace e2etest
