#include "cadhost/app/terminal_input.h"

#include <histedit.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "cadhost/app/completion.h"
#include "cadhost/app/program_signals.h"

namespace cadhost::app {

namespace {

constexpr unsigned char kEscape = 0x1b;
// The key the cancel function is bound to; a lone Esc and a Ctrl+C that came as a signal are
// passed to the editor as this key too.
constexpr wchar_t kCancelKey = 0x03;
// An Esc that starts a key's sequence (the arrows send "\e[A" ...) is followed at once by the
// rest of it; one that is not within this time is the Esc key itself.
constexpr int kEscapeSequenceMs = 50;

enum class Wait { Input, TimeUp, Interrupt, Resumed };

// Waits until standard input is readable, the time is up (-1 waits without end), a Ctrl+C
// came, or the program was continued after a stop (Ctrl+Z).
Wait waitForInput(int timeoutMs) {
    pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {interruptDescriptor(), POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(waits, 2, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return Wait::TimeUp;
        }
        if (waits[1].revents != 0) {
            const bool interrupted = takeInterrupt();
            if (takeResumed()) {
                return Wait::Resumed;
            }
            if (interrupted) {
                return Wait::Interrupt;
            }
        }
        if (waits[0].revents != 0) {
            return Wait::Input;
        }
    }
}

class TerminalSource : public InputSource {
  public:
    explicit TerminalSource(std::filesystem::path historyFile)
        : InputSource("terminal", false, true),
          historyFile_(std::move(historyFile)),
          editor_(el_init("cadhost", stdin, stdout, stderr)),
          commands_(history_init()),
          answers_(history_init()) {
        HistEvent event;
        for (History* history : {commands_, answers_}) {
            ::history(history, &event, H_SETSIZE, kHistoryLines);
            ::history(history, &event, H_SETUNIQUE, 1);
        }
        ::history(commands_, &event, H_LOAD, historyFile_.c_str());
        el_set(editor_, EL_CLIENTDATA, this);
        el_set(editor_, EL_EDITOR, "emacs");
        el_set(editor_, EL_PROMPT, &TerminalSource::prompt);
        el_set(editor_, EL_GETCFN, &TerminalSource::readKey);
        // Wide names: the narrow form of EL_ADDFN copies them and never frees the copies.
        el_wset(editor_, EL_ADDFN, L"cadhost-complete", L"Complete the answer",
                &TerminalSource::complete);
        el_wset(editor_, EL_ADDFN, L"cadhost-cancel", L"Cancel the command",
                &TerminalSource::cancel);
        el_wset(editor_, EL_ADDFN, L"cadhost-quit", L"QUIT on an empty command line, else delete",
                &TerminalSource::quitOrDelete);
        el_set(editor_, EL_BIND, "^I", "cadhost-complete", nullptr);
        el_set(editor_, EL_BIND, "^C", "cadhost-cancel", nullptr);
        el_set(editor_, EL_BIND, "^D", "cadhost-quit", nullptr);
        el_set(editor_, EL_BIND, "^R", "em-inc-search-prev", nullptr);
    }

    ~TerminalSource() override {
        el_end(editor_);
        history_end(commands_);
        history_end(answers_);
    }

    TerminalSource(const TerminalSource&) = delete;
    TerminalSource& operator=(const TerminalSource&) = delete;

    std::optional<std::string> readLine(std::string_view prompt,
                                        const Completion& completion) override {
        prompt_ = prompt;
        completion_ = &completion;
        cancelled_ = false;
        History* kept = completion.kind == Completion::Kind::Commands ? commands_ : answers_;
        el_set(editor_, EL_HIST, ::history, kept);
        // The terminal goes into editing mode before the prompt shows (libedit would switch
        // at the first key), so that keys typed as soon as the prompt shows are read as keys:
        // a Ctrl+D the terminal saw in line mode would be its end-of-file.
        el_set(editor_, EL_PREP_TERM, 1);
        ::tcgetattr(STDIN_FILENO, &editing_);
        int count = 0;
        const char* text = el_gets(editor_, &count);
        completion_ = nullptr;
        if (!text) {
            endWithLostTerminal();
        }
        if (cancelled_) {
            return std::nullopt;
        }
        std::string line(text, static_cast<std::size_t>(count));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        // QUIT given by Ctrl+D is no line the user typed, to be recalled.
        if (line.find_first_not_of(' ') != std::string::npos && !std::exchange(quitByKey_, false)) {
            HistEvent event;
            ::history(kept, &event, H_ENTER, line.c_str());
            if (kept == commands_) {
                saveHistory();
            }
        }
        counted(line);
        return line;
    }

    bool showsPrompt() const override { return true; }
    bool wasCancelled() const override { return cancelled_; }

  private:
    static TerminalSource& of(EditLine* editor) {
        void* self = nullptr;
        el_get(editor, EL_CLIENTDATA, &self);
        return *static_cast<TerminalSource*>(self);
    }

    static char* prompt(EditLine* editor) { return of(editor).prompt_.data(); }

    static int readKey(EditLine* editor, wchar_t* key) { return of(editor).nextKey(*key); }

    int nextKey(wchar_t& key) {
        Wait wait = waitForInput(-1);
        for (; wait == Wait::Resumed; wait = waitForInput(-1)) {
            resumeEditing();
        }
        if (wait != Wait::Input) {
            key = kCancelKey;
            return 1;
        }
        unsigned char byte = 0;
        while (::read(STDIN_FILENO, &byte, 1) != 1) {
            if (errno != EINTR && errno != EAGAIN) {
                endWithLostTerminal();  // the terminal is gone: its hang-up
            }
        }
        if (byte == kEscape && waitForInput(kEscapeSequenceMs) != Wait::Input) {
            key = kCancelKey;
            return 1;
        }
        // A character of several bytes (UTF-8 in a UTF-8 locale) is gathered whole.
        std::mbstate_t state{};
        char part = static_cast<char>(byte);
        std::size_t decoded = std::mbrtowc(&key, &part, 1, &state);
        while (decoded == static_cast<std::size_t>(-2) && ::read(STDIN_FILENO, &part, 1) == 1) {
            decoded = std::mbrtowc(&key, &part, 1, &state);
        }
        if (decoded == static_cast<std::size_t>(-1) || decoded == static_cast<std::size_t>(-2)) {
            key = byte;
        }
        return 1;
    }

    // After a stop (Ctrl+Z) the shell left the terminal in its own mode: editing mode again,
    // and the prompt and the line shown anew.
    void resumeEditing() {
        ::tcsetattr(STDIN_FILENO, TCSADRAIN, &editing_);
        el_set(editor_, EL_REFRESH);
    }

    // Ends the line as Enter does, with the line cancelled.
    static unsigned char cancel(EditLine* editor, int) {
        of(editor).cancelled_ = true;
        el_push(editor, "\n");
        return CC_REFRESH;
    }

    static unsigned char quitOrDelete(EditLine* editor, int) {
        const LineInfo* line = el_line(editor);
        if (line->lastchar == line->buffer) {
            if (of(editor).completion_->kind != Completion::Kind::Commands) {
                return CC_REFRESH_BEEP;
            }
            of(editor).quitByKey_ = true;
            el_insertstr(editor, "QUIT");
            el_push(editor, "\n");
            return CC_REFRESH;
        }
        if (line->cursor == line->lastchar) {
            return CC_REFRESH_BEEP;
        }
        el_cursor(editor, 1);
        el_deletestr(editor, 1);
        return CC_REFRESH;
    }

    static unsigned char complete(EditLine* editor, int) { return of(editor).completeWord(editor); }

    unsigned char completeWord(EditLine* editor) {
        const LineInfo* line = el_line(editor);
        const std::string before(line->buffer, line->cursor);
        const Completion::Kind kind = completion_->kind;
        // A file name is the whole answer (it may hold spaces); lists of names are separated
        // by commas or spaces; a command is the first word of its line.
        std::size_t start = 0;
        if (kind == Completion::Kind::Files) {
            start = before.find_first_not_of(" \"");
            start = start == std::string::npos ? before.size() : start;
        } else {
            const char* separators =
                kind == Completion::Kind::Xrefs || kind == Completion::Kind::Layers ? " ," : " ";
            const std::size_t separator = before.find_last_of(separators);
            start = separator == std::string::npos ? 0 : separator + 1;
            if (kind == Completion::Kind::Commands && before.find_first_not_of(' ') < start) {
                return CC_REFRESH_BEEP;
            }
        }
        const std::string word = before.substr(start);
        std::vector<std::string> answers;
        {
            const HostLock lock;
            answers = completeAnswer(prompt_, *completion_, word);
        }
        if (answers.empty()) {
            return CC_REFRESH_BEEP;
        }
        std::string replacement = answers.size() == 1 ? answers.front() : commonBeginning(answers);
        const bool folder = replacement.ends_with('/') || replacement.ends_with('\\');
        if (answers.size() == 1 && kind != Completion::Kind::Files && !folder) {
            replacement += ' ';
        }
        if (answers.size() == 1 || replacement.size() > word.size()) {
            el_deletestr(editor, static_cast<int>(word.size()));
            el_insertstr(editor, replacement.c_str());
            return CC_REFRESH;
        }
        listAnswers(editor, answers);
        return CC_REDISPLAY;
    }

    // Shows the answers below the line, in columns across the terminal.
    static void listAnswers(EditLine* editor, const std::vector<std::string>& answers) {
        int columns = 80;
        el_get(editor, EL_GETTC, "co", &columns, nullptr);
        std::size_t width = 0;
        for (const std::string& answer : answers) {
            width = std::max(width, answer.size() + 2);
        }
        const std::size_t perLine =
            std::max<std::size_t>(1, static_cast<std::size_t>(std::max(columns, 1)) / width);
        std::string text = "\n";
        for (std::size_t i = 0; i < answers.size(); ++i) {
            const bool lineEnds = (i + 1) % perLine == 0 || i + 1 == answers.size();
            text += answers[i] +
                    (lineEnds ? std::string("\n") : std::string(width - answers[i].size(), ' '));
        }
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
    }

    // The command lines go to a new file that then replaces the old one, so that a program
    // ended halfway leaves the history whole.
    void saveHistory() {
        std::filesystem::path temporary = historyFile_;
        temporary += ".tmp-" + std::to_string(::getpid());
        HistEvent event;
        if (::history(commands_, &event, H_SAVE, temporary.c_str()) >= 0) {
            std::error_code ec;
            std::filesystem::rename(temporary, historyFile_, ec);
        }
    }

    std::filesystem::path historyFile_;
    EditLine* editor_;
    History* commands_;  // kept in the history file
    History* answers_;   // answers to the other prompts, for this session
    std::string prompt_;
    const Completion* completion_ = nullptr;
    bool cancelled_ = false;
    bool quitByKey_ = false;  // the line is the QUIT of Ctrl+D
    termios editing_{};       // the terminal's settings while a line is edited
};

}  // namespace

std::unique_ptr<InputSource> terminalSource(const std::filesystem::path& historyFile) {
    // Characters of several bytes are read and shown as the user's locale has them.
    std::setlocale(LC_CTYPE, "");
    return std::make_unique<TerminalSource>(historyFile);
}

}  // namespace cadhost::app
